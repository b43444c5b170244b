#include "app/RunController.h"

namespace velmora {

RunController::RunController(QObject* parent) : QObject(parent) {
    connect(this, &RunController::TaskEnded, this, &RunController::TakeEnd, Qt::QueuedConnection);
    connect(this, &RunController::TaskMeasured, this, &RunController::TakeMeasured, Qt::QueuedConnection);
    connect(this, &RunController::StarTestTaskEnded, this, &RunController::TakeStarTestEnd, Qt::QueuedConnection);
}

RunController::~RunController() {
    // The tasks stop and are joined as the members go; an end they queue meanwhile is dropped
    // with this object.
    if (run_) run_->Stop();
    if (measuring_) measuring_->Stop();
    for (auto& [serial, task] : starTests_) task->Stop();
}

quint64 RunController::Start(RunSpec runSpec, int threads, CalculationTask::Measure measure,
                             std::shared_ptr<IdealCache> ideals, bool live) {
    if (measuring_) measuring_->Stop();
    restartDue_ = false;
    const quint64 serial = ++serial_;
    // The task tells its end from its own thread; the serial travels as the signal's argument,
    // copied by Qt, so nothing the task wrote is read here before the task says it may be.
    run_ = std::make_unique<CalculationTask>(
        std::move(runSpec), threads, measure, [this, serial] { emit TaskEnded(serial); },
        [this, serial] { emit TaskMeasured(serial); }, std::move(ideals));
    live_ = live;
    return serial;
}

void RunController::Stop() {
    restartDue_ = false;
    if (run_) run_->Stop();
}

void RunController::StopAndWait() {
    if (!run_) return;
    restartDue_ = false;
    run_->Stop();
    run_->Wait();
    TakeEnd(serial_);
}

bool RunController::Restart() {
    if (!run_) return false;
    if (live_) {
        restartDue_ = true;
        run_->Stop();
    }
    return true;
}

std::shared_ptr<const Analysis> RunController::WaitForMeasurements() {
    if (!measuring_) return nullptr;
    measuring_->Wait();
    std::shared_ptr<const Analysis> made = measuring_->analysis;
    measuring_.reset();
    return made;
}

void RunController::TakeEnd(quint64 serial) {
    // A run already taken up (StopAndWait takes it up at once) is not taken up again.
    if (!run_ || serial != serial_) return;
    std::unique_ptr<CalculationTask> done = std::move(run_);
    // A task still measuring its result hands the outcome over now and the measurements later
    // (TakeMeasured); any other is joined.
    const bool measuring = done->Measuring();
    if (!measuring) done->Wait();
    RunEnd end;
    end.serial = serial;
    end.live = live_;
    // Copied: a task still measuring keeps its result for RunMeasured (the pictures are small,
    // the full result is shared).
    end.result = done->result;
    end.error = done->error;
    end.stopped = done->stopped;
    end.runSpec = done->Inputs();
    end.grid.Swap(done->grid);
    // The measurements of a task still measuring are not to be touched before it is joined.
    if (!measuring) end.analysis = done->analysis;
    end.measurementsFollow = measuring;
    // The task measuring an earlier result is let go: its numbers are no longer those of the
    // result on screen.
    if (measuring) {
        measuring_ = std::move(done);
        measuringSerial_ = serial;
    }
    emit RunEnded(end);
}

void RunController::TakeMeasured(quint64 serial) {
    if (!measuring_ || serial != measuringSerial_) return;
    const std::unique_ptr<CalculationTask> done = std::move(measuring_);
    done->Wait();
    // Measurements left off for a newer run: that run's result brings its own.
    if (!done->analysis && done->StopAsked()) return;
    if (done->result) emit RunMeasured(done->result->full, done->analysis);
}

void RunController::StopStarTests() {
    for (auto& [serial, task] : starTests_) task->Stop();
}

void RunController::StartStarTest(RunSpec runSpec, int threads, double defocusWavesPv) {
    StopStarTests();
    const quint64 serial = ++starTestSerial_;
    starTests_[serial] = std::make_unique<StarTestTask>(std::move(runSpec), threads, defocusWavesPv,
                                                        [this, serial] { emit StarTestTaskEnded(serial); });
}

void RunController::TakeStarTestEnd(quint64 serial) {
    const auto found = starTests_.find(serial);
    if (found == starTests_.end()) return;
    const std::unique_ptr<StarTestTask> done = std::move(found->second);
    starTests_.erase(found);
    done->Wait();
    // Only the latest pair asked for is delivered; the others were stopped or are out of date.
    if (serial != starTestSerial_) return;
    StarTestEnd end;
    end.result = std::move(done->result);
    end.error = done->error;
    emit StarTestEnded(end);
}

}  // namespace velmora
