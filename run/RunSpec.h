// A run described by a value: every input it reads, resolved (files already read), so that a
// run can be kept, compared, repeated on another thread or handed to another program. The
// window's panel, the batch command's options and parameters files all become one of these.
#pragma once

#include <memory>

#include "core/LoadedMask.h"
#include "core/PsfCalculation.h"
#include "imaging/SkyConditions.h"
#include "pupil/PupilModel.h"

namespace velmora {

struct RunSpec {
    // The record, the wavefront's coefficients, the table of wavelength dependence, the mirror,
    // the 2D viewer's brightness.
    CalculationRequest request;
    // The loaded user filter: the UserFilter profile reads its table.
    UserFilter filter;
    // The loaded user mask, shared and never changed once loaded (a new mask is a new object):
    // every run and star test that reads it holds it as long as it needs it. Null: none loaded.
    std::shared_ptr<const LoadedMask> mask;
    // Laid over the run's result: the seeing and a companion.
    SkyConditions sky;
    // The camera's pixel in micrometres; 0: no camera.
    double cameraPixelUm = 0;
};

// Whether a and b build the same pupils at the same wavelengths, whatever their aberrations:
// the records but for their aberrations are equal, and so are (by value) the filters under the
// user filter profile and the masks under the user mask profile.
bool SamePupils(const RunSpec& a, const RunSpec& b);

// The RunSpec of the ideal of `RunSpec`: the same pupils without any aberration (IdealRequest), under
// the same seeing; a companion and the camera change no measurement of the star and are left out.
RunSpec IdealRunSpec(RunSpec runSpec);

}  // namespace velmora
