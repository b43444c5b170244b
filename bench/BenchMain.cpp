// Speed and memory of the numeric road: the 2D transform against FFTW on the same machine in
// the same run, whole calculation runs, and the redraws of the previews and viewers. `make bench`.
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

// The largest mask the loader takes, grey, kept before the run as the mask window keeps it:
// rings of 37 pixels and a soft diagonal ramp, so that the reduction has work in every cell.
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

// The spec of a scenario's request: the largest mask when its profile reads one (held for the
// program's life, not owned by the spec).
RunSpec SpecOf(const CalculationRequest& rq) {
    RunSpec spec;
    spec.request = rq;
    if (rq.params.densityProfile == DensityProfileKind::UserMask)
        spec.mask = std::shared_ptr<const LoadedMask>(std::shared_ptr<void>(), &LargestMask());
    return spec;
}

// One run through the pipeline, the mask staged as part of it.
PsfResult RunOnce(const CalculationRequest& rq, RealMatrixHolder& workGrid, int threads = 1) {
    const PreparedRun prepared(SpecOf(rq), threads);
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

// The sky laid over a scenario's result: 2" of seeing, or a companion 1.5" away.
SkyConditions ScenarioSky(const std::string& name) {
    SkyConditions sky;
    if (name == "monoseeing") sky.seeingArcsec = 2;
    if (name == "monodouble") sky.companion = {1.5, 30, 1};
    return sky;
}

// A scenario's run with its sky.
PsfResult RunScenario(const std::string& name, const CalculationRequest& rq, RealMatrixHolder& workGrid, int threads) {
    RunSpec spec = SpecOf(rq);
    spec.sky = ScenarioSky(name);
    const PreparedRun prepared(std::move(spec), threads);
    return RunPrepared(prepared, workGrid, {}, RunControl{threads, nullptr});
}

// Peak memory of one run, measured in a fresh process (this program started again for just
// that run): the high-water mark of resident memory, whole and above what the process held
// before the run began.
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

// Resident memory of this process now, in MiB.
double ResidentMiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// Memory a process holds between runs, measured in a fresh process: resident memory before the
// first run, after it and after `runs` runs on `threads` workers, and the high-water mark.
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

// Reads the numbers a fresh copy of this program prints for `flag` and `args`.
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

// The application object the windows need, offscreen; made once and kept until the program
// ends, as in the program itself.
void OffscreenApplication() {
    static int argc = 1;
    static char program[] = "velmora1-bench";
    static char* argv[] = {program, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QApplication::instance()) new VelmoraApplication(argc, argv);
}

void BenchRun(benchmark::State& state, const std::string& name, int threads = 1) {
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

// One thread and every hardware thread, the run's own workers (RunControl), not the
// benchmark library's. Targets on 2 cores: all cores at most 0.7 x (default) and 0.6 x (61
// wavelengths) the one-thread time; run_peak_MiB at most 40 MiB more per extra thread.
void ThreadCounts(benchmark::internal::Benchmark* b) {
    b->ArgName("threads");
    b->Arg(1);
    if (DefaultThreadCount() > 1) b->Arg(DefaultThreadCount());
}

void BM_MonochromeRun_Default(benchmark::State& state) {
    BenchRun(state, "mono", static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MonochromeRun_Default)->Apply(ThreadCounts)->Unit(benchmark::kMillisecond);

// The default run with all 37 Fringe terms added to the panel's: the cost of evaluating a
// measured wavefront at every pupil sample, beside BM_MonochromeRun_Default/threads:1.
void BM_MonochromeRun_Zernike37(benchmark::State& state) {
    BenchRun(state, "monozernike37", static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MonochromeRun_Zernike37)->ArgName("threads")->Arg(1)->Unit(benchmark::kMillisecond);

// The default run under 2" of seeing: two more transforms of the band. Target: at most
// BM_MonochromeRun_Default/threads:1 + 2.5 x BM_Fftw2D_Measure.
void BM_Seeing_Default(benchmark::State& state) { BenchRun(state, "monoseeing", 1); }
BENCHMARK(BM_Seeing_Default)->Unit(benchmark::kMillisecond);

// The default run with a companion 1.5" away: one more transform pair of the band. Target: at
// most BM_MonochromeRun_Default/threads:1 + 2.5 x BM_Fftw2D_Measure.
void BM_DoubleStar_Default(benchmark::State& state) { BenchRun(state, "monodouble", 1); }
BENCHMARK(BM_DoubleStar_Default)->Unit(benchmark::kMillisecond);

void BM_MonochromeRun_61(benchmark::State& state) {
    BenchRun(state, "mono61", static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MonochromeRun_61)->Apply(ThreadCounts)->Unit(benchmark::kMillisecond);

void BM_ColourRun_Default(benchmark::State& state) {
    BenchRun(state, "colour");
}
// A request far beyond the machine (--threads 1000, VELMORA_THREADS=1000) runs as the count
// the programs cap it to: its time and process_peak_MiB are those of BM_MonochromeRun_61 at
// that count (threads_used), not of a thousand workers.
void BM_MonochromeRun_61_Requested(benchmark::State& state) {
    const RunThreads capped = RunThreadsFor(state.range(0), Scenario("mono61").params);
    BenchRun(state, "mono61", capped.threads);
    state.counters["threads_used"] = capped.threads;
}
BENCHMARK(BM_MonochromeRun_61_Requested)->ArgName("threads")->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Memory held between runs, whatever the number of workers: after 10 runs the process holds at
// most its idle size plus 1.2 x one run's peak above it (held_10_MiB <= idle_MiB + 1.2 x
// (peak_1_MiB - idle_MiB)). The figures come from a fresh process set up as the programs are,
// each run on a thread of its own as the window's; the time is of one run.
void BM_HeldMemory(benchmark::State& state, const std::string& name) {
    const int threads = static_cast<int>(state.range(0));
    BenchRun(state, name, threads);
    const std::vector<double> held =
        FromFreshProcess("--velmora-held=", name + " " + std::to_string(threads) + " 10", 4);
    state.counters["idle_MiB"] = held[0];
    state.counters["held_1_MiB"] = held[1];
    state.counters["held_10_MiB"] = held[2];
    state.counters["peak_1_MiB"] = held[3];
    state.counters["bound_MiB"] = held[0] + 1.2 * (held[3] - held[0]);
}
BENCHMARK_CAPTURE(BM_HeldMemory, Default, std::string("mono"))->ArgName("threads")->Arg(2)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_HeldMemory, 61, std::string("mono61"))->ArgName("threads")->Arg(2)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK(BM_ColourRun_Default)->Unit(benchmark::kMillisecond);

// The star test pair of the default telescope at its default defocus (8 waves), on one
// thread: both sides from one pupil per wavelength. Target: at most 2.5 x
// BM_MonochromeRun_Default/threads:1.
void BM_StarTest_Default(benchmark::State& state) {
    SetKernelTrace(false);
    const int threads = static_cast<int>(state.range(0));
    const PreparedRun prepared(SpecOf(Scenario("mono")), threads);
    for (auto _ : state) {
        const StarTestResult pair =
            RunStarTest(prepared.Request(), prepared.Builder(), defaultDefocusWavesPv, RunControl{threads, nullptr});
        benchmark::DoNotOptimize(pair.intraPicture.bgr.data());
    }
}
BENCHMARK(BM_StarTest_Default)->Apply(ThreadCounts)->Unit(benchmark::kMillisecond);

// The default run as a user's script starts it: a fresh `velmora1-batch --threads 1` (standard
// output and error to /dev/null), from the start of the process to its end. Target: at most 3 x
// BM_MonochromeRun_Default/threads:1. page_faults: the process's minor faults (getrusage of the
// child), cpu_ms: its user and system time.
void BM_BatchProcess_Default(benchmark::State& state) {
    const char* const argv[] = {VELMORA_BATCH_PATH, "--threads", "1", nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    double faults = 0, cpuMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t child = 0;
        if (posix_spawn(&child, argv[0], &quiet, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            state.SkipWithError("velmora1-batch did not start");
            break;
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("velmora1-batch failed");
            break;
        }
        faults += static_cast<double>(usage.ru_minflt);
        cpuMs += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3;
    }
    posix_spawn_file_actions_destroy(&quiet);
    state.counters["page_faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
    state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_BatchProcess_Default)->UseManualTime()->Unit(benchmark::kMillisecond);

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
    RunSpec spec = SpecOf(Scenario("mono"));
    spec.request.params.comaX = 30;
    std::optional<IdealCache> cache;
    cache.emplace();
    if (kept) cache->For(PreparedRun(spec, 1));
    for (auto _ : state) {
        state.PauseTiming();
        if (!kept) cache.emplace();
        spec.request.params.comaX = static_cast<int16_t>(spec.request.params.comaX == 30 ? -20 : 30);
        const PreparedRun prepared(spec, 1);
        state.ResumeTiming();
        benchmark::DoNotOptimize(cache->For(prepared).get());
    }
}
void BM_Ideal_ComaNew(benchmark::State& state) { IdealOfComa(state, false); }
BENCHMARK(BM_Ideal_ComaNew)->Unit(benchmark::kMillisecond);
void BM_Ideal_ComaKept(benchmark::State& state) { IdealOfComa(state, true); }
BENCHMARK(BM_Ideal_ComaKept)->Unit(benchmark::kMicrosecond);

// The analysis window shown, given results already measured, in turn: the table and the three
// plots filled, all on the window's thread (offscreen). `comaX`: the coma of each result.
// `energyRange`: the entry of the encircled energy's range box (0: three r80, 2: thirty, where
// the curves come from the function beyond the measured radii).
void AnalysisWindowFill(benchmark::State& state, const std::vector<int16_t>& comaX, int energyRange = 0) {
    SetKernelTrace(false);
    OffscreenApplication();
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    std::vector<std::shared_ptr<const FullResult>> results;
    std::vector<std::shared_ptr<const Analysis>> measured;
    // Each with its ideal, the default pupil's, as the window gets them.
    const Analysis ideal = Analyse(*RunOnce(Scenario("mono"), workGrid).full);
    for (int16_t coma : comaX) {
        CalculationRequest rq = Scenario("mono");
        rq.params.comaX = coma;
        const PsfResult result = RunOnce(rq, workGrid);
        results.push_back(result.full);
        measured.push_back(std::make_shared<const Analysis>(Analyse(*result.full, &ideal)));
    }
    TAnalysis window([](const FullResult& full) { return Analyse(full); });
    window.show();
    window.findChild<QComboBox*>(QStringLiteral("EnergyRangeBox"))->setCurrentIndex(energyRange);
    QCoreApplication::processEvents();
    // The time in the window's filling (ShowResult) and in the events after it (layout and
    // painting), each per iteration.
    using Clock = std::chrono::steady_clock;
    Clock::duration filling{}, events{};
    size_t next = 0;
    for (auto _ : state) {
        // A new result object each time, so that the window shows it rather than skipping it;
        // the copy of the full result is not the window's time.
        state.PauseTiming();
        auto full = std::make_shared<const FullResult>(*results[next]);
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        window.ShowResult(std::move(full), measured[next]);
        const Clock::time_point filled = Clock::now();
        QCoreApplication::processEvents();
        filling += filled - start;
        events += Clock::now() - filled;
        next = (next + 1) % results.size();
    }
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    state.counters["fill_ms"] = benchmark::Counter(ms(filling), benchmark::Counter::kAvgIterations);
    state.counters["events_ms"] = benchmark::Counter(ms(events), benchmark::Counter::kAvgIterations);
}
// The same measurements again and again.
void BM_AnalysisWindowFill(benchmark::State& state) { AnalysisWindowFill(state, {0}); }
BENCHMARK(BM_AnalysisWindowFill)->Unit(benchmark::kMillisecond);
// The automatic mode's case: each result has other aberrations (no coma, then 0.3 waves), so
// the measured curves and numbers change while the ideal curves stay.
void BM_AnalysisWindowFill_Alternating(benchmark::State& state) { AnalysisWindowFill(state, {0, 30}); }
BENCHMARK(BM_AnalysisWindowFill_Alternating)->Unit(benchmark::kMillisecond);
// The same with the encircled energy widened to thirty r80.
void BM_AnalysisWindowFill_AlternatingWide(benchmark::State& state) { AnalysisWindowFill(state, {0, 30}, 2); }
BENCHMARK(BM_AnalysisWindowFill_AlternatingWide)->Unit(benchmark::kMillisecond);

// The colour run with an 8192 x 8192 mask: four samplings to stage from the whole picture.
// Targets: process peak at most 300 MiB, time at most twice BM_ColourRun_Default's.
void BM_ColourRun_Mask8192(benchmark::State& state) {
    LargestMask();
    BenchRun(state, "colourmask8192");
}
BENCHMARK(BM_ColourRun_Mask8192)->Unit(benchmark::kMillisecond);

// Every preview of the main window redrawn once, as start-up does: the aperture with all
// four vanes, the density profile, the spectrum in colour and both wavefront maps with coma.
void BM_Previews_All(benchmark::State& state) {
    SimulationParameters p;
    p.spider1 = p.spider2 = p.spider3 = p.spider4 = true;
    p.densityProfile = DensityProfileKind::Gaussian;
    p.colorMode = ColorMode::Colour;
    p.comaX = 30;
    p.focus = 5;
    const UserFilter filter;
    Picture24 density;
    for (auto _ : state) {
        Picture24 aperture = DrawAperturePreview(p);
        DrawDensityPreview(density, p, filter, MakeColorRef(240, 240, 240));
        Picture24 spectrum = DrawSpectrumPreview(p);
        Picture24 fringes = DrawInterferencePreview(AberrationsInWaves(p));
        double pv = 0;
        Picture24 map = DrawPupilFunctionPreview(AberrationsInWaves(p), p.contrast, pv);
        benchmark::DoNotOptimize(aperture.bgr.data());
        benchmark::DoNotOptimize(spectrum.bgr.data());
        benchmark::DoNotOptimize(fringes.bgr.data());
        benchmark::DoNotOptimize(map.bgr.data());
        benchmark::DoNotOptimize(pv);
    }
}
BENCHMARK(BM_Previews_All)->Unit(benchmark::kMillisecond);

// The result images of a colour run with coma, which the viewers redraw from.
const PsfResultImages& ColourComaResults() {
    static const PsfResultImages results = [] {
        SetKernelTrace(false);
        CalculationRequest rq = Scenario("colour");
        rq.params.comaX = 30;  // 0.3 waves
        RealMatrixHolder workGrid;
        workGrid.Allocate(gridSize, gridSize);
        return RunOnce(rq, workGrid).images;
    }();
    return results;
}

// One move of the 2D viewer's brightness bar in colour mode: three channels.
void BM_BrightnessRedraw(benchmark::State& state) {
    const PsfResultImages& r = ColourComaResults();
    int level = 1;
    for (auto _ : state) {
        Picture24 shown = DrawBrightness(r.image2, r.image3, r.image4, level, true);
        benchmark::DoNotOptimize(shown.bgr.data());
        level = level % 100 + 1;
    }
}
BENCHMARK(BM_BrightnessRedraw)->Unit(benchmark::kMillisecond);

// One press of a 1D viewer button: thumbnail, both plots of all three channels at the
// largest magnification (most points far off the linear plot).
void BM_ProfileRedraw(benchmark::State& state) {
    const PsfResultImages& r = ColourComaResults();
    const ProfileSources sources{&r.image2, &r.image3, &r.image4};
    int column = 100;
    for (auto _ : state) {
        Picture24 thumbnail = DrawThumbnail(r.display, column);
        ProfilePlots plots = DrawProfiles(sources, column, 100, true, ProfileChannel::All);
        benchmark::DoNotOptimize(thumbnail.bgr.data());
        benchmark::DoNotOptimize(plots.linear.bgr.data());
        column = column == 155 ? 100 : column + 1;
    }
}
BENCHMARK(BM_ProfileRedraw)->Unit(benchmark::kMillisecond);

// One animation step of the 3D view.
void BM_ReliefRedraw(benchmark::State& state) {
    const PsfResultImages& r = ColourComaResults();
    int theta = 0;
    for (auto _ : state) {
        Picture24 relief = DrawRelief(r.image3, theta);
        benchmark::DoNotOptimize(relief.bgr.data());
        theta = NextAnimationAngle(theta, 5);
    }
}
BENCHMARK(BM_ReliefRedraw)->Unit(benchmark::kMillisecond);
// The main window writes its start-up files where it starts: a scratch folder made the working
// folder for the object's life, then removed.
struct ScratchWorkingFolder {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(getpid()));
    ScratchWorkingFolder() {
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
    }
    ~ScratchWorkingFolder() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

// The up and down arrows of the panel's coma X spin, which the live benchmarks click in turn.
std::array<QToolButton*, 2> ComaArrows(TForm1& form) {
    auto* spin = form.findChild<SpinButton*>(QStringLiteral("UpDown28"));
    return {spin->findChild<QToolButton*>(QStringLiteral("up")), spin->findChild<QToolButton*>(QStringLiteral("down"))};
}

// From a spin click to the 2D viewer's new picture with "自動計算(&L)" on: the default telescope,
// an offscreen main window with the analysis window open, all cores. Target: at most 3.5 times
// BM_Fftw2D_Measure.
void BM_LiveUpdate_Default(benchmark::State& state) {
    OffscreenApplication();
    const ScratchWorkingFolder scratch;
    {
        auto windows = CreateWindows();
        TForm1& form = *windows->form1;
        auto waitIdle = [&] {
            while (form.CalculationRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        // With the analysis window open (the target's case) every result comes measured, off the
        // window's thread; without it, for comparison.
        if (state.range(0)) form.findChild<QAction*>(QStringLiteral("A1"))->trigger();
        form.findChild<QAction*>(QStringLiteral("L1"))->trigger();
        waitIdle();
        const std::array<QToolButton*, 2> arrows = ComaArrows(form);
        int k = 0;
        // The first result with coma makes the pupil's ideal for the measurements (once per
        // pupil, see BM_Ideal_ComaNew); the automatic mode's steady state is what is timed.
        if (state.range(0)) {
            for (QToolButton* arrow : arrows) {
                const int shown = form.RunResultsShown();
                arrow->click();
                while (form.RunResultsShown() == shown) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            waitIdle();
        }
        for (auto _ : state) {
            const int shown = form.RunResultsShown();
            arrows[k++ % 2]->click();  // coma up and down again, never leaving the range
            while (form.RunResultsShown() == shown)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        waitIdle();
    }
}
BENCHMARK(BM_LiveUpdate_Default)->ArgName("analysis")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// From a spin click to the star test window's new pair with "自動計算(&L)" on: as
// BM_LiveUpdate_Default with the star test window open too (the analysis window open or not),
// timed until the pair of the new result is on screen. Target: at most 3 x
// BM_LiveUpdate_Default of the same analysis argument.
void BM_LiveUpdate_StarTest(benchmark::State& state) {
    OffscreenApplication();
    const ScratchWorkingFolder scratch;
    {
        auto windows = CreateWindows();
        TForm1& form = *windows->form1;
        auto waitPair = [&](int shown) {
            while (form.StarTestResultsShown() == shown) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        auto waitIdle = [&] {
            while (form.CalculationRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        if (state.range(0)) form.findChild<QAction*>(QStringLiteral("A1"))->trigger();
        form.findChild<QAction*>(QStringLiteral("T1"))->trigger();
        form.findChild<QAction*>(QStringLiteral("L1"))->trigger();
        waitIdle();
        waitPair(0);
        const std::array<QToolButton*, 2> arrows = ComaArrows(form);
        int k = 0;
        // As there, the ideals of both coma values are made before the timing.
        for (QToolButton* arrow : arrows) {
            const int shown = form.StarTestResultsShown();
            arrow->click();
            waitPair(shown);
        }
        waitIdle();
        for (auto _ : state) {
            const int shown = form.StarTestResultsShown();
            arrows[k++ % 2]->click();
            waitPair(shown);
        }
        waitIdle();
    }
}
BENCHMARK(BM_LiveUpdate_StarTest)->ArgName("analysis")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
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
    const PreparedRun prepared(SpecOf(rq), 1);
    for (auto _ : state) {
        Analysis a = measured;
        AddThroughFocus(a, *result.full, prepared.Builder());
        benchmark::DoNotOptimize(a.bands[0].focusStrehl.data());
    }
}
BENCHMARK(BM_ThroughFocus_Default)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    velmora::KeepRunMemoryInProcess();  // as the programs
    const std::string peakFlag = "--velmora-peak-run=";
    if (argc == 3 && std::string(argv[1]).rfind(peakFlag, 0) == 0) {
        std::puts(velmora::PeakRun(argv[1] + peakFlag.size(), std::atoi(argv[2])).c_str());
        return 0;
    }
    if (argc == 2 && std::string(argv[1]).rfind(peakFlag, 0) == 0) {
        std::puts(velmora::PeakRun(argv[1] + peakFlag.size(), 1).c_str());
        return 0;
    }
    const std::string heldFlag = "--velmora-held=";
    if (argc == 4 && std::string(argv[1]).rfind(heldFlag, 0) == 0) {
        std::puts(velmora::HeldAfterRuns(argv[1] + heldFlag.size(), std::atoi(argv[2]), std::atoi(argv[3])).c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
