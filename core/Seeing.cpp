#include "core/Seeing.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/Fft.h"
#include "core/SimulationParameters.h"

namespace velmora {
namespace {
constexpr double arcsecPerRadian = 180 / 3.14159265358979323846 * 3600;
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

void ApplySeeing(RealMatrix acc, const SeeingBlur& blur) {
    if (!(blur.seeingArcsec > 0)) return;
    constexpr int n = gridSize;
    constexpr int h = n / 2;
    RealMatrixHolder re, im;
    FftTables tables;
    FftWorkspace workspace;
    if (re.AllocateUncleared(n, n) != 0 || im.Allocate(n, n) != 0 || tables.Create(n) != 0 ||
        workspace.Create(n) != 0)
        throw std::bad_alloc();
    for (int i = 0; i < n; ++i) std::copy(acc[i], acc[i] + n, re[i]);
    Fft2D(tables, workspace, re.get(), im.get());

    // Frequency k of the grid (cycles over the grid) is k / (n pitch) cycles per micrometre in
    // the focal plane, times the focal length in micrometres per radian of sky. The transfer
    // function is tabulated over k^2 up to the optics' reach; past it the optics pass nothing
    // and the product is zero.
    const double perIndex = blur.focalLengthMm * 1e3 / (n * blur.pitchUm);
    const long long reach = std::min<long long>(blur.supportRadius + 1, h);
    const long long reach2 = blur.supportRadius + 1 < h ? reach * reach : 2LL * h * h;
    std::vector<double> mtf(static_cast<size_t>(reach2 + 1));
    for (long long k2 = 0; k2 <= reach2; ++k2)
        mtf[static_cast<size_t>(k2)] =
            SeeingMtf(blur.seeingArcsec, blur.lambdaNm, std::sqrt(static_cast<double>(k2)) * perIndex);
    for (int u = 0; u < n; ++u) {
        const long long ku = u - h;
        for (int v = 0; v < n; ++v) {
            const long long kv = v - h;
            const long long k2 = ku * ku + kv * kv;
            const double m = k2 <= reach2 ? mtf[static_cast<size_t>(k2)] : 0.0;
            re[u][v] *= m;
            im[u][v] *= m;
        }
    }
    Fft2D(tables, workspace, re.get(), im.get());

    // With the zero frequency at [h][h] on the way in and the swap on the way out, the second
    // transform holds at [i'][j'] the pattern's element [(h - i') mod n][(h - j') mod n], times
    // (-1)^(i' + j') / n^2.
    const double scale = double(n) * n;
    for (int i = 0; i < n; ++i) {
        const int ip = (h - i + n) % n;
        for (int j = 0; j < n; ++j) {
            const int jp = (h - j + n) % n;
            const double sign = ((ip + jp) & 1) ? -scale : scale;
            const double value = sign * re[ip][jp];
            acc[i][j] = value > 0 ? value : 0.0;
        }
    }
}

}  // namespace velmora
