#include "BenchSupport.h"

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


namespace velmora {

const LoadedMask& LargestMask() {
    static const LoadedMask mask = [] {
        const int side = userMaskMaxSide;
        std::vector<uint8_t> levels;
        levels.reserve(static_cast<size_t>(side) * side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int ring = static_cast<int>(std::hypot(x - 4096.0, y - 4096.0)) / 37;
                levels.push_back(static_cast<uint8_t>(ring % 2 ? 255 - (x + y) / 128 : (x + y) / 256));
            }
        LoadedMask m;
        m.width = m.height = side;
        m.grey = std::move(levels);
        return m;
    }();
    return mask;
}

RunSpec RunSpecOf(const CalculationRequest& rq) {
    RunSpec runSpec;
    runSpec.request = rq;
    if (rq.params.densityProfile == DensityProfileKind::UserMask)
        runSpec.mask = std::shared_ptr<const LoadedMask>(std::shared_ptr<void>(), &LargestMask());
    return runSpec;
}

PsfResult RunOnce(const CalculationRequest& rq, RealMatrixHolder& workGrid, int threads) {
    const PreparedRun prepared(RunSpecOf(rq), threads);
    return RunPrepared(prepared, workGrid, {}, RunControl{threads, nullptr});
}

CalculationRequest Scenario(const std::string& name) {
    CalculationRequest rq;
    if (name == "mono61") rq.params.whiteBand = {400, 700, 5};
    if (name == "colour" || name == "colourmask8192") rq.params.colorMode = ColorMode::Colour;
    if (name == "colourmask8192") rq.params.densityProfile = DensityProfileKind::UserMask;
    if (name == "monozernike37") {
        // A measured mirror: every Fringe term, a few hundredths of a wave each.
        ZernikeSet set;
        for (int k = fringeFirstIndex; k <= fringeLastIndex; ++k) set.coefficients[k] = 0.01 * (k % 5 - 2) + 0.005;
        rq.aberrations = AberrationsInWaves(rq.params);
        rq.aberrations->zernike = ZernikeWavefront(set);
    }
    return rq;
}

SkyConditions ScenarioSky(const std::string& name) {
    SkyConditions sky;
    if (name == "monoseeing") sky.seeingArcsec = 2;
    if (name == "monodouble") sky.companion = {1.5, 30, 1};
    return sky;
}

PsfResult RunScenario(const std::string& name, const CalculationRequest& rq, RealMatrixHolder& workGrid, int threads) {
    RunSpec runSpec = RunSpecOf(rq);
    runSpec.sky = ScenarioSky(name);
    const PreparedRun prepared(std::move(runSpec), threads);
    return RunPrepared(prepared, workGrid, {}, RunControl{threads, nullptr});
}

std::string PeakRun(const std::string& name, int threads) {
    SetKernelTrace(false);
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);  // the main window's, held for the program's life
    if (Scenario(name).params.densityProfile == DensityProfileKind::UserMask) LargestMask();  // loaded before
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    RunScenario(name, Scenario(name), workGrid, threads);
    getrusage(RUSAGE_SELF, &after);
    return std::to_string(after.ru_maxrss / 1024.0) + " " + std::to_string((after.ru_maxrss - before.ru_maxrss) / 1024.0);
}

double ResidentMiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

std::string HeldAfterRuns(const std::string& name, int threads, int runs) {
    SetKernelTrace(false);
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    const double idle = ResidentMiB();
    double afterOne = 0, firstPeak = 0;
    for (int k = 0; k < runs; ++k) {
        // On a thread of its own, as the window runs it.
        std::thread run([&] { RunOnce(Scenario(name), workGrid, threads); });
        run.join();
        if (k == 0) {
            afterOne = ResidentMiB();
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            firstPeak = usage.ru_maxrss / 1024.0;
        }
    }
    return std::to_string(idle) + " " + std::to_string(afterOne) + " " + std::to_string(ResidentMiB()) + " " +
           std::to_string(firstPeak);
}

std::vector<double> FromFreshProcess(const std::string& flag, const std::string& args, size_t count) {
    std::vector<double> values(count, -1);
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return values;
    const std::string command = std::string("'") + self + "' " + flag + args;
    if (FILE* p = popen(command.c_str(), "r")) {
        for (double& v : values)
            if (std::fscanf(p, "%lf", &v) != 1) v = -1;
        pclose(p);
    }
    return values;
}

void OffscreenApplication() {
    static int argc = 1;
    static char program[] = "velmora1-bench";
    static char* argv[] = {program, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QApplication::instance()) new VelmoraApplication(argc, argv);
}

void BenchRun(benchmark::State& state, const std::string& name, int threads) {
    SetKernelTrace(false);
    const CalculationRequest rq = Scenario(name);
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    for (auto _ : state) {
        const PsfResult result = RunScenario(name, rq, workGrid, threads);
        benchmark::DoNotOptimize(result.images.display.bgr.data());
    }
    const std::vector<double> peak = FromFreshProcess("--velmora-peak-run=", name + " " + std::to_string(threads), 2);
    state.counters["process_peak_MiB"] = peak[0];
    state.counters["run_peak_MiB"] = peak[1];
}

void ThreadCounts(benchmark::internal::Benchmark* b) {
    b->ArgName("threads");
    b->Arg(1);
    if (DefaultThreadCount() > 1) b->Arg(DefaultThreadCount());
}

}  // namespace velmora
