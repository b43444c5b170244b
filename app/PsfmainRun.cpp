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

#include "app/AppWindows.h"
#include "app/CalculationTask.h"
#include "app/Psfmain.h"
#include "core/RunThreads.h"
#include "files/Maskdisplay.h"
#include "files/ZernikeWindow.h"
#include "pupil/Abberation.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/StarTestWindow.h"
#include "viewers/SkyWindow.h"

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
    RunSpec spec;
    CalculationRequest& request = spec.request;
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
    spec.filter = userFilter_;
    if (userMaskLoaded_) spec.mask = windows_.maskDis->SharedMask();
    spec.sky = SkyInputs().sky;
    return spec;
}

void TForm1::StartRun(bool live) {
    RunSpec spec = PanelRunSpec();
    // As many workers as asked for (VELMORA_THREADS) or every hardware thread, no more than
    // the run has wavelengths and the memory holds; a lower count than asked is said below the bar.
    const RunThreads threads = RunThreadsFor(DefaultThreadCount(), spec.request.params);
    const QString previousNote = threadsNote_;
    threadsNote_ = Translated(RunThreadsMessage(threads, EnvironmentThreadCount().has_value()));
    if (!threadsNote_.isEmpty() || (!previousNote.isEmpty() && liveMessage_->toolTip() == previousNote))
        ShowLiveMessage(threadsNote_);
    // The task tells its end from its own thread; the window takes it up on its own. A run is
    // known by its serial number, never by where its task lies in memory: the next task may
    // well lie at the same address, and a late end must not take it over.
    const quint64 serial = ++runSerial_;
    // An open analysis window gets the measurements made on the task's thread: with the result
    // for "計算開始", whose click returns with both; after it in the automatic mode, so that the
    // picture need not wait for them and the next run may start meanwhile.
    using Measure = CalculationTask::Measure;
    const Measure measure = !windows_.analysis || !windows_.analysis->isVisible() ? Measure::No
                            : live                                                ? Measure::AfterEnd
                                                                                  : Measure::BeforeEnd;
    // The end goes by name with its serial as the argument, so that Qt itself copies the number
    // across: nothing this code wrote on the task's thread is read on the window's before the
    // task says it may be (it is joined, or Measuring() says so).
    // The measurements of the last result are of no use once a newer one is on its way: the task
    // making them leaves off, so that the new run has the processors to itself.
    if (measuring_) measuring_->Stop();
    run_ = std::make_unique<CalculationTask>(
        std::move(spec), threads.threads, measure,
        [this, serial] { QMetaObject::invokeMethod(this, "RunEnded", Qt::QueuedConnection, Q_ARG(quint64, serial)); },
        [this, serial] { QMetaObject::invokeMethod(this, "RunMeasured", Qt::QueuedConnection, Q_ARG(quint64, serial)); },
        ideals_);
    runIsLive_ = live;
    if (!progressTimer_) {
        progressTimer_ = new QTimer(this);
        progressTimer_->setInterval(progressIntervalMs);
        connect(progressTimer_, &QTimer::timeout, this, [this] {
            if (run_) ShowProgress(run_->Progress());
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

void TForm1::RunEnded(quint64 serial) {
    // A run already taken up (StopRun waits and takes it up at once) is not taken up again.
    if (!run_ || serial != runSerial_) return;
    std::unique_ptr<CalculationTask> done = std::move(run_);
    // A task still measuring its result hands the outcome over now and the measurements later
    // (RunMeasured); any other is joined.
    const bool measuring = done->Measuring();
    if (!measuring) done->Wait();
    const bool gotResult = static_cast<bool>(done->result);
    const bool live = runIsLive_;
    if (!live) {
        qApp->removeEventFilter(this);
        ShowBusy(false);
    }
    progressTimer_->stop();
    stopButton_->hide();
    progressBar_->setValue(0);
    if (done->result) {
        // The task's grid becomes the window's (the old one goes with the task).
        workGrid_.Swap(done->grid);
        shownRun_ = ShownRun{done->result->full, done->Spec()};
        // The measurements of a task still measuring are not to be touched before it is joined.
        ShowRunResult(*done->result, measuring ? nullptr : done->analysis, measuring);
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
    } else if (done->error) {
        try {
            std::rethrow_exception(done->error);
        } catch (const std::exception& e) {
            if (live) ShowLiveMessage(ErrorText(e));
            else Dialogs().Warning(this, ErrorText(e));
        }
    }
    // The task measuring an earlier result, if it is still at it, is waited for and let go: its
    // numbers are no longer those of the result on screen.
    if (measuring) {
        measuring_ = std::move(done);
        measuringSerial_ = serial;
    }
    if (runLoop_) runLoop_->quit();
    // Changes that came during an automatic run: one run with the values as they are now.
    if (liveChangePending_ && liveAction_->isChecked()) {
        StartLiveRun();
        return;
    }
    // A run that ended without a result (refused, stopped) leaves the last result on screen,
    // whose measurements this run's start may have left off: the task's, if it made them all the
    // same, else the analysis window's own (it makes none for a result it has measured).
    if (!gotResult && windows_.analysis) {
        std::shared_ptr<const Analysis> made;
        if (measuring_) {
            measuring_->Wait();
            made = measuring_->analysis;
            measuring_.reset();
        }
        windows_.analysis->ShowResult(LastFullResult(), std::move(made));
    }
}

void TForm1::RunMeasured(quint64 serial) {
    if (!measuring_ || serial != measuringSerial_) return;
    const std::unique_ptr<CalculationTask> done = std::move(measuring_);
    done->Wait();
    // Measurements left off for a newer run: that run's result brings its own.
    if (!done->analysis && done->StopAsked()) return;
    if (windows_.analysis && done->result) windows_.analysis->ShowResult(done->result->full, done->analysis);
}

Analysis TForm1::MeasureShown(const FullResult& full) {
    // The ideal and the through-focus curve need the pupils of the run that made the result:
    // those of the last shown run, whose spec holds them.
    if (shownRun_.full.lock().get() != &full) return Analyse(full);
    const int threads = RunThreadsFor(DefaultThreadCount(), shownRun_.spec.request.params).threads;
    const PreparedRun prepared(shownRun_.spec, threads);
    MeasureOptions options;
    options.ideals = ideals_.get();
    options.throughFocus = MeasureOptions::ThroughFocus::Optional;
    return MeasurePrepared(prepared, full, options, RunControl{threads, nullptr});
}

void TForm1::StopRun() {
    if (!run_) return;
    liveChangePending_ = false;
    run_->Stop();
    run_->Wait();
    RunEnded(runSerial_);
}

void TForm1::StopButtonClick() {
    if (!run_) return;
    liveChangePending_ = false;
    run_->Stop();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // While "計算開始" waits for its run, input reaches only the stop button; Esc stops the run.
    if (run_ && !runIsLive_ && IsInput(event->type())) {
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
        liveChangePending_ = false;
        if (run_ && runIsLive_) run_->Stop();
        ShowLiveMessage({});
        return;
    }
    LiveChange();
}

void TForm1::LiveChange() {
    if (!liveAction_ || !liveAction_->isChecked()) return;
    if (run_) {
        // Never a queue of runs for values already gone: the running one ends, and one new run
        // follows with the latest values.
        if (!runIsLive_) return;
        liveChangePending_ = true;
        run_->Stop();
        return;
    }
    StartLiveRun();
}

void TForm1::StartLiveRun() {
    liveChangePending_ = false;
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
