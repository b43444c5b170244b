// The through-focus Strehl ratio against the defocus law of a clear pupil, against whole runs
// with the defocus added (the full transform, the straightforward way), and the depth of focus
// read from a curve.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "optics/ThroughFocus.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;

PupilBuilder ModelBuilder(const SimulationParameters& p) {
    return [p](int lambda, RealMatrix grid, const ProgressFn& bar) {
        const PupilInputs in{&p, nullptr, nullptr, nullptr};
        BuildPupil(in, lambda, grid, bar);
    };
}

PsfResult RunPupil(const SimulationParameters& p, const Aberrations& a) {
    CalculationRequest rq;
    rq.params = p;
    rq.aberrations = a;
    RealMatrixHolder grid;
    EXPECT_EQ(grid.Allocate(gridSize, gridSize), 0);
    return testing::RunWithPupilModel(rq, grid.get());
}

// A clear pupil of 160 mm at f/6.25 and 550 nm: 160 samples across, one wavelength.
SimulationParameters ClearPupil() {
    SimulationParameters p;
    p.aperture = 160;
    p.focalLength = 1000;
    p.secondaryDiameter = 0;
    p.whiteBand = {550, 550, 10};
    return p;
}

// The on-axis intensity of a clear circular pupil with W = a rho^2 (a P-V waves) over its
// focused value: with u = rho^2 the amplitude is the integral of exp(2 pi i a u) over [0, 1], so
// I(a) / I(0) = (sin(pi a) / (pi a))^2 (Born & Wolf, Principles of Optics, 8.8.1, the
// intensity along the axis near focus).
double DefocusLaw(double a) { return a == 0 ? 1 : std::pow(std::sin(pi * a) / (pi * a), 2); }

TEST(ThroughFocusTest, ClearPupilFollowsTheDefocusLaw) {
    const SimulationParameters p = ClearPupil();
    const PsfResult run = RunPupil(p, {});
    const std::vector<double> a = ThroughFocusDefocus();
    const std::vector<double> s = BandThroughFocus(run.full->bands[0], ModelBuilder(p));
    ASSERT_EQ(s.size(), 41u);
    ASSERT_EQ(a.size(), 41u);
    EXPECT_DOUBLE_EQ(a.front(), -1);
    EXPECT_DOUBLE_EQ(a[20], 0);
    EXPECT_DOUBLE_EQ(a.back(), 1);
    // 0.01: the bound. The sampled pupil's rim (160 samples across) stands in for the
    // circle, which the law integrates exactly; the difference stays a few thousandths here.
    for (size_t k = 0; k < a.size(); ++k) {
        if (std::fabs(a[k]) > 0.5 + 1e-12) continue;
        EXPECT_NEAR(s[k], DefocusLaw(a[k]), 0.01) << "at a = " << a[k];
    }
    // Without aberrations either side of focus is the same.
    for (size_t k = 0; k < a.size(); ++k) EXPECT_NEAR(s[k], s[a.size() - 1 - k], 1e-12) << "at a = " << a[k];
}

struct FastCase {
    const char* name;
    SimulationParameters params;
    Aberrations aberrations;
};

std::vector<FastCase> FastCases() {
    std::vector<FastCase> cases;
    SimulationParameters vanes;  // the default pupil: 160 mm f/6.25 with a 50 mm secondary
    vanes.spider1 = vanes.spider2 = vanes.spider3 = true;
    vanes.barWidth = 3;
    vanes.whiteBand = {550, 650, 50};
    Aberrations coma;
    coma.comaX = 0.25;
    coma.tiltY = 1.5;  // the peak well off the centre
    coma.spherical = 0.1;
    cases.push_back({"vanes, coma, tilt, three wavelengths", vanes, coma});
    SimulationParameters clear = ClearPupil();
    Aberrations astig;
    astig.astigmatismM = 0.2;
    astig.focus = 0.15;
    cases.push_back({"clear, astigmatism, focus", clear, astig});
    SimulationParameters colour;
    colour.colorMode = ColorMode::Colour;
    Aberrations spherical;
    spherical.spherical = 0.2;
    cases.push_back({"colour, spherical", colour, spherical});
    return cases;
}

// The straightforward reference: the whole run again with a rho^2 = (a / 2)(2 rho^2 - 1) + a / 2
// added (the piston a / 2 changes no intensity), its band's largest value among the 3 x 3
// samples about the best-focus peak, over the band's ideal peak.
double ReferenceStrehl(const FastCase& c, size_t band, double a, int peakI, int peakJ) {
    Aberrations defocused = c.aberrations;
    defocused.focus += a / 2;
    const PsfResult run = RunPupil(c.params, defocused);
    const BandResult& b = run.full->bands[band];
    double best = 0;
    for (int i = peakI - 1; i <= peakI + 1; ++i)
        for (int j = peakJ - 1; j <= peakJ + 1; ++j)
            best = std::max(best, b.intensity(i, j));
    return StrehlOf(b) * best / b.normalisedPeak;
}

