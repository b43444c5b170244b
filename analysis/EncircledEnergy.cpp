#include "analysis/EncircledEnergy.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>

#include "core/Fft.h"
#include "core/Matrix.h"
#include "core/SimulationParameters.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
// J1 is tabulated as quintic pieces 1/8 wide from its value and first two derivatives at each
// end: the error of such a piece is below h^6 max|J1^(6)| / 46080, about 1e-10.
constexpr double tableStep = 0.125;
constexpr int coefficients = 6;

// J1, J1' and J1'' at x, the derivatives from Bessel's equation.
void J1WithDerivatives(double x, double& y, double& d1, double& d2) {
    if (x == 0) {
        y = 0;
        d1 = 0.5;
        d2 = 0;
        return;
    }
    y = ::j1(x);
    d1 = ::j0(x) - y / x;
    d2 = -d1 / x - (1 - 1 / (x * x)) * y;
}

}  // namespace

EncircledEnergy::EncircledEnergy(const RealGrid& intensity, double cx, double cy, int supportRadius) {
    constexpr int n = gridSize;
    if (intensity.size() != static_cast<size_t>(n) * n) return;
    // The coarsest grid on which the transfer function's copies, gridSize / d apart, do not
    // overlap its support of radius P: 2 P < gridSize / d. Decimating keeps the samples' own
    // transform at every frequency the support holds, for a quarter or a sixteenth of the work.
    const int p = std::max(supportRadius, 0);
    int d = 1;
    for (int candidate : {4, 2})
        if (2 * p < n / candidate) {
            d = candidate;
            break;
        }
    const int m = n / d;
    RealMatrixHolder re, im;
    FftTables tables;
    if (re.AllocateUncleared(m, m) != 0 || im.Allocate(m, m) != 0 || tables.Create(m) != 0) throw std::bad_alloc();
    for (int i = 0; i < m; ++i) {
        const double* from = intensity.data() + static_cast<size_t>(i) * d * n;
        for (int j = 0; j < m; ++j) re[i][j] = from[static_cast<size_t>(j) * d];
    }
    Fft2D(tables, re.get(), im.get());
    // After the half-grid swap frequency k sits at [k + m/2]; the transform about the grid
    // centre differs from it by (-1)^(kx + ky), which is +1 at zero frequency.
    const double dc = re[m / 2][m / 2];
    if (!(dc > 0)) return;
    lit_ = true;

    // Frequencies within the support only, when it fits the grid; otherwise (a pupil past
    // Nyquist, already warned of) every frequency the grid holds but its Nyquist line.
    const bool fits = 2 * p < m;
    const int reach = fits ? p : m / 2 - 1;
    const long long nMax = fits ? static_cast<long long>(p) * p : 2LL * reach * reach;
    std::vector<std::complex<double>> ramp(static_cast<size_t>(2 * reach + 1)), rampY(ramp.size());
    for (int k = -reach; k <= reach; ++k) {
        const double sign = (k & 1) ? -1.0 : 1.0;
        ramp[static_cast<size_t>(k + reach)] = sign * std::polar(1.0, 2 * pi * k * cx / n);
        rampY[static_cast<size_t>(k + reach)] = sign * std::polar(1.0, 2 * pi * k * cy / n);
    }
    std::vector<double> ring(static_cast<size_t>(nMax + 1), 0.0);
    for (int kx = -reach; kx <= reach; ++kx) {
        const double* rowRe = re[kx + m / 2];
        const double* rowIm = im[kx + m / 2];
        const std::complex<double> ex = ramp[static_cast<size_t>(kx + reach)];
        for (int ky = -reach; ky <= reach; ++ky) {
            const long long n2 = static_cast<long long>(kx) * kx + static_cast<long long>(ky) * ky;
            if (n2 == 0 || n2 > nMax) continue;
            const std::complex<double> w = ex * rampY[static_cast<size_t>(ky + reach)];
            const size_t b = static_cast<size_t>(ky + m / 2);
            ring[static_cast<size_t>(n2)] += rowRe[b] * w.real() - rowIm[b] * w.imag();
        }
    }
    // A ring that sums to zero (or holds no frequency) adds nothing at any radius.
    for (long long n2 = 1; n2 <= nMax; ++n2) {
        if (ring[static_cast<size_t>(n2)] == 0) continue;
        const double k = std::sqrt(static_cast<double>(n2));
        ringQ_.push_back(2 * pi * k / n);
        ringCoef_.push_back(ring[static_cast<size_t>(n2)] / dc / (n * k));
    }
    BuildTable(ringQ_.empty() ? 0 : ringQ_.back() * (n / 2));
}

void EncircledEnergy::BuildTable(double xMax) {
    const size_t pieces = static_cast<size_t>(std::ceil(xMax / tableStep)) + 1;
    tableStepInverse_ = 1 / tableStep;
    table_.assign(pieces * coefficients, 0.0);
    double y0, a0, b0;
    J1WithDerivatives(0, y0, a0, b0);
    for (size_t i = 0; i < pieces; ++i) {
        double y1, a1, b1;
        J1WithDerivatives(static_cast<double>(i + 1) * tableStep, y1, a1, b1);
        // The quintic on t in [0, 1] with the ends' values and derivatives (scaled by the step).
        const double d0 = a0 * tableStep, d1 = a1 * tableStep;
        const double s0 = b0 * tableStep * tableStep, s1 = b1 * tableStep * tableStep;
        const double A = y1 - y0 - d0 - s0 / 2, B = d1 - d0 - s0, C = s1 - s0;
        double* c = &table_[i * coefficients];
        c[0] = y0;
        c[1] = d0;
        c[2] = s0 / 2;
        c[3] = 10 * A - 4 * B + C / 2;
        c[4] = -15 * A + 7 * B - C;
        c[5] = 6 * A - 3 * B + C / 2;
        y0 = y1;
        a0 = a1;
        b0 = b1;
    }
}

double EncircledEnergy::J1(double x) const {
    const double t = x * tableStepInverse_;
    const size_t i = static_cast<size_t>(t);
    if (i * coefficients >= table_.size()) return ::j1(x);
    const double f = t - static_cast<double>(i);
    const double* c = &table_[i * coefficients];
    return c[0] + f * (c[1] + f * (c[2] + f * (c[3] + f * (c[4] + f * c[5]))));
}

double EncircledEnergy::operator()(double r) const {
    if (!lit_) return 0;
    double sum = 0;
    for (size_t k = 0; k < ringQ_.size(); ++k) sum += ringCoef_[k] * J1(ringQ_[k] * r);
    return pi * r * r / (double(gridSize) * gridSize) + r * sum;
}

double EncircledEnergy::Crossing(double fraction, double lo, double hi) const {
    double flo = (*this)(lo) - fraction, fhi = (*this)(hi) - fraction;
    if (fhi == 0) return hi;
    int side = 0;
    for (int iteration = 0; iteration < 100 && hi - lo > 1e-9; ++iteration) {
        const double x = (lo * fhi - hi * flo) / (fhi - flo);
        const double fx = (*this)(x) - fraction;
        if (fx == 0) return x;
        if ((fx > 0) == (fhi > 0)) {
            hi = x;
            fhi = fx;
            if (side == -1) flo /= 2;
            side = -1;
        } else {
            lo = x;
            flo = fx;
            if (side == +1) fhi /= 2;
            side = +1;
        }
    }
    return (lo + hi) / 2;
}

}  // namespace velmora
