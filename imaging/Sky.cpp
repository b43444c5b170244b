#include "imaging/Sky.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <vector>

#include "core/Fft.h"
#include "core/NumberText.h"
#include "core/SimulationParameters.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double arcsecPerRadian = 180 / pi * 3600;
constexpr const char* scope = "Sky";
// How far from the star a companion may lie, in samples: the grid's half side less its edge
// frame of 32 samples.
constexpr double companionReachSamples = gridSize / 2 - 32;

UserMessage Decimal(double v) { return UserMessage::Value(FormatGeneral(v)); }

// The second transform of a spectrum with its zero frequency at [h][h] holds at [i'][j'] the
// pattern's element [(h - i') mod n][(h - j') mod n] times (-1)^(i' + j') / n^2: read back into
// `to`, the real part, never below +0. Returns the largest value.
double ReadBack(const RealMatrixHolder& re, RealMatrix to) {
    constexpr int n = gridSize;
    constexpr int h = n / 2;
    const double scale = double(n) * n;
    // Column j reads column (h - j) mod n, with the sign of its parity.
    std::vector<int> from(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) from[static_cast<size_t>(j)] = (h - j + n) % n;
    double peak = 0;
    for (int i = 0; i < n; ++i) {
        const int ip = (h - i + n) % n;
        const double* row = re[ip];
        double* out = to[i];
        const double even = (ip & 1) ? -scale : scale;
        for (int j = 0; j < n; ++j) {
            const int jp = from[static_cast<size_t>(j)];
            const double value = ((jp & 1) ? -even : even) * row[jp];
            out[j] = value > 0 ? value : 0.0;
            peak = std::max(peak, out[j]);
        }
    }
    return peak;
}

}  // namespace

bool SeeingInRange(double seeingArcsec) { return seeingArcsec >= 0 && seeingArcsec <= maximumSeeingArcsec; }

bool CompanionInRange(const Companion& c) {
    return c.separationArcsec >= 0 && c.separationArcsec <= maximumSeparationArcsec && std::isfinite(c.positionAngleDeg) &&
           c.deltaMag >= 0 && c.deltaMag <= maximumDeltaMag;
}

double FriedParameterM(double seeingArcsec, double lambdaNm) {
    const double r0Reference = 0.98 * seeingReferenceNm * 1e-9 / (seeingArcsec / arcsecPerRadian);
    return r0Reference * std::pow(lambdaNm / seeingReferenceNm, 1.2);
}

double SeeingMtf(double seeingArcsec, double lambdaNm, double cyclesPerRadian) {
    if (!(seeingArcsec > 0)) return 1;
    const double x = lambdaNm * 1e-9 * std::fabs(cyclesPerRadian) / FriedParameterM(seeingArcsec, lambdaNm);
    return std::exp(-3.44 * std::pow(x, 5.0 / 3.0));
}

double BandSky::ShiftI() const {
    const double samples = companion.separationArcsec / arcsecPerRadian * focalLengthMm * 1e3 / pitchUm;
    return samples * std::cos(companion.positionAngleDeg * pi / 180);
}

double BandSky::ShiftJ() const {
    const double samples = companion.separationArcsec / arcsecPerRadian * focalLengthMm * 1e3 / pitchUm;
    return samples * std::sin(companion.positionAngleDeg * pi / 180);
}

BandSky BandSkyOf(const FullResult& full, const BandResult& band, const SkyConditions& sky) {
    BandSky s;
    s.seeingArcsec = sky.seeingArcsec;
    s.companion = sky.companion;
    s.focalLengthMm = full.focalLengthMm;
    const double focalRatio = full.focalLengthMm / full.apertureMm;
    double pitches = 0;
    for (const WavelengthFacts& w : band.wavelengths) {
        pitches += SamplePitchUm(w.lambdaNm, focalRatio, w.pupilSamples);
        s.supportRadius = std::max(s.supportRadius, w.pupilSamples);
    }
    if (!band.wavelengths.empty()) {
        const double weighted = WeightedMeanWavelengthNm(band);
        s.lambdaNm = weighted > 0 ? weighted : band.wavelengths.front().lambdaNm;
        s.pitchUm = pitches / static_cast<double>(band.wavelengths.size());
    }
    return s;
}

