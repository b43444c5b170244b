#include "core/Fft.h"

#include <new>
#include <stdexcept>

#include "core/Fft2DPasses.h"

namespace velmora {
namespace {

void CallProgress(void* context, int percent) {
    (*static_cast<const ProgressFn*>(context))(percent);
}

using Passes = void (*)(const detail::Fft2DPassArgs&, const detail::Fft2DPart&);

// The widest build this processor runs; all three give the same bits.
Passes ChoosePasses() {
    if (__builtin_cpu_supports("avx512f")) return &detail::Fft2DPassesAvx512;
    if (__builtin_cpu_supports("avx2")) return &detail::Fft2DPassesAvx2;
    return &detail::Fft2DPassesBaseline;
}

void RunPasses(const FftTables& t, FftWorkspace& ws, RealMatrix re, RealMatrix im, RealMatrix acc, double weight,
               const ProgressFn& progress, const detail::Fft2DPart& part = {}) {
    // Everything the passes rely on, checked once here and never inside them.
    if (t.n == 0 || !t.sineTable || !t.bitReverseTable) throw std::invalid_argument("Fft2D: tables not built");
    if (ws.n != t.n || !ws.laneWork) throw std::invalid_argument("Fft2D: workspace not built for the tables' length");
    if (!re || !im) throw std::invalid_argument("Fft2D: no field");
    detail::Fft2DPassArgs args{};
    args.n = t.n;
    args.rev = t.bitReverseTable;
    args.sine = t.sineTable;
    args.re = re;
    args.im = im;
    args.acc = acc;
    args.weight = weight;
    args.work = ws.laneWork;
    if (part.kind != detail::Fft2DPart::Kind::whole) {
        if (part.first < 0 || part.last > t.n || part.first > part.last || part.first % fft2DPartAlignment != 0 ||
            part.last % fft2DPartAlignment != 0)
            throw std::invalid_argument("Fft2D: part not aligned or outside the grid");
    }
    if (progress) {
        args.progress = &CallProgress;
        args.progressContext = const_cast<ProgressFn*>(&progress);
    }
    static const Passes passes = ChoosePasses();
    passes(args, part);
}

// A workspace for a single call.
FftWorkspace& CallWorkspace(const FftTables& t, FftWorkspace& ws) {
    if (ws.Create(t.n) != 0) {
        if (t.n == 0) throw std::invalid_argument("Fft2D: tables not built");
        throw std::bad_alloc();
    }
    return ws;
}

}  // namespace

void Fft2D(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
           const ProgressFn& progress) {
    RunPasses(tables, workspace, fieldRe, fieldIm, nullptr, 0, progress);
}

void Fft2D(const FftTables& tables, RealMatrix fieldRe, RealMatrix fieldIm, const ProgressFn& progress) {
    FftWorkspace ws;
    RunPasses(tables, CallWorkspace(tables, ws), fieldRe, fieldIm, nullptr, 0, progress);
}

void Fft2DAccumulate(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
                     RealMatrix acc, double weight, const ProgressFn& progress) {
    RunPasses(tables, workspace, fieldRe, fieldIm, acc, weight, progress);
}

void Fft2DAccumulate(const FftTables& tables, RealMatrix fieldRe, RealMatrix fieldIm, RealMatrix acc,
                     double weight, const ProgressFn& progress) {
    FftWorkspace ws;
    RunPasses(tables, CallWorkspace(tables, ws), fieldRe, fieldIm, acc, weight, progress);
}

void Fft2DColumnPart(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
                     int first, int last) {
    RunPasses(tables, workspace, fieldRe, fieldIm, nullptr, 0, {}, {detail::Fft2DPart::Kind::columns, first, last});
}

void Fft2DRowPartAccumulate(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm,
                            RealMatrix acc, double weight, int first, int last) {
    if (!acc) throw std::invalid_argument("Fft2D: no accumulator");
    RunPasses(tables, workspace, fieldRe, fieldIm, acc, weight, {}, {detail::Fft2DPart::Kind::rows, first, last});
}

void Fft2DRowPart(const FftTables& tables, FftWorkspace& workspace, RealMatrix fieldRe, RealMatrix fieldIm, int first,
                  int last) {
    RunPasses(tables, workspace, fieldRe, fieldIm, nullptr, 0, {}, {detail::Fft2DPart::Kind::rows, first, last});
}

}  // namespace velmora
