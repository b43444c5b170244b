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
    Picture24 intensities[3];
    Picture24 display(resultSize, resultSize);
    const int level = rq.brightnessLevel;
    long long done = 0;
    long long sumBlue = 0;
    auto full = FullResultOf(p);
    for (int b = 0; b < 3; ++b) {
        const WavelengthBand& band = *bands[b];
        RealMatrix acc = accs[b].get();
        long long sum = 0;
        std::vector<WavelengthFacts> facts(static_cast<size_t>(WavelengthCount(band)));
        std::vector<WavelengthJob> jobs;
        size_t k = 0;
        for (long long lambda = band.min; lambda <= band.max; lambda += band.step, ++k) {
            sum += lambda;
            jobs.push_back({static_cast<int>(lambda), panel, 1.0, acc, &facts[k]});
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
        intensities[b] = IntensityPicture(acc, control.threads);
        // The display is formed from 255/256 of the intensity, as the code image carries it.
        ForParts(control.threads, resultSize, [&](int first, int last) {
            for (int y = first; y < last; ++y)
                for (int x = 0; x < resultSize; ++x) {
                    double v = acc[x + displayWindowStart][y + displayWindowStart] * intensityCodeScale;
                    v = v * (1.0 / 16777216.0);
                    uint8_t* px = display.ScanLine(y) + 3 * x;
                    px[b] = DisplayLevel(level, v);  // blue, green, red byte in turn
                }
        });
    }
    result.images.image4 = std::move(intensities[0]);
    result.images.image3 = std::move(intensities[1]);
    result.images.image2 = std::move(intensities[2]);
    result.images.display = std::move(display);
    // Red, green, blue: the order of the intensity images 2 to 4.
    for (int b = 2; b >= 0; --b) full->bands.push_back(std::move(accs[b].band));
    result.full = std::move(full);
    return result;
}

}  // namespace velmora::detail
