// The star test pair computed on a thread of its own, so that the window never waits for it.
// The task holds its RunSpec by value (the mask shared, never changed).
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "optics/StarTestPictures.h"
#include "run/RunSpec.h"

namespace velmora {

class StarTestTask {
public:
    // Starts at once; `ended` is called on the task's thread when the pair is there, refused,
    // failed or stopped: the pair of the RunSpec's star.
    StarTestTask(RunSpec runSpec, int threads, double defocusWavesPv, std::function<void()> ended);
    // Stops the pair and waits for it.
    ~StarTestTask();
    StarTestTask(const StarTestTask&) = delete;
    StarTestTask& operator=(const StarTestTask&) = delete;

    // Asks the pair to end early, at its next wavelength; returns at once.
    void Stop() { stop_ = true; }
    // Waits until the task's thread has ended; afterwards the outcome may be read.
    void Wait();

    std::optional<StarTestResult> result;  // set when the pair went through
    std::exception_ptr error;              // set when it was refused or failed
    bool stopped = false;                  // set when Stop() ended it

private:
    RunSpec runSpec_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace velmora
