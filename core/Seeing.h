// The long-exposure blur of the atmosphere: Kolmogorov turbulence of a given seeing, applied to a
// band's intensity as a product of transfer functions (Fried 1966; Roddier 1981).
#pragma once

#include "core/Matrix.h"

namespace velmora {

inline constexpr double seeingReferenceNm = 500;
// The largest seeing a run takes, in arcseconds: far beyond any night's, and still a disc the
// grid of a long focal length holds.
inline constexpr double maximumSeeingArcsec = 60;

// Fried's r0 in metres at lambdaNm for a seeing disc of FWHM seeingArcsec at 500 nm:
// r0(500) = 0.98 x 500 nm / seeing, scaled as lambda^(6/5).
double FriedParameterM(double seeingArcsec, double lambdaNm);

// The long-exposure transfer function exp(-3.44 (lambda f / r0)^(5/3)) at the angular spatial
// frequency f in cycles per radian; 1 for seeing 0.
double SeeingMtf(double seeingArcsec, double lambdaNm, double cyclesPerRadian);

// What the blur of one band needs: the seeing, the band's wavelength, the focal-plane pitch of
// its samples and the focal length, and the reach of its own transfer function in grid
// frequencies (the largest pupil diameter in samples: beyond it the optics pass nothing).
struct SeeingBlur {
    double seeingArcsec = 0;
    double lambdaNm = 0;
    double pitchUm = 0;
    double focalLengthMm = 0;
    int supportRadius = 0;
};

// Convolves the gridSize x gridSize intensity `acc` (its centre at [gridSize/2][gridSize/2])
// with the seeing's long-exposure pattern, in place: one forward transform, the product with
// SeeingMtf at every grid frequency, and one more forward transform, which returns the
// pattern mirrored and scaled (applying the forward transform twice gives x[-k] / n per axis).
// The total energy and the centre stay where they were; values rounded below zero become +0.
// Raises std::bad_alloc when its two grids cannot be had.
void ApplySeeing(RealMatrix acc, const SeeingBlur& blur);

}  // namespace velmora
