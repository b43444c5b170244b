#include "core/SkyScene.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <vector>

#include "core/Fft.h"
#include "core/SimulationParameters.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double arcsecPerRadian = 180 / pi * 3600;

// The second transform of a spectrum with its zero frequency at [h][h] holds at [i'][j'] the
// pattern's element [(h - i') mod n][(h - j') mod n] times (-1)^(i' + j') / n^2: read back into
// `to`, the real part, never below +0.
void ReadBack(const RealMatrixHolder& re, RealMatrix to) {
    constexpr int n = gridSize;
    constexpr int h = n / 2;
    const double scale = double(n) * n;
    for (int i = 0; i < n; ++i) {
        const int ip = (h - i + n) % n;
        for (int j = 0; j < n; ++j) {
            const int jp = (h - j + n) % n;
            const double value = (((ip + jp) & 1) ? -scale : scale) * re[ip][jp];
            to[i][j] = value > 0 ? value : 0.0;
        }
    }
}

}  // namespace

double FriedParameterM(double seeingArcsec, double lambdaNm) {
    const double r0Reference = 0.98 * seeingReferenceNm * 1e-9 / (seeingArcsec / arcsecPerRadian);
    return r0Reference * std::pow(lambdaNm / seeingReferenceNm, 1.2);
}

double SeeingMtf(double seeingArcsec, double lambdaNm, double cyclesPerRadian) {
    if (!(seeingArcsec > 0)) return 1;
    const double x = lambdaNm * 1e-9 * std::fabs(cyclesPerRadian) / FriedParameterM(seeingArcsec, lambdaNm);
    return std::exp(-3.44 * std::pow(x, 5.0 / 3.0));
}

double Companion::BrightnessRatio() const { return std::pow(10.0, -0.4 * deltaMag); }

double BandSky::ShiftI() const {
    const double samples = companion.separationArcsec / arcsecPerRadian * focalLengthMm * 1e3 / pitchUm;
    return samples * std::cos(companion.positionAngleDeg * pi / 180);
}

double BandSky::ShiftJ() const {
    const double samples = companion.separationArcsec / arcsecPerRadian * focalLengthMm * 1e3 / pitchUm;
    return samples * std::sin(companion.positionAngleDeg * pi / 180);
}

void ApplySky(RealMatrix acc, const BandSky& sky, RealMatrix scene) {
    const bool seeing = sky.seeingArcsec > 0;
    const bool pair = sky.companion.Present() && scene;
    if (!seeing && !pair) return;
    constexpr int n = gridSize;
    constexpr int h = n / 2;
    RealMatrixHolder re, im, re2, im2;
    FftTables tables;
    FftWorkspace workspace;
    if (re.AllocateUncleared(n, n) != 0 || im.Allocate(n, n) != 0 || tables.Create(n) != 0 ||
        workspace.Create(n) != 0)
        throw std::bad_alloc();
    if (pair && (re2.AllocateUncleared(n, n) != 0 || im2.AllocateUncleared(n, n) != 0)) throw std::bad_alloc();
    for (int i = 0; i < n; ++i) std::copy(acc[i], acc[i] + n, re[i]);
    Fft2D(tables, workspace, re.get(), im.get());

    // The optics pass nothing beyond their reach (supportRadius grid frequencies): the product
    // is zero there, and the seeing's transfer function is tabulated over k^2 up to it. Grid
    // frequency k is k / (n pitch) cycles per micrometre in the focal plane, times the focal
    // length in micrometres per radian of sky.
    const long long reach = std::min<long long>(sky.supportRadius + 1, h);
    const long long reach2 = sky.supportRadius + 1 < h ? reach * reach : 2LL * h * h;
    std::vector<double> mtf(static_cast<size_t>(reach2 + 1), 1.0);
    if (seeing) {
        const double perIndex = sky.focalLengthMm * 1e3 / (n * sky.pitchUm);
        for (long long k2 = 0; k2 <= reach2; ++k2)
            mtf[static_cast<size_t>(k2)] =
                SeeingMtf(sky.seeingArcsec, sky.lambdaNm, std::sqrt(static_cast<double>(k2)) * perIndex);
    }
    // The companion's ramp exp(-2 pi i k.s / n), separable: one factor per row and column.
    std::vector<std::complex<double>> rampI(static_cast<size_t>(n)), rampJ(static_cast<size_t>(n));
    if (pair) {
        const double si = sky.ShiftI(), sj = sky.ShiftJ();
        for (int u = 0; u < n; ++u) {
            rampI[static_cast<size_t>(u)] = std::polar(1.0, -2 * pi * (u - h) * si / n);
            rampJ[static_cast<size_t>(u)] = std::polar(1.0, -2 * pi * (u - h) * sj / n);
        }
    }
    for (int u = 0; u < n; ++u) {
        const long long ku = u - h;
        for (int v = 0; v < n; ++v) {
            const long long kv = v - h;
            const long long k2 = ku * ku + kv * kv;
            const double m = k2 <= reach2 ? mtf[static_cast<size_t>(k2)] : 0.0;
            re[u][v] *= m;
            im[u][v] *= m;
            if (pair) {
                const std::complex<double> moved =
                    std::complex<double>(re[u][v], im[u][v]) * rampI[static_cast<size_t>(u)] * rampJ[static_cast<size_t>(v)];
                re2[u][v] = moved.real();
                im2[u][v] = moved.imag();
            }
        }
    }
    if (seeing) {
        Fft2D(tables, workspace, re.get(), im.get());
        ReadBack(re, acc);
    }
    if (pair) {
        Fft2D(tables, workspace, re2.get(), im2.get());
        ReadBack(re2, scene);
        const double b = sky.companion.BrightnessRatio();
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) scene[i][j] = acc[i][j] + b * scene[i][j];
    }
}

}  // namespace velmora
