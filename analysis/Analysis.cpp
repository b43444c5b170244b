#include "analysis/Analysis.h"
#include "optics/ThroughFocus.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

#include "analysis/EncircledEnergy.h"
#include "analysis/PairMeasurement.h"
#include "core/Fft.h"
#include "core/Matrix.h"
#include "core/NumberText.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double arcsecPerRadian = 180 / pi * 3600;
constexpr int half = gridSize / 2;
constexpr int eeRadii = gridSize / 2;  // r = 0 ... 511 samples
constexpr double energyReachLambdaF = 5;  // the curve's least reach
constexpr int edgeWidth = 16;          // the frame whose energy says the pattern wraps round
constexpr double edgeEnergyLimit = 0.001;
constexpr double phaseStepLimit = 0.5;
constexpr const char* scope = "Analysis";

double At(const BandResult& band, int i, int j) { return band.intensity(i, j); }

// The peak one wavelength would give without aberrations: its field's value at zero frequency,
// the sum of the amplitude scaled by 1/N per axis, squared, times the run's weight.
double IdealPeak(const WavelengthFacts& w) {
    constexpr double n2 = double(gridSize) * gridSize;
    return w.weight * (w.s1 / n2) * (w.s1 / n2);
}

// Pitch of one wavelength in micrometres: lambda F P / N.
double PitchUm(const FullResult& full, const WavelengthFacts& w) {
    return SamplePitchUm(w.lambdaNm, full.focalLengthMm / full.apertureMm, w.pupilSamples);
}

PixelScale ScaleOver(const FullResult& full, const std::vector<const WavelengthFacts*>& facts) {
    PixelScale s;
    if (facts.empty()) return s;
    double sum = 0;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const WavelengthFacts* w : facts) {
        const double p = PitchUm(full, *w);
        sum += p;
        lo = std::min(lo, p);
        hi = std::max(hi, p);
    }
    s.um = sum / static_cast<double>(facts.size());
    s.arcsec = s.um * 1e-3 / full.focalLengthMm * arcsecPerRadian;
    s.umSpread = s.um > 0 ? (hi - lo) / s.um : 0;
    return s;
}

// The half-maximum crossing walking from the peak at index `peak` in direction `dir` along the
// line value(k); linear between the last sample above half and the first below. The grid's end
// when no sample falls below half.
double HalfCrossing(const std::function<double(int)>& value, int peak, int dir, double halfValue) {
    int k = peak;
    while (k + dir >= 0 && k + dir < gridSize) {
        const double a = value(k);
        const double b = value(k + dir);
        if (b < halfValue) return k + dir * (a - halfValue) / (a - b);
        k += dir;
    }
    return k;
}

// FWHM through the peak [pi][pj] along each index, and their mean, in micrometres of pitch p.
void FwhmThroughPeak(const BandResult& band, int pi, int pj, double peak, double p, BandMeasurements& m) {
    if (peak > 0) {
        const double h = peak / 2;
        auto alongX = [&](int i) { return At(band, i, pj); };
        auto alongY = [&](int j) { return At(band, pi, j); };
        m.fwhmXUm = (HalfCrossing(alongX, pi, +1, h) - HalfCrossing(alongX, pi, -1, h)) * p;
        m.fwhmYUm = (HalfCrossing(alongY, pj, +1, h) - HalfCrossing(alongY, pj, -1, h)) * p;
    }
    m.fwhmUm = (m.fwhmXUm + m.fwhmYUm) / 2;
}

