// The parameter panel's handlers: keeping each edit box and its spin button in step, the
// band-ordering rule, the preview redraws each control triggers, and the calculation.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "app/AppWindows.h"
#include "app/Psfmain.h"
#include "core/NumberText.h"
#include "core/PsfCalculation.h"
#include "files/Maskdisplay.h"
#include "pupil/Abberation.h"
#include "pupil/Dialogs.h"
#include "pupil/UserMaskStage.h"
#include "pupil/Previews.h"
#include "viewers/Psf1.h"
#include "viewers/Psf3dd.h"

namespace velmora {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void TForm1::WireHandlers() {
    using H = void (TForm1::*)();
    const std::pair<int, H> spinClicks[] = {
        {1, &TForm1::UpDown1Click},   {2, &TForm1::UpDown2Click},   {3, &TForm1::UpDown3Click},
        {4, &TForm1::UpDown4Click},   {6, &TForm1::UpDown6Click},   {7, &TForm1::UpDown7Click},
        {8, &TForm1::UpDown8Click},   {9, &TForm1::UpDown9Click},   {14, &TForm1::UpDown14Click},
        {15, &TForm1::UpDown15Click}, {16, &TForm1::UpDown16Click}, {17, &TForm1::UpDown17Click},
        {19, &TForm1::UpDown19Click}, {33, &TForm1::UpDown33Click}, {34, &TForm1::UpDown34Click},
        {35, &TForm1::UpDown35Click}, {20, &TForm1::UpDown20Click}, {5, &TForm1::UpDown5Click},
        {10, &TForm1::UpDown10Click}, {11, &TForm1::UpDown11Click}, {12, &TForm1::UpDown12Click},
        {18, &TForm1::UpDown18Click}, {21, &TForm1::UpDown21Click}, {22, &TForm1::UpDown22Click},
        {23, &TForm1::UpDown23Click}, {24, &TForm1::UpDown24Click}, {25, &TForm1::UpDown25Click},
        {26, &TForm1::UpDown26Click}, {27, &TForm1::UpDown27Click}, {28, &TForm1::UpDown28Click},
        {29, &TForm1::UpDown29Click}, {30, &TForm1::UpDown30Click}, {31, &TForm1::UpDown31Click},
        {32, &TForm1::UpDown32Click},
    };
    for (const auto& [n, handler] : spinClicks)
        spins_[n]->onClick = [this, handler](bool) { RunGuarded(this, [&] { (this->*handler)(); }); };

    // Edit14 and Edit15 have no change handler.
    const std::pair<int, H> changes[] = {
        {1, &TForm1::Edit1Change},   {2, &TForm1::Edit2Change},   {3, &TForm1::Edit3Change},
        {4, &TForm1::Edit4Change},   {6, &TForm1::Edit6Change},   {7, &TForm1::Edit7Change},
        {8, &TForm1::Edit8Change},   {9, &TForm1::Edit9Change},   {16, &TForm1::Edit16Change},
        {17, &TForm1::Edit17Change}, {19, &TForm1::Edit19Change}, {33, &TForm1::Edit33Change},
        {34, &TForm1::Edit34Change}, {35, &TForm1::Edit35Change}, {20, &TForm1::Edit20Change},
        {5, &TForm1::Edit5Change},   {10, &TForm1::Edit10Change}, {11, &TForm1::Edit11Change},
        {12, &TForm1::Edit12Change}, {18, &TForm1::Edit18Change}, {21, &TForm1::Edit21Change},
        {22, &TForm1::Edit22Change}, {23, &TForm1::Edit23Change},
    };
    for (const auto& [n, handler] : changes) changeHandlers_[n] = [this, handler] { (this->*handler)(); };
    for (int n = 0; n < static_cast<int>(edits_.size()); ++n) {
        if (!edits_[n]) continue;
        // Typing by the user; texts set from code call the handler themselves.
        connect(edits_[n], &QLineEdit::textChanged, this, [this, n] {
            if (changeHandlers_[n]) RunGuarded(this, changeHandlers_[n]);
        });
    }

