// The colour run: the blue, green and red bands each into their own accumulator with weight 1,
// each normalised to a peak that keeps the bands' relative brightness, and the display formed
// from the three.
#include "core/IntensityCode.h"
#include "core/PsfRunSteps.h"

namespace velmora::detail {

PsfResult RunColour(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrixHolder& workGrid,
                    const CalculationProgress& progress, const RunControl& control) {
    const SimulationParameters& p = rq.params;
    const WavelengthBand* bands[3] = {&p.blueBand, &p.greenBand, &p.redBand};
    const char* const bandNames[3] = {"blue", "green", "red"};
    CheckRequest(rq, {bands[0], bands[1], bands[2]});
    long long total = 0;
    for (const WavelengthBand* band : bands) total += WavelengthCount(*band);

    RunWorkspace ws;
    AllocateWorkspace(ws);
    BandAccumulator accs[3];  // blue, green, red
    // The table of wavelength dependence is a monochrome feature: colour runs use the panel.
    const Aberrations panel = rq.aberrations ? *rq.aberrations : AberrationsInWaves(p);
    PsfResult result;
    result.mode = ColorMode::Colour;
    long long done = 0;
    long long sumBlue = 0;
    auto full = FullResultOf(p);
    full->mirror = rq.mirror;
    for (int b = 0; b < 3; ++b) {
        const WavelengthBand& band = *bands[b];
        RealMatrix acc = accs[b].get();
        long long sum = 0;
        std::vector<WavelengthFacts> facts(static_cast<size_t>(WavelengthCount(band)));
        std::vector<WavelengthJob> jobs;
        size_t k = 0;
        for (long long lambda = band.min; lambda <= band.max; lambda += band.step, ++k) {
            sum += lambda;
            jobs.push_back({static_cast<int>(lambda), AberrationsAtWavelength(rq, panel, lambda), 1.0, acc, &facts[k]});
        }
        RunWavelengths(rq, jobs, static_cast<int>(done), static_cast<int>(total), false, buildPupil, workGrid, ws,
                       result.derived, progress, control);
        done += static_cast<long long>(jobs.size());
        if (b == 0) sumBlue = sum;
        const double m = GridMaximum(acc, control.threads);
        CheckFinite(m);
        double q = 0;
        if (m > 0) {
            // Peak of the band: (S_blue / S)^2, the bands' summed wavelengths standing in for
            // their mean wavelengths.
            const long double ratio = static_cast<long double>(sumBlue) / sum;
            q = static_cast<double>(ratio * ratio);
        }
        FinishBand(accs[b], bandNames[b], m, q, std::move(facts), control.threads);
    }
    // Red, green, blue: the order of the intensity images 2 to 4. The pictures are drawn from
    // the result as any redraw draws them.
    for (int b = 2; b >= 0; --b) full->bands.push_back(std::move(accs[b].band));
    if (control.pictures) RedrawResultImages(*full, rq.brightnessLevel, result.images, control.threads);
    result.full = std::move(full);
    return result;
}

}  // namespace velmora::detail
