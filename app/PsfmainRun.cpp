// The main window's calculation runs: on a thread of their own, so that the window keeps
// painting; stopped by Esc or "中止"; and the automatic mode, in which every change of a value
// the run reads starts a new run.
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <optional>
#include <thread>

#include "app/AppWindows.h"
#include "app/RunController.h"
#include "app/Psfmain.h"
#include "core/RunThreads.h"
#include "panels/Maskdisplay.h"
#include "panels/ZernikeWindow.h"
#include "panels/Abberation.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/StarTestWindow.h"
#include "panels/SkyWindow.h"

namespace velmora {

namespace {

// How often the bar follows the run: often enough to look smooth, seldom enough to cost nothing.
constexpr int progressIntervalMs = 30;

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

}  // namespace

RunSpec TForm1::PanelRunSpec() {
    RunSpec runSpec;
    CalculationRequest& request = runSpec.request;
    request.params = Snapshot();
    request.brightnessLevel = windows_.psf->BrightnessLevel();
    // The table's texts become numbers here; a cell that is no number refuses the run.
    if (request.params.useWavelengthDependence && request.params.colorMode == ColorMode::Monochrome)
        request.dependenceRows = ConvertDependenceRows(windows_.abbr->Rows(), WavelengthCount(request.params.whiteBand));
    // The table's Zernike terms add to the panel's; without any the run reads the panel alone.
    if (windows_.zernike && !windows_.zernike->Wavefront().Empty()) {
        request.aberrations = AberrationsInWaves(request.params);
        request.aberrations->zernike = windows_.zernike->Wavefront();
    }
    request.mirror = MirrorInput();
    runSpec.filter = userFilter_;
    if (userMaskLoaded_) runSpec.mask = windows_.maskDis->SharedMask();
    runSpec.sky = SkyInputs().sky;
    return runSpec;
}

void TForm1::StartRun(bool live) {
    RunSpec runSpec = PanelRunSpec();
    // As many workers as asked for (VELMORA_THREADS) or every hardware thread, no more than
    // the run has wavelengths and the memory holds; a lower count than asked is said below the bar.
    const RunThreads threads = RunThreadsFor(DefaultThreadCount(), runSpec.request.params);
    const QString previousNote = threadsNote_;
    threadsNote_ = Translated(RunThreadsMessage(threads, EnvironmentThreadCount().has_value()));
    if (!threadsNote_.isEmpty() || (!previousNote.isEmpty() && liveMessage_->toolTip() == previousNote))
        ShowLiveMessage(threadsNote_);
    // An open analysis window gets the measurements made on the task's thread: with the result
    // for "計算開始", whose click returns with both; after it in the automatic mode, so that the
    // picture need not wait for them and the next run may start meanwhile.
    using Measure = CalculationTask::Measure;
    const Measure measure = !windows_.analysis || !windows_.analysis->isVisible() ? Measure::No
                            : live                                                ? Measure::AfterEnd
                                                                                  : Measure::BeforeEnd;
    runs_->Start(std::move(runSpec), threads.threads, measure, ideals_, live);
    if (!progressTimer_) {
        progressTimer_ = new QTimer(this);
        progressTimer_->setInterval(progressIntervalMs);
        connect(progressTimer_, &QTimer::timeout, this, [this] {
            if (runs_->Running()) ShowProgress(runs_->Progress());
        });
    }
    progressTimer_->start();
    stopButton_->show();
    stopButton_->raise();
    if (!live) {
        qApp->installEventFilter(this);
        ShowBusy(true);
    }
}

void TForm1::RunEnded(RunEnd& end) {
    const bool gotResult = end.result.has_value();
    const bool live = end.live;
    if (!live) {
        qApp->removeEventFilter(this);
        ShowBusy(false);
    }
    progressTimer_->stop();
    stopButton_->hide();
    progressBar_->setValue(0);
    if (end.result) {
        // The task's grid becomes the window's (the old one goes with the end).
        workGrid_.Swap(end.grid);
        shownRun_ = ShownRun{end.result->full, std::move(end.runSpec)};
        ShowRunResult(*end.result, end.analysis, end.measurementsFollow);
        ++runResultsShown_;
        // An open star test window follows every new result, the automatic runs' too.
        if (windows_.starTest && windows_.starTest->isVisible()) RequestStarTest();
        ShowCameraImage();
        if (live) {
            ShowLiveMessage(threadsNote_);
            // An open 1D viewer follows the automatic runs as the 2D and 3D views do.
            if (windows_.psf1d->isVisible()) {
                windows_.psf1d->SetThumbnail(windows_.psf->Image1()->Picture());
                windows_.psf1d->Redraw();
            }
        }
    } else if (end.error) {
        try {
            std::rethrow_exception(end.error);
        } catch (const std::exception& e) {
            if (live) ShowLiveMessage(ErrorText(e));
            else Dialogs().Warning(this, ErrorText(e));
        }
    }
    if (runLoop_) runLoop_->quit();
    // Changes that came during an automatic run: one run with the values as they are now.
    if (runs_->RestartDue() && liveAction_->isChecked()) {
        StartLiveRun();
        return;
    }
    // A run that ended without a result (refused, stopped) leaves the last result on screen,
    // whose measurements this run's start may have left off: the task's, if it made them all the
    // same, else the analysis window's own (it makes none for a result it has measured).
    if (!gotResult && windows_.analysis) windows_.analysis->ShowResult(LastFullResult(), runs_->WaitForMeasurements());
}

void TForm1::RunMeasured(std::shared_ptr<const FullResult> full, std::shared_ptr<const Analysis> analysis) {
    if (windows_.analysis) windows_.analysis->ShowResult(std::move(full), std::move(analysis));
}

Analysis TForm1::MeasureShown(const FullResult& full) {
    // The ideal and the through-focus curve need the pupils of the run that made the result:
    // those of the last shown run, whose RunSpec holds them.
    std::optional<RunSpec> runSpec;
    if (shownRun_.full.lock().get() == &full) runSpec = shownRun_.runSpec;
    const int threads = runSpec ? RunThreadsFor(DefaultThreadCount(), runSpec->request.params).threads : 1;
    // Made on a thread of its own, never on the window's: the window goes on painting and
    // taking the runs' ends meanwhile (the caller holds the result), input waits.
    std::optional<Analysis> measured;
    std::exception_ptr failed;
    std::atomic<bool> done{false};
    std::thread measuring([&] {
        try {
            if (!runSpec) {
                measured = Analyse(full);
            } else {
                const PreparedRun prepared(std::move(*runSpec), threads);
                MeasureOptions options;
                options.ideals = ideals_.get();
                options.throughFocus = MeasureOptions::ThroughFocus::Optional;
                measured = MeasurePrepared(prepared, full, options, RunControl{threads, nullptr});
            }
        } catch (...) {
            failed = std::current_exception();
        }
        done.store(true, std::memory_order_release);
    });
    // The thread only sets a flag: every Qt object here stays on the window's thread.
    QEventLoop wait;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &wait, [&] {
        if (done.load(std::memory_order_acquire)) wait.quit();
    });
    poll.start();
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    measuring.join();
    if (failed) std::rethrow_exception(failed);
    return std::move(*measured);
}

