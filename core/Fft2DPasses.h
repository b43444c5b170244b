// Internal: the vectorised passes of the two-dimensional FFT, built for the baseline
// instruction set (2 lanes), AVX2 (4 lanes) and AVX-512 (8 lanes), chosen at run time.
// Every build rounds exactly like Fft.
#pragma once

#include <cstdint>

namespace velmora::detail {

struct Fft2DPassArgs {
    int n;
    const int32_t* rev;
    const double* sine;
    double** re;
    double** im;
    double** acc;      // null: write the swapped result back into re/im
    double weight;
    double* work;      // 32 n doubles, 64-byte aligned
    void (*progress)(void* context, int percent);
    void* progressContext;
};

// A part of the transform for one of several threads: the columns [first, last) only, or the
// rows [first, last) only (into acc when it is set, otherwise in place and not swapped); first
// and last are multiples of 8.
struct Fft2DPart {
    enum class Kind { whole, columns, rows } kind = Kind::whole;
    int first = 0;
    int last = 0;
};

void Fft2DPassesBaseline(const Fft2DPassArgs& args, const Fft2DPart& part);
void Fft2DPassesAvx2(const Fft2DPassArgs& args, const Fft2DPart& part);
void Fft2DPassesAvx512(const Fft2DPassArgs& args, const Fft2DPart& part);
// The whole transform.
void Fft2DPassesBaseline(const Fft2DPassArgs& args);
void Fft2DPassesAvx2(const Fft2DPassArgs& args);
void Fft2DPassesAvx512(const Fft2DPassArgs& args);

}  // namespace velmora::detail