SkyPeaks ApplyBandSky(RealMatrix acc, const BandSky& sky, RealMatrix scene) {
    const bool seeing = sky.seeingArcsec > 0;
    const bool pair = sky.companion.Present() && scene;
    SkyPeaks peaks;
    if (!seeing && !pair) return peaks;
    constexpr int n = gridSize;
    constexpr int h = n / 2;
    // The band's spectrum. Its light is band-limited to the optics' reach, so when twice the
    // reach fits a grid of every d-th sample, that grid's transform holds the same values at
    // every frequency within the reach (their copies, n / d apart, do not overlap) for a
    // quarter or a sixteenth of the work; they go onto the full grid, zero beyond the reach.
    const int support = std::max(sky.supportRadius, 0);
    int d = 1;
    for (int candidate : {4, 2})
        if (2 * (support + 1) < n / candidate) {
            d = candidate;
            break;
        }
    RealMatrixHolder re, im, re2, im2;
    FftTables tables;
    FftWorkspace workspace;
    // Every element is written before it is read: with d = 1 by the copy and the transform (the
    // imaginary part starts at 0), otherwise by the copy of the reach's square and the products'
    // zeros about it.
    if (re.AllocateUncleared(n, n) != 0 || (d == 1 ? im.Allocate(n, n) : im.AllocateUncleared(n, n)) != 0 ||
        tables.Create(n) != 0 || workspace.Create(n) != 0)
        throw std::bad_alloc();
    if (seeing && pair && (re2.AllocateUncleared(n, n) != 0 || im2.AllocateUncleared(n, n) != 0))
        throw std::bad_alloc();
    if (d == 1) {
        for (int i = 0; i < n; ++i) std::copy(acc[i], acc[i] + n, re[i]);
        Fft2D(tables, workspace, re.get(), im.get());
    } else {
        const int m = n / d;
        RealMatrixHolder coarseRe, coarseIm;
        FftTables coarseTables;
        FftWorkspace coarseWorkspace;
        if (coarseRe.AllocateUncleared(m, m) != 0 || coarseIm.Allocate(m, m) != 0 || coarseTables.Create(m) != 0 ||
            coarseWorkspace.Create(m) != 0)
            throw std::bad_alloc();
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j) coarseRe[i][j] = acc[i * d][j * d];
        Fft2D(coarseTables, coarseWorkspace, coarseRe.get(), coarseIm.get());
        // Frequency k sits at [k + m/2] there and at [k + n/2] here.
        const int r = support + 1;
        for (int k = -r; k <= r; ++k) {
            std::copy(coarseRe[k + m / 2] + (m / 2 - r), coarseRe[k + m / 2] + (m / 2 + r + 1), re[k + h] + (h - r));
            std::copy(coarseIm[k + m / 2] + (m / 2 - r), coarseIm[k + m / 2] + (m / 2 + r + 1), im[k + h] + (h - r));
        }
    }

    // The optics pass nothing beyond their reach (supportRadius grid frequencies): the product
    // is zero there, and the seeing's transfer function is tabulated over k^2 up to it. Grid
    // frequency k is k / (n pitch) cycles per micrometre in the focal plane, times the focal
    // length in micrometres per radian of sky.
    const long long reach = std::min<long long>(sky.supportRadius + 1, h);
    const long long reach2 = sky.supportRadius + 1 < h ? reach * reach : 2LL * h * h;
    std::vector<double> mtf(static_cast<size_t>(reach2 + 1), 1.0);
    if (seeing) {
        // SeeingMtf at |k| = sqrt(k^2) grid frequencies, its constants taken out:
        // exp(-3.44 (lambda perIndex / r0)^(5/3) (k^2)^(5/6)).
        const double perIndex = sky.focalLengthMm * 1e3 / (n * sky.pitchUm);
        const double r0 = FriedParameterM(sky.seeingArcsec, sky.lambdaNm);
        const double a = 3.44 * std::pow(sky.lambdaNm * 1e-9 * perIndex / r0, 5.0 / 3.0);
        for (long long k2 = 0; k2 <= reach2; ++k2)
            mtf[static_cast<size_t>(k2)] = std::exp(-a * std::pow(static_cast<double>(k2), 5.0 / 6.0));
    }
    const double b = sky.companion.BrightnessRatio();
    // The companion's ramp exp(-2 pi i k.s / n), separable: one factor per row and column.
    std::vector<std::complex<double>> rampI(static_cast<size_t>(n)), rampJ(static_cast<size_t>(n));
    if (pair) {
        const double si = sky.ShiftI(), sj = sky.ShiftJ();
        for (int u = 0; u < n; ++u) {
            rampI[static_cast<size_t>(u)] = std::polar(1.0, -2 * pi * (u - h) * si / n);
            rampJ[static_cast<size_t>(u)] = std::polar(1.0, -2 * pi * (u - h) * sj / n);
        }
    }
    // Rows and columns beyond the reach hold nothing after the product: cleared, not multiplied,
    // so that the next transform skips their column groups. Without seeing the companion's ramp
    // is applied in place: the band itself stays as it is.
    const bool apart = seeing && pair;  // both patterns wanted: the moved one in re2, im2
    double** const movedRe = apart ? re2.get() : re.get();
    double** const movedIm = apart ? im2.get() : im.get();
    const int lo = static_cast<int>(h - reach), hi = static_cast<int>(std::min<long long>(h + reach, n - 1));
    for (int u = 0; u < n; ++u) {
        if (u < lo || u > hi) {
            std::fill(re[u], re[u] + n, 0.0);
            std::fill(im[u], im[u] + n, 0.0);
            if (apart) {
                std::fill(re2[u], re2[u] + n, 0.0);
                std::fill(im2[u], im2[u] + n, 0.0);
            }
            continue;
        }
        const long long ku = u - h;
        double* r = re[u];
        double* m = im[u];
        std::fill(r, r + lo, 0.0);
        std::fill(r + hi + 1, r + n, 0.0);
        std::fill(m, m + lo, 0.0);
        std::fill(m + hi + 1, m + n, 0.0);
        for (int v = lo; v <= hi; ++v) {
            const long long kv = v - h;
            const long long k2 = ku * ku + kv * kv;
            const double f = k2 <= reach2 ? mtf[static_cast<size_t>(k2)] : 0.0;
            r[v] *= f;
            m[v] *= f;
        }
        if (pair) {
            // (a + ib)(c + id) written out: the library's product checks every one for
            // infinities.
            const double c0 = rampI[static_cast<size_t>(u)].real(), d0 = rampI[static_cast<size_t>(u)].imag();
            double* r2 = movedRe[u];
            double* m2 = movedIm[u];
            if (apart) {
                std::fill(r2, r2 + lo, 0.0);
                std::fill(r2 + hi + 1, r2 + n, 0.0);
                std::fill(m2, m2 + lo, 0.0);
                std::fill(m2 + hi + 1, m2 + n, 0.0);
            }
            // The scene's transfer function: the star's times 1 + b ramp, the star and its
            // companion in one pattern.
            for (int v = lo; v <= hi; ++v) {
                const double c1 = rampJ[static_cast<size_t>(v)].real(), d1 = rampJ[static_cast<size_t>(v)].imag();
                const double c = 1 + b * (c0 * c1 - d0 * d1), d = b * (c0 * d1 + d0 * c1);
                const double a = r[v], bb = m[v];
                r2[v] = a * c - bb * d;
                m2[v] = a * d + bb * c;
            }
        }
    }
    if (seeing) {
        Fft2D(tables, workspace, re.get(), im.get());
        peaks.star = ReadBack(re, acc);
    }
    if (pair) {
        Fft2D(tables, workspace, movedRe, movedIm);
        peaks.scene = ReadBack(apart ? re2 : re, scene);
    }
    return peaks;
}

