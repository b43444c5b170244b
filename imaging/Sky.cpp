#include "imaging/Sky.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <utility>
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

// Every d-th sample of a band whose light reaches `support` grid frequencies holds its whole
// spectrum when twice the reach fits the coarser grid: the copies, n / d apart, do not overlap.
int Decimation(int support) {
    for (int candidate : {4, 2})
        if (2 * (support + 1) < gridSize / candidate) return candidate;
    return 1;
}

// The spectrum's half of non-negative second frequency, kv = 0..width-1, of every d-th sample
// of `acc` (m = n / d of them a side): row ku of it (any ku, taken mod m) at Re(ku), Im(ku). The
// samples are real, so rows 2p and 2p + 1 are transformed together as one complex row and
// told apart by their symmetry (a real row's transform R[-k] is the conjugate of R[k]); then
// only the `width` columns wanted are transformed. Two fifths of the work of the whole
// transform when the reach is small; the values of the whole transform to rounding, unswapped.
struct HalfSpectrum {
    RealMatrixHolder re, im;  // m rows x width
    int m = 0;
    const double* Re(int ku) const { return re[(ku % m + m) % m]; }
    const double* Im(int ku) const { return im[(ku % m + m) % m]; }
};

void MakeHalfSpectrum(RealMatrix acc, int d, int width, HalfSpectrum& s) {
    const int m = gridSize / d;
    s.m = m;
    RealMatrixHolder pairRe, pairIm;
    FftTables tables;
    FftWorkspace workspace;
    if (pairRe.AllocateUncleared(m / 2, m) != 0 || pairIm.AllocateUncleared(m / 2, m) != 0 ||
        s.re.AllocateUncleared(m, width) != 0 || s.im.AllocateUncleared(m, width) != 0 || tables.Create(m) != 0 ||
        workspace.Create(m) != 0)
        throw std::bad_alloc();
    for (int p = 0; p < m / 2; ++p) {
        const double* even = acc[2 * p * d];
        const double* odd = acc[(2 * p + 1) * d];
        for (int j = 0; j < m; ++j) {
            pairRe[p][j] = even[j * d];
            pairIm[p][j] = odd[j * d];
        }
    }
    Fft2DRowPart(tables, workspace, pairRe.get(), pairIm.get(), 0, m / 2);
    // Z = A + iB, A and B the transforms of the real rows: A[k] = (Z[k] + conj Z[-k]) / 2 and
    // B[k] = (Z[k] - conj Z[-k]) / 2i.
    for (int p = 0; p < m / 2; ++p) {
        const double* zr = pairRe[p];
        const double* zi = pairIm[p];
        double* ar = s.re[2 * p];
        double* ai = s.im[2 * p];
        double* br = s.re[2 * p + 1];
        double* bi = s.im[2 * p + 1];
        for (int k = 0; k < width; ++k) {
            const int minus = (m - k) % m;
            ar[k] = 0.5 * (zr[k] + zr[minus]);
            ai[k] = 0.5 * (zi[k] - zi[minus]);
            br[k] = 0.5 * (zi[k] + zi[minus]);
            bi[k] = 0.5 * (zr[minus] - zr[k]);
        }
    }
    Fft2DColumnPart(tables, workspace, s.re.get(), s.im.get(), 0, width);
}

// What multiplies the band's transfer function at grid position (u, v), zero frequency at
// [h][h]: the seeing's transfer function, nothing beyond the optics' reach, and for the scene
// 1 + ratio x the companion's ramp.
struct TransferFactors {
    long long reach = 0;   // grid frequencies the optics pass, at most h
    long long reach2 = 0;  // the largest k^2 tabulated
    std::vector<double> mtf;
    double ratio = 0;
    std::vector<std::complex<double>> rampI, rampJ;  // by u and by v

