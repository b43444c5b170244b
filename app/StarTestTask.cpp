#include "app/StarTestTask.h"

#include "run/Pipeline.h"

namespace velmora {

StarTestTask::StarTestTask(RunSpec runSpec, int threads, double defocusWavesPv, std::function<void()> ended)
    : runSpec_(std::move(runSpec)) {
    thread_ = std::thread([this, threads, defocusWavesPv, ended = std::move(ended)] {
        try {
            // The mask's samplings are staged here, as the calculation task stages them.
            const PreparedRun prepared(runSpec_, threads);
            result = RunStarTest(prepared.Request(), prepared.Builder(), defocusWavesPv, RunControl{threads, &stop_});
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