// The encircled-energy curve at whole radii in samples (pitch p um), out to energyReachLambdaF
// lambda F or three times r80, whichever is further (at most eeRadii - 1), with r50 and r80: the
// first crossing of each level, found on the function itself between the two radii that bracket
// it. A level never reached gives the curve's last radius.
void EncircledCurve(const EncircledEnergy& ee, double p, double lambdaFSamples, BandMeasurements& m) {
    std::vector<double>& curve = m.eeFraction;
    curve.clear();
    m.eeRadiusUm.clear();
    int reach = static_cast<int>(std::ceil(energyReachLambdaF * lambdaFSamples));
    int above50 = -1, above80 = -1;
    for (int r = 0; r < eeRadii; ++r) {
        curve.push_back(ee(r));
        m.eeRadiusUm.push_back(r * p);
        if (above50 < 0 && curve.back() >= 0.5) above50 = r;
        if (above80 < 0 && curve.back() >= 0.8) {
            above80 = r;
            reach = std::max(reach, 3 * r);
        }
        if (above80 >= 0 && r >= reach) break;
    }
    auto radius = [&](int above, double level) {
        if (above < 0) return static_cast<double>(curve.size() - 1);
        if (above == 0) return 0.0;
        return ee.Crossing(level, above - 1, above);
    };
    m.r50Um = radius(above50, 0.5) * p;
    m.r80Um = radius(above80, 0.8) * p;
}

// The modulus of the PSF's 2D transform along fx and along fy from zero frequency, over its
// value there. By the projection-slice theorem the transform's fy = 0 line is the 1D transform
// of the PSF summed over its second index (the line spread function along x), and likewise for
// fx = 0: the same values as the whole 2D transform for two 1D ones.
void MtfCuts(std::vector<double> lineX, std::vector<double> lineY, std::vector<double>& x, std::vector<double>& y) {
    FftTables tables;
    if (tables.Create(gridSize) != 0) throw std::bad_alloc();
    std::vector<double> imX(gridSize, 0.0), imY(gridSize, 0.0);
    Fft(gridSize, tables.bitReverseTable, tables.sineTable, lineX.data(), imX.data());
    Fft(gridSize, tables.bitReverseTable, tables.sineTable, lineY.data(), imY.data());
    const double dcX = std::hypot(lineX[0], imX[0]);
    const double dcY = std::hypot(lineY[0], imY[0]);
    x.assign(gridSize / 2, 0.0);
    y.assign(gridSize / 2, 0.0);
    for (size_t k = 0; k < gridSize / 2; ++k) {
        if (dcX > 0) x[k] = std::hypot(lineX[k], imX[k]) / dcX;
        if (dcY > 0) y[k] = std::hypot(lineY[k], imY[k]) / dcY;
    }
}

// edgeShare: the share of the band's energy in the outermost edgeWidth samples on every side.
// Raised when `stop` is set: the measurements of a result nobody will look at end early.
void CheckStop(const std::atomic<bool>* stop) {
    if (stop && stop->load(std::memory_order_relaxed)) throw CalculationStopped();
}

