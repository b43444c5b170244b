// The 2D transform of the default pupil against FFTW on the same machine in the same run, and
// the straightforward algorithm it is checked against.
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

// The field of the default pupil at 600 nm, as the calculation hands it to the transform.
struct DefaultField {
    DefaultField() {
        SetKernelTrace(false);
        workGrid.Allocate(gridSize, gridSize);
        re.Allocate(gridSize, gridSize);
        im.Allocate(gridSize, gridSize);
        SimulationParameters p;
        PupilInputs in;
        in.params = &p;
        const int np = BuildPupil(in, 600, workGrid.get());
        SamplePhase(np, AberrationsInWaves(p), workGrid.get(), re.get(), im.get());
    }
    void CopyTo(RealMatrix r, RealMatrix i) const {
        for (int k = 0; k < gridSize; ++k) {
            std::memcpy(r[k], re[k], sizeof(double) * gridSize);
            std::memcpy(i[k], im[k], sizeof(double) * gridSize);
        }
    }
    RealMatrixHolder workGrid, re, im;
};

const DefaultField& Field() {
    static DefaultField f;
    return f;
}

void TransformDefaultPupil(benchmark::State& state, void (*transform)(const FftTables&, RealMatrix, RealMatrix)) {
    const DefaultField& f = Field();
    FftTables tables;
    tables.Create(gridSize);
    RealMatrixHolder re, im;
    re.Allocate(gridSize, gridSize);
    im.Allocate(gridSize, gridSize);
    for (auto _ : state) {
        state.PauseTiming();
        f.CopyTo(re.get(), im.get());
        state.ResumeTiming();
        transform(tables, re.get(), im.get());
        benchmark::DoNotOptimize(re[512][512]);
    }
}

void BM_Fft2D_DefaultPupil(benchmark::State& state) {
    TransformDefaultPupil(state, [](const FftTables& t, RealMatrix re, RealMatrix im) {
        static FftWorkspace ws;  // the run keeps one for all its transforms
        if (ws.n != t.n) ws.Create(t.n);
        Fft2D(t, ws, re, im);
    });
}
BENCHMARK(BM_Fft2D_DefaultPupil)->Unit(benchmark::kMillisecond);

// The column/row/swap algorithm the fast transform is checked against, for scale.
void BM_Fft2D_Straightforward(benchmark::State& state) {
    TransformDefaultPupil(state, &reference::Fft2D);
}
BENCHMARK(BM_Fft2D_Straightforward)->Unit(benchmark::kMillisecond);

void BM_Fftw2D_Measure(benchmark::State& state) {
    const DefaultField& f = Field();
    const size_t n = static_cast<size_t>(gridSize) * gridSize;
    auto* data = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
    fftw_plan plan = fftw_plan_dft_2d(gridSize, gridSize, data, data, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        state.PauseTiming();
        for (int r = 0; r < gridSize; ++r)
            for (int c = 0; c < gridSize; ++c) {
                data[static_cast<size_t>(r) * gridSize + c][0] = f.re[r][c];
                data[static_cast<size_t>(r) * gridSize + c][1] = f.im[r][c];
            }
        state.ResumeTiming();
        fftw_execute(plan);
        benchmark::DoNotOptimize(data[0][0]);
    }
    fftw_destroy_plan(plan);
    fftw_free(data);
}
BENCHMARK(BM_Fftw2D_Measure)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
