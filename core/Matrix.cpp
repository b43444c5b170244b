#include "core/Matrix.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace velmora {
namespace {

bool traceEnabled = true;

template <class Element>
Element* AllocZeroed(int n, bool clear = true) {
    if (n <= 0) return nullptr;
    size_t bytes = static_cast<size_t>(n) * sizeof(Element);
    size_t rounded = (bytes + 63) / 64 * 64;
    void* p = std::aligned_alloc(64, rounded);
    if (p && clear) std::memset(p, 0, rounded);
    return static_cast<Element*>(p);
}

template <class Element>
int AllocMatrix(int rows, int cols, Element**& m, bool reportRowFailure, bool clear = true) {
    m = nullptr;
    if (rows <= 0 || cols <= 0) return 1;
    auto** table = static_cast<Element**>(std::calloc(static_cast<size_t>(rows), sizeof(Element*)));
    if (!table) return 1;
    for (int r = 0; r < rows; ++r) {
        table[r] = AllocZeroed<Element>(cols, clear);
        if (!table[r]) {
            if (reportRowFailure) std::fputs("Alloc Error  !!\n", stdout);
            // The rows obtained so far are released too, so nothing leaks.
            for (int k = 0; k < r; ++k) std::free(table[k]);
            std::free(table);
            return 1;
        }
    }
    m = table;
    return 0;
}

template <class Element>
void FreeMatrix(int rows, Element**& m) {
    if (!m) return;
    for (int r = 0; r < rows; ++r) std::free(m[r]);
    std::free(m);
    m = nullptr;
}

}  // namespace

void SetKernelTrace(bool enabled) { traceEnabled = enabled; }

void KernelTrace(const char* line) {
    if (!traceEnabled) return;
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
}

int AllocRealMatrix(int rows, int cols, RealMatrix& m) { return AllocMatrix(rows, cols, m, false); }
int AllocIntMatrix(int rows, int cols, IntMatrix& m) { return AllocMatrix(rows, cols, m, true); }

int AllocRealVector(int n, RealVector& v) {
    v = AllocZeroed<double>(n);
    return v ? 0 : 1;
}

int AllocIntVector(int n, IntVector& v) {
    v = AllocZeroed<int32_t>(n);
    if (!v) return 1;
    KernelTrace("extended int");
    return 0;
}

void FreeRealMatrix(int rows, int, RealMatrix& m) { FreeMatrix(rows, m); }
void FreeIntMatrix(int rows, int, IntMatrix& m) { FreeMatrix(rows, m); }
void FreeRealVector(RealVector& v) { std::free(v); v = nullptr; }
void FreeIntVector(IntVector& v) { std::free(v); v = nullptr; }

void ScaleMatrix(double factor, int rows, int cols, RealMatrix m) {
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) m[r][c] = factor * m[r][c];
}

void ClampMatrix(int32_t lo, int32_t hi, int rows, int cols, IntMatrix m) {
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            if (m[r][c] < lo) m[r][c] = lo;
            if (m[r][c] >= hi) m[r][c] = hi;
        }
}

double LargestInRow(const double* row, int n) {
    // Eight running maxima without a branch (v > b ? v : b is one max instruction, and passes
    // over a NaN as the comparison above does), which the compiler keeps in vector registers.
    constexpr int lanes = 8;
    double lane[lanes] = {};
    int c = 0;
    for (; c + lanes <= n; c += lanes)
        for (int k = 0; k < lanes; ++k) lane[k] = row[c + k] > lane[k] ? row[c + k] : lane[k];
    for (; c < n; ++c) lane[0] = row[c] > lane[0] ? row[c] : lane[0];
    double best = 0;
    for (double v : lane) best = v > best ? v : best;
    return best;
}

double MatrixMaximum(int rows, int cols, const RealMatrix m) {
    // A positive maximum is the same value however it is found; only a maximum of zero needs
    // the scan below, which keeps the sign of the last zero it meets.
    double best = 0;
    for (int r = 0; r < rows; ++r) {
        const double v = LargestInRow(m[r], cols);
        best = v > best ? v : best;
    }
    if (best > 0) return best;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (m[r][c] >= best) best = m[r][c];
    return best;
}

GridPeak FirstPeak(const RealGrid& grid, int noneI, int noneJ) {
    GridPeak peak{0, noneI, noneJ};
    for (int i = 0; i < grid.rows(); ++i) TakeRowPeak(grid.Row(i), LargestInRow(grid.Row(i), grid.cols()), i, peak);
    return peak;
}

int ShrinkMatrix(double a, int rows, int cols, RealMatrix m) {
    if (!(a > 0 && a <= 1)) return 1;
    RealMatrixHolder t;
    if (t.Allocate(rows, cols) != 0) return 1;

    // Each source cell of width a lands in cell k = trunc(a*p) or straddles k and k + 1.
    auto spread = [a](int p, int limit, auto&& add) {
        double e = a * p;
        int k = static_cast<int>(e);
        double f = e - k;
        if (f <= 1 - a || k + 1 >= limit) {
            add(k, a);
        } else {
            add(k, (k + 1) - e);
            add(k + 1, a - ((k + 1) - e));
        }
    };
    for (int p = 0; p < rows; ++p)
        for (int q = 0; q < cols; ++q)
            spread(p, rows, [&](int k, double w) { t[k][q] += w * m[p][q]; });
    for (int p = 0; p < rows; ++p)
        for (int q = 0; q < cols; ++q) { m[p][q] = t[p][q]; t[p][q] = 0; }
    for (int p = 0; p < rows; ++p)
        for (int q = 0; q < cols; ++q)
            spread(q, cols, [&](int k, double w) { t[p][k] += w * m[p][q]; });
    for (int p = 0; p < rows; ++p)
        for (int q = 0; q < cols; ++q) m[p][q] = t[p][q];
    return 0;
}

namespace {

// A zero-sized or unobtainable matrix is the kernel's failure 1; the integer matrices say so on
// standard output as their allocator does.
template <class Element>
int AllocateHolderGrid(Grid<Element>& grid, int rows, int cols, bool clear) {
    grid = Grid<Element>();
    if (rows <= 0 || cols <= 0) return 1;
    try {
        grid = Grid<Element>::ForTransforms(rows, cols, clear);
        return 0;
    } catch (const std::bad_alloc&) {
    } catch (const std::invalid_argument&) {
    }
    if (std::is_same_v<Element, int32_t>) std::fputs("Alloc Error  !!\n", stdout);
    return 1;
}

}  // namespace

template <class Element>
int MatrixHolder<Element>::Allocate(int rows, int cols) {
    return AllocateHolderGrid(grid_, rows, cols, true);
}

template <class Element>
int MatrixHolder<Element>::AllocateUncleared(int rows, int cols) {
    return AllocateHolderGrid(grid_, rows, cols, false);
}

template class MatrixHolder<double>;
template class MatrixHolder<int32_t>;

}  // namespace velmora
