// The encircled energy of a sampled point spread function, exact for the continuous pattern its
// samples stand for.
//
// A PSF whose pupil spans P samples has a transfer function that vanishes beyond |k| = P, so
// while P < N / 2 the samples define the whole continuous pattern (its trigonometric
// interpolant). Integrating that pattern over a disc of radius r about c gives (Baliga and
// Cohn, "Simplified method for calculating encircled energy", Proc. SPIE 892, 1988)
//
//   EE(r) = pi r^2 / N^2 + sum over k != 0 of Re[OTF(k) e^{2 pi i k.c / N}] r J1(2 pi r |k| / N) / (N |k|)
//
// with OTF(k) the samples' discrete transform about the grid centre over its value at zero
// frequency. The frequencies are summed by |k|^2 first, so a value costs one Bessel function
// per distinct ring rather than per frequency. Plain C++, no toolkit.
#pragma once

#include <cstddef>
#include <vector>

#include "core/Grid.h"

namespace velmora {

class EncircledEnergy {
public:
    // intensity: gridSize^2 samples, [i * gridSize + j]; (cx, cy): the centre in samples from
    // the grid centre along i and j; supportRadius: the largest pupil in samples, beyond which
    // the transfer function is zero. One 2D transform, on a grid made coarser by 2 or 4 when
    // the support leaves room (the transfer function is then read without overlap).
    EncircledEnergy(const RealGrid& intensity, double cx, double cy, int supportRadius);

    // The share of the grid's energy within rSamples of the centre (0 for a grid without light).
    double operator()(double rSamples) const;

    // The radius of the first crossing of `fraction` between lo and hi, where EE(lo) < fraction
    // <= EE(hi): regula falsi (Illinois) on the function itself, to 1e-9 samples.
    double Crossing(double fraction, double lo, double hi) const;

    // The number of distinct frequency rings summed, for the benchmarks' and tests' curiosity.
    size_t Rings() const { return ringQ_.size(); }

private:
    double J1(double x) const;
    void BuildTable(double xMax);

    bool lit_ = false;
    std::vector<double> ringQ_;     // 2 pi |k| / N of each ring
    std::vector<double> ringCoef_;  // the ring's summed Re[...] / (N |k|)
    double tableStepInverse_ = 0;
    std::vector<double> table_;     // per interval of J1: the cubic's four coefficients
};

}  // namespace velmora