    TransferFactors(const BandSky& sky, bool pair) {
        constexpr int n = gridSize;
        constexpr int h = n / 2;
        // The optics pass nothing beyond their reach (supportRadius grid frequencies): the
        // product is zero there, and the seeing's transfer function is tabulated over k^2 up to
        // it. Grid frequency k is k / (n pitch) cycles per micrometre in the focal plane, times
        // the focal length in micrometres per radian of sky.
        reach = std::min<long long>(std::max(sky.supportRadius, 0) + 1, h);
        reach2 = reach < h ? reach * reach : 2LL * h * h;
        mtf.assign(static_cast<size_t>(reach2 + 1), 1.0);
        if (sky.seeingArcsec > 0) {
            // SeeingMtf at |k| = sqrt(k^2) grid frequencies, its constants taken out:
            // exp(-3.44 (lambda perIndex / r0)^(5/3) (k^2)^(5/6)).
            const double perIndex = sky.focalLengthMm * 1e3 / (n * sky.pitchUm);
            const double r0 = FriedParameterM(sky.seeingArcsec, sky.lambdaNm);
            const double a = 3.44 * std::pow(sky.lambdaNm * 1e-9 * perIndex / r0, 5.0 / 3.0);
            for (long long k2 = 0; k2 <= reach2; ++k2)
                mtf[static_cast<size_t>(k2)] = std::exp(-a * std::pow(static_cast<double>(k2), 5.0 / 6.0));
        }
        if (!pair) return;
        // The companion's ramp exp(-2 pi i k.s / n), separable: one factor per row and column.
        ratio = sky.companion.BrightnessRatio();
        rampI.resize(static_cast<size_t>(n));
        rampJ.resize(static_cast<size_t>(n));
        const double si = sky.ShiftI(), sj = sky.ShiftJ();
        for (int u = 0; u < n; ++u) {
            rampI[static_cast<size_t>(u)] = std::polar(1.0, -2 * pi * (u - h) * si / n);
            rampJ[static_cast<size_t>(u)] = std::polar(1.0, -2 * pi * (u - h) * sj / n);
        }
    }

    double Mtf(long long ku, long long kv) const {
        const long long k2 = ku * ku + kv * kv;
        return k2 <= reach2 ? mtf[static_cast<size_t>(k2)] : 0.0;
    }

    // (a, b) times the scene's factor at (u, v), written out: the library's complex product
    // checks every one for infinities.
    void Scene(int u, int v, double& a, double& b) const {
        const double c0 = rampI[static_cast<size_t>(u)].real(), d0 = rampI[static_cast<size_t>(u)].imag();
        const double c1 = rampJ[static_cast<size_t>(v)].real(), d1 = rampJ[static_cast<size_t>(v)].imag();
        const double c = 1 + ratio * (c0 * c1 - d0 * d1), d = ratio * (c0 * d1 + d0 * c1);
        const double re = a * c - b * d, im = a * d + b * c;
        a = re;
        b = im;
    }
};

// The grids of one pattern made from the spectrum's right half.
struct HalfScratch {
    RealMatrixHolder narrowRe, narrowIm;  // n rows x width: frequencies 0..width-1 of the second index
    RealMatrixHolder pairRe, pairIm;      // n/2 rows x n: two rows of the pattern in one
    FftTables tables;
    FftWorkspace workspace;
    int width = 0;

    explicit HalfScratch(long long reach) {
        constexpr int n = gridSize;
        width = static_cast<int>((reach + 1 + fft2DPartAlignment - 1) / fft2DPartAlignment * fft2DPartAlignment);
        if (narrowRe.AllocateUncleared(n, width) != 0 || narrowIm.AllocateUncleared(n, width) != 0 ||
            pairRe.AllocateUncleared(n / 2, n) != 0 || pairIm.AllocateUncleared(n / 2, n) != 0 ||
            tables.Create(n) != 0 || workspace.Create(n) != 0)
            throw std::bad_alloc();
    }
};

