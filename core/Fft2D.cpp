#include "core/Fft.h"
#include "core/Fft2DPasses.h"

namespace velmora {
namespace {

void CallProgress(void* context, int percent) {
    (*static_cast<const ProgressFn*>(context))(percent);
}

using Passes = void (*)(const detail::Fft2DPassArgs&);

// The widest build this processor runs; all three give the same bits.
Passes ChoosePasses() {
    if (__builtin_cpu_supports("avx512f")) return &detail::Fft2DPassesAvx512;
    if (__builtin_cpu_supports("avx2")) return &detail::Fft2DPassesAvx2;
    return &detail::Fft2DPassesBaseline;
}

void RunPasses(const FftTables& t, RealMatrix re, RealMatrix im, RealMatrix acc, double weight,
               const ProgressFn& progress) {
    detail::Fft2DPassArgs args{};
    args.n = t.n;
    args.rev = t.bitReverseTable;
    args.sine = t.sineTable;
    args.re = re;
    args.im = im;
    args.acc = acc;
    args.weight = weight;
    args.work = t.laneWork;
    if (progress) {
        args.progress = &CallProgress;
        args.progressContext = const_cast<ProgressFn*>(&progress);
    }
    static const Passes passes = ChoosePasses();
    passes(args);
}

}  // namespace

void Fft2D(const FftTables& tables, RealMatrix fieldRe, RealMatrix fieldIm, const ProgressFn& progress) {
    RunPasses(tables, fieldRe, fieldIm, nullptr, 0, progress);
}

void Fft2DAccumulate(const FftTables& tables, RealMatrix fieldRe, RealMatrix fieldIm, RealMatrix acc,
                     double weight, const ProgressFn& progress) {
    RunPasses(tables, fieldRe, fieldIm, acc, weight, progress);
}

}  // namespace velmora