BandMeasurements Measure(const FullResult& full, const BandResult& band, double& edgeShare,
                         const std::atomic<bool>* stop) {
    BandMeasurements m;
    m.name = band.name;
    double lambdaSum = 0;
    for (const WavelengthFacts& w : band.wavelengths) {
        m.wavelengthsNm.push_back(w.lambdaNm);
        m.weights.push_back(w.weight);
        lambdaSum += w.lambdaNm;
    }
    if (!band.wavelengths.empty()) m.meanWavelengthNm = lambdaSum / static_cast<double>(band.wavelengths.size());
    m.scale = ScaleOf(full, band);
    const double p = m.scale.um;
    const double focalLengthUm = full.focalLengthMm * 1e3;
    const double focalRatio = full.focalLengthMm / full.apertureMm;

    // Strehl ratio and the wavefront error: sigma is the band's weighted mean of each
    // wavelength's variance, the weights those of each wavelength's ideal peak.
    m.strehl = StrehlOf(band);
    double variance = 0, varianceWeight = 0;
    for (const WavelengthFacts& w : band.wavelengths) {
        const double ideal = IdealPeak(w);
        variance += ideal * w.rmsWaves * w.rmsWaves;
        varianceWeight += ideal;
    }
    m.rmsWavefrontWaves = varianceWeight > 0 ? std::sqrt(variance / varianceWeight) : 0;
    m.marechalStrehl = std::exp(-std::pow(2 * pi * m.rmsWavefrontWaves, 2));

    // One pass over the grid: the peak, the energy at the edge, and the projections onto each
    // index (the line spread functions), from which come the total, the centroid and the MTF
    // cuts.
    std::vector<double> lineX(gridSize, 0.0), lineY(gridSize, 0.0);
    GridPeak found{0, half, half};  // a band without light keeps its peak at the centre
    double edge = 0;
    for (int i = 0; i < gridSize; ++i) {
        const double* row = band.intensity.data() + static_cast<size_t>(i) * gridSize;
        double s[4] = {0, 0, 0, 0};  // four chains, so the adds need not wait on each other
        for (int j = 0; j < gridSize; j += 4)
            for (int u = 0; u < 4; ++u) {
                s[u] += row[j + u];
                lineY[static_cast<size_t>(j + u)] += row[j + u];
            }
        lineX[static_cast<size_t>(i)] = (s[0] + s[1]) + (s[2] + s[3]);
        if (i < edgeWidth || i >= gridSize - edgeWidth) {
            edge += lineX[static_cast<size_t>(i)];
        } else {
            for (int j = 0; j < edgeWidth; ++j) edge += row[j] + row[gridSize - 1 - j];
        }
        TakeRowPeak(row, LargestInRow(row, gridSize), i, found);
    }
    const int pi_ = found.i, pj = found.j;
    const double peak = found.value;
    double total = 0, sx = 0, sy = 0;
    for (int k = 0; k < gridSize; ++k) {
        total += lineX[static_cast<size_t>(k)];
        sx += lineX[static_cast<size_t>(k)] * (k - half);
        sy += lineY[static_cast<size_t>(k)] * (k - half);
    }
    edgeShare = total > 0 ? edge / total : 0;
    const double cx = total > 0 ? sx / total : 0;
    const double cy = total > 0 ? sy / total : 0;
    m.peakXUm = (pi_ - half) * p;
    m.peakYUm = (pj - half) * p;
    m.centroidXUm = cx * p;
    m.centroidYUm = cy * p;
    MeasurePair(band, pi_, pj, m);

    FwhmThroughPeak(band, pi_, pj, peak, p, m);
    m.fwhmArcsec = m.fwhmUm / focalLengthUm * arcsecPerRadian;

    // Radial profile about the peak: the mean of each ring round(d) wide one sample, walking
    // each line outward from the peak, where the ring number only grows, so it is found by
    // counting up instead of by a square root per sample.
    std::vector<double> profileSum(eeRadii, 0.0), profileCount(eeRadii, 0.0);
    for (int i = 0; i < gridSize; ++i) {
        const double* row = band.intensity.data() + static_cast<size_t>(i) * gridSize;
        const long long di2 = static_cast<long long>(i - pi_) * (i - pi_);
        auto profile = [&](int from, int to, int step) {
            long long k = 0;  // round(sqrt(n)): the smallest k with k^2 + k >= n
            for (int j = from; j != to; j += step) {
                const long long n = di2 + static_cast<long long>(j - pj) * (j - pj);
                while (k * k + k < n) ++k;
                if (k >= eeRadii) return;
                profileSum[static_cast<size_t>(k)] += row[j];
                profileCount[static_cast<size_t>(k)] += 1;
            }
        };
        profile(pj + 1, gridSize, +1);
        profile(pj, -1, -1);
    }
    m.radialRadiusUm.resize(eeRadii);
    m.radialProfile.resize(eeRadii);
    const double lambdaFUm = m.meanWavelengthNm * 1e-3 * focalRatio;
    for (int r = 0; r < eeRadii; ++r) {
        const size_t k = static_cast<size_t>(r);
        m.radialRadiusUm[k] = r * p;
        m.radialProfile[k] = peak > 0 && profileCount[k] > 0 ? profileSum[k] / profileCount[k] / peak : 0;
    }

    // Encircled energy about the centroid, of the continuous pattern the samples stand for.
    int support = 0;
    for (const WavelengthFacts& w : band.wavelengths) support = std::max(support, w.pupilSamples);
    CheckStop(stop);
    m.encircledEnergy = std::make_shared<const EncircledEnergy>(band.intensity, cx, cy, support);
    EncircledCurve(*m.encircledEnergy, p, p > 0 ? lambdaFUm / p : 0, m);

    // MTF: frequency k of the transform is k / (N p) cycles per micrometre.
    CheckStop(stop);
    MtfCuts(lineX, lineY, m.mtfX, m.mtfY);
    m.cutoffCycPerMm = lambdaFUm > 0 ? 1e3 / lambdaFUm : 0;
    m.mtfFreqCycPerMm.resize(gridSize / 2);
    m.mtfNu.resize(gridSize / 2);
    for (int k = 0; k < gridSize / 2; ++k) {
        const size_t n = static_cast<size_t>(k);
        m.mtfFreqCycPerMm[n] = p > 0 ? k * 1e3 / (gridSize * p) : 0;
        m.mtfNu[n] = m.cutoffCycPerMm > 0 ? m.mtfFreqCycPerMm[n] / m.cutoffCycPerMm : 0;
    }
    return m;
}

