#include "app/CalculationTask.h"

#include "analysis/ThroughFocus.h"
#include "imaging/Sky.h"

namespace velmora {

CalculationTask::CalculationTask(CalculationRequest request, const UserFilter& filter, const LoadedMask* mask,
                                 int threads, Measure measure, std::function<void()> ended,
                                 std::function<void()> measured, std::shared_ptr<IdealCache> ideals,
                                 IdealCache::Extras idealExtras, SkyConditions sky)
    : request_(std::move(request)),
      sky_(sky),
      measure_(measure),
      filter_(filter),
      mask_(mask),
      ideals_(std::move(ideals)),
      idealExtras_(std::move(idealExtras)) {
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
    // Every sampling the run needs is staged from the mask once, before the first wavelength,
    // here rather than on the window's thread: a large mask takes a while.
    std::optional<UserMaskStages> stages;
    if (mask_) stages.emplace(*mask_, RunPupilSamplings(request_.params), threads);
    PupilInputs inputs;
    inputs.params = &request_.params;
    inputs.userFilter = &filter_;
    inputs.loadedMask = mask_;
    if (stages) inputs.userMaskStages = &*stages;
    const PupilBuilder build = [&](int lambda, RealMatrix g, const ProgressFn& bar) { BuildPupil(inputs, lambda, g, bar); };
    CalculationProgress progress;
    progress.bar = [this](int percent) { progress_ = percent; };
    try {
        // The run hands its grid over when it goes through; the task's grid is not read otherwise.
        CheckSky(sky_, request_.params);
        result = RunPsfCalculation(request_, build, grid, progress, RunControl{threads, &stop_});
        ApplySky(*result, sky_, request_.brightnessLevel, threads);
    } catch (const CalculationStopped&) {
        stopped = true;
    } catch (...) {
        error = std::current_exception();
    }
    if (result && measure_ == Measure::BeforeEnd && !stop_) MeasureResult(build, threads);
    progress_ = 0;
    // Everything the outcome holds is written before this: the window may read it from here on.
    const bool after = result && measure_ == Measure::AfterEnd;
    measuring_.store(after, std::memory_order_release);
    if (ended) ended();
    if (!after) return;
    MeasureResult(build, threads);
    if (measured) measured();
}

// The measurements, here rather than on the window's thread; a result that cannot be measured
// (memory) is still shown, and measured when the analysis window asks. An aberrated result's
// ideal comes from the cache, or from a run of this task's pupils without the aberrations; a
// result whose ideal could not be made (stopped, refused) is measured without it.
void CalculationTask::MeasureResult(const PupilBuilder& build, int threads) {
    try {
        std::shared_ptr<const Analysis> ideal;
        if (ideals_ && !Unaberrated(*result->full)) {
            try {
                ideal = ideals_->For(request_, idealExtras_, build, RunControl{threads, &stop_}, sky_.seeingArcsec);
            } catch (const CalculationStopped&) {
            } catch (const CalculationError&) {
            }
        }
        Analysis measured = Analyse(*result->full, ideal.get(), &stop_);
        // The through-focus curve from the same pupils; a curve that cannot be made (memory)
        // leaves the other measurements as they are.
        try {
            AddThroughFocus(measured, *result->full, build, &stop_);
        } catch (const CalculationError&) {
        }
        analysis = std::make_shared<const Analysis>(std::move(measured));
    } catch (const std::exception&) {
        analysis.reset();
    }
}

}  // namespace velmora
