// The calculation run: for every wavelength of the band (monochrome) or of the blue, green and
// red bands (colour) the pupil is built, given its wavefront phase, transformed to the focal
// plane and its intensity accumulated; the normalised result becomes 256 x 256 pictures.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Fft.h"
#include "core/Matrix.h"
#include "core/MirrorAndField.h"
#include "core/Picture24.h"
#include "core/SimulationParameters.h"
#include "core/UserMessage.h"

namespace velmora {

inline constexpr int resultSize = 256;
inline constexpr int displayWindowStart = gridSize / 2 - resultSize / 2;  // 384

// The pictures a run produces. Pixel (x, y) shows grid element [x + 384][y + 384].
struct PsfResultImages {
    Picture24 display;  // the 2D viewer's visible picture (Image1)
    Picture24 image2;   // colour: intensity code of the red band
    Picture24 image3;   // monochrome: intensity code of the PSF; colour: green band
    Picture24 image4;   // colour: intensity code of the blue band
    Picture24 pupil;    // monochrome: pupil amplitude of the last wavelength (3D view)
};

// Row k of the wavelength-dependence table as the user typed it: spherical and focus in waves.
struct WavelengthDependenceRow {
    std::string spherical;
    std::string focus;
};

// The same row as numbers, what a run takes.
struct DependenceValues {
    double spherical = 0;
    double focus = 0;
};

// The panel's ranges of the focus term and of the others, in waves: beyond them the pupil
// phase turns by more than the grid can sample.
inline constexpr double maximumFocusWaves = 10;
inline constexpr double maximumSphericalWaves = 1;

// The table's rows as numbers for a band of `count` wavelengths: the first `count` rows are
// converted, and a cell that is no number raises CalculationError naming its row ("波長依存の表の
// k 行目: ..."), as does a value outside the panel's range, naming its row and column. A table
// with fewer rows than that is passed on unconverted in length only, so that the run refuses it
// for its row count.
std::vector<DependenceValues> ConvertDependenceRows(const std::vector<WavelengthDependenceRow>& rows,
                                                    long long count);

// Builds the pupil amplitude for one wavelength into workGrid (the pupil model does this),
// writing every element: the run hands it grids that are not cleared beforehand.
using PupilBuilder = std::function<void(int lambdaNm, RealMatrix workGrid, const ProgressFn& progress)>;

struct CalculationProgress {
    ProgressFn bar;                                                  // 0..100, per step
    std::function<void(int index, int count, int lambdaNm)> wavelength;  // before each wavelength
};

// The values a run leaves behind: those of its last wavelength.
struct CalculationDerived {
    double apertureMm = 0;
    double focalLengthMm = 0;
    double focalRatio = 0;
    int pupilSamples = 0;
};

// A run that cannot go ahead: the message says which value and what to change. When it is
// raised, the caller's result images are as they were.
class CalculationError : public MessageError {
public:
    using MessageError::MessageError;
};

struct CalculationRequest {
    SimulationParameters params;
    // Wavefront coefficients in waves; when empty, the record's spin positions give them.
    std::optional<Aberrations> aberrations;
    int brightnessLevel = 5;                      // the 2D viewer's brightness, 1..100
    std::vector<DependenceValues> dependenceRows;  // read when useWavelengthDependence
    // The primary's conic and the field angle; their terms add to the wavefront of every
    // wavelength, in that wavelength's waves.
    MirrorAndField mirror;
};

// The wavefront a run of `rq` uses at lambdaNm, in waves: the coefficients (rq.aberrations, or
// the record's spin positions) with the Zernike terms; in monochrome with the table of
// wavelength dependence, its row for lambda (when lambda is one of the white band's) in place
// of spherical aberration and focus; and the mirror's terms at lambda. The run forms each
// wavelength's wavefront with this, and so may anything that must show the run's wavefront.
Aberrations AberrationsAtWavelength(const CalculationRequest& rq, long long lambdaNm);
// The same with the coefficients already formed (`panel`, what rq.aberrations or the record
// gives), for callers that go through many wavelengths.
Aberrations AberrationsAtWavelength(const CalculationRequest& rq, const Aberrations& panel, long long lambdaNm);
// The mean of a band's wavelengths (min, min + step, ... <= max), 0 for an empty band.
double MeanWavelengthNm(const WavelengthBand& band);
// The wavelength the wavefront previews show terms given as lengths at: the mean of the white
// band in monochrome, of the green band in colour.
double PreviewWavelengthNm(const SimulationParameters& p);
// What a run measured of one wavelength's pupil, kept for the analysis.
struct WavelengthFacts {
    int lambdaNm = 0;
    double weight = 0;            // the run's weight for this wavelength's intensity
    int pupilSamples = 0;
    Aberrations aberrations;      // in waves, as used for this wavelength
    double s1 = 0;                // sum of the amplitude over the samples that reach the transform
    double s2 = 0;                // sum of its square over the same samples
    double rmsWaves = 0;          // amplitude²-weighted RMS wavefront, piston and tilt removed
    double maxPhaseStepWaves = 0; // largest wavefront change between neighbouring pupil samples
};

// One accumulator of a run at full precision.
struct BandResult {
    std::string name;                          // "white", "red", "green" or "blue"
    std::vector<WavelengthFacts> wavelengths;  // in the run's order
    double peak = 0;                           // the accumulator's peak before normalisation
    double normalisedPeak = 0;                 // the peak after it (1 in monochrome)
    RealGrid intensity;                        // gridSize x gridSize: the normalised elements
    // With a companion: the scene the pictures show, the star and its companion, normalised as
    // `intensity` but to the scene's own peak; empty for a single star. The companion's offset
    // from the star in samples along i and j, and its brightness over the star's.
    RealGrid scene;
    double companionShiftI = 0, companionShiftJ = 0, companionRatio = 0;
};

// The focal-plane sample pitch of one wavelength in micrometres: lambda F P / gridSize, for a
// pupil of P samples at focal ratio F.
inline double SamplePitchUm(double lambdaNm, double focalRatio, int pupilSamples) {
    return lambdaNm * 1e-3 * focalRatio * pupilSamples / gridSize;
}
// A band's mean wavelength weighted as the run weighted its intensities; 0 when the weights add
// up to nothing.
double WeightedMeanWavelengthNm(const BandResult& band);

// The wavelengths a run of `p` computes (the white band, or the blue, green and red bands),
// each with its focal-plane sample pitch, for the checks made before a run. Those the run
// refuses (a band without a step, a pupil that is empty or outgrows the grid) are left out:
// the run's own check says why. Empty without an aperture or a focal length.
struct WavelengthPitch {
    long long lambdaNm = 0;
    double pitchUm = 0;
};
std::vector<WavelengthPitch> RunWavelengthPitches(const SimulationParameters& p);

// Everything a run knows beyond its pictures.
struct FullResult {
    ColorMode mode = ColorMode::Monochrome;
    double apertureMm = 0;
    double focalLengthMm = 0;
    double secondaryMm = 0;
    MirrorAndField mirror;          // the request's, whose terms are in the bands' aberrations
    std::vector<BandResult> bands;  // monochrome: white; colour: red, green, blue

