#include "app/CalculationTask.h"

namespace velmora {

CalculationTask::CalculationTask(RunSpec runSpec, int threads, Measure measure, std::function<void()> ended,
                                 std::function<void()> measured, std::shared_ptr<IdealCache> ideals)
    : runSpec_(std::move(runSpec)), measure_(measure), ideals_(std::move(ideals)) {
    thread_ = std::thread([this, threads, ended = std::move(ended), measured = std::move(measured)] {
        Run(threads, ended, measured);
    });
}

CalculationTask::~CalculationTask() {
    Stop();
    Wait();
}

void CalculationTask::Wait() {
    if (thread_.joinable()) thread_.join();
}

void CalculationTask::Run(int threads, const std::function<void()>& ended, const std::function<void()>& measured) {
    // The mask is staged here rather than on the window's thread: a large mask takes a while.
    std::optional<PreparedRun> prepared;
    CalculationProgress progress;
    progress.bar = [this](int percent) { progress_ = percent; };
    try {
        prepared.emplace(runSpec_, threads);
        // The run hands its grid over when it goes through; the task's grid is not read otherwise.
        result = RunPrepared(*prepared, grid, progress, RunControl{threads, &stop_});
    } catch (const CalculationStopped&) {
        stopped = true;
    } catch (...) {
        error = std::current_exception();
    }
    if (result && measure_ == Measure::BeforeEnd && !stop_) MeasureResult(*prepared, threads);
    progress_ = 0;
    // Everything the outcome holds is written before this: the window may read it from here on.
    const bool after = result && measure_ == Measure::AfterEnd;
    measuring_.store(after, std::memory_order_release);
    if (ended) ended();
    if (!after) return;
    MeasureResult(*prepared, threads);
    if (measured) measured();
}

// The measurements, here rather than on the window's thread; a result that cannot be measured
// (memory, or stopped for a newer run) is still shown, and measured when the analysis window
// asks.
void CalculationTask::MeasureResult(const PreparedRun& prepared, int threads) {
    try {
        MeasureOptions options;
        options.ideal = ideals_ != nullptr;
        options.ideals = ideals_.get();
        options.throughFocus = MeasureOptions::ThroughFocus::Optional;
        analysis = std::make_shared<const Analysis>(
            MeasurePrepared(prepared, *result->full, options, RunControl{threads, &stop_}));
    } catch (const std::exception&) {
        analysis.reset();
    }
}

}  // namespace velmora
