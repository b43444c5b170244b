#include "files/ReportFile.h"

#include <nlohmann/json.hpp>

#include "files/ProgramVersion.h"

namespace velmora {

std::string ReportJson(const Analysis& analysis, const ReportInputs& inputs) {
    using Json = nlohmann::ordered_json;
    Json bands = Json::object();
    for (size_t k = 0; k < analysis.bands.size(); ++k) {
        const BandMeasurements& m = analysis.bands[k];
        Json b;
        b["wavelengths_nm"] = m.wavelengthsNm;
        b["weights"] = m.weights;
        b["strehl"] = m.strehl;
        b["rms_wavefront_waves"] = m.rmsWavefrontWaves;
        b["marechal_strehl"] = m.marechalStrehl;
        b["peak_x_um"] = m.peakXUm;
        b["peak_y_um"] = m.peakYUm;
        b["centroid_x_um"] = m.centroidXUm;
        b["centroid_y_um"] = m.centroidYUm;
        b["fwhm_x_um"] = m.fwhmXUm;
        b["fwhm_y_um"] = m.fwhmYUm;
        b["fwhm_um"] = m.fwhmUm;
        b["fwhm_arcsec"] = m.fwhmArcsec;
        b["r50_um"] = m.r50Um;
        b["r80_um"] = m.r80Um;
        b["ee"] = {{"r_um", m.eeRadiusUm}, {"fraction", m.eeFraction}, {"ideal", m.idealEeFraction}};
        b["mtf"] = {{"freq_cyc_per_mm", m.mtfFreqCycPerMm}, {"nu", m.mtfNu}, {"x", m.mtfX}, {"y", m.mtfY},
                    {"ideal", m.mtfIdeal}, {"ideal_y", m.mtfIdealY}};
        b["cutoff_cyc_per_mm"] = m.cutoffCycPerMm;
        // What the Zernike table and the mirror add, at the band's mean wavelength; absent when
        // they add nothing, so that such a report stays as it was.
        if (inputs.parameters && !m.wavelengthsNm.empty()) {
            const RunParameters& r = *inputs.parameters;
            double sum = 0;
            for (int lambda : m.wavelengthsNm) sum += lambda;
            const double mean = sum / static_cast<double>(m.wavelengthsNm.size());
            const ZernikeSet added = AddedFringeWaves(r.zernike ? &*r.zernike : nullptr, r.mirror, r.panel.aperture,
                                                      r.panel.focalLength, mean);
            if (!added.coefficients.empty()) {
                Json terms = Json::object();
                for (const auto& [index, waves] : added.coefficients) terms[std::to_string(index)] = waves;
                b["zernike_fringe_waves"] = std::move(terms);
            }
        }
        if (!m.focusStrehl.empty())
            b["through_focus"] = {{"defocus_waves_pv", m.focusDefocusWavesPv}, {"strehl", m.focusStrehl},
                                  {"depth_of_focus_um", m.depthOfFocusUm}};
        if (m.pair && inputs.companion.Present())
            b["double"] = {{"separation_arcsec", inputs.companion.separationArcsec},
                           {"position_angle_deg", inputs.companion.positionAngleDeg},
                           {"delta_mag", inputs.companion.deltaMag},
                           {"dip_ratio", m.dipRatio},
                           {"resolved", m.resolved}};
        if (k < inputs.cameras.size() && inputs.cameras[k].size > 0) {
            const CameraImage& c = inputs.cameras[k];
            b["camera"] = {{"pixel_um", c.pixelUm},
                           {"pixel_arcsec", c.pixelArcsec},
                           {"fwhm_px", c.fwhmPx},
                           {"samples_per_fwhm", c.samplesPerFwhm},
                           {"verdict", CameraSamplingName(c.verdict)},
                           {"size_px", c.size}};
        }
        bands[m.name] = std::move(b);
    }
    Json warnings = Json::array();
    for (const SamplingNote& w : analysis.warnings) warnings.push_back(w.message.Text());

    Json report;
    report["schema"] = reportSchema;
    report["program"] = {{"name", inputs.program}, {"version", programVersion}};
    report["mode"] = analysis.mode == ColorMode::Monochrome ? "mono" : "color";
    report["pixel_um"] = analysis.scale.um;
    report["pixel_arcsec"] = analysis.scale.arcsec;
    report["pixel_um_spread"] = analysis.scale.umSpread;
    report["pixel_spread_ratio"] = analysis.scale.umSpread;
    report["pixel_um_range"] = analysis.scale.umSpread * analysis.scale.um;
    report["bands"] = std::move(bands);
    report["warnings"] = std::move(warnings);
    if (inputs.starTest)
        report["star_test"] = {{"defocus_waves_pv", inputs.starTest->defocusWavesPv},
                               {"focuser_travel_mm", inputs.starTest->focuserTravelMm},
                               {"picture_um", inputs.starTest->pictureUm}};
    if (inputs.parameters) report["parameters"] = RunParametersToJson(*inputs.parameters);
    // A message that is not valid UTF-8 would make dump() throw; replacing keeps the report.
    return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace velmora