// One pattern, the star (`scene` false) or the scene, from the band's spectrum when the reach
// stays inside the grid (reach < n/2). Its transfer function is Hermitian, so the pattern is
// real: the columns of non-negative frequency are transformed alone (the others are their
// conjugates), and rows i and i + n/2 of that travel through the row transform together as
// one complex row, the first in its real part and the second in its imaginary part. Half the
// work of the whole transform, the same values to rounding. Read back into `to` as ReadBack
// does and normalised as ApplyBandSky says; returns the largest value before that.
double HalfTransformPattern(const HalfSpectrum& spectrum, const TransferFactors& tf, bool scene, HalfScratch& s,
                            RealMatrix to, double normalisedPeak) {
    constexpr int n = gridSize;
    constexpr int h = n / 2;
    const int reach = static_cast<int>(tf.reach);
    for (int u = 0; u < n; ++u) {
        double* nr = s.narrowRe[u];
        double* ni = s.narrowIm[u];
        const int ku = u - h;
        if (ku < -reach || ku > reach) {
            std::fill(nr, nr + s.width, 0.0);
            std::fill(ni, ni + s.width, 0.0);
            continue;
        }
        const double* sr = spectrum.Re(ku);
        const double* si = spectrum.Im(ku);
        for (int kv = 0; kv < s.width; ++kv) {
            if (kv > reach) {
                nr[kv] = ni[kv] = 0.0;
                continue;
            }
            const double f = tf.Mtf(ku, kv);
            double a = sr[kv] * f, b = si[kv] * f;
            if (scene) tf.Scene(u, h + kv, a, b);
            nr[kv] = a;
            ni[kv] = b;
        }
    }
    Fft2DColumnPart(s.tables, s.workspace, s.narrowRe.get(), s.narrowIm.get(), 0, s.width);
    // Row i of the pair holds A + iB, A row i and B row i + h of the column transforms, the
    // columns of negative frequency being the conjugates of the positive ones.
    for (int i = 0; i < h; ++i) {
        const double* ar = s.narrowRe[i];
        const double* ai = s.narrowIm[i];
        const double* br = s.narrowRe[i + h];
        const double* bi = s.narrowIm[i + h];
        double* pr = s.pairRe[i];
        double* pi = s.pairIm[i];
        std::fill(pr, pr + (h - reach), 0.0);
        std::fill(pi, pi + (h - reach), 0.0);
        std::fill(pr + h + reach + 1, pr + n, 0.0);
        std::fill(pi + h + reach + 1, pi + n, 0.0);
        for (int kv = 0; kv <= reach; ++kv) {
            pr[h + kv] = ar[kv] - bi[kv];
            pi[h + kv] = ai[kv] + br[kv];
        }
        for (int kv = 1; kv <= reach; ++kv) {
            pr[h - kv] = ar[kv] + bi[kv];
            pi[h - kv] = br[kv] - ai[kv];
        }
    }
    Fft2DRowPart(s.tables, s.workspace, s.pairRe.get(), s.pairIm.get(), 0, h);
    // The unswapped transform's row r is the pair's row r (real part) or r - h (imaginary
    // part); the pattern's element [i][j] is its [-i mod n][-j mod n] times (-1)^(i+j) n^2,
    // never below +0. So the pair's element [r][c] is the pattern's [(n - r) mod n][(n - c) mod
    // n] (real part) or [h - r][(n - c) mod n] (imaginary part), its sign (-1)^(r + c) with n
    // and h even. One pass finds the peak, the next writes the values already normalised; both
    // go through the pair in order, two columns at a time, odd and even.
    const double scale = double(n) * n;
    double largest = 0;
    for (int r = 0; r < h; ++r)
        for (const double* row : {s.pairRe[r], s.pairIm[r]}) {
            // Columns c and c + 1 side by side in one vector, with their signs.
            typedef double Two __attribute__((vector_size(16)));
            const double even = (r & 1) ? -1.0 : 1.0;
            const Two sign = {even, -even};
            Two most = {0, 0};
            for (int c = 0; c < n; c += 2) {
                Two v;
                __builtin_memcpy(&v, row + c, sizeof v);
                v *= sign;
                most = most > v ? most : v;
            }
            largest = std::max(largest, std::max(most[0], most[1]));
        }
    const double peak = largest * scale;  // a power of two: the largest product is this
    const bool normalise = normalisedPeak > 0 && peak > 0;
    auto put = [&](double value) {
        const double kept = value > 0 ? value : 0.0;
        return normalise ? kept / peak * normalisedPeak : kept;
    };
    for (int r = 0; r < h; ++r) {
        const double even = (r & 1) ? -scale : scale;
        const std::pair<const double*, double*> halves[] = {{s.pairRe[r], to[(n - r) % n]}, {s.pairIm[r], to[h - r]}};
        for (const auto& [row, out] : halves) {
            out[0] = put(even * row[0]);
            for (int c = 1; c + 1 < n; c += 2) {
                out[n - c] = put(-even * row[c]);
                out[n - c - 1] = put(even * row[c + 1]);
            }
            out[1] = put(-even * row[n - 1]);
        }
    }
    return peak;
}

