// What happens to the star above and beside the telescope, laid over a run's result: the
// long-exposure blur of Kolmogorov turbulence of a given seeing (Fried 1966; Roddier 1981) and
// a companion star. Both act on each band through its transfer function. Plain C++, no toolkit.
#pragma once

#include "core/Matrix.h"
#include "core/PsfCalculation.h"
#include "imaging/SkyConditions.h"

namespace velmora {

inline constexpr double seeingReferenceNm = 500;
// The largest seeing taken, in arcseconds: far beyond any night's.
inline constexpr double maximumSeeingArcsec = 60;
// The companion's largest separation and magnitude difference.
inline constexpr double maximumSeparationArcsec = 3600;
inline constexpr double maximumDeltaMag = 15;

// Whether a seeing, and a companion's separation, position angle and magnitude difference, lie
// in the ranges taken: the window, the batch command, the set-up files and CheckSky all ask this.
bool SeeingInRange(double seeingArcsec);
bool CompanionInRange(const Companion& companion);

// Fried's r0 in metres at lambdaNm for a seeing disc of FWHM seeingArcsec at 500 nm:
// r0(500) = 0.98 x 500 nm / seeing, scaled as lambda^(6/5).
double FriedParameterM(double seeingArcsec, double lambdaNm);

// The long-exposure transfer function exp(-3.44 (lambda f / r0)^(5/3)) at the angular spatial
// frequency f in cycles per radian; 1 for seeing 0.
double SeeingMtf(double seeingArcsec, double lambdaNm, double cyclesPerRadian);

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
// The sky of one band of `full`: its weighted mean wavelength, its wavelengths' mean pitch and
// largest pupil.
BandSky BandSkyOf(const FullResult& full, const BandResult& band, const SkyConditions& sky);

// The band's intensity `acc` (gridSize x gridSize, its centre at [gridSize/2][gridSize/2]) under
// this sky, in place: blurred by the seeing when there is any. With a companion, `scene` (a
// gridSize x gridSize matrix) receives the blurred star plus the companion: the same pattern
// moved by the separation (a phase ramp in the transfer function, exact below a sample) and
// scaled by its brightness ratio, made as one pattern whose transfer function is the star's times
// 1 + ratio x ramp; `scene` is not touched otherwise.
//
// The band's spectrum (from every second or fourth sample when its reach allows), the product
// with the transfer functions within the reach, and one forward transform per pattern wanted,
// which returns it mirrored and scaled (transforming twice gives x[-k] / n per axis). The
// patterns are real, so each is made from the spectrum's half of non-negative frequencies, with
// two of its rows in one complex row transform. The energy stays; values rounded below zero
// become +0. With `normalisedPeak` above 0 each pattern is written normalised as the run
// normalises, element / its peak x normalisedPeak. Raises std::bad_alloc when its grids cannot
// be had. Returns the largest value of the blurred star (0 without seeing) and of the scene (0
// without a companion), before any normalising.
struct SkyPeaks {
    double star = 0;
    double scene = 0;
};
SkyPeaks ApplyBandSky(RealMatrix acc, const BandSky& sky, RealMatrix scene, double normalisedPeak = 0);
// The same done plainly: the whole grid's spectrum, the product everywhere and whole complex
// transforms. The same values to rounding; used when the optics' reach fills the grid.
SkyPeaks ApplyBandSkyDense(RealMatrix acc, const BandSky& sky, RealMatrix scene, double normalisedPeak = 0);

// A run's result with the sky that was laid over its bands.
struct FullResultUnderSky : FullResult {
    SkyConditions sky;
};
// The sky laid over a result: clear for a result that was never under one.
const SkyConditions& SkyOf(const FullResult& full);

// Raises CalculationError when the sky cannot be laid over a run of `p`: a seeing, separation
// or magnitude difference out of range, or a companion that would fall beyond the grid (less
// its edge frame) at one of the run's wavelengths. Called before the run, so that a refused
// sky costs nothing.
void CheckSky(const SkyConditions& sky, const SimulationParameters& p);

// Lays the sky over a run's result: each band's intensity blurred (and its peak, which the
// Strehl ratio reads, with it), each band's scene made when there is a companion, the pictures
// made again from them at `brightnessLevel` (the pupil picture stays), and the sky recorded in
// the result. A clear sky leaves the result as it is, to the bit. Raises CalculationError when
// the memory is not there.
void ApplySky(PsfResult& result, const SkyConditions& sky, int brightnessLevel, int threads = 1);

}  // namespace velmora