void TForm1::StopRun() { runs_->StopAndWait(); }

void TForm1::StopButtonClick() { runs_->Stop(); }

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // While "計算開始" waits for its run, input reaches only the stop button; Esc stops the run.
    if (runs_->Running() && !runs_->RunningLive() && IsInput(event->type())) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            StopButtonClick();
            return true;
        }
        // Input reaches the top-level window first and the widget under it after: the window
        // passes it on, and the widget decides. Stopped at the window, a click on the stop
        // button would never reach the button.
        if (watched->isWindowType()) return false;
        if (watched == stopButton_) return false;
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::ShowBusy(bool busy) {
    if (busy) {
        // Disabling the controls would take the focus from a box being typed in, and its
        // change handler would run in the middle of the run; they only take the disabled
        // colours (the event filter keeps input from them).
        auto dim = [this](QWidget* w) {
            dimmed_.push_back({w, w->palette(), w->testAttribute(Qt::WA_SetPalette)});
            QPalette p = w->palette();
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto r = static_cast<QPalette::ColorRole>(role);
                if (r == QPalette::NoRole) continue;
                p.setColor(QPalette::Active, r, p.color(QPalette::Disabled, r));
                p.setColor(QPalette::Inactive, r, p.color(QPalette::Disabled, r));
            }
            w->setPalette(p);
        };
        dim(menuBar());
        for (QWidget* w : panel_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w != stopButton_ && w != progressBar_ && w != liveMessage_) dim(w);
        // A window keeps the mark of a cursor set once even after it is unset (it then has the
        // arrow): only a window with a pointer of its own keeps it.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !(w->testAttribute(Qt::WA_SetCursor) && w->cursor().shape() != Qt::ArrowCursor)) {
                w->setCursor(Qt::BusyCursor);
                busyCursor_.push_back(w);
            }
        stopButton_->setCursor(Qt::ArrowCursor);
        messageBeforeBusy_ = liveMessage_->toolTip();
        const QString why = tr("計算中です。「中止」または Esc で止められます。");
        ShowLiveMessage(threadsNote_.isEmpty() ? why : why + QLatin1Char(' ') + threadsNote_);
        return;
    }
    for (const DimmedWidget& d : dimmed_)
        if (d.widget) d.widget->setPalette(d.ownPalette ? d.palette : QPalette());
    dimmed_.clear();
    for (const QPointer<QWidget>& w : busyCursor_)
        if (w) w->unsetCursor();
    busyCursor_.clear();
    stopButton_->unsetCursor();
    ShowLiveMessage(messageBeforeBusy_);
}

