// A calculation run on a thread of its own, so that the window keeps painting while it lasts.
// The task holds its RunSpec by value (the mask shared, never changed): nothing the window does
// meanwhile reaches it.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <thread>

#include "analysis/Analysis.h"
#include "run/IdealCache.h"
#include "run/Pipeline.h"
#include "run/RunSpec.h"

namespace velmora {

class CalculationTask {
public:
    // Whether the task measures the result it made, on its own thread, and when.
    enum class Measure {
        No,
        BeforeEnd,  // before `ended`: the result and its measurements are there together
        AfterEnd,   // after `ended`: the result is there first, then `measured` is called
    };
    // Starts at once. `ended` is called on the task's thread when the run has ended, whatever
    // the outcome; `measured` (with Measure::AfterEnd and a result) when the measurements are
    // there too. ideals: where the measurements find the ideal of an aberrated result (made
    // there when it lacks it, with this task's pupils); without it an aberrated result is
    // measured without its ideal. The RunSpec's sky is laid over the result on the task's thread,
    // its ideal made under the same seeing; a sky that cannot be laid over the run refuses it
    // before it starts.
    CalculationTask(RunSpec runSpec, int threads, Measure measure, std::function<void()> ended,
                    std::function<void()> measured = {}, std::shared_ptr<IdealCache> ideals = nullptr);
    // Stops the run and waits for it.
    ~CalculationTask();
    CalculationTask(const CalculationTask&) = delete;
    CalculationTask& operator=(const CalculationTask&) = delete;

    // Asks the run to end early; it ends at its next wavelength.
    void Stop() { stop_ = true; }
    // Whether Stop was called: a task whose measurements were left off has none to give.
    bool StopAsked() const { return stop_; }
    // Waits until the task's thread has ended (measurements included); afterwards everything
    // below may be read.
    void Wait();
    // After `ended`: whether the outcome (result, error, stopped, grid) may be read without
    // Wait(), the measurements still coming (Measure::AfterEnd with a result).
    bool Measuring() const { return measuring_.load(std::memory_order_acquire); }
    // The bar's position as the run last reported it, 0..100.
    int Progress() const { return progress_; }
    // What the run was asked.
    const RunSpec& Inputs() const { return runSpec_; }

    std::optional<PsfResult> result;  // set when the run went through
    std::shared_ptr<const Analysis> analysis;  // its measurements, when asked for (after Wait())
    std::exception_ptr error;         // set when it was refused or failed
    bool stopped = false;             // set when Stop() ended it
    RealMatrixHolder grid;            // the last wavelength's pupil after a run that went through

private:
    void Run(int threads, const std::function<void()>& ended, const std::function<void()>& measured);
    void MeasureResult(const PreparedRun& prepared, int threads);

    RunSpec runSpec_;
    Measure measure_;
    std::atomic<bool> measuring_{false};
    std::shared_ptr<IdealCache> ideals_;
    std::atomic<bool> stop_{false};
    std::atomic<int> progress_{0};
    std::thread thread_;
};

}  // namespace velmora
