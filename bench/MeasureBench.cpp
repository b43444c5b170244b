// The measurements of a result: the analysis, the camera image, the ideal made and kept,
// through focus.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <complex>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "analysis/Analysis.h"
#include "run/IdealCache.h"
#include "run/Pipeline.h"
#include "optics/ThroughFocus.h"
#include "imaging/Sky.h"
#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QToolButton>
#include <array>
#include <filesystem>

#include "app/AppWindows.h"
#include "app/ProcessMemory.h"
#include "app/Psfmain.h"
#include "core/PsfCalculation.h"
#include "core/RunThreads.h"
#include "optics/StarTestPictures.h"
#include "ui/SpinButton.h"
#include "pupil/Previews.h"
#include "pupil/PupilModel.h"
#include "pupil/UserMaskStage.h"
#include "files/UserMaskFile.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/ResultRenderers.h"
#include "../tests/ReferenceAlgorithms.h"


#include "BenchSupport.h"

namespace velmora {
namespace {

// Every measurement of a default monochrome result. Target: at most one BM_Fftw2D_Measure (the
// MTF is one more 2D transform; the rest is a few passes over the grid).
void BM_Analysis_Default(benchmark::State& state) {
    SetKernelTrace(false);
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    const PsfResult result = RunOnce(Scenario("mono"), workGrid);
    for (auto _ : state) {
        const Analysis a = Analyse(*result.full);
        benchmark::DoNotOptimize(a.bands.data());
    }
}
BENCHMARK(BM_Analysis_Default)->Unit(benchmark::kMillisecond);

// The camera image of a default result in 4.5 um pixels, as the camera window makes it: the
// pitch and the width found by its own pass, then the pixels. Target: at most 0.5 x
// BM_Fftw2D_Measure.
void BM_CameraImage_Default(benchmark::State& state) {
    SetKernelTrace(false);
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    const PsfResult result = RunOnce(Scenario("mono"), workGrid);
    for (auto _ : state) {
        const std::vector<CameraImage> images = CameraImages(*result.full, 4.5);
        benchmark::DoNotOptimize(images.data());
    }
}
BENCHMARK(BM_CameraImage_Default)->Unit(benchmark::kMillisecond);

// The default pupil with 0.3 waves of coma: its measurements given its ideal (the ideal's
// curves are copied in, nothing more is computed). Target: as BM_Analysis_Default.
void BM_Analysis_ComaWithIdeal(benchmark::State& state) {
    SetKernelTrace(false);
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    CalculationRequest rq = Scenario("mono");
    rq.params.comaX = 30;
    const PsfResult result = RunOnce(rq, workGrid);
    const PsfResult plain = RunOnce(IdealRequest(rq), workGrid);
    const Analysis ideal = Analyse(*plain.full);
    for (auto _ : state) {
        const Analysis a = Analyse(*result.full, &ideal);
        benchmark::DoNotOptimize(a.bands.data());
    }
}
BENCHMARK(BM_Analysis_ComaWithIdeal)->Unit(benchmark::kMillisecond);

// The ideal of that run made anew (a run without the aberrations and its measurements: what a
// new pupil costs once), and found kept (what every other run of the same pupil costs, as in
// the automatic mode while the aberrations change).
void IdealOfComa(benchmark::State& state, bool kept) {
    SetKernelTrace(false);
    // The two RunSpecs the runs alternate between, prepared once (their pupils are the same).
    RunSpec runSpec = RunSpecOf(Scenario("mono"));
    runSpec.request.params.comaX = 30;
    const PreparedRun plus(runSpec, 1);
    runSpec.request.params.comaX = -20;
    const PreparedRun minus(runSpec, 1);
    std::optional<IdealCache> cache;
    cache.emplace();
    if (kept) cache->For(plus);
    bool turn = false;
    for (auto _ : state) {
        if (!kept) {
            state.PauseTiming();
            cache.emplace();
            state.ResumeTiming();
        }
        turn = !turn;
        benchmark::DoNotOptimize(cache->For(turn ? minus : plus).get());
    }
}
void BM_Ideal_ComaNew(benchmark::State& state) { IdealOfComa(state, false); }
BENCHMARK(BM_Ideal_ComaNew)->Unit(benchmark::kMillisecond);
void BM_Ideal_ComaKept(benchmark::State& state) { IdealOfComa(state, true); }
BENCHMARK(BM_Ideal_ComaKept)->Unit(benchmark::kMicrosecond);

// The through-focus curve of a default monochrome result (41 points from -1 to +1 wave P-V):
// its pupils built again and each point's peak summed from them. Target: at most 25 x
// BM_Fftw2D_Measure.
void BM_ThroughFocus_Default(benchmark::State& state) {
    SetKernelTrace(false);
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    const CalculationRequest rq = Scenario("mono");
    const PsfResult result = RunOnce(rq, workGrid);
    const Analysis measured = Analyse(*result.full);
    const PreparedRun prepared(RunSpecOf(rq), 1);
    for (auto _ : state) {
        Analysis a = measured;
        AddThroughFocus(a, *result.full, prepared.Builder());
        benchmark::DoNotOptimize(a.bands[0].focusStrehl.data());
    }
}
BENCHMARK(BM_ThroughFocus_Default)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