bool BandUnaberrated(const BandResult& band) {
    return std::all_of(band.wavelengths.begin(), band.wavelengths.end(),
                       [](const WavelengthFacts& w) { return w.aberrations == Aberrations{}; });
}

// Whether `ideal` was measured from a run of the same wavelengths and weights as `m`.
bool SameBand(const BandMeasurements& m, const BandMeasurements& ideal) {
    return m.name == ideal.name && m.wavelengthsNm == ideal.wavelengthsNm && m.weights == ideal.weights &&
           m.eeRadiusUm.size() > 0 && ideal.radialRadiusUm == m.radialRadiusUm && ideal.encircledEnergy;
}

// The ideal's curves into m: those of `ideal`, the measurements of the same wavelengths without
// aberrations, hence on the same radii and frequencies. The ideal's encircled energy is read at
// the result's radii, from its own curve where that reaches and from its function beyond.
void TakeIdeal(const BandMeasurements& ideal, BandMeasurements& m) {
    m.idealKnown = true;
    m.idealProfile = ideal.radialProfile;
    m.mtfIdeal = ideal.mtfX;
    m.mtfIdealY = ideal.mtfY;
    m.idealEncircledEnergy = ideal.encircledEnergy;
    m.idealR50Um = ideal.r50Um;
    m.idealR80Um = ideal.r80Um;
    m.idealEeFraction.resize(m.eeFraction.size());
    for (size_t r = 0; r < m.idealEeFraction.size(); ++r)
        m.idealEeFraction[r] = r < ideal.eeFraction.size() ? ideal.eeFraction[r] : (*ideal.encircledEnergy)(static_cast<double>(r));
}

UserMessage Number(double v, int decimals) { return UserMessage::Value(FormatFixed(v, decimals)); }

void Warnings(const FullResult& full, const std::vector<double>& edgeShares, Analysis& a) {
    // Below Nyquist: the largest pupil, which is the shortest wavelength's.
    const WavelengthFacts* widest = nullptr;
    double maxStep = 0;
    for (const BandResult& band : full.bands)
        for (const WavelengthFacts& w : band.wavelengths) {
            if (!widest || w.pupilSamples > widest->pupilSamples) widest = &w;
            maxStep = std::max(maxStep, w.maxPhaseStepWaves);
        }
    if (widest && 2 * widest->pupilSamples > gridSize) {
        a.warnings.push_back({SamplingWarning::BelowNyquist, UserMessage(scope,
            QT_TRANSLATE_NOOP("Analysis", "波長 %1 nm では瞳のサンプル数が %2 で計算グリッド %3 の半分を超えるため、PSF がナイキスト条件を満たさずに標本化されています（折り返しを含みます）。焦点距離を長くするか口径を小さくしてください。"),
            std::vector<UserMessage>{UserMessage::Value(widest->lambdaNm), UserMessage::Value(widest->pupilSamples),
                                     UserMessage::Value(gridSize)})});
    }
    if (maxStep > phaseStepLimit) {
        a.warnings.push_back({SamplingWarning::PhaseSteps, UserMessage(scope,
            QT_TRANSLATE_NOOP("Analysis", "隣り合う瞳のサンプルの間で波面が最大 %1 波長変わり、半波長を超えています。位相が正しく標本化されていないため、結果は信頼できません。収差を小さくするか、焦点距離を短くして瞳のサンプル数を増やしてください。"),
            std::vector<UserMessage>{Number(maxStep, 2)})});
    }
    double edge = 0;
    for (double share : edgeShares) edge = std::max(edge, share);
    if (edge > edgeEnergyLimit) {
        a.warnings.push_back({SamplingWarning::EnergyAtEdge, UserMessage(scope,
            QT_TRANSLATE_NOOP("Analysis", "計算グリッドの外周 %1 サンプルに全エネルギーの %2 % があり、0.1 % を超えています。PSF がグリッドの反対側に回り込んでいます。"),
            std::vector<UserMessage>{UserMessage::Value(edgeWidth), Number(edge * 100, 2)})});
    }
}

