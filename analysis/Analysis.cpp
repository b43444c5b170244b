#include "analysis/Analysis.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>

#include "core/Fft.h"
#include "core/Matrix.h"
#include "core/NumberText.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double arcsecPerRadian = 180 / pi * 3600;
constexpr int half = gridSize / 2;
constexpr int eeRadii = gridSize / 2;  // r = 0 ... 511 samples
constexpr int edgeWidth = 16;          // the frame whose energy says the pattern wraps round
constexpr double edgeEnergyLimit = 0.001;
constexpr double phaseStepLimit = 0.5;
constexpr const char* scope = "Analysis";

double At(const BandResult& band, int i, int j) { return band.intensity[static_cast<size_t>(i) * gridSize + j]; }

// Pitch of one wavelength in micrometres: lambda F P / N.
double PitchUm(const FullResult& full, const WavelengthFacts& w) {
    const double focalRatio = full.focalLengthMm / full.apertureMm;
    return w.lambdaNm * 1e-3 * focalRatio * w.pupilSamples / gridSize;
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

// The radius in samples at which a rising curve first reaches `level`, linear between radii.
double RadiusAt(const std::vector<double>& curve, double level) {
    for (size_t r = 0; r < curve.size(); ++r) {
        if (curve[r] < level) continue;
        if (r == 0) return 0;
        const double a = curve[r - 1], b = curve[r];
        return static_cast<double>(r - 1) + (level - a) / (b - a);
    }
    return static_cast<double>(curve.size() - 1);
}

double IdealMtf(double nu) {
    if (nu >= 1) return 0;
    return 2 / pi * (std::acos(nu) - nu * std::sqrt(1 - nu * nu));
}

double Airy(double v) {
    if (v == 0) return 1;
    const double a = 2 * std::cyl_bessel_j(1.0, v) / v;
    return a * a;
}

// The modulus of the PSF's transform along fx and fy from zero frequency, over its value there.
void MtfCuts(const BandResult& band, std::vector<double>& x, std::vector<double>& y) {
    RealMatrixHolder re, im;
    FftTables tables;
    if (re.Allocate(gridSize, gridSize) != 0 || im.Allocate(gridSize, gridSize) != 0 || tables.Create(gridSize) != 0)
        throw std::bad_alloc();
    for (int i = 0; i < gridSize; ++i) std::copy_n(band.intensity.data() + static_cast<size_t>(i) * gridSize, gridSize, re.get()[i]);
    Fft2D(tables, re.get(), im.get());
    auto modulus = [&](int i, int j) { return std::hypot(re.get()[i][j], im.get()[i][j]); };
    const double dc = modulus(half, half);
    x.assign(gridSize / 2, 0.0);
    y.assign(gridSize / 2, 0.0);
    if (!(dc > 0)) return;
    for (int k = 0; k < gridSize / 2; ++k) {
        x[static_cast<size_t>(k)] = modulus(half + k, half) / dc;
        y[static_cast<size_t>(k)] = modulus(half, half + k) / dc;
    }
}

BandMeasurements Measure(const FullResult& full, const BandResult& band) {
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
        const double ideal = w.weight * (w.s1 / (double(gridSize) * gridSize)) * (w.s1 / (double(gridSize) * gridSize));
        variance += ideal * w.rmsWaves * w.rmsWaves;
        varianceWeight += ideal;
    }
    m.rmsWavefrontWaves = varianceWeight > 0 ? std::sqrt(variance / varianceWeight) : 0;
    m.marechalStrehl = std::exp(-std::pow(2 * pi * m.rmsWavefrontWaves, 2));

    // Peak, centroid and total energy.
    int pi_ = half, pj = half;
    double peak = -1, total = 0, sx = 0, sy = 0;
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            const double v = At(band, i, j);
            if (v > peak) {
                peak = v;
                pi_ = i;
                pj = j;
            }
            total += v;
            sx += v * (i - half);
            sy += v * (j - half);
        }
    const double cx = total > 0 ? sx / total : 0;
    const double cy = total > 0 ? sy / total : 0;
    m.peakXUm = (pi_ - half) * p;
    m.peakYUm = (pj - half) * p;
    m.centroidXUm = cx * p;
    m.centroidYUm = cy * p;

    // FWHM through the peak along each index.
    if (peak > 0) {
        const double h = peak / 2;
        auto alongX = [&](int i) { return At(band, i, pj); };
        auto alongY = [&](int j) { return At(band, pi_, j); };
        m.fwhmXUm = (HalfCrossing(alongX, pi_, +1, h) - HalfCrossing(alongX, pi_, -1, h)) * p;
        m.fwhmYUm = (HalfCrossing(alongY, pj, +1, h) - HalfCrossing(alongY, pj, -1, h)) * p;
    }
    m.fwhmUm = (m.fwhmXUm + m.fwhmYUm) / 2;
    m.fwhmArcsec = m.fwhmUm / focalLengthUm * arcsecPerRadian;

    // Encircled energy about the centroid: a sample counts within radius r when its centre does.
    // Radial profile about the peak: the mean of each ring of width one sample.
    std::vector<double> ring(eeRadii, 0.0), profileSum(eeRadii, 0.0), profileCount(eeRadii, 0.0);
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            const double v = At(band, i, j);
            const double dx = i - half - cx, dy = j - half - cy;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double k = std::ceil(d);
            if (k < eeRadii) ring[static_cast<size_t>(k)] += v;
            const double dp = std::round(std::sqrt(double((i - pi_) * (i - pi_) + (j - pj) * (j - pj))));
            if (dp < eeRadii) {
                profileSum[static_cast<size_t>(dp)] += v;
                profileCount[static_cast<size_t>(dp)] += 1;
            }
        }
    m.eeRadiusUm.resize(eeRadii);
    m.eeFraction.resize(eeRadii);
    m.radialRadiusUm.resize(eeRadii);
    m.radialProfile.resize(eeRadii);
    m.airyProfile.resize(eeRadii);
    double running = 0;
    const double lambdaFUm = m.meanWavelengthNm * 1e-3 * focalRatio;
    for (int r = 0; r < eeRadii; ++r) {
        const size_t k = static_cast<size_t>(r);
        running += ring[k];
        m.eeRadiusUm[k] = r * p;
        m.eeFraction[k] = total > 0 ? running / total : 0;
        m.radialRadiusUm[k] = r * p;
        m.radialProfile[k] = peak > 0 && profileCount[k] > 0 ? profileSum[k] / profileCount[k] / peak : 0;
        m.airyProfile[k] = lambdaFUm > 0 ? Airy(pi * r * p / lambdaFUm) : 0;
    }
    m.r50Um = RadiusAt(m.eeFraction, 0.5) * p;
    m.r80Um = RadiusAt(m.eeFraction, 0.8) * p;

    // MTF: frequency k of the transform is k / (N p) cycles per micrometre.
    MtfCuts(band, m.mtfX, m.mtfY);
    m.cutoffCycPerMm = lambdaFUm > 0 ? 1e3 / lambdaFUm : 0;
    m.mtfFreqCycPerMm.resize(gridSize / 2);
    m.mtfNu.resize(gridSize / 2);
    m.mtfIdeal.resize(gridSize / 2);
    for (int k = 0; k < gridSize / 2; ++k) {
        const size_t n = static_cast<size_t>(k);
        m.mtfFreqCycPerMm[n] = p > 0 ? k * 1e3 / (gridSize * p) : 0;
        m.mtfNu[n] = m.cutoffCycPerMm > 0 ? m.mtfFreqCycPerMm[n] / m.cutoffCycPerMm : 0;
        m.mtfIdeal[n] = IdealMtf(m.mtfNu[n]);
    }
    return m;
}

