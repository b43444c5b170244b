#include "core/Fft.h"

#include <cmath>
#include <utility>

namespace velmora {

void MakeSineTable(int n, RealVector table) {
    const int half = n / 2;
    const int quarter = n / 4;
    const int eighth = n / 8;
    const double pi = 3.141592653589793;

    // Recurrence over the first eighth only (angle step 2*pi/n): dc is the one-step decrease of
    // the cosine, ds the one-step increase of the sine; symmetry fills the rest, so the
    // rounding of the recurrence never builds up over more than n/8 steps.
    double t = std::sin(pi / n);
    double dc = 2 * t * t;
    double ds = std::sqrt(dc * (2 - dc));
    const double t2 = 2 * dc;
    table[quarter] = 1;
    table[0] = 0;
    KernelTrace("a");
    double s = 0;
    double c = 1;
    for (int i = 1; i < eighth; ++i) {
        s = s + ds;
        table[i] = s;
        c = c - dc;
        table[quarter - i] = c;
        ds = ds - t2 * s;
        dc = dc + t2 * c;
    }
    if (eighth != 0) table[eighth] = std::sqrt(0.5);
    for (int i = 0; i < quarter; ++i) table[half - i] = table[i];
    for (int i = 0; i < half + quarter; ++i) table[half + i] = -table[i];
}

void MakeBitReverseTable(int n, IntVector table) {
    int j = 0;
    for (int i = 0;; ++i) {
        table[i] = j;
        if (i == n - 1) break;
        int k = n / 2;
        while (k <= j) {
            j = j - k;
            k = k / 2;
        }
        j = j + k;
    }
    KernelTrace("b");
}

void Fft(int n, const int32_t* rev, const double* sine, double* x, double* y) {
    const int quarter = n / 4;
    for (int i = 0; i < n; ++i) {
        int j = rev[i];
        if (i < j) {
            std::swap(x[i], x[j]);
            std::swap(y[i], y[j]);
        }
    }
    for (int k = 1; k < n;) {
        const int k2 = 2 * k;
        const int d = n / k2;
        int h = 0;
        for (int j = 0; j < k; ++j) {
            const double c = sine[h + quarter];
            const double s = sine[h];
            for (int i = j; i < n; i += k2) {
                const int m = i + k;
                const double dx = s * y[m] + c * x[m];
                const double dy = c * y[m] - s * x[m];
                x[m] = x[i] - dx;
                x[i] = x[i] + dx;
                y[m] = y[i] - dy;
                y[i] = y[i] + dy;
            }
            h = h + d;
        }
        k = k2;
    }
    for (int i = 0; i < n; ++i) {
        x[i] = x[i] / n;
        y[i] = y[i] / n;
    }
}

namespace {
bool TransformLength(int length) { return length >= 16 && (length & (length - 1)) == 0; }
}  // namespace

int FftTables::Create(int length) {
    Release();
    if (!TransformLength(length)) return 1;
    if (AllocIntVector(length, bitReverseTable) != 0 ||
        AllocRealVector(static_cast<int>(length * 1.25), sineTable) != 0) {
        Release();
        return 1;
    }
    n = length;
    MakeSineTable(n, sineTable);
    MakeBitReverseTable(n, bitReverseTable);
    return 0;
}

void FftTables::Release() {
    FreeRealVector(sineTable);
    FreeIntVector(bitReverseTable);
    n = 0;
}

int FftWorkspace::Create(int length) {
    Release();
    if (!TransformLength(length) || AllocRealVector(32 * length, laneWork) != 0) return 1;
    n = length;
    return 0;
}

void FftWorkspace::Release() {
    FreeRealVector(laneWork);
    n = 0;
}

}  // namespace velmora