void CheckSky(const SkyConditions& sky, const SimulationParameters& p) {
    if (!SeeingInRange(sky.seeingArcsec))
        throw CalculationError(UserMessage(scope, QT_TRANSLATE_NOOP("Sky", "シーイング %1″ では計算できません。0 から 60 の値にしてください（0 は大気なし）。"),
                                           {Decimal(sky.seeingArcsec)}));
    const Companion& c = sky.companion;
    if (!CompanionInRange(c))
        throw CalculationError(UserMessage(scope, QT_TRANSLATE_NOOP("Sky", "伴星の指定（離角 %1″、位置角 %2°、等級差 %3）では計算できません。離角は 0 から 3600″、等級差は 0 から 15 にしてください。"),
                                           {Decimal(c.separationArcsec), Decimal(c.positionAngleDeg), Decimal(c.deltaMag)}));
    if (!c.Present() || !(p.aperture > 0) || !(p.focalLength > 0)) return;
    const double focalRatio = FocalRatio(p.focalLength, p.aperture);
    std::vector<const WavelengthBand*> bands;
    if (p.colorMode == ColorMode::Monochrome) bands = {&p.whiteBand};
    else bands = {&p.blueBand, &p.greenBand, &p.redBand};
    for (const WavelengthBand* band : bands) {
        if (band->step <= 0) continue;  // the run refuses it
        for (long long lambda = band->min; lambda <= band->max; lambda += band->step) {
            const int samples = PupilSamples(focalRatio, lambda);
            if (samples < 1 || samples > gridSize) continue;  // the run refuses these
            const double pitchUm = SamplePitchUm(static_cast<double>(lambda), focalRatio, samples);
            const double reachArcsec = companionReachSamples * pitchUm * 1e-3 / p.focalLength * arcsecPerRadian;
            if (c.separationArcsec > reachArcsec)
                throw CalculationError(UserMessage(scope, QT_TRANSLATE_NOOP("Sky", "伴星の離角 %1″ は、波長 %2 nm の計算範囲 %3″ を超えます。離角を小さくするか焦点距離を短くしてください。"),
                                                   {Decimal(c.separationArcsec), UserMessage::Value(lambda),
                                                    UserMessage::Value(FormatFixed(reachArcsec, 1))}));
        }
    }
}

