// The parameter panel's handlers: keeping each edit box and its spin button in step, the
// band-ordering rule, the preview redraws each control triggers, and reading the record.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>

#include "app/AppWindows.h"
#include "app/Psfmain.h"
#include "core/NumberText.h"
#include "core/PanelFields.h"
#include "panels/ZernikeWindow.h"
#include "panels/Abberation.h"
#include "pupil/Previews.h"
#include "ui/Dialogs.h"

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
    // The lambdas copy the bindings by name (h = handler): a structured binding cannot be
    // captured as such before C++20, and clang 14 does not accept it yet.
    for (const auto& [n, handler] : spinClicks)
        connect(spins_[n], &SpinButton::clicked, this, [this, h = handler] {
            // In the automatic mode the run starts first and the wavefront previews are drawn
            // while it goes: both are on screen before the window paints again.
            const bool live = liveAction_ && liveAction_->isChecked();
            deferWavefrontPreviews_ = live;
            RunPanelHandler([&] { (this->*h)(); });
            deferWavefrontPreviews_ = false;
            LiveChange();
            if (wavefrontPreviewsDue_) {
                wavefrontPreviewsDue_ = false;
                DrawInterferencePreview();
                DrawPupilFunctionPreview();
            }
        });

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
    for (const auto& [n, handler] : changes) changeHandlers_[n] = [this, h = handler] { (this->*h)(); };
    for (int n = 0; n < static_cast<int>(edits_.size()); ++n) {
        if (!edits_[n]) continue;
        // Typing by the user; texts set from code call the handler themselves.
        connect(edits_[n], &QLineEdit::textChanged, this, [this, n] {
            if (changeHandlers_[n]) RunPanelHandler(changeHandlers_[n]);
            LiveChange();
        });
    }

    const std::pair<int, H> radioClicks[] = {
        {1, &TForm1::RadioButton1Click}, {2, &TForm1::RadioButton2Click}, {3, &TForm1::RadioButton3Click},
        {4, &TForm1::RadioButton4Click}, {5, &TForm1::RadioButton5Click}, {6, &TForm1::RadioButton6Click},
        {7, &TForm1::RadioButton7Click}, {8, &TForm1::RadioButton8Click},
    };
    for (const auto& [n, handler] : radioClicks) {
        radioHandlers_[n] = [this, h = handler] { (this->*h)(); };
        connect(radios_[n], &QRadioButton::clicked, this, [this, k = n] {
            RunPanelHandler(radioHandlers_[k]);
            LiveChange();
        });
    }
    const std::pair<int, H> checkClicks[] = {
        {1, &TForm1::CheckBox1Click}, {2, &TForm1::CheckBox2Click}, {3, &TForm1::CheckBox3Click},
        {4, &TForm1::CheckBox4Click},
    };
    for (const auto& [n, handler] : checkClicks) {
        checkHandlers_[n] = [this, h = handler] { (this->*h)(); };
        connect(checks_[n], &QCheckBox::clicked, this, [this, k = n] {
            RunPanelHandler(checkHandlers_[k]);
            LiveChange();
        });
    }
    // The table switch has no handler of its own, but the run reads it.
    connect(checks_[5], &QCheckBox::clicked, this, [this] { LiveChange(); });

    const std::pair<const char*, H> buttons[] = {
        {"Button1", &TForm1::Button1Click},
        {"Button2", &TForm1::Button2Click},
        {"Button4", &TForm1::Button4Click},
        {"Button5", &TForm1::Button5Click},
    };
    for (const auto& [name, handler] : buttons) {
        auto* button = panel_->findChild<QPushButton*>(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, this, [this, h = handler, caption = name] {
            RunGuarded(this, [&] { (this->*h)(); });
            if (std::strcmp(caption, "Button5") == 0) LiveChange();  // the coefficients back to zero
        });
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

void TForm1::ReadField(int n, SimulationParameters& p) const {
    const EditField& f = *FindEditField(n);
    if (f.kind == FieldKind::Position) {
        f.set(p, spins_[n]->Position());
        return;
    }
    if (f.kind == FieldKind::PupilDiv) p.pupilDivExponent = spins_[n]->Position();
    SetFieldFromText(f, p, edits_[n]->text().toStdString());
}

DensityProfileKind TForm1::SelectedDensity() const {
    for (const RadioField& r : RadioFields())
        if (!r.isMode && radios_[r.control]->isChecked()) return r.density;
    return DensityProfileKind::None;
}

// Only the values the aperture preview draws, so that a bad text elsewhere cannot stop it.
void TForm1::ReadMechanical(SimulationParameters& p) const {
    for (int n : {1, 2, 3, 4, 6, 7, 8, 9}) ReadField(n, p);
    for (int n : {1, 2, 3, 4}) p.*(FindCheckField(n)->field) = checks_[n]->isChecked();
}

Aberrations TForm1::SpinAberrations() const {
    SimulationParameters p;
    for (int n = 24; n <= 31; ++n) ReadField(n, p);
    Aberrations a = AberrationsInWaves(p);
    if (windows_.zernike) a.zernike = windows_.zernike->Wavefront();
    // The mirror's terms at the previews' wavelength (none while it is off).
    a.mirror = ZernikeWavefront(MirrorPreviewTerms());
    return a;
}

bool TForm1::ColourModeSelected() const { return radios_[2]->isChecked(); }

SimulationParameters TForm1::Snapshot() const {
    SimulationParameters p;
    for (const EditField& f : EditFields()) ReadField(f.control, p);
    for (const CheckField& c : CheckFields()) p.*(c.field) = checks_[c.control]->isChecked();
    p.colorMode = ColourModeSelected() ? ColorMode::Colour : ColorMode::Monochrome;
    p.densityProfile = SelectedDensity();
    return p;
}

// Previews.

void TForm1::DrawAperturePreview() {
    SimulationParameters p;
    ReadMechanical(p);
    apertureImage_->SetPicture(velmora::DrawAperturePreview(p));
    MirrorInstrumentChanged();
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
    MirrorInstrumentChanged();
}

void TForm1::DrawInterferencePreview() {
    if (deferWavefrontPreviews_) {
        wavefrontPreviewsDue_ = true;
        return;
    }
    interferenceImage_->SetPicture(velmora::DrawInterferencePreview(SpinAberrations()));
}

void TForm1::DrawPupilFunctionPreview() {
    if (deferWavefrontPreviews_) {
        wavefrontPreviewsDue_ = true;
        return;
    }
    double peakToValley = 0;
    const Aberrations a = SpinAberrations();
    pupilFunctionImage_->SetPicture(velmora::DrawPupilFunctionPreview(a, spins_[32]->Position(), peakToValley));
    if (windows_.zernike) {
        Aberrations panel = a;
        panel.zernike = {};
        windows_.zernike->ShowPanelAberrations(panel);
    }
    if (windows_.mirror) ShowMirrorTerms();
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
// A typed value that converts redraws the aperture as its spin does, so that the preview shows
// the telescope a run computes; a text that does not convert raised before this, as always.
// While another box holds a text that does not convert, the picture stays as it was.
void TForm1::RedrawApertureForTypedValue() {
    try {
        DrawAperturePreview();
    } catch (const ConversionError&) {
    }
}
void TForm1::Edit1Change() {
    CopyTextToSpin(1);
    ShowShiftRange();
    RedrawApertureForTypedValue();
}
void TForm1::Edit2Change() { CopyTextToSpin(2), RedrawApertureForTypedValue(); }
void TForm1::Edit3Change() { CopyTextToSpin(3), RedrawApertureForTypedValue(); }
void TForm1::Edit4Change() { CopyTextToSpin(4), RedrawApertureForTypedValue(); }
void TForm1::Edit6Change() { CopyTextToSpin(6), RedrawApertureForTypedValue(); }
void TForm1::Edit7Change() { CopyTextToSpin(7), RedrawApertureForTypedValue(); }
void TForm1::Edit8Change() { CopyTextToSpin(8), RedrawApertureForTypedValue(); }
void TForm1::Edit9Change() { CopyTextToSpin(9), RedrawApertureForTypedValue(); }
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
    if (!userMaskLoaded_) Dialogs().Information(this, tr("ユーザマスクを読み込んでください"));
    DrawDensityPreview();
}
void TForm1::RadioButton8Click() {
    if (!userFilter_.userFilterLoaded) Dialogs().Information(this, tr("ユーザフィルタ分布を読み込んでください"));
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
    // A step that would make the band empty or reversed puts the stepped limit 20 nm short of
    // (or beyond) the other, so that the band keeps a width the user can see in the spectrum.
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

void TForm1::AberrationClick(int n) {
    SetEditText(n, Text(FormatGeneral(spins_[n]->Position() * FindEditField(n)->scale)));
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
}
void TForm1::UpDown24Click() { AberrationClick(24); }
void TForm1::UpDown25Click() { AberrationClick(25); }
void TForm1::UpDown26Click() { AberrationClick(26); }
void TForm1::UpDown27Click() { AberrationClick(27); }
void TForm1::UpDown28Click() { AberrationClick(28); }
void TForm1::UpDown29Click() { AberrationClick(29); }
void TForm1::UpDown30Click() { AberrationClick(30); }
void TForm1::UpDown31Click() { AberrationClick(31); }
void TForm1::UpDown32Click() {
    CopySpinToText(32);
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
}

// Every coefficient back to its factory zero, shown as at start-up ("0.0", "0.00").
void TForm1::Button5Click() {
    const SimulationParameters factory;
    for (int n = 24; n <= 31; ++n) spins_[n]->SetPosition(0);
    for (int n = 24; n <= 31; ++n) SetEditText(n, Text(FieldText(*FindEditField(n), factory)));
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
}

void TForm1::Button4Click() {
    const WavelengthBand band{ReadInteger(33), ReadInteger(34), ReadInteger(35)};
    if (windows_.abbr->BuildRows(band)) windows_.abbr->show();
}

}  // namespace velmora
