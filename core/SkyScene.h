// What happens to the star above and beside the telescope: the long-exposure blur of
// Kolmogorov turbulence of a given seeing (Fried 1966; Roddier 1981), and a companion star.
// Both act on a band's intensity through its transfer function.
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

// A second star: its separation from the first, its position angle (degrees from the panel's
// x axis towards y) and how many magnitudes fainter it is. Separation 0: a single star.
struct Companion {
    double separationArcsec = 0;
    double positionAngleDeg = 0;
    double deltaMag = 0;
    bool Present() const { return separationArcsec > 0; }
    // Its brightness over the first star's: 10^(-0.4 deltaMag).
    double BrightnessRatio() const;
    bool operator==(const Companion&) const = default;
};
// The companion's reach: a pair wider than the grid's half field cannot be shown.
inline constexpr double maximumSeparationArcsec = 3600;
inline constexpr double maximumDeltaMag = 15;

// What one band's sky needs: the seeing, the band's wavelength, the focal-plane pitch of its
// samples and the focal length, the reach of its own transfer function in grid frequencies
// (the largest pupil diameter in samples: beyond it the optics pass nothing), the companion.
struct BandSky {
    double seeingArcsec = 0;
    double lambdaNm = 0;
    double pitchUm = 0;
    double focalLengthMm = 0;
    int supportRadius = 0;
    Companion companion;

    // The companion's offset from the first star in samples along the grid's first and second
    // index.
    double ShiftI() const;
    double ShiftJ() const;
};

// The band's intensity `acc` (gridSize x gridSize, its centre at [gridSize/2][gridSize/2]) under
// this sky, in place: blurred by the seeing when there is any. With a companion, `scene` (a
// gridSize x gridSize matrix) receives the blurred star plus the companion: the same pattern
// moved by the separation (a phase ramp in the transfer function, exact below a sample) and
// scaled by its brightness ratio; `scene` is not touched otherwise.
//
// One forward transform, the product with the transfer functions at every grid frequency, and
// one more forward transform per pattern wanted, which returns it mirrored and scaled
// (transforming twice gives x[-k] / n per axis): two transforms for the seeing or the
// companion, three for both. The energy stays; values rounded below zero become +0. Raises
// std::bad_alloc when its grids cannot be had.
void ApplySky(RealMatrix acc, const BandSky& sky, RealMatrix scene);

}  // namespace velmora
