// What the benchmarks share: the scenarios and their runs through the pipeline, the largest
// mask, memory read from fresh processes, the offscreen application, thread counts.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/LoadedMask.h"
#include "core/PsfCalculation.h"
#include "run/RunSpec.h"

namespace velmora {

// The largest mask the loader takes, grey, kept before the run as the mask window keeps it:
// rings of 37 pixels and a soft diagonal ramp, so that the reduction has work in every cell.
const LoadedMask& LargestMask();
// The RunSpec of a scenario's request: the largest mask when its profile reads one (held for the
// program's life, not owned by the RunSpec).
RunSpec RunSpecOf(const CalculationRequest& rq);
// One run through the pipeline, the mask staged as part of it.
PsfResult RunOnce(const CalculationRequest& rq, RealMatrixHolder& workGrid, int threads = 1);
CalculationRequest Scenario(const std::string& name);
// The sky laid over a scenario's result: 2" of seeing, or a companion 1.5" away.
SkyConditions ScenarioSky(const std::string& name);
// A scenario's run with its sky.
PsfResult RunScenario(const std::string& name, const CalculationRequest& rq, RealMatrixHolder& workGrid, int threads);
// Peak memory of one run, measured in a fresh process (this program started again for just
// that run): the high-water mark of resident memory, whole and above what the process held
// before the run began.
std::string PeakRun(const std::string& name, int threads);
// Resident memory of this process now, in MiB.
double ResidentMiB();
// Memory a process holds between runs, measured in a fresh process: resident memory before the
// first run, after it and after `runs` runs on `threads` workers, and the high-water mark.
std::string HeldAfterRuns(const std::string& name, int threads, int runs);
// Reads the numbers a fresh copy of this program prints for `flag` and `args`.
std::vector<double> FromFreshProcess(const std::string& flag, const std::string& args, size_t count);
// The application object the windows need, offscreen; made once and kept until the program
// ends, as in the program itself.
void OffscreenApplication();
void BenchRun(benchmark::State& state, const std::string& name, int threads = 1);
// One thread and every hardware thread, the run's own workers (RunControl), not the
// benchmark library's. Targets on 2 cores: all cores at most 0.7 x (default) and 0.6 x (61
// wavelengths) the one-thread time; run_peak_MiB at most 40 MiB more per extra thread.
void ThreadCounts(benchmark::internal::Benchmark* b);

}  // namespace velmora
