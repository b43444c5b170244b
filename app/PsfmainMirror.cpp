// The main window's side of the mirror and field: its window under "表示", its terms in the
// wavefront previews, its input in the runs and the set-ups.
#include "app/AppWindows.h"
#include "app/Psfmain.h"
#include "core/NumberText.h"
#include "panels/MirrorWindow.h"

namespace velmora {

void TForm1::MirrorField1Click() {
    TMirror& window = MirrorWindow();
    window.show();
    window.raise();
}

TMirror& TForm1::MirrorWindow() {
    if (!windows_.mirror) {
        windows_.mirror = std::make_unique<TMirror>();
        // A changed input is a changed wavefront: as after a click on an aberration spin, in
        // the automatic mode a run starts, and the previews are drawn while it goes.
        connect(windows_.mirror.get(), &TMirror::MirrorChanged, this, [this] {
            LiveChange();
            RunPanelHandler([this] {
                DrawInterferencePreview();
                DrawPupilFunctionPreview();
            });
        });
        ShowMirrorTerms();
    }
    return *windows_.mirror;
}

MirrorAndField TForm1::MirrorInput() const { return windows_.mirror ? windows_.mirror->Mirror() : MirrorAndField{}; }

ZernikeSet TForm1::MirrorPreviewTerms(double* lambdaNm) const {
    if (lambdaNm) *lambdaNm = 0;
    const MirrorAndField mirror = MirrorInput();
    if (!mirror.on) return {};
    // Only the boxes the terms need, so that a text being typed elsewhere does not stop them.
    SimulationParameters p;
    p.colorMode = ColourModeSelected() ? ColorMode::Colour : ColorMode::Monochrome;
    const bool colour = p.colorMode == ColorMode::Colour;
    static constexpr int white[] = {1, 2, 33, 34, 35};
    static constexpr int green[] = {1, 2, 11, 12, 18};
    try {
        for (int n : colour ? green : white) ReadField(n, p);
    } catch (const ConversionError&) {
        return {};
    }
    const double lambda = PreviewWavelengthNm(p);
    if (lambdaNm) *lambdaNm = lambda;
    return MirrorFringeWaves(mirror, p.aperture, p.focalLength, lambda);
}

void TForm1::ShowMirrorTerms() {
    double lambda = 0;
    mirrorPreviewTerms_ = MirrorPreviewTerms(&lambda);
    if (windows_.mirror) windows_.mirror->ShowTerms(mirrorPreviewTerms_, lambda);
}

void TForm1::MirrorInstrumentChanged() {
    if (!windows_.mirror || MirrorPreviewTerms() == mirrorPreviewTerms_) return;
    DrawInterferencePreview();
    DrawPupilFunctionPreview();
}

}  // namespace velmora