// The share of the band's energy in the outermost edgeWidth samples on every side.
double EdgeEnergy(const BandResult& band) {
    double total = 0, edge = 0;
    for (int i = 0; i < gridSize; ++i) {
        const bool edgeRow = i < edgeWidth || i >= gridSize - edgeWidth;
        for (int j = 0; j < gridSize; ++j) {
            const double v = At(band, i, j);
            total += v;
            if (edgeRow || j < edgeWidth || j >= gridSize - edgeWidth) edge += v;
        }
    }
    return total > 0 ? edge / total : 0;
}

UserMessage Number(double v, int decimals) { return UserMessage::Value(FormatFixed(v, decimals)); }

void Warnings(const FullResult& full, Analysis& a) {
    // Below Nyquist: the largest pupil, which is the shortest wavelength's.
    const WavelengthFacts* widest = nullptr;
    double maxStep = 0;
    for (const BandResult& band : full.bands)
        for (const WavelengthFacts& w : band.wavelengths) {
            if (!widest || w.pupilSamples > widest->pupilSamples) widest = &w;
            maxStep = std::max(maxStep, w.maxPhaseStepWaves);
        }
    if (widest && 2 * widest->pupilSamples > gridSize) {
        a.warningKinds.push_back(SamplingWarning::BelowNyquist);
        a.warnings.emplace_back(scope,
            QT_TRANSLATE_NOOP("Analysis", "波長 %1 nm では瞳のサンプル数が %2 で計算グリッド %3 の半分を超えるため、PSF がナイキスト条件を満たさずに標本化されています（折り返しを含みます）。焦点距離を長くするか口径を小さくしてください。"),
            std::vector<UserMessage>{UserMessage::Value(widest->lambdaNm), UserMessage::Value(widest->pupilSamples),
                                     UserMessage::Value(gridSize)});
    }
    if (maxStep > phaseStepLimit) {
        a.warningKinds.push_back(SamplingWarning::PhaseSteps);
        a.warnings.emplace_back(scope,
            QT_TRANSLATE_NOOP("Analysis", "隣り合う瞳のサンプルの間で波面が最大 %1 波長変わり、半波長を超えています。位相が正しく標本化されていないため、結果は信頼できません。収差を小さくするか、焦点距離を短くして瞳のサンプル数を増やしてください。"),
            std::vector<UserMessage>{Number(maxStep, 2)});
    }
    double edge = 0;
    for (const BandResult& band : full.bands) edge = std::max(edge, EdgeEnergy(band));
    if (edge > edgeEnergyLimit) {
        a.warningKinds.push_back(SamplingWarning::EnergyAtEdge);
        a.warnings.emplace_back(scope,
            QT_TRANSLATE_NOOP("Analysis", "計算グリッドの外周 %1 サンプルに全エネルギーの %2 % があり、0.1 % を超えています。PSF がグリッドの反対側に回り込んでいます。"),
            std::vector<UserMessage>{UserMessage::Value(edgeWidth), Number(edge * 100, 2)});
    }
}

}  // namespace

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
    // The unaberrated peak of one wavelength is its field's value at zero frequency: the sum of
    // the amplitude scaled by 1/N per axis, squared.
    constexpr double n2 = double(gridSize) * gridSize;
    double ideal = 0;
    for (const WavelengthFacts& w : band.wavelengths) ideal += w.weight * (w.s1 / n2) * (w.s1 / n2);
    return ideal > 0 ? band.peak / ideal : 0;
}

bool Analysis::Warns(SamplingWarning kind) const {
    return std::find(warningKinds.begin(), warningKinds.end(), kind) != warningKinds.end();
}

Analysis Analyse(const FullResult& full) {
    Analysis a;
    a.mode = full.mode;
    a.scale = ScaleOf(full);
    for (const BandResult& band : full.bands) a.bands.push_back(Measure(full, band));
    Warnings(full, a);
    return a;
}

}  // namespace velmora