// The patterns wanted, done plainly: the whole grid's spectrum, the product everywhere and
// whole complex transforms, read back and normalised as HalfTransformPattern does.
SkyPeaks DensePatterns(RealMatrix acc, const TransferFactors& tf, bool seeing, RealMatrix scene, bool pair,
                       double normalisedPeak) {
    constexpr int n = gridSize;
    constexpr int h = n / 2;
    RealMatrixHolder re, im, re2, im2;
    FftTables tables;
    FftWorkspace workspace;
    const bool apart = seeing && pair;  // both patterns wanted: the scene in re2, im2
    if (re.AllocateUncleared(n, n) != 0 || im.Allocate(n, n) != 0 || tables.Create(n) != 0 ||
        workspace.Create(n) != 0 || (apart && (re2.AllocateUncleared(n, n) != 0 || im2.AllocateUncleared(n, n) != 0)))
        throw std::bad_alloc();
    for (int i = 0; i < n; ++i) std::copy(acc[i], acc[i] + n, re[i]);
    Fft2D(tables, workspace, re.get(), im.get());
    // Without seeing the scene's factor is applied in place: the band itself stays as it is.
    double** const sceneRe = apart ? re2.get() : re.get();
    double** const sceneIm = apart ? im2.get() : im.get();
    for (int u = 0; u < n; ++u) {
        for (int v = 0; v < n; ++v) {
            const double f = tf.Mtf(u - h, v - h);
            re[u][v] *= f;
            im[u][v] *= f;
            if (pair) {
                double a = re[u][v], b = im[u][v];
                tf.Scene(u, v, a, b);
                sceneRe[u][v] = a;
                sceneIm[u][v] = b;
            }
        }
    }
    auto normalise = [normalisedPeak](RealMatrix m, double peak) {
        if (normalisedPeak > 0 && peak > 0)
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) m[i][j] = m[i][j] / peak * normalisedPeak;
    };
    SkyPeaks peaks;
    if (seeing) {
        Fft2D(tables, workspace, re.get(), im.get());
        peaks.star = ReadBack(re, acc);
        normalise(acc, peaks.star);
    }
    if (pair) {
        Fft2D(tables, workspace, sceneRe, sceneIm);
        peaks.scene = ReadBack(apart ? re2 : re, scene);
        normalise(scene, peaks.scene);
    }
    return peaks;
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

