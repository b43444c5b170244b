// The whole set-up in one file: the panel's record, the brightness of the picture, the user
// filter or mask in use and the wavelength table, as the JSON object that velmora1-batch
// --params reads (the "parameters" of its report), so that a set-up saved here runs the same
// from a script, and a report's run can be brought back into the window.
#include <nlohmann/json.hpp>

#include "app/AppWindows.h"
#include "app/Psfmain.h"
#include "core/PanelFields.h"
#include "files/RunParameters.h"
#include "files/SafeOpen.h"
#include "ui/SaveDialog.h"
#include "files/SaveTarget.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "panels/ZernikeWindow.h"
#include "panels/Abberation.h"
#include "panels/MirrorWindow.h"
#include "panels/SkyWindow.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"
#include "viewers/Psf1.h"

namespace velmora {

namespace {

constexpr size_t setupFileLimit = size_t{16} << 20;

}  // namespace

RunParameters TForm1::CurrentSetup() const {
    RunParameters s;
    s.panel = Snapshot();  // a text that does not convert: the standard box, nothing written
    s.brightness = windows_.psf->BrightnessLevel();
    // The files the run reads, as the batch command takes them: naming one selects its kind.
    if (s.panel.densityProfile == DensityProfileKind::UserFilter && !userFilterPath_.empty())
        s.userFilterFile = userFilterPath_;
    if (s.panel.densityProfile == DensityProfileKind::UserMask && userMaskLoaded_ && !userMaskPath_.empty())
        s.userMaskFile = userMaskPath_;
    // The table only where a run uses it.
    if (windows_.abbr && s.panel.useWavelengthDependence && s.panel.colorMode == ColorMode::Monochrome)
        s.wavelengthTable = WavelengthTableInput{"", windows_.abbr->WavelengthTexts(), windows_.abbr->Rows()};
    if (windows_.zernike && !windows_.zernike->Wavefront().Empty()) {
        ZernikeSet set = windows_.zernike->Set();
        std::erase_if(set.coefficients, [](const auto& term) { return term.second == 0; });
        s.zernike = std::move(set);
    }
    s.mirror = MirrorInput();  // written only when on
    // The sky and the camera, each written only when set.
    const SkyAndCamera sky = SkyInputs();
    s.seeingArcsec = sky.sky.seeingArcsec;
    s.companion = sky.sky.companion;
    s.cameraPixelUm = sky.pixelUm;
    return s;
}

void TForm1::SaveSetupClick() {
    const auto choice = Dialogs().SaveFile(this, tr(setupFileFilter));
    if (!choice) return;
    const std::string text = RunParametersToJson(CurrentSetup()).dump(2) + "\n";
    std::string chosen = choice->path.toStdString();
    if (FileNameOnly(chosen).find('.') == std::string::npos) chosen += ".json";
    SaveToTarget(this, chosen, chosen, text, ExistsQuestion, WriteFailureBox::Warning);
}

void TForm1::LoadSetupClick() {
    const auto choice = Dialogs().OpenFile(this, tr(setupFileFilter));
    if (!choice) return;
    const std::string path = choice->path.toStdString();
    const QString file = QString::fromStdString(FileNameOnly(path));
    const RegularFileRead bytes = ReadRegularFile(path, setupFileLimit, Oversize::Refuse);
    if (!bytes.ok) {
        Dialogs().Warning(this, tr("設定一式 %1 を読み込めませんでした（%2）。何も変えていません。").arg(file, Translated(bytes.reason)));
        return;
    }
    RunParameters setup;
    try {
        setup = RunParametersFromDocument(bytes.bytes);
    } catch (const RunParametersError& e) {
        Dialogs().Warning(this, tr("設定一式 %1 を読み込めませんでした（%2）。何も変えていません。").arg(file, QString::fromUtf8(e.what())));
        return;
    }
    StopRun();  // a run reads the panel, the filter and the mask until it ends
    const QStringList notes = ApplySetup(setup);
    LiveChange();
    if (!notes.isEmpty()) Dialogs().Warning(this, notes.join(QLatin1Char('\n')));
}

QStringList TForm1::ApplySetup(const RunParameters& setup) {
    QStringList notes;
    SimulationParameters p = setup.panel;
    if (setup.aberrations && !PlaceAberrations(*setup.aberrations, p))
        notes << tr("収差係数の一部はパネルの刻みに丸めました。");
    // Every box as a loaded data file sets it (its handler runs), the spins that hold their
    // value directly first.
    for (const EditField& f : EditFields()) {
        if (f.kind == FieldKind::Position) spins_[f.control]->SetPosition(f.get(p));
        SetEditText(f.control, QString::fromStdString(FieldText(f, p)));
    }
    for (const CheckField& c : CheckFields()) SetCheck(c.control, p.*(c.field));
    for (const RadioField& r : RadioFields())
        if (r.isMode ? r.mode == p.colorMode : r.density == p.densityProfile) SelectRadio(r.control);
    windows_.psf->SetBrightnessLevel(setup.brightness);
    if (setup.wavelengthTable && windows_.abbr)
        windows_.abbr->SetRows(setup.wavelengthTable->wavelengths, setup.wavelengthTable->rows);

    // The files, as their menu commands load them; one that cannot be read is said, and the
    // filter or mask held before stays.
    if (setup.userFilterFile) {
        const std::string& path = *setup.userFilterFile;
        UserFilter filter = userFilter_;
        const UserFilterRead read = ReadUserFilterFile(path, filter);
        if (read.ok) {
            userFilter_ = filter;
            userFilterPath_ = path;
            SelectLoadedDensity(8);
        } else {
            notes << tr("ユーザフィルタ %1 を読み込めませんでした（%2）。前のフィルタのままです。")
                         .arg(QString::fromStdString(FileNameOnly(path)), Translated(read.reason));
        }
    }
    if (setup.userMaskFile) {
        const std::string& path = *setup.userMaskFile;
        Picture24 mask;
        UserMessage problem;
        if (LoadUserMaskFile(path, mask, problem)) {
            TakeUserMask(path, mask);
        } else {
            notes << tr("%1 はビットマップとして読み込めません（%2）。")
                         .arg(QString::fromStdString(FileNameOnly(path)), Translated(problem));
        }
    }
    // The mirror, like the Zernike terms, after the panel: its change starts an automatic run.
    // A set-up without it turns it off, the values typed staying in its window.
    if (setup.mirror.on) {
        MirrorWindow().SetMirror(setup.mirror);
    } else if (windows_.mirror) {
        MirrorAndField off = windows_.mirror->Mirror();
        off.on = false;
        windows_.mirror->SetMirror(off);
    }
    // The sky and the camera likewise; a set-up without them clears them.
    SkyAndCamera sky;
    sky.sky.seeingArcsec = setup.seeingArcsec;
    sky.sky.companion = setup.companion;
    sky.pixelUm = setup.cameraPixelUm;
    if (windows_.sky || !(sky == SkyAndCamera{})) SkyWindow().SetInputs(sky);
    // The Zernike terms last: their change starts an automatic run, which then finds the rest
    // in place. A set-up without them clears the table.
    if (setup.zernike) ZernikeWindow().SetCoefficients(*setup.zernike);
    else if (windows_.zernike) windows_.zernike->SetCoefficients(ZernikeSet{});
    DrawAperturePreview();
    DrawDensityPreview();
    DrawSpectrumPreview();
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
    return notes;
}

}  // namespace velmora
