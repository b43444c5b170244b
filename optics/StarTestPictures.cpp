#include "optics/StarTestPictures.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "core/PupilField.h"

namespace velmora {
namespace {

constexpr int half = gridSize / 2;

// One wavelength of the pair, with the wavefront the run gives it before the defocus is added.
struct StarTestWavelength {
    int lambda = 0;
    Aberrations aberrations;
    double weight = 1;
};

// The wavelengths, wavefronts and weights the run uses for the request's mode: the monochrome
// run's white band weighted by (lambda / 550)^2, or the colour run's blue, green and red bands
// with weight 1 each; each wavelength's wavefront is the run's own (AberrationsAtWavelength:
// the table's row, the mirror's terms), so the pair shows the run's telescope. The test of a
// vanishing defocus compares the pair with the run and finds any difference.
std::vector<StarTestWavelength> RunWavelengthsOf(const CalculationRequest& rq) {
    const SimulationParameters& p = rq.params;
    const Aberrations panel = rq.aberrations ? *rq.aberrations : AberrationsInWaves(p);
    std::vector<StarTestWavelength> out;
    if (p.colorMode == ColorMode::Monochrome) {
        CheckRunRequest(rq, {&p.whiteBand});
        for (long long lambda = p.whiteBand.min; lambda <= p.whiteBand.max; lambda += p.whiteBand.step) {
            double w = lambda * (1.0 / 550);
            out.push_back({static_cast<int>(lambda), AberrationsAtWavelength(rq, panel, lambda), w * w});
        }
    } else {
        const WavelengthBand* bands[3] = {&p.blueBand, &p.greenBand, &p.redBand};
        CheckRunRequest(rq, {bands[0], bands[1], bands[2]});
        for (const WavelengthBand* band : bands)
            for (long long lambda = band->min; lambda <= band->max; lambda += band->step)
                out.push_back({static_cast<int>(lambda), AberrationsAtWavelength(rq, panel, lambda), 1.0});
    }
    return out;
}

// The sample pitch of the focal plane at one wavelength: lambda N P / gridSize.
double PitchUm(const CalculationRequest& rq, int lambda) {
    const double focalRatio = static_cast<double>(rq.params.focalLength) / rq.params.aperture;
    return SamplePitchUm(lambda, focalRatio, PupilSamples(focalRatio, lambda));
}

double MinimumPitchUm(const CalculationRequest& rq, const std::vector<StarTestWavelength>& wavelengths) {
    double pitch = HUGE_VAL;
    for (const StarTestWavelength& w : wavelengths) pitch = std::min(pitch, PitchUm(rq, w.lambda));
    return pitch;
}

// The disc must stay clear of the grid's edge with room for its diffraction fringe: beyond
// the grid the field wraps round and the two sides overlap. The same bound keeps the phase
// step between neighbouring pupil samples (4 d / P waves at the rim) below 0.45 waves.
constexpr double discFillLimit = 0.9;
// Each picture shows the disc with a fifth of its diameter to spare around it.
constexpr double pictureMargin = 1.2;

StarTestGeometry GeometryOf(const CalculationRequest& rq, const std::vector<StarTestWavelength>& wavelengths,
                            double d) {
    StarTestGeometry g;
    g.defocusWavesPv = d;
    if (wavelengths.empty()) return g;
    double sum = 0;
    for (const StarTestWavelength& w : wavelengths) sum += w.lambda;
    g.referenceWavelengthNm = sum / static_cast<double>(wavelengths.size());
    g.focalRatio = static_cast<double>(rq.params.focalLength) / rq.params.aperture;
    const double lambdaUm = g.referenceWavelengthNm * 1e-3;
    g.discDiameterUm = 8 * g.focalRatio * d * lambdaUm;
    g.focuserTravelMm = 8 * g.focalRatio * g.focalRatio * d * lambdaUm * 1e-3;
    double pitchSum = 0;
    g.gridUm = HUGE_VAL;
    for (const StarTestWavelength& w : wavelengths) {
        const double pitch = PitchUm(rq, w.lambda);
        pitchSum += pitch;
        g.gridUm = std::min(g.gridUm, pitch * gridSize);
    }
    g.pitchUm = pitchSum / static_cast<double>(wavelengths.size());
    g.fits = g.discDiameterUm <= discFillLimit * g.gridUm;
    g.pictureUm = std::min(pictureMargin * g.discDiameterUm, g.gridUm);
    return g;
}

void CheckDefocus(double d) {
    if (!(d > 0) || !std::isfinite(d))
        throw CalculationError(UserMessage("StarTest", QT_TRANSLATE_NOOP("StarTest", "デフォーカス量は 0 より大きい値にしてください。")));
}

bool Stopped(const RunControl& control) { return control.stop && control.stop->load(); }

}  // namespace

StarTestGeometry StarTestGeometryOf(const CalculationRequest& request, double defocusWavesPv) {
    CheckDefocus(defocusWavesPv);
    return GeometryOf(request, RunWavelengthsOf(request), defocusWavesPv);
}

StarTestResult RunStarTest(const CalculationRequest& rq, const PupilBuilder& buildPupil, double d,
                           const RunControl& control) {
    CheckDefocus(d);
    const std::vector<StarTestWavelength> wavelengths = RunWavelengthsOf(rq);
    StarTestResult result;
    result.geometry = GeometryOf(rq, wavelengths, d);
    if (!result.geometry.fits) return result;

    try {
        PupilField intra;
        PupilField extra(&intra);  // the same tables
        PupilField* sides[2] = {&intra, &extra};
        RealGrid pupil;
        RealGrid accs[2] = {RealGrid(gridSize, gridSize), RealGrid(gridSize, gridSize)};
        const double sign[2] = {-1, 1};
        // The band of grid rows |i - N/2| <= band the pictures read (bilinear: one more than
        // they show) at the finest pitch of the run; rows beyond it stay 0.
        const double bandSamples = std::ceil(result.geometry.pictureUm / 2 / MinimumPitchUm(rq, wavelengths));
        const int band = std::min(half, static_cast<int>(bandSamples) + 2);
        // Only these rows are transformed in the second pass: field row r becomes grid row
        // (r + N/2) mod N, so rows [0, k) and [N - k, N) give the rows N/2 - k .. N/2 + k - 1
        // about the centre, each with the bits the whole transform gives it.
        const int k = std::min(half, (band + 1 + fft2DPartAlignment - 1) / fft2DPartAlignment * fft2DPartAlignment);
        const int threads = std::clamp(control.threads, 1, 2);
        for (const StarTestWavelength& w : wavelengths) {
            if (Stopped(control)) throw CalculationStopped();
            // W020 rho^2 of d waves at the reference wavelength is the same focuser travel at
            // every wavelength: d x reference / lambda waves there. The focus term 2 rho^2 - 1
            // carries it with half the coefficient (its constant is a piston).
            const double waves = d * result.geometry.referenceWavelengthNm / w.lambda;
            Aberrations a[2] = {w.aberrations, w.aberrations};
            for (int s = 0; s < 2; ++s) a[s].focus += sign[s] * waves / 2;
            // The run's own step builds and checks the pupil and samples the intra-focal
            // wavefront; the extra-focal one is sampled from the same pupil.
            CalculationDerived derived;
            intra.Build(rq, w.lambda, a[0], w.weight, buildPupil, pupil, derived);
            extra.Sample(derived.pupilSamples, a[1], pupil);
            ForEachPart(threads, 2, [&](int first, int last) {
                for (int s = first; s < last; ++s) {
                    sides[s]->TransformColumns();
                    sides[s]->AddRowsIntensity(accs[s].Rows(), w.weight, 0, k);
                    sides[s]->AddRowsIntensity(accs[s].Rows(), w.weight, gridSize - k, gridSize);
                }
            });
        }
        // A row of the aligned parts beyond the band has no partner on the other side of the
        // centre; the band is kept symmetric so the two sides stay each other's turn. The rows
        // beyond the parts were never written.
        const int bandFirst = half - band, bandLast = half + band + 1;
        for (RealGrid& acc : accs)
            for (int i = half - k; i < half + k; ++i)
                if (i < bandFirst || i >= bandLast) std::fill(acc.Row(i), acc.Row(i) + gridSize, 0.0);
        const double peak = std::max(MatrixMaximum(bandLast - bandFirst, gridSize, accs[0].Rows() + bandFirst),
                                     MatrixMaximum(bandLast - bandFirst, gridSize, accs[1].Rows() + bandFirst));
        CheckFinitePeak(peak);
        if (peak > 0)
            for (RealGrid& acc : accs)
                for (int i = bandFirst; i < bandLast; ++i)
                    for (int j = 0; j < gridSize; ++j) acc(i, j) /= peak;
        result.intra = std::move(accs[0]);
        result.extra = std::move(accs[1]);
    } catch (const std::bad_alloc&) {
        throw RunOutOfMemory();
    }
    const StarTestGeometry& g = result.geometry;
    result.intraPicture = StarTestPicture(result.intra, g.pitchUm, g.pictureUm, 1.0);
    result.extraPicture = StarTestPicture(result.extra, g.pitchUm, g.pictureUm, 1.0);
    return result;
}

Picture24 StarTestPicture(const RealGrid& intensity, double pitchUm, double sideUm, double peak, int size) {
    Picture24 picture(size, size);
    if (intensity.size() != static_cast<size_t>(gridSize) * gridSize || !(pitchUm > 0) || !(peak > 0)) return picture;
    auto at = [&](int i, int j) {
        if (i < 0 || j < 0 || i >= gridSize || j >= gridSize) return 0.0;
        return intensity(i, j);
    };
    const double samplesPerPixel = sideUm / pitchUm / size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double gi = half + (x + 0.5 - size * 0.5) * samplesPerPixel;
            const double gj = half + (y + 0.5 - size * 0.5) * samplesPerPixel;
            const int i0 = static_cast<int>(std::floor(gi));
            const int j0 = static_cast<int>(std::floor(gj));
            const double fi = gi - i0, fj = gj - j0;
            const double v = (1 - fi) * ((1 - fj) * at(i0, j0) + fj * at(i0, j0 + 1))
                           + fi * ((1 - fj) * at(i0 + 1, j0) + fj * at(i0 + 1, j0 + 1));
            const uint8_t grey = TruncatedByte(255 * v / peak);
            picture.SetPixel(x, y, grey, grey, grey);
        }
    return picture;
}

}  // namespace velmora
