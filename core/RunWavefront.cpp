// The wavefront of one wavelength of a run: the one place the coefficients, the table of
// wavelength dependence and the mirror's terms come together.
#include "core/PsfCalculation.h"

namespace velmora {

double MeanWavelengthNm(const WavelengthBand& band) {
    const long long count = WavelengthCount(band);
    if (count == 0) return 0;
    return band.min + 0.5 * static_cast<double>((count - 1) * band.step);
}

double PreviewWavelengthNm(const SimulationParameters& p) {
    return MeanWavelengthNm(p.colorMode == ColorMode::Colour ? p.greenBand : p.whiteBand);
}

Aberrations AberrationsAtWavelength(const CalculationRequest& rq, long long lambdaNm) {
    return AberrationsAtWavelength(rq, rq.aberrations ? *rq.aberrations : AberrationsInWaves(rq.params), lambdaNm);
}

Aberrations AberrationsAtWavelength(const CalculationRequest& rq, const Aberrations& panel, long long lambdaNm) {
    const SimulationParameters& p = rq.params;
    Aberrations a = panel;
    // The table, when it is used, replaces spherical aberration and focus per wavelength; the
    // other coefficients keep their panel values. It is a monochrome feature: colour runs use
    // the panel.
    if (p.useWavelengthDependence && p.colorMode == ColorMode::Monochrome) {
        const WavelengthBand& band = p.whiteBand;
        if (band.step > 0 && lambdaNm >= band.min && lambdaNm <= band.max && (lambdaNm - band.min) % band.step == 0) {
            const auto k = static_cast<size_t>((lambdaNm - band.min) / band.step);
            if (k < rq.dependenceRows.size()) {
                a.spherical = rq.dependenceRows[k].spherical;
                a.focus = rq.dependenceRows[k].focus;
            }
        }
    }
    if (rq.mirror.on)
        a.mirror = ZernikeWavefront(MirrorFringeWaves(rq.mirror, p.aperture, p.focalLength, static_cast<double>(lambdaNm)));
    return a;
}

}  // namespace velmora