    const std::pair<int, H> radioClicks[] = {
        {1, &TForm1::RadioButton1Click}, {2, &TForm1::RadioButton2Click}, {3, &TForm1::RadioButton3Click},
        {4, &TForm1::RadioButton4Click}, {5, &TForm1::RadioButton5Click}, {6, &TForm1::RadioButton6Click},
        {7, &TForm1::RadioButton7Click}, {8, &TForm1::RadioButton8Click},
    };
    for (const auto& [n, handler] : radioClicks) {
        radioHandlers_[n] = [this, handler] { (this->*handler)(); };
        connect(radios_[n], &QRadioButton::clicked, this, [this, n] { RunGuarded(this, radioHandlers_[n]); });
    }
    const std::pair<int, H> checkClicks[] = {
        {1, &TForm1::CheckBox1Click}, {2, &TForm1::CheckBox2Click}, {3, &TForm1::CheckBox3Click},
        {4, &TForm1::CheckBox4Click},
    };
    for (const auto& [n, handler] : checkClicks) {
        checkHandlers_[n] = [this, handler] { (this->*handler)(); };
        connect(checks_[n], &QCheckBox::clicked, this, [this, n] { RunGuarded(this, checkHandlers_[n]); });
    }

    const std::pair<const char*, H> buttons[] = {
        {"Button1", &TForm1::Button1Click},
        {"Button2", &TForm1::Button2Click},
        {"Button4", &TForm1::Button4Click},
        {"Button5", &TForm1::Button5Click},
    };
    for (const auto& [name, handler] : buttons) {
        auto* button = panel_->findChild<QPushButton*>(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, this, [this, handler] { RunGuarded(this, [&] { (this->*handler)(); }); });
    }
}

// Control plumbing.

void TForm1::SetEditText(int n, const QString& text) {
    QLineEdit* edit = edits_[n];
    if (edit->text() == text) return;
    {
        const QSignalBlocker blocker(edit);
        edit->setText(text);
    }
    if (changeHandlers_[n]) changeHandlers_[n]();
}

void TForm1::CopySpinToText(int n) { SetEditText(n, QString::number(spins_[n]->Position())); }

void TForm1::CopyTextToSpin(int n) { spins_[n]->SetPosition(ReadInteger(n)); }

int TForm1::ReadInteger(int n) const { return ParseInteger(edits_[n]->text().toStdString()); }

void TForm1::SelectRadio(int n) {
    if (radios_[n]->isChecked()) return;
    {
        const QSignalBlocker blocker(radios_[n]);
        radios_[n]->setChecked(true);
    }
    if (radioHandlers_[n]) radioHandlers_[n]();
}

void TForm1::SetCheck(int n, bool checked) {
    if (checks_[n]->isChecked() == checked) return;
    {
        const QSignalBlocker blocker(checks_[n]);
        checks_[n]->setChecked(checked);
    }
    if (checkHandlers_[n]) checkHandlers_[n]();
}

void TForm1::ShowShiftRange() {
    const int max = static_cast<int>(spins_[1]->Position() * 0.5);
    spins_[14]->SetMax(max);
    spins_[15]->SetMax(max);
}

DensityProfileKind TForm1::SelectedDensity() const {
    if (radios_[3]->isChecked()) return DensityProfileKind::Gaussian;
    if (radios_[4]->isChecked()) return DensityProfileKind::Cosine;
    if (radios_[5]->isChecked()) return DensityProfileKind::Triangle;
    if (radios_[6]->isChecked()) return DensityProfileKind::UserMask;
    if (radios_[8]->isChecked()) return DensityProfileKind::UserFilter;
    return DensityProfileKind::None;
}

void TForm1::ReadMechanical(SimulationParameters& p) const {
    p.aperture = ReadInteger(1);
    p.focalLength = ReadInteger(2);
    p.secondaryDiameter = ReadInteger(3);
    p.barWidth = ReadInteger(4);
    p.angle1 = ReadInteger(6);
    p.angle2 = ReadInteger(7);
    p.angle3 = ReadInteger(8);
    p.angle4 = ReadInteger(9);
    p.spider1 = checks_[1]->isChecked();
    p.spider2 = checks_[2]->isChecked();
    p.spider3 = checks_[3]->isChecked();
    p.spider4 = checks_[4]->isChecked();
}

void TForm1::ReadAberrationPositions(SimulationParameters& p) const {
    p.focus = static_cast<int16_t>(spins_[24]->Position());
    p.spherical = static_cast<int16_t>(spins_[25]->Position());
    p.astigmatismM = static_cast<int16_t>(spins_[26]->Position());
    p.astigmatismS = static_cast<int16_t>(spins_[27]->Position());
    p.comaX = static_cast<int16_t>(spins_[28]->Position());
    p.comaY = static_cast<int16_t>(spins_[29]->Position());
    p.tiltX = static_cast<int16_t>(spins_[30]->Position());
    p.tiltY = static_cast<int16_t>(spins_[31]->Position());
    p.contrast = spins_[32]->Position();
}

Aberrations TForm1::SpinAberrations() const {
    SimulationParameters p;
    ReadAberrationPositions(p);
    return AberrationsInWaves(p);
}

bool TForm1::ColourModeSelected() const { return radios_[2]->isChecked(); }

SimulationParameters TForm1::Snapshot() const {
    SimulationParameters p;
    ReadMechanical(p);
    p.shiftX = ReadInteger(14);
    p.shiftY = ReadInteger(15);
    p.magnification = ReadInteger(17);
    p.pupilDivExponent = spins_[16]->Position();
    p.pupilDiv = ReadInteger(16);
    p.densityProfile = SelectedDensity();
    p.densityCoefficient = ParseDecimal(edits_[19]->text().toStdString());
    p.colorMode = radios_[2]->isChecked() ? ColorMode::Colour : ColorMode::Monochrome;
    p.whiteBand = {ReadInteger(33), ReadInteger(34), ReadInteger(35)};
    p.redBand = {ReadInteger(20), ReadInteger(5), ReadInteger(10)};
    p.greenBand = {ReadInteger(11), ReadInteger(12), ReadInteger(18)};
    p.blueBand = {ReadInteger(21), ReadInteger(22), ReadInteger(23)};
    ReadAberrationPositions(p);
    p.useWavelengthDependence = checks_[5]->isChecked();
    return p;
}

// Previews.

void TForm1::DrawAperturePreview() {
    SimulationParameters p;
    ReadMechanical(p);
    apertureImage_->SetPicture(velmora::DrawAperturePreview(p));
}

void TForm1::DrawDensityPreview() {
    SimulationParameters p;
    p.densityProfile = SelectedDensity();
    p.densityCoefficient = ParseDecimal(edits_[19]->text().toStdString());
    const QColor face = palette().color(QPalette::Button);
    velmora::DrawDensityPreview(densityPicture_, p, userFilter_, MakeColorRef(face.red(), face.green(), face.blue()));
    densityImage_->SetPicture(densityPicture_);
}

void TForm1::DrawSpectrumPreview() {
    SimulationParameters p;
    p.colorMode = radios_[2]->isChecked() ? ColorMode::Colour : ColorMode::Monochrome;
    if (p.colorMode == ColorMode::Monochrome) {
        p.whiteBand = {ReadInteger(33), ReadInteger(34), 1};
    } else {
        p.redBand = {ReadInteger(20), ReadInteger(5), 1};
        p.greenBand = {ReadInteger(11), ReadInteger(12), 1};
        p.blueBand = {ReadInteger(21), ReadInteger(22), 1};
    }
    spectrumImage_->SetPicture(velmora::DrawSpectrumPreview(p, spectrumImage_->width(), spectrumImage_->height()));
}

void TForm1::DrawInterferencePreview() {
    interferenceImage_->SetPicture(velmora::DrawInterferencePreview(SpinAberrations()));
}

void TForm1::DrawPupilFunctionPreview() {
    double peakToValley = 0;
    pupilFunctionImage_->SetPicture(
        velmora::DrawPupilFunctionPreview(SpinAberrations(), spins_[32]->Position(), peakToValley));
    peakToValleyLabel_->setText(Text(PeakToValleyText(peakToValley)));
    peakToValleyLabel_->adjustSize();
}

// Mechanical data.

void TForm1::UpDown1Click() {
    CopySpinToText(1);
    ShowShiftRange();
    DrawAperturePreview();
}
void TForm1::UpDown2Click() { CopySpinToText(2), DrawAperturePreview(); }
void TForm1::UpDown3Click() { CopySpinToText(3), DrawAperturePreview(); }
void TForm1::UpDown4Click() { CopySpinToText(4), DrawAperturePreview(); }
void TForm1::UpDown6Click() { CopySpinToText(6), DrawAperturePreview(); }
void TForm1::UpDown7Click() { CopySpinToText(7), DrawAperturePreview(); }
void TForm1::UpDown8Click() { CopySpinToText(8), DrawAperturePreview(); }
void TForm1::UpDown9Click() { CopySpinToText(9), DrawAperturePreview(); }
void TForm1::Edit1Change() {
    CopyTextToSpin(1);
    ShowShiftRange();
}
void TForm1::Edit2Change() { CopyTextToSpin(2); }
void TForm1::Edit3Change() { CopyTextToSpin(3); }
void TForm1::Edit4Change() { CopyTextToSpin(4); }
void TForm1::Edit6Change() { CopyTextToSpin(6); }
void TForm1::Edit7Change() { CopyTextToSpin(7); }
void TForm1::Edit8Change() { CopyTextToSpin(8); }
void TForm1::Edit9Change() { CopyTextToSpin(9); }
void TForm1::CheckBox1Click() { DrawAperturePreview(); }
void TForm1::CheckBox2Click() { DrawAperturePreview(); }
void TForm1::CheckBox3Click() { DrawAperturePreview(); }
void TForm1::CheckBox4Click() { DrawAperturePreview(); }

// The never-shown boxes.

void TForm1::UpDown14Click() { CopySpinToText(14); }
void TForm1::UpDown15Click() { CopySpinToText(15); }
void TForm1::UpDown16Click() { SetEditText(16, Text(FormatGeneral(PupilDivForExponent(spins_[16]->Position())))); }
void TForm1::UpDown17Click() { CopySpinToText(17); }
void TForm1::Edit16Change() {}
void TForm1::Edit17Change() { CopyTextToSpin(17); }

// Density distribution.

void TForm1::RadioButton3Click() { DrawDensityPreview(); }
void TForm1::RadioButton4Click() { DrawDensityPreview(); }
void TForm1::RadioButton5Click() { DrawDensityPreview(); }
void TForm1::RadioButton7Click() { DrawDensityPreview(); }
void TForm1::RadioButton6Click() {
    if (!userMaskLoaded_) Dialogs().Information(this, QStringLiteral("ユーザマスクを読み込んでください"));
    DrawDensityPreview();
}
void TForm1::RadioButton8Click() {
    if (!userFilter_.userFilterLoaded) Dialogs().Information(this, QStringLiteral("ユーザフィルタ分布を読み込んでください"));
    DrawDensityPreview();
}
void TForm1::UpDown19Click() { SetEditText(19, Text(FormatHashDot00(spins_[19]->Position() * 0.01))); }
void TForm1::Edit19Change() {
    spins_[19]->SetPosition(CoefficientSpinPosition(edits_[19]->text().toStdString()));
    DrawDensityPreview();
}

// Wavelength data.

void TForm1::SelectMode(ColorMode mode) { SelectRadio(mode == ColorMode::Monochrome ? 1 : 2); }

void TForm1::BandLimitClick(int minSpin, int maxSpin, bool minStepped, ColorMode mode) {
    SelectMode(mode);
    const int stepped = minStepped ? minSpin : maxSpin;
    CopySpinToText(stepped);
    if (spins_[minSpin]->Position() >= spins_[maxSpin]->Position()) {
        const int adjusted = minStepped ? spins_[maxSpin]->Position() - 20 : spins_[minSpin]->Position() + 20;
        spins_[stepped]->SetPosition(adjusted);
        SetEditText(stepped, QString::number(adjusted));
    }
    DrawSpectrumPreview();
}

void TForm1::BandStepClick(int stepSpin, ColorMode mode) {
    SelectMode(mode);
    CopySpinToText(stepSpin);
}

void TForm1::RadioButton1Click() { DrawSpectrumPreview(); }
void TForm1::RadioButton2Click() { DrawSpectrumPreview(); }
void TForm1::UpDown33Click() { BandLimitClick(33, 34, true, ColorMode::Monochrome); }
void TForm1::UpDown34Click() { BandLimitClick(33, 34, false, ColorMode::Monochrome); }
void TForm1::UpDown35Click() { BandStepClick(35, ColorMode::Monochrome); }
void TForm1::UpDown20Click() { BandLimitClick(20, 5, true, ColorMode::Colour); }
void TForm1::UpDown5Click() { BandLimitClick(20, 5, false, ColorMode::Colour); }
void TForm1::UpDown10Click() { BandStepClick(10, ColorMode::Colour); }
void TForm1::UpDown11Click() { BandLimitClick(11, 12, true, ColorMode::Colour); }
void TForm1::UpDown12Click() { BandLimitClick(11, 12, false, ColorMode::Colour); }
void TForm1::UpDown18Click() { BandStepClick(18, ColorMode::Colour); }
void TForm1::UpDown21Click() { BandLimitClick(21, 22, true, ColorMode::Colour); }
void TForm1::UpDown22Click() { BandLimitClick(21, 22, false, ColorMode::Colour); }
void TForm1::UpDown23Click() { BandStepClick(23, ColorMode::Colour); }
void TForm1::Edit33Change() { CopyTextToSpin(33), DrawSpectrumPreview(); }
void TForm1::Edit34Change() { CopyTextToSpin(34), DrawSpectrumPreview(); }
void TForm1::Edit35Change() { CopyTextToSpin(35); }
void TForm1::Edit20Change() { CopyTextToSpin(20), DrawSpectrumPreview(); }
void TForm1::Edit5Change() { CopyTextToSpin(5), DrawSpectrumPreview(); }
void TForm1::Edit10Change() { CopyTextToSpin(10); }
void TForm1::Edit11Change() { CopyTextToSpin(11), DrawSpectrumPreview(); }
void TForm1::Edit12Change() { CopyTextToSpin(12), DrawSpectrumPreview(); }
void TForm1::Edit18Change() { CopyTextToSpin(18); }
void TForm1::Edit21Change() { CopyTextToSpin(21), DrawSpectrumPreview(); }
void TForm1::Edit22Change() { CopyTextToSpin(22), DrawSpectrumPreview(); }
void TForm1::Edit23Change() { CopyTextToSpin(23); }

// Wavefront aberration data.

void TForm1::AberrationClick(int n, double scale) {
    SetEditText(n, Text(FormatGeneral(spins_[n]->Position() * scale)));
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
}
void TForm1::UpDown24Click() { AberrationClick(24, focusScale); }
void TForm1::UpDown25Click() { AberrationClick(25, aberrationScale); }
void TForm1::UpDown26Click() { AberrationClick(26, aberrationScale); }
void TForm1::UpDown27Click() { AberrationClick(27, aberrationScale); }
void TForm1::UpDown28Click() { AberrationClick(28, aberrationScale); }
void TForm1::UpDown29Click() { AberrationClick(29, aberrationScale); }
void TForm1::UpDown30Click() { AberrationClick(30, aberrationScale); }
void TForm1::UpDown31Click() { AberrationClick(31, aberrationScale); }
void TForm1::UpDown32Click() {
    CopySpinToText(32);
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
}

void TForm1::Button5Click() {
    for (int n = 24; n <= 31; ++n) spins_[n]->SetPosition(0);
    SetEditText(24, QStringLiteral("0.0"));
    for (int n = 25; n <= 31; ++n) SetEditText(n, QStringLiteral("0.00"));
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
}

void TForm1::Button4Click() {
    const WavelengthBand band{ReadInteger(33), ReadInteger(34), ReadInteger(35)};
    if (windows_.abbr->BuildRows(band)) windows_.abbr->show();
}

// Buttons.

// The work blocks the event loop, so the bar is painted as it is set.
void TForm1::ShowProgress(int percent) {
    if (progressBar_->value() == percent) return;
    progressBar_->setValue(percent);
    progressBar_->repaint();
}

void TForm1::Button1Click() {
    CalculationRequest request;
    request.params = Snapshot();
    request.brightnessLevel = windows_.psf->BrightnessLevel();
    if (request.params.useWavelengthDependence && request.params.colorMode == ColorMode::Monochrome)
        request.dependenceRows = windows_.abbr->Rows();

    PupilInputs inputs;
    inputs.params = &request.params;
    inputs.userFilter = &userFilter_;
    inputs.loadedMask = userMaskLoaded_ ? &windows_.maskDis->Mask() : nullptr;
    inputs.userMaskStage = &userMaskStage_;
    UserMaskStages maskStages(windows_.maskDis->Mask(), RunPupilSamplings(request.params));
    if (inputs.loadedMask) inputs.userMaskStages = &maskStages;
    const PupilBuilder build = [&](int lambda, RealMatrix grid, const ProgressFn& bar) {
        BuildPupil(inputs, lambda, grid, bar);
    };
    CalculationProgress progress;
    progress.bar = [this](int percent) { ShowProgress(percent); };

    // The run blocks the window until it ends; the cursor says so beside the progress bar.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorRestore {
        ~CursorRestore() { QApplication::restoreOverrideCursor(); }
    } restore;

    PsfResultImages results;
    windows_.psf->CollectResults(results);
    results.pupil = windows_.psf3d->Image2();
    CalculationDerived derived;
    try {
        derived = RunPsfCalculation(request, build, workGrid_.get(), results, progress);
    } catch (const std::exception& e) {
        progressBar_->setValue(0);
        Dialogs().Warning(this, QString::fromUtf8(e.what()));
        return;
    }
    windows_.psf->SetResults(results);
    windows_.psf3d->SetPupilImage(results.pupil);
    focalRatio_ = derived.focalRatio;
    progressBar_->setValue(0);
}

void TForm1::Button2Click() { windows_.psf->show(); }

}  // namespace velmora
