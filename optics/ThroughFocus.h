// The Strehl ratio through focus: the run's pupils and wavefronts again, with a rho^2 waves of
// defocus added (a peak-to-valley), and the depth of focus the curve gives. Plain C++, no toolkit.
//
// What a point of the curve is: the band's intensity, summed over its wavelengths with the run's
// weights, at the most intense of the 3 x 3 focal-plane samples centred on the sample where the
// run's own (best-focus) pattern peaks, over the peak the same pupils give without aberrations
// (the Strehl ratio's denominator). At a = 0 it is the run's Strehl ratio. Each
// sample is the pupil field's discrete Fourier sum at that one frequency, which is what the
// run's transform holds there; the pupil's samples are grouped by their squared radius, on
// which alone the defocus depends, so that each further point of the curve costs one sum over
// the groups instead of a whole transform.
#pragma once

#include <atomic>
#include <vector>

#include "core/PsfCalculation.h"

namespace velmora {

// The curve's points: -1 to +1 wave P-V in steps of 0.05, best focus (0) in the middle.
inline constexpr int throughFocusSteps = 20;  // on each side of zero
inline constexpr double throughFocusStepWaves = 0.05;
inline constexpr double depthOfFocusLevel = 0.8;

// The defocus of each point, k x step for k = -steps ... steps.
std::vector<double> ThroughFocusDefocus(int steps = throughFocusSteps, double stepWaves = throughFocusStepWaves);

// The Strehl ratio of `band` (a band of a run's result) at each defocus k x stepWaves, k = -steps ...
// steps, from the pupils `build` makes (those of the run). Raises CalculationStopped when `stop`
// is set, and OutOfMemory's CalculationError when its scratch cannot be had.
std::vector<double> BandThroughFocus(const BandResult& band, const PupilBuilder& build,
                                     const std::atomic<bool>* stop = nullptr, int steps = throughFocusSteps,
                                     double stepWaves = throughFocusStepWaves);

// The stretch of defocus (in waves, from lo to hi) about the curve's highest point where it stays
// at or above `level`, each end interpolated linearly between the samples that bracket the
// crossing, or the curve's end where it never falls below. False when no point reaches the level.
bool DepthOfFocusWaves(const std::vector<double>& defocus, const std::vector<double>& strehl, double level,
                       double& lo, double& hi);

// The focuser travel of `waves` P-V of defocus: 8 F^2 waves lambda, in micrometres.
double FocuserTravelUm(double waves, double focalRatio, double lambdaNm);

}  // namespace velmora
