// The star test: the star at equal amounts of defocus inside and outside focus, computed from
// the run's own pupil and wavefront with a defocus term W020 rho^2 added, and the pictures of
// the pair scaled so that the whole defocused disc fits.
#pragma once

#include <vector>

#include "core/Picture24.h"
#include "core/PsfCalculation.h"

namespace velmora {

inline constexpr int starTestPictureSize = 256;
inline constexpr int defaultDefocusWavesPv = 8;
inline constexpr int minimumDefocusWavesPv = 1;
inline constexpr int maximumDefocusWavesPv = 20;

// The sizes of a star test of the request's instrument at d waves P-V of defocus at the
// reference wavelength (the mean of the run's wavelengths; each wavelength gets d x
// reference / lambda waves, the same focuser travel).
struct StarTestGeometry {
    double defocusWavesPv = 0;
    double referenceWavelengthNm = 0;
    double focalRatio = 0;
    double discDiameterUm = 0;   // geometric: 8 N d lambda
    double focuserTravelMm = 0;  // 8 N^2 d lambda
    double pitchUm = 0;          // the grid's mean sample pitch over the wavelengths
    double gridUm = 0;           // the narrowest grid over the wavelengths
    double pictureUm = 0;        // the side of each picture
    bool fits = false;           // the disc and its edge fit in the grid at every wavelength
};
// Raises CalculationError for a request the run would refuse, or d not above 0.
StarTestGeometry StarTestGeometryOf(const CalculationRequest& request, double defocusWavesPv);

struct StarTestResult {
    StarTestGeometry geometry;
    // gridSize x gridSize, [i * gridSize + j] as a band's intensity, both divided by the larger
    // peak of the pair so that the two sides compare directly. Only the band of rows about the
    // centre that the pictures read is computed (|i - N/2| up to half the picture's side and
    // two samples more); the rows beyond it are 0. Empty when the disc does not fit.
    RealGrid intra;  // W020 = -d: the focuser moved in, towards the mirror
    RealGrid extra;  // W020 = +d
    Picture24 intraPicture;
    Picture24 extraPicture;
};

// The defocused pair: each wavelength's pupil is built once, its wavefront (as the run forms
// it) sampled with -d and +d added, and the two fields transformed (on two threads when
// control.threads allows) into their own accumulators in the wavelengths' order, so the bits
// do not depend on the thread count. When the disc does not fit, nothing is transformed and
// the result holds only its geometry. Raises as RunPsfCalculation does.
StarTestResult RunStarTest(const CalculationRequest& request, const PupilBuilder& buildPupil, double defocusWavesPv,
                           const RunControl& control = {});

// A grey picture of `size` x `size` pixels showing a square of sideUm about the grid centre of
// `intensity` (pitchUm per sample), bilinear between samples, grey 255 x I / peak truncated.
// Pixel (x, y) lies towards grid element [i][j] with i along x, as the run's pictures.
Picture24 StarTestPicture(const RealGrid& intensity, double pitchUm, double sideUm, double peak,
                          int size = starTestPictureSize);

}  // namespace velmora