    // A result under a sky (imaging/Sky) is a kind of its own that also holds the sky.
    FullResult() = default;
    FullResult(const FullResult&) = default;
    FullResult(FullResult&&) = default;
    FullResult& operator=(const FullResult&) = default;
    FullResult& operator=(FullResult&&) = default;
    virtual ~FullResult() = default;
};

// What one run produced: the pictures of its mode (monochrome: display, image3 and pupil;
// colour: display, image2, image3 and image4; the others stay empty) and what it derived.
struct PsfResult {
    ColorMode mode = ColorMode::Monochrome;
    PsfResultImages images;
    CalculationDerived derived;
    std::shared_ptr<const FullResult> full;  // shared: copies of a result are cheap
};

// How a run is carried out. Nothing here changes the result's bits.
struct RunControl {
    int threads = 1;                          // workers; 1 runs the wavelengths one after the other
    const std::atomic<bool>* stop = nullptr;  // set from any thread to end the run early
    // False: the display and intensity pictures are left empty, for a caller that draws them
    // afterwards from the result (RedrawResultImages; the sky does) or never reads them. The
    // pupil picture is drawn all the same.
    bool pictures = true;
};

// Raised when RunControl::stop ends a run: nothing the caller holds has changed.
class CalculationStopped : public std::runtime_error {
public:
    CalculationStopped() : std::runtime_error("calculation stopped") {}
};


// Runs the calculation. A refused or failed run raises CalculationError and returns nothing.
// workGrid is the caller's gridSize x gridSize matrix; it holds the last pupil afterwards.
PsfResult RunPsfCalculation(const CalculationRequest& request, const PupilBuilder& buildPupil, RealMatrix workGrid,
                            const CalculationProgress& progress = {}, const RunControl& control = {});
// The same for a caller that owns its grid in a holder: a run that goes through hands its own
// grid over (the holder's rows change, nothing is copied); any other leaves the holder as it was.
PsfResult RunPsfCalculation(const CalculationRequest& request, const PupilBuilder& buildPupil,
                            RealMatrixHolder& workGrid, const CalculationProgress& progress = {},
                            const RunControl& control = {});

// The pictures a run makes from its normalised bands, made again from `full` (from a band's
// scene where it has one): monochrome display and image3, colour display and images 2 to 4,
// to the bit as the run makes them from the same values. The pupil picture is left as it is.
void RedrawResultImages(const FullResult& full, int brightnessLevel, PsfResultImages& images, int threads = 1);

// Replaces in `shown` the pictures the result's mode produced; the others stay as they were
// (a colour run leaves the pupil picture of the last monochrome run, and a monochrome run the
// red and blue images of the last colour run).
void KeepResultImages(const PsfResult& result, PsfResultImages& shown);

// The straightforward phase sampling over the whole grid: the complex pupil function of
// workGrid with wavefront `a`, for pupilSamples p. Kept for checking the fast path.
void SamplePhase(int p, const Aberrations& a, const RealMatrix workGrid, RealMatrix fieldRe,
                 RealMatrix fieldIm, const ProgressFn& progress = {});

// The number of wavelengths min, min + step, ... <= max (0 when min > max; step must be > 0).
long long WavelengthCount(const WavelengthBand& band);

}  // namespace velmora
