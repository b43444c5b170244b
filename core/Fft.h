// Radix-2 complex FFT (decimation in time, bit reversal first, twiddles read from a quarter-wave
// sine table) and the two-dimensional transform of the PSF calculation.
//
// Normalisation: the forward transform with exp(-2*pi*i*j*k/n), scaled by 1/n per axis, so a
// unit impulse transforms to 1/n everywhere. It is the only direction the system uses.
#pragma once

#include <cstdint>
#include <functional>

#include "core/Matrix.h"

namespace velmora {

// Progress of a long step, 0..100.
using ProgressFn = std::function<void(int percent)>;

// Entry k holds sin(2*pi*k/n) for 0 <= k < n + n/4 (cosine: entry k + n/4).
void MakeSineTable(int n, RealVector table);
// Entry i is i with its log2(n) low bits reversed.
void MakeBitReverseTable(int n, IntVector table);
// Forward transform of x (real parts) and y (imaginary parts), in place. n = 2^k >= 4: the
// cosine is read a quarter table later, which needs n / 4 >= 1.
void Fft(int n, const int32_t* rev, const double* sine, double* x, double* y);

// The tables of one calculation run, built once and then only read, by any number of
// transforms at the same time.
class FftTables {
public:
    FftTables() = default;
    FftTables(const FftTables&) = delete;
    FftTables& operator=(const FftTables&) = delete;
    ~FftTables() { Release(); }
    // Allocates and fills the tables for length n (a power of two >= 16, so that the widest
    // vector lanes divide every half grid); 0, or 1 on failure.
    int Create(int n);
    void Release();

    int n = 0;
    RealVector sineTable = nullptr;      // trunc(1.25 n) entries
    IntVector bitReverseTable = nullptr; // n entries
};

// The scratch of one vectorised transform (32 n doubles). Each transform that runs at the same
// time as another needs its own.
class FftWorkspace {
public:
    FftWorkspace() = default;
    FftWorkspace(const FftWorkspace&) = delete;
    FftWorkspace& operator=(const FftWorkspace&) = delete;
    ~FftWorkspace() { Release(); }
    // 0, or 1 when n is not a length FftTables accepts or the memory fails.
    int Create(int n);
    void Release();

    int n = 0;
    double* laneWork = nullptr;
};

// Two-dimensional forward transform of an n x n field (n = tables.n), then the half-grid swap
// that moves the zero frequency from [0][0] to [n/2][n/2]. The result equals, bit for bit,
// transforming every column, then every row, with Fft, then swapping. Progress runs 0..49 over
// the columns and 50..99 over the rows. Tables and workspace are checked once on entry
// (std::invalid_argument when they are not built, or built for different lengths).
void Fft2D(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
           const ProgressFn& progress = {});
// The same with a workspace of its own for this one call.
void Fft2D(const FftTables& tables, RealMatrix fieldRe, RealMatrix fieldIm, const ProgressFn& progress = {});

// The same transform with the squared modulus added straight into the accumulator:
// acc[r][c] += (re^2 + im^2) * weight of the swapped result. fieldRe/fieldIm are used as
// scratch and hold no meaningful content afterwards.
void Fft2DAccumulate(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
                     RealMatrix acc, double weight, const ProgressFn& progress = {});
void Fft2DAccumulate(const FftTables& tables, RealMatrix fieldRe, RealMatrix fieldIm, RealMatrix acc,
                     double weight, const ProgressFn& progress = {});

// Fft2DAccumulate in parts that several threads run at the same time, each with its own
// workspace: first the column pass over columns [first, last) of every part, then, once all of
// them have ended, the row pass over rows [first, last). Every line is transformed as in
// Fft2DAccumulate, so the parts together give its bits. first and last are multiples of
// fft2DPartAlignment (std::invalid_argument otherwise).
inline constexpr int fft2DPartAlignment = 8;
void Fft2DColumnPart(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
                     int first, int last);
void Fft2DRowPartAccumulate(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
                            RealMatrix acc, double weight, int first, int last);
// The rows [first, last) alone, each transformed with Fft where it is, without the half-grid
// swap. With Fft2DColumnPart over every column it is the unswapped transform. The field may be
// narrower or shorter than n x n where the range allows: the columns read are [first, last)
// of its n rows, the rows read are [first, last) of n columns.
void Fft2DRowPart(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm, int first,
                  int last);

}  // namespace velmora
