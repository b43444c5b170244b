// The pupil distribution display: the pupil amplitude (geometry and density, no phase) sampled
// at the wavelength-independent 550 nm scale, placed in workGrid, and the central quarter of
// workGrid as a grey picture.
#pragma once

#include "core/Fft.h"
#include "core/Matrix.h"
#include "core/LoadedMask.h"
#include "core/Picture24.h"
#include "pupil/PupilModel.h"

namespace velmora {

inline constexpr int pupilDistributionSize = 256;

struct PupilDistributionInputs {
    const SimulationParameters* params = nullptr;
    double focalRatio = 0;                   // the ratio of the last calculation (or start-up)
    const UserFilter* userFilter = nullptr;  // UserFilter profile
    const Picture24* userMask = nullptr;     // UserMask profile: the mask picture; null: factor 1
    const LoadedMask* loadedMask = nullptr;  // the same in its kept form, used when set
};

// Samples across the primary: trunc(1000 / focalRatio), 0 when that is not a usable number.
int PupilDistributionSamples(double focalRatio);

// Builds the pupil into workGrid (cleared, centred on [512][512]) and returns the 256 x 256
// picture of workGrid[384..639][384..639], grey trunc(255 x value). Vanes take the geometry of
// the quadrant their angle lies in. Returns an empty picture, workGrid untouched, when the
// sampling is not 1..gridSize across. Progress runs 0..99 once per pass.
Picture24 BuildPupilDistribution(const PupilDistributionInputs& in, RealMatrix workGrid, const ProgressFn& progress = {});

}  // namespace velmora
