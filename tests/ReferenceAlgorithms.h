// The straightforward algorithms, step by step as the calculation is defined, kept to check
// the fast paths against: each column, each row with Fft, then the half-grid swap through a
// scratch matrix; the phase over every grid element.
#pragma once

#include <cmath>
#include <vector>

#include "core/Fft.h"
#include "core/PsfCalculation.h"
#include "core/Wavefront.h"

namespace velmora::reference {

inline void Fft2D(const FftTables& t, RealMatrix re, RealMatrix im) {
    const int n = t.n;
    std::vector<double> lineRe(n), lineIm(n);
    for (int col = 0; col < n; ++col) {
        for (int r = 0; r < n; ++r) { lineRe[r] = re[r][col]; lineIm[r] = im[r][col]; }
        velmora::Fft(n, t.bitReverseTable, t.sineTable, lineRe.data(), lineIm.data());
        for (int r = 0; r < n; ++r) { re[r][col] = lineRe[r]; im[r][col] = lineIm[r]; }
    }
    for (int row = 0; row < n; ++row) {
        for (int c = 0; c < n; ++c) { lineRe[c] = re[row][c]; lineIm[c] = im[row][c]; }
        velmora::Fft(n, t.bitReverseTable, t.sineTable, lineRe.data(), lineIm.data());
        for (int c = 0; c < n; ++c) { re[row][c] = lineRe[c]; im[row][c] = lineIm[c]; }
    }
    RealMatrixHolder scratch;
    scratch.Allocate(n, n);
    for (RealMatrix field : {re, im}) {
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) scratch[r][c] = field[r][(c + n / 2) % n];
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) field[r][c] = scratch[(r + n / 2) % n][c];
    }
}

inline void SamplePhase(int p, const Aberrations& a, const RealMatrix workGrid, RealMatrix re, RealMatrix im) {
    const int n = gridSize;
    const double r = p * 0.5;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double rho = std::sqrt(static_cast<double>((i - n / 2) * (i - n / 2) + (j - n / 2) * (j - n / 2))) / r;
            if (rho > 1) {
                re[i][j] = im[i][j] = 0;
                continue;
            }
            const double x = (i - n / 2) / r;
            const double y = (j - n / 2) / r;
            const double w = WavefrontError(a, x, y, rho * rho, rho * rho * rho * rho);
            re[i][j] = std::cos(2 * 3.14159265358979323846 * w) * workGrid[i][j];
            im[i][j] = std::sin(2 * 3.14159265358979323846 * w) * workGrid[i][j];
        }
}

// Encircled energy about (cx, cy) (samples from the grid centre) of the continuous pattern the
// samples stand for, straight from its definition: the whole grid's transform, every frequency
// but the Nyquist lines, a Bessel function per frequency (Baliga and Cohn, Proc. SPIE 892, 1988).
class EncircledEnergy {
public:
    EncircledEnergy(const RealGrid& intensity, double cx, double cy) : cx_(cx), cy_(cy) {
        const int n = gridSize;
        re_.Allocate(n, n);
        im_.Allocate(n, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) re_[i][j] = intensity(i, j);
        FftTables t;
        t.Create(n);
        velmora::Fft2D(t, re_.get(), im_.get());
    }
    double operator()(double r) const {
        const int n = gridSize;
        const double pi = 3.14159265358979323846;
        const double dc = re_[n / 2][n / 2];
        double sum = pi * r * r / (double(n) * n);
        for (int kx = 1 - n / 2; kx < n / 2; ++kx)
            for (int ky = 1 - n / 2; ky < n / 2; ++ky) {
                if (kx == 0 && ky == 0) continue;
                const double k = std::hypot(kx, ky);
                const double sign = ((kx + ky) & 1) ? -1 : 1;
                const double phase = 2 * pi * (kx * cx_ + ky * cy_) / n;
                const double value = sign * (re_[kx + n / 2][ky + n / 2] * std::cos(phase) -
                                             im_[kx + n / 2][ky + n / 2] * std::sin(phase)) / dc;
                sum += value * r * ::j1(2 * pi * r * k / n) / (n * k);
            }
        return sum;
    }

private:
    double cx_, cy_;
    RealMatrixHolder re_, im_;
};

}  // namespace velmora::reference
