// The main window's life: construction, the start-up sequence, shutdown, the default button,
// and data-file values applied through the panel. The layout is in PsfmainLayout.cpp, the
// panel's handlers in PsfmainPanel.cpp, the menu commands and the calculation in
// PsfmainCommands.cpp.
#include "app/Psfmain.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <cstdio>
#include <stdexcept>

#include "app/AppWindows.h"
#include "app/RunController.h"
#include "core/PanelFields.h"
#include "files/FileWrite.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"

namespace velmora {

TForm1::TForm1(VelmoraWindows& windows) : windows_(windows), runs_(std::make_unique<RunController>()) {
    connect(runs_.get(), &RunController::RunEnded, this, &TForm1::RunEnded);
    connect(runs_.get(), &RunController::RunMeasured, this, &TForm1::RunMeasured);
    connect(runs_.get(), &RunController::StarTestEnded, this, &TForm1::StarTestEnded);
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Velmora1"));
    BuildPanel();
    BuildMenus();
    WireHandlers();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    StartUp();
}

TForm1::~TForm1() { runs_.reset(); }

bool TForm1::CalculationRunning() const { return runs_->Running(); }

quint64 TForm1::RunSerial() const { return runs_->Serial(); }

void TForm1::StartUp() {
    // The controls hold the factory values now; they go to "default.vl1" first, so that the
    // user always has them at hand. A folder that cannot be written does not stop the program.
    try {
        WriteParameterFile(defaultFileName, Snapshot());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora1: %s\n", e.what());
    }
    // The closing state of the last session, applied through the panel's handlers as if typed.
    ReadClosingState();
    // The previews and the values derived from the panel; a text the log left unconvertible
    // shows its error and leaves that one preview blank, the rest still draw.
    RunGuarded(this, [this] { DrawSpectrumPreview(); });
    ShowShiftRange();
    RunGuarded(this, [this] { focalRatio_ = velmora::FocalRatio(ReadInteger(2), ReadInteger(1)); });
    RunGuarded(this, [this] { DrawAperturePreview(); });
    RunGuarded(this, [this] { DrawDensityPreview(); });
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
    // No user filter is loaded yet.
    userFilter_.userFilterTable.fill(0);
    // Centred while still in the full layout, so that switching to compact keeps the left edge.
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize s = screen->size();
        move(s.width() / 2 - width() / 2, s.height() / 2 - height() / 2);
    }
    // The pupil grid lives as long as the window: every calculation and the pupil window build into it.
    if (workGrid_.Allocate(gridSize, gridSize) != 0) throw std::runtime_error("Alloc Error  !!");
    SwitchLayout(false);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A run still going ends first, its result unseen; the window then closes as always.
    StopRun();
    std::string text;
    try {
        text = FormatParameterFile(Snapshot());
    } catch (const std::exception& e) {
        // A value that does not convert: the user mends it (the old log stays) or leaves
        // without saving.
        if (!CloseWithoutSaving(e)) {
            event->ignore();
            return;
        }
        event->accept();
        if (onClosed) onClosed();
        return;
    }
    try {
        WriteWholeFile(closingStateFileName, text);
    } catch (const std::exception& e) {
        Dialogs().Warning(this, tr("終了時のパラメータを保存できませんでした。\n%1").arg(ErrorText(e)));
    }
    event->accept();
    if (onClosed) onClosed();
}

bool TForm1::CloseWithoutSaving(const std::exception& conversion) {
    const bool yes = Dialogs().Confirm(this, tr("パネルの値を数値に変換できないため、終了時のパラメータを保存できません（%1）。\n"
                                                "保存せずに終了しますか？")
                                                 .arg(ErrorText(conversion)));
    // いいえ: the standard error box, as for any other use of the bad text, and the window stays.
    if (!yes) ShowException(this, conversion);
    return yes;
}

void TForm1::ReadClosingState() {
    ParameterFileRead read;
    if (ReadParameterFile(closingStateFileName, &read)) return;
    if (!read.problem.empty()) {
        // A pipe, a folder or an unreadable file under the log's name: the start goes on with the
        // factory values and the close will try to write a proper log.
        std::fprintf(stderr, "velmora1: %s を読み込みません（%s）\n", closingStateFileName, read.problem.c_str());
        return;
    }
    closingStateStopLine_ = read.stoppedAtLine;
    closingStateStopKey_ = read.stoppedAtKey;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Queued, so that the box stands in front of a window that is already drawn.
    if (closingStateStopLine_ != 0 && !closingStateReported_)
        QTimer::singleShot(0, this, &TForm1::ReportUnreadClosingState);
}

void TForm1::ReportUnreadClosingState() {
    if (closingStateReported_) return;
    closingStateReported_ = true;
    Dialogs().Information(this, tr("%1 の %2 行目「%3」の値を読み込めませんでした。"
                                   "それより後の値は出荷時の値のままです。")
                                    .arg(QString::fromLatin1(closingStateFileName))
                                    .arg(closingStateStopLine_)
                                    .arg(QString::fromStdString(closingStateStopKey_)));
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    // "計算開始" is the window's default button: Enter presses it wherever the focus is.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        button1_->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && CalculationRunning()) {
        StopButtonClick();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::ApplyAssignment(const ParameterAssignment& a) {
    switch (a.kind) {
    case ParameterAssignment::Kind::Text:
        if (const EditField* f = FindEditField(ControlNumber(a.control, "Edit"))) SetEditText(f->control, QString::fromStdString(a.text));
        break;
    case ParameterAssignment::Kind::Check:
        if (const CheckField* c = FindCheckField(ControlNumber(a.control, "CheckBox"))) SetCheck(c->control, a.checked);
        break;
    case ParameterAssignment::Kind::Select:
        if (const RadioField* r = FindRadioField(ControlNumber(a.control, "RadioButton"))) SelectRadio(r->control);
        break;
    }
}

bool TForm1::ReadParameterFile(const std::string& path, ParameterFileRead* out) {
    const ParameterFileRead read = velmora::ReadParameterFile(path);
    for (const ParameterAssignment& a : read.assignments) RunGuarded(this, [&] { ApplyAssignment(a); });
    if (out) *out = read;
    return !read.exists || read.complete;
}

}  // namespace velmora