TEST(ThroughFocusTest, FastSumsGiveTheFullTransformsValues) {
    for (const FastCase& c : FastCases()) {
        const PsfResult focused = RunPupil(c.params, c.aberrations);
        for (size_t band = 0; band < focused.full->bands.size(); ++band) {
            const BandResult& b = focused.full->bands[band];
            const std::vector<double> s = BandThroughFocus(b, ModelBuilder(c.params));
            const std::vector<double> a = ThroughFocusDefocus();
            const auto peak = std::max_element(b.intensity.begin(), b.intensity.end()) - b.intensity.begin();
            const int peakI = static_cast<int>(peak / gridSize), peakJ = static_cast<int>(peak % gridSize);
            // At best focus the curve is the run's own Strehl ratio.
            EXPECT_NEAR(s[20], StrehlOf(b), 1e-9) << c.name << ", band " << b.name;
            // The same samples summed in another order, and a rho^2 against the focus term: the
            // differences are rounding, far below a thousandth of the values.
            for (size_t k : {0u, 7u, 13u, 26u, 33u, 40u}) {
                if (c.params.colorMode == ColorMode::Colour && k % 2 == 1) continue;  // fewer runs
                EXPECT_NEAR(s[k], ReferenceStrehl(c, band, a[k], peakI, peakJ), 1e-9)
                    << c.name << ", band " << b.name << ", a = " << a[k];
            }
        }
    }
}

TEST(ThroughFocusTest, StopEndsTheWork) {
    const SimulationParameters p = ClearPupil();
    const PsfResult run = RunPupil(p, {});
    std::atomic<bool> stop{true};
    EXPECT_THROW(BandThroughFocus(run.full->bands[0], ModelBuilder(p), &stop), CalculationStopped);
}

TEST(ThroughFocusTest, BandWithoutLightHasAFlatCurve) {
    BandResult dark;
    dark.intensity = RealGrid(gridSize, gridSize);
    const std::vector<double> s = BandThroughFocus(dark, [](int, RealMatrix, const ProgressFn&) {});
    EXPECT_EQ(s, std::vector<double>(41, 0.0));
}

struct DepthCase {
    const char* name;
    std::vector<double> strehl;  // at -2, -1, 0, 1, 2
    bool reached;
    double lo, hi;
};

TEST(ThroughFocusTest, DepthOfFocusReadsTheCurve) {
    const std::vector<double> a = {-2, -1, 0, 1, 2};
    const DepthCase cases[] = {
        {"symmetric", {0.2, 0.6, 1.0, 0.6, 0.2}, true, -0.5, 0.5},
        {"exactly at the level", {0.2, 0.8, 0.9, 0.8, 0.2}, true, -1, 1},
        {"best point off the middle", {0.2, 0.9, 0.7, 0.3, 0.1}, true, -8.0 / 7, -0.5},
        {"never falls below", {0.85, 0.9, 1.0, 0.9, 0.85}, true, -2, 2},
        {"never reaches the level", {0.2, 0.5, 0.79, 0.5, 0.2}, false, 0, 0},
        {"the highest stretch, not another", {0.9, 0.5, 0.95, 0.85, 0.4}, true, -1.0 / 3, 10.0 / 9},
    };
    for (const DepthCase& c : cases) {
        double lo = 0, hi = 0;
        EXPECT_EQ(DepthOfFocusWaves(a, c.strehl, 0.8, lo, hi), c.reached) << c.name;
        if (!c.reached) continue;
        EXPECT_NEAR(lo, c.lo, 1e-12) << c.name;
        EXPECT_NEAR(hi, c.hi, 1e-12) << c.name;
    }
}

// dz = 8 F^2 a lambda: W020 = dz / (8 F^2) for a focus shift dz at focal ratio F (Schroeder,
// Astronomical Optics, 2nd ed., 11.2 / Smith, Modern Optical Engineering, 11.8).
TEST(ThroughFocusTest, FocuserTravel) {
    EXPECT_NEAR(FocuserTravelUm(1, 8, 550), 8 * 64 * 0.55, 1e-12);
    EXPECT_NEAR(FocuserTravelUm(0.5, 5, 500), 8 * 25 * 0.5 * 0.5, 1e-12);
    EXPECT_EQ(FocuserTravelUm(0, 10, 600), 0);
}

TEST(ThroughFocusTest, ClearPupilsDepthOfFocus) {
    const SimulationParameters p = ClearPupil();
    const PsfResult run = RunPupil(p, {});
    Analysis analysis = Analyse(*run.full);
    EXPECT_TRUE(analysis.bands[0].focusStrehl.empty());
    AddThroughFocus(analysis, *run.full, ModelBuilder(p));
    const BandMeasurements& m = analysis.bands[0];
    ASSERT_EQ(m.focusStrehl.size(), 41u);
    EXPECT_EQ(m.focusDefocusWavesPv, ThroughFocusDefocus());
    // The law falls to 0.8 at a0 (bisection of the law itself), so the depth is 2 a0 waves of
    // travel. Allowed: 3 %, for the linear interpolation between points 0.05 apart (about
    // 0.001 wave where the law bends) and the sampled pupil's few thousandths of Strehl ratio,
    // which move the crossing by about 0.005 wave of the 0.26.
    double lo = 0, hi = 0.5;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (DefocusLaw(mid) >= 0.8 ? lo : hi) = mid;
    }
    const double expected = FocuserTravelUm(2 * lo, 1000.0 / 160, 550);
    EXPECT_NEAR(m.depthOfFocusUm, expected, 0.03 * expected);
}

}  // namespace
}  // namespace velmora
