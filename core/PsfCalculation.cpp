#include "core/PsfCalculation.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/NumberText.h"
#include "core/PsfRunSteps.h"

namespace velmora {

long long WavelengthCount(const WavelengthBand& band) {
    if (band.step <= 0 || band.min > band.max) return 0;
    return (static_cast<long long>(band.max) - band.min) / band.step + 1;
}

void SamplePhase(int p, const Aberrations& a, const RealMatrix workGrid, RealMatrix fieldRe, RealMatrix fieldIm,
                 const ProgressFn& progress) {
    const double r = p * 0.5;
    int lastPercent = -1;
    for (int i = 0; i < gridSize; ++i) {
        if (progress) {
            int percent = i * 100 / gridSize;
            if (percent != lastPercent) progress(lastPercent = percent);
        }
        double* re = fieldRe[i];
        double* im = fieldIm[i];
        std::memset(re, 0, sizeof(double) * gridSize);
        std::memset(im, 0, sizeof(double) * gridSize);
        detail::SamplePhaseRow(i, 0, gridSize, r, a, workGrid, re, im);
    }
}

std::vector<DependenceValues> ConvertDependenceRows(const std::vector<WavelengthDependenceRow>& rows,
                                                    long long count) {
    std::vector<DependenceValues> values(rows.size());
    if (static_cast<long long>(rows.size()) < count) return values;
    for (long long k = 0; k < count; ++k) {
        const WavelengthDependenceRow& row = rows[static_cast<size_t>(k)];
        try {
            values[static_cast<size_t>(k)] = {ParseDecimal(row.spherical), ParseDecimal(row.focus)};
        } catch (const ConversionError& e) {
            throw CalculationError(UserMessage("PsfCalculation", QT_TRANSLATE_NOOP("PsfCalculation", "波長依存の表の %1 行目: %2"),
                                               {UserMessage::Value(k + 1), UserMessage::Value(e.what())}));
        }
        // The panel's ranges: beyond them the phase turns by more than the grid samples, and
        // the picture says nothing (a spherical term of 1e308 leaves a field of zeros).
        const struct {
            const char* column;
            const std::string& text;
            double value;
            double limit;
        } cells[] = {
            {QT_TRANSLATE_NOOP("PsfCalculation", "球面収差"), row.spherical, values[static_cast<size_t>(k)].spherical,
             maximumSphericalWaves},
            {QT_TRANSLATE_NOOP("PsfCalculation", "フォーカス"), row.focus, values[static_cast<size_t>(k)].focus,
             maximumFocusWaves},
        };
        for (const auto& cell : cells)
            if (!(std::fabs(cell.value) <= cell.limit))
                throw CalculationError(UserMessage(
                    "PsfCalculation",
                    QT_TRANSLATE_NOOP("PsfCalculation", "波長依存の表の %1 行目の%2 %3 は範囲外です。-%4 から %4 波の値にしてください。"),
                    {UserMessage::Value(k + 1), UserMessage("PsfCalculation", cell.column), UserMessage::Value(cell.text),
                     UserMessage::Value(FormatGeneral(cell.limit))}));
    }
    return values;
}

namespace {

// The run in a grid of its own, so that a run that is stopped, refused or fails leaves the
// caller's pupil as it was; `own` holds the last pupil afterwards.
PsfResult RunInOwnGrid(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrixHolder& own,
                       const CalculationProgress& progress, const RunControl& control) {
    try {
        detail::AllocateField(own);
        return rq.params.colorMode == ColorMode::Monochrome
                   ? detail::RunMonochrome(rq, buildPupil, own, progress, control)
                   : detail::RunColour(rq, buildPupil, own, progress, control);
    } catch (const std::bad_alloc&) {
        throw detail::OutOfMemory();  // the pupil model's own arrays, or the pictures
    }
}

}  // namespace

PsfResult RunPsfCalculation(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrix workGrid,
                            const CalculationProgress& progress, const RunControl& control) {
    RealMatrixHolder own;
    PsfResult result = RunInOwnGrid(rq, buildPupil, own, progress, control);
    detail::ForRowParts(control.threads, [&](int first, int last) {
        for (int r = first; r < last; ++r) std::memcpy(workGrid[r], own[r], sizeof(double) * gridSize);
    });
    return result;
}

PsfResult RunPsfCalculation(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrixHolder& workGrid,
                            const CalculationProgress& progress, const RunControl& control) {
    RealMatrixHolder own;
    PsfResult result = RunInOwnGrid(rq, buildPupil, own, progress, control);
    workGrid.Swap(own);
    return result;
}

void KeepResultImages(const PsfResult& result, PsfResultImages& shown) {
    shown.display = result.images.display;
    shown.image3 = result.images.image3;
    if (result.mode == ColorMode::Monochrome) {
        shown.pupil = result.images.pupil;
    } else {
        shown.image2 = result.images.image2;
        shown.image4 = result.images.image4;
    }
}

}  // namespace velmora