// Automatic calculation.

void TForm1::L1Click() {
    if (!tableWatched_ && windows_.abbr) {
        connect(windows_.abbr.get(), &TAbbr::RowsChanged, this, [this] { LiveChange(); });
        tableWatched_ = true;
    }
    if (!liveAction_->isChecked()) {
        // Off: the running automatic run ends and no other starts.
        if (runs_->RunningLive()) runs_->Stop();
        ShowLiveMessage({});
        return;
    }
    LiveChange();
}

void TForm1::LiveChange() {
    if (!liveAction_ || !liveAction_->isChecked()) return;
    // Never a queue of runs for values already gone: a running automatic run ends, and one new
    // run follows with the latest values.
    if (runs_->Restart()) return;
    StartLiveRun();
}

void TForm1::StartLiveRun() {
    try {
        StartRun(true);
    } catch (const std::exception& e) {
        // A text being typed, a band being changed: the message stands in its line until the
        // values allow a run again, and the last good result stays on screen.
        ShowLiveMessage(ErrorText(e));
    }
}

// In the automatic mode a text that does not convert is told in the message line, once per
// change rather than in a box per keystroke; otherwise the handler's error box as always.
void TForm1::RunPanelHandler(const std::function<void()>& handler) {
    if (!liveAction_ || !liveAction_->isChecked()) {
        RunGuarded(this, handler);
        return;
    }
    try {
        handler();
    } catch (const std::exception& e) {
        ShowLiveMessage(ErrorText(e));
    }
}

void TForm1::ShowLiveMessage(const QString& text) {
    const QString line = QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    liveMessage_->setToolTip(line);
    liveMessage_->setText(liveMessage_->fontMetrics().elidedText(line, Qt::ElideRight, liveMessage_->width()));
}

}  // namespace velmora
