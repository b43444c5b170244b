#include "app/StarTestTask.h"

#include "pupil/UserMaskStage.h"

namespace velmora {

StarTestTask::StarTestTask(CalculationRequest request, const UserFilter& filter, std::shared_ptr<const LoadedMask> mask,
                           int threads, double defocusWavesPv, std::function<void()> ended)
    : request_(std::move(request)), filter_(filter), mask_(std::move(mask)) {
    thread_ = std::thread([this, threads, defocusWavesPv, ended = std::move(ended)] {
        try {
            // The mask's samplings are staged here, as the calculation task stages them.
            std::optional<UserMaskStages> stages;
            if (mask_) stages.emplace(*mask_, RunPupilSamplings(request_.params), threads);
            PupilInputs inputs;
            inputs.params = &request_.params;
            inputs.userFilter = &filter_;
            inputs.loadedMask = mask_.get();
            if (stages) inputs.userMaskStages = &*stages;
            const PupilBuilder build = [&](int lambda, RealMatrix g, const ProgressFn& bar) {
                BuildPupil(inputs, lambda, g, bar);
            };
            result = RunStarTest(request_, build, defocusWavesPv, RunControl{threads, &stop_});
        } catch (const CalculationStopped&) {
            stopped = true;
        } catch (...) {
            error = std::current_exception();
        }
        if (ended) ended();
    });
}

StarTestTask::~StarTestTask() {
    Stop();
    Wait();
}

void StarTestTask::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace velmora