// The share of the band's energy in the outermost edgeWidth samples on every side, summed as
// Measure sums it (the same chains in the same order), so that the two give the same bits.
double EdgeShare(const BandResult& band) {
    std::vector<double> lineX(gridSize, 0.0);
    double edge = 0;
    for (int i = 0; i < gridSize; ++i) {
        const double* row = band.intensity.data() + static_cast<size_t>(i) * gridSize;
        double s[4] = {0, 0, 0, 0};
        for (int j = 0; j < gridSize; j += 4)
            for (int u = 0; u < 4; ++u) s[u] += row[j + u];
        lineX[static_cast<size_t>(i)] = (s[0] + s[1]) + (s[2] + s[3]);
        if (i < edgeWidth || i >= gridSize - edgeWidth) {
            edge += lineX[static_cast<size_t>(i)];
        } else {
            for (int j = 0; j < edgeWidth; ++j) edge += row[j] + row[gridSize - 1 - j];
        }
    }
    double total = 0;
    for (int k = 0; k < gridSize; ++k) total += lineX[static_cast<size_t>(k)];
    return total > 0 ? edge / total : 0;
}

}  // namespace

std::vector<SamplingNote> SamplingWarnings(const FullResult& full) {
    std::vector<double> edgeShares;
    for (const BandResult& band : full.bands)
        edgeShares.push_back(band.intensity.size() == static_cast<size_t>(gridSize) * gridSize ? EdgeShare(band) : 0);
    Analysis a;
    Warnings(full, edgeShares, a);
    return std::move(a.warnings);
}

PixelScale ScaleOf(const FullResult& full) {
    std::vector<const WavelengthFacts*> facts;
    for (const BandResult& band : full.bands)
        for (const WavelengthFacts& w : band.wavelengths) facts.push_back(&w);
    return ScaleOver(full, facts);
}

PixelScale ScaleOf(const FullResult& full, const BandResult& band) {
    std::vector<const WavelengthFacts*> facts;
    for (const WavelengthFacts& w : band.wavelengths) facts.push_back(&w);
    return ScaleOver(full, facts);
}

double StrehlOf(const BandResult& band) {
    double ideal = 0;
    for (const WavelengthFacts& w : band.wavelengths) ideal += IdealPeak(w);
    return ideal > 0 ? band.peak / ideal : 0;
}

bool Analysis::Warns(SamplingWarning kind) const {
    return std::any_of(warnings.begin(), warnings.end(), [kind](const SamplingNote& w) { return w.kind == kind; });
}

bool Unaberrated(const FullResult& full) { return std::all_of(full.bands.begin(), full.bands.end(), BandUnaberrated); }

Analysis Analyse(const FullResult& full, const Analysis* ideal, const std::atomic<bool>* stop) {
    Analysis a;
    a.mode = full.mode;
    a.scale = ScaleOf(full);
    std::vector<double> edgeShares;
    for (const BandResult& band : full.bands) {
        CheckStop(stop);
        a.bands.push_back(Measure(full, band, edgeShares.emplace_back(), stop));
    }
    Warnings(full, edgeShares, a);
    // The ideal: the result itself for a band without aberrations (nothing more to compute),
    // otherwise the given measurements of the same band run without them.
    const bool idealFits = ideal && ideal->bands.size() == a.bands.size();
    for (size_t i = 0; i < a.bands.size(); ++i) {
        BandMeasurements& m = a.bands[i];
        if (BandUnaberrated(full.bands[i])) TakeIdeal(m, m);
        else if (idealFits && SameBand(m, ideal->bands[i])) TakeIdeal(ideal->bands[i], m);
    }
    return a;
}

