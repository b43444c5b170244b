// The main window's menu commands and its two buttons: the data files, the user filter and
// mask, the other windows, and the calculation.
#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "app/AppWindows.h"
#include "app/RunController.h"
#include "app/Psfmain.h"
#include "app/Verform.h"
#include "core/NumberText.h"
#include "core/PsfCalculation.h"
#include "panels/Maskdisplay.h"
#include "ui/SaveDialog.h"
#include "files/SaveTarget.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "panels/ZernikeWindow.h"
#include "panels/Abberation.h"
#include "panels/Pup.h"
#include "pupil/PupilDistribution.h"
#include "pupil/UserMaskStage.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/Psf3dd.h"

namespace velmora {

// Menus.

void TForm1::N1Click() {
    const auto choice = Dialogs().OpenFile(this, tr(dataFileFilter));
    if (!choice) return;
    ParameterFileRead read;
    const bool whole = ReadParameterFile(choice->path.toStdString(), &read);
    LiveChange();
    if (whole) return;
    const QString file = QString::fromStdString(FileNameOnly(choice->path.toStdString()));
    if (!read.problem.empty()) {
        Dialogs().Warning(this, tr("%1 を読み込めませんでした（%2）。").arg(file, Translated(read.reason)));
        return;
    }
    Dialogs().Warning(this, tr("%1 を最後まで読み込めませんでした（%2 行目「%3」の値が読めません）。"
                                "それより前の値だけを読み込みました。")
                                .arg(file)
                                .arg(read.stoppedAtLine)
                                .arg(QString::fromStdString(read.stoppedAtKey)));
}

void TForm1::N2Click() {
    const auto choice = Dialogs().SaveFile(this, tr(dataFileFilter));
    if (!choice) return;
    // The record first: a panel text that does not convert leaves every file as it was.
    const std::string text = FormatParameterFile(Snapshot());
    const std::string chosen = choice->path.toStdString();
    SaveToTarget(this, chosen, ChangeFileExt(chosen, ".vld"), text, ExistsQuestion, WriteFailureBox::Warning);
}

void TForm1::N6Click() {
    ReadParameterFile(resetFileName);
    DrawDensityPreview();
    DrawAperturePreview();
    LiveChange();
}

void TForm1::SelectLoadedDensity(int radio) {
    const bool alreadySelected = radios_[radio]->isChecked();
    SelectRadio(radio);
    if (alreadySelected) DrawDensityPreview();
}

void TForm1::U1Click() {
    const auto choice = Dialogs().OpenFile(this, QCoreApplication::translate("UserFilterFile", userFilterDialogFilter));
    if (!choice) return;
    const std::string path = choice->path.toStdString();
    const UserFilterRead read = ReadUserFilterFile(path, userFilter_);
    if (!read.ok) {
        Dialogs().Warning(this, tr("ユーザフィルタ %1 を読み込めませんでした（%2）。前のフィルタのままです。")
                                    .arg(QString::fromStdString(FileNameOnly(path)), Translated(read.reason)));
        return;
    }
    userFilterPath_ = path;
    SelectLoadedDensity(8);
    LiveChange();
    if (read.Truncated())
        Dialogs().Warning(this, Translated(UserFilterTruncatedMessage(FileNameOnly(path), read.countInFile)));
}

void TForm1::I1Click() {
    const auto choice = Dialogs().OpenFile(this, QString::fromUtf8(userMaskDialogFilter));
    if (!choice) return;
    const std::string path = choice->path.toStdString();
    Picture24 mask;
    UserMessage problem;
    if (!LoadUserMaskFile(path, mask, problem)) {
        Dialogs().Error(this, tr("%1 はビットマップとして読み込めません（%2）。")
                                  .arg(QString::fromStdString(FileNameOnly(path)), Translated(problem)));
        return;
    }
    TakeUserMask(path, mask);
    LiveChange();
}

void TForm1::TakeUserMask(const std::string& path, const Picture24& mask) {
    densityPicture_ = MaskPreviewCopy(mask);
    StopRun();  // the run under way was of the mask before
    windows_.maskDis->SetMaskPicture(mask);
    userMaskLoaded_ = true;
    userMaskPath_ = path;
    SelectLoadedDensity(6);
}

void TForm1::Exit1Click() { close(); }

void TForm1::R2Click() { SwitchLayout(false); }

void TForm1::W1Click() { SwitchLayout(true); }

void TForm1::M1Click() { windows_.maskDis->show(); }

void TForm1::D1Click() {
    const SimulationParameters p = Snapshot();
    PupilDistributionInputs in;
    in.params = &p;
    in.focalRatio = focalRatio_;
    in.userFilter = &userFilter_;
    in.loadedMask = userMaskLoaded_ ? &windows_.maskDis->Mask() : nullptr;
    const Picture24 picture = BuildPupilDistribution(in, workGrid_.get(), [this](int percent) { ShowProgress(percent); });
    progressBar_->setValue(0);
    if (picture.empty()) {
        Dialogs().Warning(this, tr("焦点比 %1 では瞳の標本数が 1 から %2 の範囲に入らないため、瞳分布を表示できません。")
                                    .arg(focalRatio_)
                                    .arg(gridSize));
        return;
    }
    windows_.pupil->Image1()->SetPicture(picture);
    windows_.pupil->show();
}

void TForm1::N11Click() {
    windows_.psf1d->SetThumbnail(windows_.psf->Image1()->Picture());
    windows_.psf1d->show();
}

void TForm1::N21Click() { windows_.psf->show(); }

void TForm1::N7Click() { windows_.psf3d->Open(); }

void TForm1::A1Click() {
    if (!windows_.analysis) {
        windows_.analysis = std::make_unique<TAnalysis>([this](const FullResult& full) { return MeasureShown(full); });
        windows_.analysis->ShowResult(LastFullResult());
    }
    windows_.analysis->show();
    windows_.analysis->raise();
}

void TForm1::Z1Click() {
    TZernike& window = ZernikeWindow();
    window.show();
    window.raise();
}

TZernike& TForm1::ZernikeWindow() {
    if (!windows_.zernike) {
        windows_.zernike = std::make_unique<TZernike>();
        windows_.zernike->ShowPanelAberrations(SpinAberrations());
        // A changed table is a changed wavefront: as after a click on an aberration spin, in the
        // automatic mode a run starts, and the previews are drawn while it goes.
        connect(windows_.zernike.get(), &TZernike::CoefficientsChanged, this, [this] {
            LiveChange();
            RunPanelHandler([this] {
                DrawInterferencePreview();
                DrawPupilFunctionPreview();
            });
        });
    }
    return *windows_.zernike;
}

void TForm1::V2Click() { windows_.ver->show(); }

// Buttons.

void TForm1::ShowProgress(int percent) {
    if (progressBar_->value() == percent) return;
    progressBar_->setValue(percent);
    progressBar_->repaint();
}

// The run goes to a thread of its own and the window keeps painting; the button returns once it
// has ended, with its result shown or its refusal in a box. Meanwhile only the stop button and
// Esc reach the window (see eventFilter).
void TForm1::Button1Click() {
    if (runs_->Running() && !runs_->RunningLive()) return;
    StopRun();  // an automatic run gives way
    // The cursor says that the window waits, beside the progress bar.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorRestore {
        ~CursorRestore() { QApplication::restoreOverrideCursor(); }
    } restore;
    try {
        StartRun(false);
    } catch (const ConversionError&) {
        throw;  // a panel text: the standard error box, as for any other use of it
    } catch (const std::exception& e) {
        progressBar_->setValue(0);
        Dialogs().Warning(this, ErrorText(e));
        return;
    }
    QEventLoop loop;
    runLoop_ = &loop;
    if (runs_->Running()) loop.exec();
    runLoop_ = nullptr;
}

// The 2D viewer holds the result shown.
const std::shared_ptr<const FullResult>& TForm1::LastFullResult() const { return windows_.psf->LastFullResult(); }

// Every result the window receives goes to the viewers from here.
void TForm1::ShowRunResult(const PsfResult& result, std::shared_ptr<const Analysis> measured, bool measurementsFollow) {
    windows_.psf->ShowResult(result);
    windows_.psf3d->ShowResult(result);
    focalRatio_ = result.derived.focalRatio;
    if (windows_.analysis) windows_.analysis->ShowResult(result.full, std::move(measured), measurementsFollow);
}

void TForm1::Button2Click() { windows_.psf->show(); }

}  // namespace velmora
