// A run of the pupil model and its measurements, and the patterns of optics worked out on
// paper that they are checked against; shared by the measurement and the pipeline tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "analysis/Analysis.h"

namespace velmora::testing {

inline constexpr double pi = 3.14159265358979323846;

// A clear circular pupil (no secondary, no vanes, no density profile) of aperture 100 mm and
// focal length 1000 mm, F = 10: at 540 nm the pupil spans P = 101 samples, an odd count, so the
// phase circle cuts samples off the amplitude's edge; one focal-plane sample is
// 0.54 x 10 x 101 / 1024 = 0.533 um and lambda F = 5.4 um spans about 10 samples.
inline SimulationParameters ClearPupil(int lambdaNm = 540, int apertureMm = 100) {
    SimulationParameters p;
    p.aperture = apertureMm;
    p.focalLength = 1000;
    p.secondaryDiameter = 0;
    p.densityProfile = DensityProfileKind::None;
    p.whiteBand = {lambdaNm, lambdaNm, 10};
    return p;
}

struct Measured {
    PsfResult result;
    Analysis analysis;
    const BandMeasurements& Band(size_t k = 0) const { return analysis.bands.at(k); }
};

inline Measured Calculate(const SimulationParameters& p, const Aberrations& a = {}) {
    CalculationRequest rq;
    rq.params = p;
    rq.aberrations = a;
    RealMatrixHolder grid;
    EXPECT_EQ(grid.Allocate(gridSize, gridSize), 0);
    Measured run;
    run.result = testing::RunWithPupilModel(rq, grid.get());
    EXPECT_TRUE(run.result.full);
    run.analysis = Analyse(*run.result.full);
    return run;
}

// EE at a radius between the integer radii the curve holds, linear between them.
inline double EncircledAt(const BandMeasurements& m, double radiusUm) {
    const double r = radiusUm / m.scale.um;
    const auto k = static_cast<size_t>(r);
    return m.eeFraction[k] + (r - k) * (m.eeFraction[k + 1] - m.eeFraction[k]);
}

// The MTF of a clear circular aperture at nu = f lambda F (Goodman, Introduction to Fourier
// Optics, 6.3): (2/pi)(acos nu - nu sqrt(1 - nu^2)).
inline double ClearMtf(double nu) { return nu < 1 ? 2 / pi * (std::acos(nu) - nu * std::sqrt(1 - nu * nu)) : 0; }

// The Airy pattern [2 J1(v) / v]^2 (Born & Wolf, Principles of Optics, 8.5.2).
inline double Airy(double v) { return v == 0 ? 1 : std::pow(2 * std::cyl_bessel_j(1.0, v) / v, 2); }

inline double MtfAt(const BandMeasurements& m, double nu) {
    for (size_t k = 1; k < m.mtfNu.size(); ++k)
        if (m.mtfNu[k] >= nu) {
            const double t = (nu - m.mtfNu[k - 1]) / (m.mtfNu[k] - m.mtfNu[k - 1]);
            return m.mtfX[k - 1] + t * (m.mtfX[k] - m.mtfX[k - 1]);
        }
    return 0;
}

// The encircled energy of the Airy pattern, 1 - J0^2(v) - J1^2(v) with v = pi r / (lambda F)
// (Born & Wolf, Principles of Optics, 8.5.2, Rayleigh's formula).
inline double AiryEncircled(double v) {
    const double a = std::cyl_bessel_j(0.0, v), b = std::cyl_bessel_j(1.0, v);
    return 1 - a * a - b * b;
}

// The annular pupil's amplitude U(v) = [2 J1(v)/v - eps^2 2 J1(eps v)/(eps v)] / (1 - eps^2)
// (Born & Wolf 8.6.3, Schroeder 10.2), its energy within v integrated here by Simpson's rule,
// over the whole pattern's 2 / (1 - eps^2) (Parseval: the clear disc's 2 times the annulus's
// share of its area, over the normalisation squared).
inline double AnnularEncircled(double v, double eps) {
    auto u = [eps](double x) {
        if (x == 0) return 1.0;
        return (2 * std::cyl_bessel_j(1.0, x) / x - eps * eps * 2 * std::cyl_bessel_j(1.0, eps * x) / (eps * x)) /
               (1 - eps * eps);
    };
    const int steps = 2000;
    const double h = v / steps;
    double sum = 0;
    for (int k = 0; k <= steps; ++k) {
        const double x = k * h;
        const double f = u(x) * u(x) * x;
        sum += (k == 0 || k == steps ? 1 : (k % 2 ? 4 : 2)) * f;
    }
    return sum * h / 3 / (2 / (1 - eps * eps));
}

}  // namespace velmora::testing
