#include "optics/ThroughFocus.h"

#include <algorithm>
#include <cmath>

#include "core/PupilField.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int half = gridSize / 2;
constexpr double n2 = double(gridSize) * gridSize;
// The neighbourhood about the best-focus peak: (2 x 1 + 1)^2 samples.
constexpr int neighbourReach = 1;
constexpr int neighbourSide = 2 * neighbourReach + 1;
constexpr int neighbours = neighbourSide * neighbourSide;
// The forward transform's kernel is exp(-2 pi i k n / N).
constexpr double kernelSign = -1;

void CheckStop(const std::atomic<bool>* stop) {
    if (stop && stop->load(std::memory_order_relaxed)) throw CalculationStopped();
}


// exp(sign 2 pi i d f / N) for the pupil offsets d = from - half ... to - 1 - half at the
// focal-plane frequency f; the product d f is reduced modulo N first, so that the angle keeps
// its digits however far out the sample lies.
void KernelRow(int f, int from, int to, std::vector<double>& re, std::vector<double>& im) {
    re.resize(static_cast<size_t>(to - from));
    im.resize(re.size());
    for (int i = from; i < to; ++i) {
        const long long m = ((static_cast<long long>(i - half) * f) % gridSize + gridSize) % gridSize;
        const double angle = kernelSign * 2 * pi * static_cast<double>(m) / gridSize;
        re[static_cast<size_t>(i - from)] = std::cos(angle);
        im[static_cast<size_t>(i - from)] = std::sin(angle);
    }
}

// One wavelength's field at the neighbourhood's samples, the pupil's samples summed by squared
// radius: h[q] holds, for each group g of radius^2 d2[g], the sum of the pupil function times the
// transform's kernel at point q.
struct GroupedField {
    std::vector<double> d2;
    std::vector<double> re[neighbours];
    std::vector<double> im[neighbours];
};

void GroupPupil(int p, const Aberrations& a, const RealMatrix grid, int peakI, int peakJ, GroupedField& out) {
    const double r = p * 0.5;
    // The samples the run's phase sampling keeps all lie within r of N/2.
    const int reach = static_cast<int>(r) + 1;
    const int lo = std::max(0, half - reach);
    const int hi = std::min(gridSize, half + reach + 1);
    const int far = std::max(half - lo, hi - 1 - half);
    std::vector<int> groupOf(static_cast<size_t>(2 * far * far + 1), -1);
    out.d2.clear();
    for (int q = 0; q < neighbours; ++q) {
        out.re[q].clear();
        out.im[q].clear();
    }
    std::vector<double> xRe[neighbourSide], xIm[neighbourSide], yRe[neighbourSide], yIm[neighbourSide];
    for (int k = 0; k < neighbourSide; ++k) {
        KernelRow(peakI - half + k - neighbourReach, lo, hi, xRe[k], xIm[k]);
        KernelRow(peakJ - half + k - neighbourReach, lo, hi, yRe[k], yIm[k]);
    }
    std::vector<double> rowRe(gridSize), rowIm(gridSize);
    for (int i = lo; i < hi; ++i) {
        std::fill(rowRe.begin() + lo, rowRe.begin() + hi, 0.0);
        std::fill(rowIm.begin() + lo, rowIm.begin() + hi, 0.0);
        // The very values the run hands its transform.
        SamplePupilFieldRow(i, lo, hi, p, a, grid, rowRe.data(), rowIm.data());
        const size_t ui = static_cast<size_t>(i - lo);
        for (int j = lo; j < hi; ++j) {
            const double gRe = rowRe[static_cast<size_t>(j)], gIm = rowIm[static_cast<size_t>(j)];
            if (gRe == 0 && gIm == 0) continue;
            const int di = i - half, dj = j - half;
            int& g = groupOf[static_cast<size_t>(di * di + dj * dj)];
            if (g < 0) {
                g = static_cast<int>(out.d2.size());
                out.d2.push_back(static_cast<double>(di * di + dj * dj));
                for (int q = 0; q < neighbours; ++q) {
                    out.re[q].push_back(0);
                    out.im[q].push_back(0);
                }
            }
            const size_t uj = static_cast<size_t>(j - lo);
            const size_t ug = static_cast<size_t>(g);
            for (int ku = 0; ku < neighbourSide; ++ku) {
                const double uRe = gRe * xRe[ku][ui] - gIm * xIm[ku][ui];
                const double uIm = gRe * xIm[ku][ui] + gIm * xRe[ku][ui];
                for (int kv = 0; kv < neighbourSide; ++kv) {
                    const int q = ku * neighbourSide + kv;
                    out.re[q][ug] += uRe * yRe[kv][uj] - uIm * yIm[kv][uj];
                    out.im[q][ug] += uRe * yIm[kv][uj] + uIm * yRe[kv][uj];
                }
            }
        }
    }
}

}  // namespace

std::vector<double> ThroughFocusDefocus(int steps, double stepWaves) {
    std::vector<double> defocus;
    for (int k = -steps; k <= steps; ++k) defocus.push_back(k * stepWaves);
    return defocus;
}