SkyPeaks ApplyBandSky(RealMatrix acc, const BandSky& sky, RealMatrix scene, double normalisedPeak) {
    const bool seeing = sky.seeingArcsec > 0;
    const bool pair = sky.companion.Present() && scene;
    if (!seeing && !pair) return {};
    const TransferFactors tf(sky, pair);
    if (tf.reach >= gridSize / 2) return DensePatterns(acc, tf, seeing, scene, pair, normalisedPeak);
    HalfScratch scratch(tf.reach);
    HalfSpectrum spectrum;
    MakeHalfSpectrum(acc, Decimation(std::max(sky.supportRadius, 0)), scratch.width, spectrum);
    SkyPeaks peaks;
    // The spectrum is taken: the star may be written over.
    if (seeing) peaks.star = HalfTransformPattern(spectrum, tf, false, scratch, acc, normalisedPeak);
    if (pair) peaks.scene = HalfTransformPattern(spectrum, tf, true, scratch, scene, normalisedPeak);
    return peaks;
}

SkyPeaks ApplyBandSkyDense(RealMatrix acc, const BandSky& sky, RealMatrix scene, double normalisedPeak) {
    const bool pair = sky.companion.Present() && scene;
    if (!(sky.seeingArcsec > 0) && !pair) return {};
    return DensePatterns(acc, TransferFactors(sky, pair), sky.seeingArcsec > 0, scene, pair, normalisedPeak);
}

void CheckSky(const SkyConditions& sky, const SimulationParameters& p) {
    if (!SeeingInRange(sky.seeingArcsec))
        throw CalculationError(UserMessage(scope, QT_TRANSLATE_NOOP("Sky", "シーイング %1″ では計算できません。0 から 60 の値にしてください（0 は大気なし）。"),
                                           {Decimal(sky.seeingArcsec)}));
    const Companion& c = sky.companion;
    if (!CompanionInRange(c))
        throw CalculationError(UserMessage(scope, QT_TRANSLATE_NOOP("Sky", "伴星の指定（離角 %1″、位置角 %2°、等級差 %3）では計算できません。離角は 0 から 3600″、等級差は 0 から 15 にしてください。"),
                                           {Decimal(c.separationArcsec), Decimal(c.positionAngleDeg), Decimal(c.deltaMag)}));
    if (!c.Present()) return;
    for (const WavelengthPitch& w : RunWavelengthPitches(p)) {
        const double reachArcsec = companionReachSamples * w.pitchUm * 1e-3 / p.focalLength * arcsecPerRadian;
        if (c.separationArcsec > reachArcsec)
            throw CalculationError(UserMessage(scope, QT_TRANSLATE_NOOP("Sky", "伴星の離角 %1″ は、波長 %2 nm の計算範囲 %3″ を超えます。離角を小さくするか焦点距離を短くしてください。"),
                                               {Decimal(c.separationArcsec), UserMessage::Value(w.lambdaNm),
                                                UserMessage::Value(FormatFixed(reachArcsec, 1))}));
    }
}

double Companion::BrightnessRatio() const { return std::pow(10.0, -0.4 * deltaMag); }

const SkyConditions& SkyOf(const FullResult& full) {
    static const SkyConditions clear;
    const auto* underSky = dynamic_cast<const FullResultUnderSky*>(&full);
    return underSky ? underSky->sky : clear;
}

void ApplySky(PsfResult& result, const SkyConditions& sky, int brightnessLevel, int threads) {
    if (sky.Clear() || !result.full) return;
    constexpr int n = gridSize;
    // The run's result is held by nobody else yet: its bands are moved, not copied.
    auto full = std::make_shared<FullResultUnderSky>();
    FullResult& bands = *full;
    if (result.full.use_count() == 1)
        bands = std::move(*std::const_pointer_cast<FullResult>(result.full));
    else
        bands = *result.full;
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
            if (pair) band.scene = RealGrid(n, n);
            const SkyPeaks peaks = ApplyBandSky(band.intensity.Rows(), s, pair ? band.scene.Rows() : nullptr, q);
            if (s.seeingArcsec > 0) band.peak = peaks.star * (m / q);
            if (pair) {
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