void ApplySky(PsfResult& result, const SkyConditions& sky, int brightnessLevel, int threads) {
    if (sky.Clear() || !result.full) return;
    constexpr int n = gridSize;
    // The run's result is held by nobody else yet: changed where it is, not copied.
    std::shared_ptr<FullResult> full = result.full.use_count() == 1
                                           ? std::const_pointer_cast<FullResult>(result.full)
                                           : std::make_shared<FullResult>(*result.full);
    full->sky = sky;
    const bool pair = sky.companion.Present();
    try {
        for (BandResult& band : full->bands) {
            if (band.intensity.size() != static_cast<size_t>(n) * n || !(band.peak > 0) || !(band.normalisedPeak > 0))
                continue;
            const BandSky s = BandSkyOf(*full, band, sky);
            // The transforms are linear: the blur is made on the normalised values, and its
            // peak taken back to the accumulator's scale (element x m / q) for the Strehl ratio.
            const double m = band.peak, q = band.normalisedPeak;
            std::vector<double*> rows(n), sceneRows(n);
            if (pair) band.scene.assign(static_cast<size_t>(n) * n, 0.0);
            for (int i = 0; i < n; ++i) {
                rows[static_cast<size_t>(i)] = band.intensity.data() + static_cast<size_t>(i) * n;
                if (pair) sceneRows[static_cast<size_t>(i)] = band.scene.data() + static_cast<size_t>(i) * n;
            }
            const SkyPeaks peaks = ApplyBandSky(rows.data(), s, pair ? sceneRows.data() : nullptr);
            // Normalised as the run normalises: element / peak x q.
            auto normalise = [q](std::vector<double>& values, double peak) {
                if (peak > 0)
                    for (double& v : values) v = v / peak * q;
            };
            if (s.seeingArcsec > 0) {
                normalise(band.intensity, peaks.star);
                band.peak = peaks.star * (m / q);
            }
            if (pair) {
                normalise(band.scene, peaks.scene);
                band.companionShiftI = s.ShiftI();
                band.companionShiftJ = s.ShiftJ();
                band.companionRatio = sky.companion.BrightnessRatio();
            }
        }
    } catch (const std::bad_alloc&) {
        throw CalculationError(UserMessage(scope, QT_TRANSLATE_NOOP("Sky", "メモリが足りず、大気と伴星を計算できませんでした。")));
    }
    result.full = full;
    RedrawResultImages(*full, brightnessLevel, result.images, threads);
}

}  // namespace velmora