std::vector<double> BandThroughFocus(const BandResult& band, const PupilBuilder& build,
                                     const std::atomic<bool>* stop, int steps, double stepWaves) {
    const size_t points = static_cast<size_t>(2 * steps + 1);
    std::vector<double> strehl(points, 0.0);
    double ideal = 0;
    for (const WavelengthFacts& w : band.wavelengths) ideal += w.weight * (w.s1 / n2) * (w.s1 / n2);
    if (!(ideal > 0)) return strehl;

    // Where the band's pattern peaks, found as the measurements find it (the centre for a band
    // without light).
    const GridPeak peak = FirstPeak(band.intensity, half, half);
    const int peakI = peak.i, peakJ = peak.j;
    // Points of the neighbourhood outside the grid do not count.
    bool inside[neighbours];
    for (int q = 0; q < neighbours; ++q) {
        const int i = peakI + q / neighbourSide - neighbourReach, j = peakJ + q % neighbourSide - neighbourReach;
        inside[q] = i >= 0 && i < gridSize && j >= 0 && j < gridSize;
    }

    RealGrid grid;
    try {
        grid = RealGrid::Uncleared(gridSize, gridSize);
    } catch (const std::bad_alloc&) {
        throw RunOutOfMemory();
    }
    std::vector<double> intensity(points * neighbours, 0.0);  // [k][q]
    GroupedField field;
    std::vector<double> stepRe, stepIm, eRe, eIm;
    for (const WavelengthFacts& w : band.wavelengths) {
        CheckStop(stop);
        build(w.lambdaNm, grid.Rows(), {});
        GroupPupil(w.pupilSamples, w.aberrations, grid.Rows(), peakI, peakJ, field);
        // exp(2 pi i a rho^2) with rho^2 = d2 / r^2, for a = k x step: the step's phasor raised
        // to k by repeated products (k at most a few tens, so a few units in the last place),
        // and its conjugate for -k.
        const double r = w.pupilSamples * 0.5;
        const size_t groups = field.d2.size();
        stepRe.resize(groups);
        stepIm.resize(groups);
        eRe.assign(groups, 1.0);
        eIm.assign(groups, 0.0);
        for (size_t g = 0; g < groups; ++g) {
            const double angle = 2 * pi * stepWaves * (field.d2[g] / (r * r));
            stepRe[g] = std::cos(angle);
            stepIm[g] = std::sin(angle);
        }
        for (int k = 0; k <= steps; ++k) {
            for (int q = 0; q < neighbours; ++q) {
                if (!inside[q]) continue;
                const double* hRe = field.re[q].data();
                const double* hIm = field.im[q].data();
                double a = 0, b = 0, c = 0, d = 0;
                for (size_t g = 0; g < groups; ++g) {
                    a += hRe[g] * eRe[g];
                    b += hIm[g] * eIm[g];
                    c += hRe[g] * eIm[g];
                    d += hIm[g] * eRe[g];
                }
                // F(+a) = H . E and F(-a) = H . conj(E), normalised by 1/N per axis as the run.
                const double plusRe = (a - b) / n2, plusIm = (c + d) / n2;
                const double minusRe = (a + b) / n2, minusIm = (d - c) / n2;
                intensity[static_cast<size_t>(steps + k) * neighbours + q] += w.weight * (plusRe * plusRe + plusIm * plusIm);
                if (k > 0)
                    intensity[static_cast<size_t>(steps - k) * neighbours + q] +=
                        w.weight * (minusRe * minusRe + minusIm * minusIm);
            }
            for (size_t g = 0; g < groups; ++g) {
                const double re = eRe[g] * stepRe[g] - eIm[g] * stepIm[g];
                eIm[g] = eRe[g] * stepIm[g] + eIm[g] * stepRe[g];
                eRe[g] = re;
            }
        }
    }
    for (size_t k = 0; k < points; ++k) {
        double best = 0;
        for (int q = 0; q < neighbours; ++q)
            if (inside[q]) best = std::max(best, intensity[k * neighbours + static_cast<size_t>(q)]);
        strehl[k] = best / ideal;
    }
    return strehl;
}

bool DepthOfFocusWaves(const std::vector<double>& defocus, const std::vector<double>& strehl, double level,
                       double& lo, double& hi) {
    const size_t n = std::min(defocus.size(), strehl.size());
    if (n == 0) return false;
    const size_t best = static_cast<size_t>(std::max_element(strehl.begin(), strehl.begin() + static_cast<long>(n)) - strehl.begin());
    if (!(strehl[best] >= level)) return false;
    // Between a sample at or above the level and the next one below it.
    auto crossing = [&](size_t in, size_t out) {
        const double t = (strehl[in] - level) / (strehl[in] - strehl[out]);
        return defocus[in] + t * (defocus[out] - defocus[in]);
    };
    size_t k = best;
    while (k > 0 && strehl[k - 1] >= level) --k;
    lo = k > 0 ? crossing(k, k - 1) : defocus[0];
    k = best;
    while (k + 1 < n && strehl[k + 1] >= level) ++k;
    hi = k + 1 < n ? crossing(k, k + 1) : defocus[n - 1];
    return true;
}

double FocuserTravelUm(double waves, double focalRatio, double lambdaNm) {
    return 8 * focalRatio * focalRatio * waves * lambdaNm * 1e-3;
}

}  // namespace velmora
