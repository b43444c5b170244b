// Measurements of a run's full-precision result: the physical scale of the focal plane, the
// Strehl ratio, the width of the core, the encircled energy and the modulation transfer, with
// the warnings that say when the sampling makes them untrustworthy. Plain C++, no toolkit.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "analysis/EncircledEnergy.h"
#include "imaging/Camera.h"
#include "core/PsfCalculation.h"
#include "core/UserMessage.h"

namespace velmora {

// The focal-plane sample pitch p = lambda F P / gridSize over the run's wavelengths.
struct PixelScale {
    double um = 0;        // mean pitch in micrometres
    double arcsec = 0;    // the same as an angle: um / focal length
    double umSpread = 0;  // (max - min) / mean over the wavelengths
};
PixelScale ScaleOf(const FullResult& full);
PixelScale ScaleOf(const FullResult& full, const BandResult& band);

// The band's peak over the peak the same pupil gives without aberrations.
double StrehlOf(const BandResult& band);

struct BandMeasurements {
    std::string name;  // "white", "red", "green" or "blue"
    std::vector<int> wavelengthsNm;
    std::vector<double> weights;
    double meanWavelengthNm = 0;
    PixelScale scale;

    double strehl = 0;
    double rmsWavefrontWaves = 0;
    double marechalStrehl = 0;  // exp(-(2 pi sigma)^2)

    double peakXUm = 0, peakYUm = 0;          // from the grid centre
    double centroidXUm = 0, centroidYUm = 0;  // from the grid centre
    double fwhmXUm = 0, fwhmYUm = 0, fwhmUm = 0, fwhmArcsec = 0;

    // Encircled energy about the centroid, exact for the continuous pattern the samples stand
    // for (see EncircledEnergy): the curve at whole radii in samples, r = 0, 1, ..., out to
    // 5 lambda F or three times r80, whichever is further (at most 511); r50 and r80 are
    // the first crossings of the function itself, not of the curve.
    std::vector<double> eeRadiusUm;
    std::vector<double> eeFraction;  // of the whole grid's energy
    double r50Um = 0, r80Um = 0;
    // The function itself, for radii the curve does not hold.
    std::shared_ptr<const EncircledEnergy> encircledEnergy;

    // A picture, not a measurement: the mean of the samples in rings one sample wide (rounded
    // radius) about the peak, r = 0 ... 511 samples, normalised to 1 at the peak; beside it the
    // same of the band's ideal (see idealKnown), normalised to its own peak.
    std::vector<double> radialRadiusUm;
    std::vector<double> radialProfile;
    std::vector<double> idealProfile;

    // MTF cuts along fx and fy, 1 at zero frequency, with the same of the ideal.
    std::vector<double> mtfFreqCycPerMm;
    std::vector<double> mtfNu;  // frequency over the cut-off 1 / (mean wavelength x F)
    std::vector<double> mtfX;
    std::vector<double> mtfY;
    std::vector<double> mtfIdeal;   // the ideal along fx
    std::vector<double> mtfIdealY;  // the ideal along fy (differs from fx with vanes or a mask)

    // The ideal: the same pupil (obstruction, vanes, apodization, user mask) without
    // aberrations, over the band's own wavelengths and weights -- the pattern whose peak the
    // Strehl ratio divides by. Known when the run has no aberrations (the ideal is the result
    // itself) or when its measurements were given to Analyse; otherwise the ideal curves are
    // empty.
    bool idealKnown = false;
    // The ideal's encircled energy about its own centroid, with its r50 and r80.
    std::shared_ptr<const EncircledEnergy> idealEncircledEnergy;
    std::vector<double> idealEeFraction;  // at eeRadiusUm
    double idealR50Um = 0, idealR80Um = 0;

    double cutoffCycPerMm = 0;

    // Through focus (AddThroughFocus, optics/ThroughFocus.h); empty unless it was made. The
    // Strehl ratio with a rho^2 waves of defocus added to the run's wavefront, a = -1 ... +1
    // P-V, and the depth of focus: the stretch about the curve's best point where it stays at
    // or above 0.8, as focuser travel 8 F^2 a lambda at the band's mean wavelength.
    std::vector<double> focusDefocusWavesPv;
    std::vector<double> focusStrehl;
    double depthOfFocusUm = 0;
    // With a companion star: the pair's dip, the lowest intensity of the scene on the segment
    // from the star's peak to the companion's over the lower of the two (1 when there is no
    // dip), and whether the pair is resolved by Sparrow's criterion (there is a dip at all).
    bool pair = false;
    double dipRatio = 1;
    bool resolved = false;
};

// The conditions under which the sampling makes a result untrustworthy.
enum class SamplingWarning {
    BelowNyquist,  // gridSize / pupilSamples < 2 at some wavelength: the PSF itself is aliased
    PhaseSteps,    // the wavefront changes by more than half a wave between neighbouring samples
    EnergyAtEdge,  // more than 0.1 % of a band's energy in the grid's outermost 16 samples
};

// One warning: the condition that holds and the sentence that tells the user.
struct SamplingNote {
    SamplingWarning kind;
    UserMessage message;
};

struct Analysis {
    ColorMode mode = ColorMode::Monochrome;
    PixelScale scale;                    // over all the run's wavelengths
    std::vector<BandMeasurements> bands;  // in the result's band order
    std::vector<SamplingNote> warnings;   // empty when the sampling is sound

    bool Warns(SamplingWarning kind) const;
};

// Whether every wavelength of every band ran without aberrations (tilt included).
bool Unaberrated(const FullResult& full);

// All measurements of one result. Costs about one 2D transform per band. `ideal`: the
// measurements of the same run without aberrations (Analyse of IdealRequest's result), whose
// curves become the result's ideal; not needed when the result has no aberrations, and ignored
// when its bands are not the result's. A set `stop` ends the work early with CalculationStopped
// (the result's measurements are no longer wanted: a newer result is on its way).
Analysis Analyse(const FullResult& full, const Analysis* ideal = nullptr, const std::atomic<bool>* stop = nullptr);

// The sampling warnings of a result alone, those Analyse gives it, from one pass over each
// band's grid instead of all the measurements.
std::vector<SamplingNote> SamplingWarnings(const FullResult& full);

// The camera image of every band of a result, in its order, with the measured pitch and FWHM:
// of the scene when there is a companion (the camera records the pair), else of the star.
std::vector<CameraImage> CameraImages(const FullResult& full, const Analysis& analysis, double pixelUm);
// The same with the pitch and the FWHM found here: the peak and the width through it, as the
// measurements find them, without the rest of the measurements.
std::vector<CameraImage> CameraImages(const FullResult& full, double pixelUm);

// The record with every aberration's spin position zero and no wavelength dependence: what the
// pupils, the wavelengths and the weights of a run are made from.
SimulationParameters WithoutAberrations(SimulationParameters p);

// The request of the ideal: the same run with every aberration zero, no wavelength
// dependence and the mirror input off. Its pupils, wavelengths and weights are those of `request`.
CalculationRequest IdealRequest(CalculationRequest request);

// Every band of `analysis` (the measurements of `full`) gets its through-focus curve and depth of
// focus. Raises as BandThroughFocus (optics/ThroughFocus.h).
void AddThroughFocus(Analysis& analysis, const FullResult& full, const PupilBuilder& build,
                     const std::atomic<bool>* stop = nullptr);

}  // namespace velmora
