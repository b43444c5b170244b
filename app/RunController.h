// The window's work off its thread: the calculation (one run at a time), the measurements of a
// result made after its run has ended, and the star test pairs. The tasks' ends come back to
// this object's thread as queued signals and go on to the window as typed ones. A run is known
// by its serial number, never by where its task lies in memory: a late end never takes over a
// newer run. In the automatic mode a change while a run lasts stops it, and however many changes
// come meanwhile, one restart is due at its end.
#pragma once

#include <QObject>
#include <exception>
#include <map>
#include <memory>
#include <optional>

#include "app/CalculationTask.h"
#include "app/StarTestTask.h"

namespace velmora {

// What a run left, handed to the window once.
struct RunEnd {
    quint64 serial = 0;
    bool live = false;                          // started by the automatic mode
    std::optional<PsfResult> result;            // when it went through
    std::exception_ptr error;                   // when it was refused or failed
    bool stopped = false;                       // when it was stopped
    RunSpec runSpec;                               // what it ran
    RealMatrixHolder grid;                      // its last pupil, when it went through
    std::shared_ptr<const Analysis> analysis;   // its measurements, when they came with it
    bool measurementsFollow = false;            // they come later (RunMeasured)
};

// What a star test pair left.
struct StarTestEnd {
    std::optional<StarTestResult> result;
    std::exception_ptr error;
};

class RunController : public QObject {
    Q_OBJECT
public:
    explicit RunController(QObject* parent = nullptr);
    // Stops every task and waits for them; no end is delivered.
    ~RunController() override;

    // Starts a run of `RunSpec` while none lasts. The measurements of an earlier result, if still
    // being made, are left off: the new run has the processors to itself. Returns its serial.
    quint64 Start(RunSpec runSpec, int threads, CalculationTask::Measure measure, std::shared_ptr<IdealCache> ideals,
                  bool live);
    bool Running() const { return run_ != nullptr; }
    bool RunningLive() const { return run_ && live_; }
    // The serial number of the latest run started (0 before the first).
    quint64 Serial() const { return serial_; }
    // The bar's position as the running run last reported it, 0..100.
    int Progress() const { return run_ ? run_->Progress() : 0; }

    // Asks the running run to end early; its end comes as any other. No restart follows it.
    void Stop();
    // Stops the running run, waits for it and takes its end up at once: RunEnded is emitted
    // before this returns. No restart follows it.
    void StopAndWait();
    // A value the automatic mode reads has changed: an automatic run that lasts is stopped and one
    // restart is due at its end (true). False when no run lasts: the caller starts one. A run of
    // "計算開始" is left to end (true).
    bool Restart();
    // Whether a restart was asked for during the run that ended last.
    bool RestartDue() const { return restartDue_; }
    // The measurements of the last result, from the task still making them: waited for here;
    // null when there is no such task or it was left off.
    std::shared_ptr<const Analysis> WaitForMeasurements();

    // Takes up the end of run `serial`: the task's thread asks for it so, queued. The end of a
    // run already taken up, or of one long gone, changes nothing.
    void TakeEnd(quint64 serial);

    // Stops the star test pairs under way; their ends are dropped.
    void StopStarTests();
    // Starts a pair for `RunSpec` (those under way are stopped); only the latest is delivered.
    void StartStarTest(RunSpec runSpec, int threads, double defocusWavesPv);

signals:
    // On this object's thread, once per run taken up; `end` may be taken from.
    void RunEnded(velmora::RunEnd& end);
    // The measurements of a result whose run ended before them.
    void RunMeasured(std::shared_ptr<const velmora::FullResult> full, std::shared_ptr<const velmora::Analysis> analysis);
    void StarTestEnded(velmora::StarTestEnd& end);

    // From the tasks' threads, queued to this object.
    void TaskEnded(quint64 serial);
    void TaskMeasured(quint64 serial);
    void StarTestTaskEnded(quint64 serial);

private:
    void TakeMeasured(quint64 serial);
    void TakeStarTestEnd(quint64 serial);

    std::unique_ptr<CalculationTask> run_;
    quint64 serial_ = 0;
    bool live_ = false;
    bool restartDue_ = false;
    std::unique_ptr<CalculationTask> measuring_;  // a task that ended and measures its result
    quint64 measuringSerial_ = 0;
    std::map<quint64, std::unique_ptr<StarTestTask>> starTests_;
    quint64 starTestSerial_ = 0;
};

}  // namespace velmora
