// The monochrome run: every wavelength of the white band into one accumulator, weighted by
// (lambda / 550)^2, normalised to a peak of 1; the display, the intensity picture and the
// pupil picture of the last wavelength.
#include "core/PsfRunSteps.h"

namespace velmora::detail {

PsfResult RunMonochrome(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrixHolder& workGrid,
                        const CalculationProgress& progress, const RunControl& control) {
    const SimulationParameters& p = rq.params;
    CheckRequest(rq, {&p.whiteBand});
    const int total = static_cast<int>(WavelengthCount(p.whiteBand));

    RunWorkspace ws;
    AllocateWorkspace(ws);
    BandAccumulator acc;
    const Aberrations panel = rq.aberrations ? *rq.aberrations : AberrationsInWaves(p);
    PsfResult result;
    result.mode = ColorMode::Monochrome;
    std::vector<WavelengthFacts> facts(static_cast<size_t>(total));

    std::vector<WavelengthJob> jobs;
    long long k = 0;
    for (long long lambda = p.whiteBand.min; lambda <= p.whiteBand.max; lambda += p.whiteBand.step, ++k) {
        // The table's row and the mirror's terms of this wavelength (AberrationsAtWavelength).
        const Aberrations a = AberrationsAtWavelength(rq, panel, lambda);
        double w = lambda * (1.0 / 550);
        w = w * w;
        jobs.push_back({static_cast<int>(lambda), a, w, acc.get(), &facts[static_cast<size_t>(k)]});
    }
    RunWavelengths(rq, jobs, 0, total, true, buildPupil, workGrid, ws, result.derived, progress, control);
    const double m = GridMaximum(acc.get(), control.threads);
    CheckFinite(m);
    auto full = FullResultOf(p);
    full->mirror = rq.mirror;
    FinishBand(acc, "white", m, 1.0, std::move(facts), control.threads);

    Picture24 pupil(resultSize, resultSize);
    ForParts(control.threads, resultSize, [&](int first, int last) {
        for (int y = first; y < last; ++y)
            for (int x = 0; x < resultSize; ++x) {
                const uint8_t grey = TruncatedByte(255 * workGrid[x + displayWindowStart][y + displayWindowStart]);
                pupil.SetPixel(x, y, grey, grey, grey);
            }
    });
    result.images.pupil = std::move(pupil);
    // The band's values go with it (the accumulator's rows are its intensity): the pictures are
    // drawn from the result as any redraw draws them.
    full->bands.push_back(std::move(acc.band));
    if (control.pictures) RedrawResultImages(*full, rq.brightnessLevel, result.images, control.threads);
    result.full = std::move(full);
    return result;
}

}  // namespace velmora::detail
