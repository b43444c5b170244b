// Whole calculation runs: monochrome, colour, with seeing or a companion, the star test pair,
// the batch command as a process, memory held between runs, the largest mask.
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
    const PreparedRun prepared(RunSpecOf(Scenario("mono")), threads);
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

// The colour run with an 8192 x 8192 mask: four samplings to stage from the whole picture.
// Targets: process peak at most 300 MiB, time at most twice BM_ColourRun_Default's.
void BM_ColourRun_Mask8192(benchmark::State& state) {
    LargestMask();
    BenchRun(state, "colourmask8192");
}
BENCHMARK(BM_ColourRun_Mask8192)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
