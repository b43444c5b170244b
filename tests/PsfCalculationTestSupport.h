// What the calculation's test programs share: a calculation with the pupil model behind it, run
// as the main window runs it, and the intensity its code pixels stand for.
#pragma once

#include <vector>

#include "TestSupport.h"
#include "core/IntensityCode.h"
#include "core/PsfCalculation.h"
#include "pupil/PupilModel.h"

namespace velmora {

// A calculation with the pupil model behind it, as the main window and the batch set it up.
class Calculation {
public:
    Calculation() { workGrid.Allocate(gridSize, gridSize); }

    // Runs as the main window does: the table's texts become numbers first, and the pictures of
    // the run's mode replace those shown.
    CalculationDerived Run(CalculationRequest rq, const CalculationProgress& progress = {}) {
        if (rq.params.useWavelengthDependence && rq.params.colorMode == ColorMode::Monochrome)
            rq.dependenceRows = ConvertDependenceRows(tableCells, WavelengthCount(rq.params.whiteBand));
        const PsfResult result = testing::RunWithPupilModel(rq, workGrid.get(), &filter, nullptr, progress);
        KeepResultImages(result, results);
        return result.derived;
    }
    // Intensity of a code pixel of an image, as a fraction of the run's peak (256/255 undoes
    // the code's scale).
    static double Intensity(const Picture24& p, int x, int y) {
        return DecodeIntensity(p.Red(x, y), p.Green(x, y), p.Blue(x, y)) * 256 / 255;
    }

    RealMatrixHolder workGrid;
    UserFilter filter;
    std::vector<WavelengthDependenceRow> tableCells;  // the table window's texts
    PsfResultImages results;
};

}  // namespace velmora