SimulationParameters WithoutAberrations(SimulationParameters p) {
    p.focus = p.spherical = p.astigmatismM = p.astigmatismS = p.comaX = p.comaY = p.tiltX = p.tiltY = 0;
    p.useWavelengthDependence = false;
    return p;
}

CalculationRequest IdealRequest(CalculationRequest request) {
    request.params = WithoutAberrations(request.params);
    request.aberrations = Aberrations{};
    request.dependenceRows.clear();
    // The mirror's terms are aberrations like the others: the ideal is the pupil without them.
    request.mirror = MirrorAndField{};
    return request;
}

std::vector<CameraImage> CameraImages(const FullResult& full, double pixelUm) {
    // The first largest value in row order, as the measurements find it, and the width there.
    Analysis widths;
    for (const BandResult& band : full.bands) {
        BandMeasurements& m = widths.bands.emplace_back();
        m.scale = ScaleOf(full, band);
        int pi = gridSize / 2, pj = gridSize / 2;
        double peak = 0;
        if (band.intensity.size() == static_cast<size_t>(gridSize) * gridSize)
            for (int i = 0; i < gridSize; ++i) {
                const double* row = band.intensity.data() + static_cast<size_t>(i) * gridSize;
                // The row's largest value four lanes at a time; its place only when it is a new peak.
                typedef double Two __attribute__((vector_size(16)));
                Two most0 = {0, 0}, most1 = {0, 0};
                for (int j = 0; j < gridSize; j += 4) {
                    Two v0, v1;
                    __builtin_memcpy(&v0, row + j, sizeof v0);
                    __builtin_memcpy(&v1, row + j + 2, sizeof v1);
                    most0 = most0 > v0 ? most0 : v0;
                    most1 = most1 > v1 ? most1 : v1;
                }
                const double rowPeak = std::max(std::max(most0[0], most0[1]), std::max(most1[0], most1[1]));
                if (rowPeak > peak) {
                    peak = rowPeak;
                    pi = i;
                    pj = static_cast<int>(std::find(row, row + gridSize, rowPeak) - row);
                }
            }
        FwhmThroughPeak(band, pi, pj, peak, m.scale.um, m);
    }
    return CameraImages(full, widths, pixelUm);
}

std::vector<CameraImage> CameraImages(const FullResult& full, const Analysis& analysis, double pixelUm) {
    std::vector<CameraImage> images;
    for (size_t k = 0; k < full.bands.size() && k < analysis.bands.size(); ++k) {
        const BandResult& band = full.bands[k];
        const BandMeasurements& m = analysis.bands[k];
        images.push_back(IntegrateOverPixels(band.scene.empty() ? band.intensity : band.scene, m.scale.um, pixelUm,
                                             full.focalLengthMm, m.fwhmUm));
    }
    return images;
}

void AddThroughFocus(Analysis& analysis, const FullResult& full, const PupilBuilder& build,
                     const std::atomic<bool>* stop) {
    const double focalRatio = full.apertureMm > 0 ? full.focalLengthMm / full.apertureMm : 0;
    for (size_t b = 0; b < analysis.bands.size() && b < full.bands.size(); ++b) {
        BandMeasurements& m = analysis.bands[b];
        m.focusDefocusWavesPv = ThroughFocusDefocus();
        m.focusStrehl = BandThroughFocus(full.bands[b], build, stop);
        double lo = 0, hi = 0;
        m.depthOfFocusUm = DepthOfFocusWaves(m.focusDefocusWavesPv, m.focusStrehl, depthOfFocusLevel, lo, hi)
                               ? FocuserTravelUm(hi - lo, focalRatio, m.meanWavelengthNm)
                               : 0;
    }
}

}  // namespace velmora
