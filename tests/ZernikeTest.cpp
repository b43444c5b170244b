#include "core/Zernike.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "core/Wavefront.h"
#include "pupil/Previews.h"
#include "TestSupport.h"

namespace velmora {
namespace {

constexpr double pi = std::numbers::pi;

// One term of a set, evaluated the fast way at (x, y).
double Term(ZernikeOrdering ordering, int index, double x, double y) {
    ZernikeSet set{ordering, {{index, 1.0}}};
    const double rho2 = x * x + y * y;
    return ZernikeWavefront(set).Evaluate(x, y, rho2, rho2 * rho2);
}

// Gauss-Legendre nodes and weights on [0, 1] (Press et al., Numerical Recipes, 2nd ed., 4.5,
// gauleg): the roots of P_n by Newton's iteration from Tricomi's first guess.
void GaussLegendre(int n, std::vector<double>& nodes, std::vector<double>& weights) {
    nodes.assign(static_cast<size_t>(n), 0);
    weights.assign(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        double z = std::cos(pi * (i + 0.75) / (n + 0.5));
        double dp = 0;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p0 = 1, p1 = 0;
            for (int k = 1; k <= n; ++k) {
                const double p2 = p1;
                p1 = p0;
                p0 = ((2 * k - 1) * z * p1 - (k - 1) * p2) / k;
            }
            dp = n * (z * p0 - p1) / (z * z - 1);
            const double step = p0 / dp;
            z -= step;
            if (std::fabs(step) < 1e-16) break;
        }
        nodes[static_cast<size_t>(i)] = 0.5 * (1 - z);
        weights[static_cast<size_t>(i)] = 1 / ((1 - z * z) * dp * dp);  // 2 / (...) on [-1, 1], halved
    }
}

// Integral over the unit disc of f(x, y), sampled on rings at the Gauss-Legendre radii and at
// equally spaced angles. For the products of two terms of degree <= 12 it is exact but for
// rounding: the angular sum is exact for trigonometric polynomials of degree below `angles`
// (the products reach 24), and the radial rule with `rings` nodes for polynomials in rho of
// degree below 2 x rings (f rho reaches 25).
template <typename F>
double DiscIntegral(F f, int rings = 24, int angles = 64) {
    std::vector<double> nodes, weights;
    GaussLegendre(rings, nodes, weights);
    double sum = 0;
    for (size_t k = 0; k < nodes.size(); ++k) {
        const double rho = nodes[k];
        double ring = 0;
        for (int l = 0; l < angles; ++l) {
            const double theta = 2 * pi * (l + 0.25) / angles;
            ring += f(rho * std::cos(theta), rho * std::sin(theta));
        }
        sum += weights[k] * ring * rho;
    }
    return sum * (2 * pi / angles);
}

TEST(Zernike, FringeIndicesAreWyantAndCreathsTable) {
    // Wyant & Creath (1992), table 13.
    const struct {
        int index, n, m;
    } table[] = {{1, 0, 0},  {2, 1, 1},  {3, 1, -1}, {4, 2, 0},  {5, 2, 2},   {6, 2, -2}, {7, 3, 1},
                 {8, 3, -1}, {9, 4, 0},  {10, 3, 3}, {11, 3, -3}, {12, 4, 2}, {16, 6, 0}, {17, 4, 4},
                 {25, 8, 0}, {26, 5, 5}, {27, 5, -5}, {36, 10, 0}, {37, 12, 0}};
    for (const auto& row : table) {
        EXPECT_EQ(ZernikeModeOf(ZernikeOrdering::Fringe, row.index), (ZernikeMode{row.n, row.m})) << "Z" << row.index;
        EXPECT_EQ(ZernikeIndexOf(ZernikeOrdering::Fringe, {row.n, row.m}), row.index);
    }
    for (int k = fringeFirstIndex; k <= fringeLastIndex; ++k)
        EXPECT_EQ(ZernikeIndexOf(ZernikeOrdering::Fringe, ZernikeModeOf(ZernikeOrdering::Fringe, k)), k);
    EXPECT_EQ(ZernikeIndexOf(ZernikeOrdering::Fringe, {6, 6}), -1);
    EXPECT_EQ(ZernikeIndexOf(ZernikeOrdering::Fringe, {11, 1}), -1);
}

TEST(Zernike, AnsiIndicesFollowTheSingleIndexRule) {
    // j = (n (n + 2) + m) / 2 (ANSI Z80.28-2017, eq. (B.6)); j = 90 is the last term of degree 12.
    const struct {
        int j, n, m;
    } table[] = {{0, 0, 0},   {1, 1, -1},  {2, 1, 1},  {3, 2, -2}, {4, 2, 0},  {5, 2, 2},
                 {6, 3, -3},  {7, 3, -1},  {8, 3, 1},  {12, 4, 0}, {24, 6, 0}, {78, 12, -12},
                 {84, 12, 0}, {90, 12, 12}};
    for (const auto& row : table) {
        EXPECT_EQ(ZernikeModeOf(ZernikeOrdering::Ansi, row.j), (ZernikeMode{row.n, row.m})) << "j=" << row.j;
        EXPECT_EQ(ZernikeIndexOf(ZernikeOrdering::Ansi, {row.n, row.m}), row.j);
    }
    for (int j = ansiFirstIndex; j <= ansiLastIndex; ++j)
        EXPECT_EQ(ZernikeIndexOf(ZernikeOrdering::Ansi, ZernikeModeOf(ZernikeOrdering::Ansi, j)), j);
    // Every Fringe term has an ANSI index.
    for (int k = fringeFirstIndex; k <= fringeLastIndex; ++k)
        EXPECT_GE(ZernikeIndexOf(ZernikeOrdering::Ansi, ZernikeModeOf(ZernikeOrdering::Fringe, k)), 0) << "Z" << k;
}

TEST(Zernike, PolynomialsMatchTheWrittenOutTable) {
    // Wyant & Creath (1992), table 13, written out by hand, at rho = 0.7, theta = 50 degrees.
    const double rho = 0.7, t = 50 * pi / 180;
    const double x = rho * std::cos(t), y = rho * std::sin(t);
    const double r2 = rho * rho;
    const struct {
        int index;
        double value;
    } table[] = {
        {1, 1},
        {4, 2 * r2 - 1},
        {6, r2 * std::sin(2 * t)},
        {10, r2 * rho * std::cos(3 * t)},
        {12, (4 * r2 * r2 - 3 * r2) * std::cos(2 * t)},
        {14, (10 * std::pow(rho, 5) - 12 * std::pow(rho, 3) + 3 * rho) * std::cos(t)},
        {16, 20 * std::pow(rho, 6) - 30 * std::pow(rho, 4) + 12 * r2 - 1},
        {18, std::pow(rho, 4) * std::sin(4 * t)},
        {25, 70 * std::pow(rho, 8) - 140 * std::pow(rho, 6) + 90 * std::pow(rho, 4) - 20 * r2 + 1},
        {27, std::pow(rho, 5) * std::sin(5 * t)},
        {35, (126 * std::pow(rho, 9) - 280 * std::pow(rho, 7) + 210 * std::pow(rho, 5) - 60 * std::pow(rho, 3) + 5 * rho) *
                 std::sin(t)},
        {36, 252 * std::pow(rho, 10) - 630 * std::pow(rho, 8) + 560 * std::pow(rho, 6) - 210 * std::pow(rho, 4) + 30 * r2 - 1},
        {37, 924 * std::pow(rho, 12) - 2772 * std::pow(rho, 10) + 3150 * std::pow(rho, 8) - 1680 * std::pow(rho, 6) +
                 420 * std::pow(rho, 4) - 42 * r2 + 1},
    };
    // The sums cancel terms of a few thousand to leave values below 1: 1e-12 is a few hundred
    // units of rounding at that size.
    for (const auto& row : table) {
        EXPECT_NEAR(Term(ZernikeOrdering::Fringe, row.index, x, y), row.value, 1e-12) << "Z" << row.index;
        EXPECT_NEAR(ZernikePolynomial(ZernikeModeOf(ZernikeOrdering::Fringe, row.index), x, y), row.value, 1e-12)
            << "Z" << row.index;
    }
}

TEST(Zernike, KnownValuesAtTheRimAndTheCentre) {
    // R_n^m(1) = 1, so at the rim the cosine form is cos(m theta) and the sine form sin(|m|
    // theta); at the centre only m = 0 remains, R_n^0(0) = (-1)^(n/2) (Born & Wolf 9.2.1).
    for (int j = ansiFirstIndex; j <= ansiLastIndex; ++j) {
        const ZernikeMode mode = ZernikeModeOf(ZernikeOrdering::Ansi, j);
        const double scale = ZernikeScale(ZernikeOrdering::Ansi, j);
        const int m = std::abs(mode.m);
        const double peak = m == 0 ? 0 : pi / (2 * m);  // where the sine form is 1
        const double rimAngle = mode.m < 0 ? peak : 0;
        EXPECT_NEAR(Term(ZernikeOrdering::Ansi, j, std::cos(rimAngle), std::sin(rimAngle)) / scale, 1, 1e-11)
            << "n=" << mode.n << " m=" << mode.m;
        const double centre = m != 0 ? 0 : (mode.n / 2 % 2 == 0 ? 1 : -1);
        EXPECT_EQ(Term(ZernikeOrdering::Ansi, j, 0, 0) / scale, centre) << "n=" << mode.n << " m=" << mode.m;
    }
}

TEST(Zernike, FastEvaluationEqualsThePlainFormula) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int sample = 0; sample < 200; ++sample) {
        const double x = u(random) * 0.7, y = u(random) * 0.7;
        for (int j = ansiFirstIndex; j <= ansiLastIndex; ++j) {
            const ZernikeMode mode = ZernikeModeOf(ZernikeOrdering::Ansi, j);
            const double expected = ZernikePolynomial(mode, x, y) * ZernikeScale(ZernikeOrdering::Ansi, j);
            EXPECT_NEAR(Term(ZernikeOrdering::Ansi, j, x, y), expected, 1e-11) << "n=" << mode.n << " m=" << mode.m;
        }
    }
}

TEST(Zernike, TermsAreOrthogonalOverTheDisc) {
    // Pairs of the same and of different angular order, cosine against sine, and the highest
    // radial degrees, where a wrong coefficient would show first.
    const struct {
        int a, b;
    } pairs[] = {{1, 4},  {1, 37}, {4, 9},   {9, 16},  {16, 25}, {25, 36}, {36, 37}, {2, 3},   {2, 7},
                 {7, 14}, {14, 23}, {23, 34}, {7, 8},  {5, 6},   {5, 12},  {12, 21}, {21, 32}, {10, 19},
                 {19, 30}, {17, 28}, {26, 27}, {10, 11}, {3, 8}, {4, 37}};
    for (const auto& pair : pairs) {
        auto za = [&](double x, double y) { return Term(ZernikeOrdering::Fringe, pair.a, x, y); };
        auto zb = [&](double x, double y) { return Term(ZernikeOrdering::Fringe, pair.b, x, y); };
        const double ab = DiscIntegral([&](double x, double y) { return za(x, y) * zb(x, y); });
        const double aa = DiscIntegral([&](double x, double y) { return za(x, y) * za(x, y); });
        const double bb = DiscIntegral([&](double x, double y) { return zb(x, y) * zb(x, y); });
        // Exact but for rounding in sums of terms up to a few thousand (Z37's coefficients).
        EXPECT_LT(std::fabs(ab) / std::sqrt(aa * bb), 1e-12) << "Z" << pair.a << " . Z" << pair.b;
        // The norms themselves: pi / (n + 1) for m = 0 and pi / (2 (n + 1)) otherwise (Born & Wolf
        // 9.2.1 eq. (12)).
        const ZernikeMode mode = ZernikeModeOf(ZernikeOrdering::Fringe, pair.a);
        EXPECT_NEAR(aa, pi / ((mode.m == 0 ? 1 : 2) * (mode.n + 1)), 1e-12) << "Z" << pair.a;
    }
}

TEST(Zernike, AnsiTermsHaveUnitRms) {
    // RMS over the disc = sqrt(integral of Z^2 / pi) = 1 for every normalised term (ANSI
    // Z80.28-2017, B.2); the quadrature is exact for these polynomials but for rounding.
    for (int j = ansiFirstIndex; j <= ansiLastIndex; ++j) {
        const double mean2 = DiscIntegral([&](double x, double y) {
                                 const double z = Term(ZernikeOrdering::Ansi, j, x, y);
                                 return z * z;
                             }) / pi;
        EXPECT_NEAR(std::sqrt(mean2), 1, 1e-12) << "j=" << j;
    }
}

TEST(Zernike, AnsiConvertsToFringeWhereBothHaveTheTerm) {
    // ANSI j = 4 is sqrt(3) (2 rho^2 - 1): Fringe Z4 with the coefficient x sqrt(3); likewise
    // j = 12 (sqrt(5), spherical, Z9), j = 3 (sqrt(6), astigmatism 45 degrees, Z6).
    ZernikeSet ansi{ZernikeOrdering::Ansi, {{4, 0.5}, {12, 0.1}, {3, -0.2}, {90, 0.3}, {65, 0.05}}};
    std::vector<int> uncovered;
    const ZernikeSet fringe = AnsiToFringe(ansi, &uncovered);
    EXPECT_EQ(fringe.ordering, ZernikeOrdering::Fringe);
    ASSERT_EQ(fringe.coefficients.size(), 3u);
    EXPECT_DOUBLE_EQ(fringe.coefficients.at(4), 0.5 * std::sqrt(3.0));
    EXPECT_DOUBLE_EQ(fringe.coefficients.at(9), 0.1 * std::sqrt(5.0));
    EXPECT_DOUBLE_EQ(fringe.coefficients.at(6), -0.2 * std::sqrt(6.0));
    EXPECT_EQ(uncovered, (std::vector<int>{65, 90}));  // (10, 10) and (12, 12)

    ansi.coefficients.erase(65);
    ansi.coefficients.erase(90);
    const ZernikeWavefront a(ansi), f(AnsiToFringe(ansi));
    for (double x : {-0.6, 0.1, 0.5})
        for (double y : {-0.3, 0.0, 0.7}) {
            const double r2 = x * x + y * y;
            EXPECT_NEAR(a.Evaluate(x, y, r2, r2 * r2), f.Evaluate(x, y, r2, r2 * r2), 1e-14);
        }
}

TEST(Zernike, EveryFringeSetConvertsToAnsiAndBack) {
    ZernikeSet fringe{ZernikeOrdering::Fringe, {}};
    for (int k = fringeFirstIndex; k <= fringeLastIndex; ++k) fringe.coefficients[k] = 0.01 * k - 0.205;  // none zero: zeros are not carried
    std::vector<int> uncovered;
    const ZernikeSet ansi = ConvertZernikeSet(fringe, ZernikeOrdering::Ansi, &uncovered);
    EXPECT_TRUE(uncovered.empty());
    EXPECT_EQ(ansi.ordering, ZernikeOrdering::Ansi);
    EXPECT_EQ(ansi.coefficients.size(), 37u);
    // Z37 = 924 rho^12 ... is ANSI j = 84 divided by sqrt(13).
    EXPECT_DOUBLE_EQ(ansi.coefficients.at(84), fringe.coefficients.at(37) / std::sqrt(13.0));
    const ZernikeSet back = ConvertZernikeSet(ansi, ZernikeOrdering::Fringe, &uncovered);
    EXPECT_TRUE(uncovered.empty());
    ASSERT_EQ(back.coefficients.size(), 37u);
    for (const auto& [k, c] : fringe.coefficients) EXPECT_NEAR(back.coefficients.at(k), c, 1e-15) << "Z" << k;
    // The same wavefront in either ordering.
    const ZernikeWavefront a(ansi), f(fringe);
    for (double x : {-0.9, 0.0, 0.35})
        for (double y : {-0.2, 0.4}) {
            const double r2 = x * x + y * y;
            EXPECT_NEAR(a.Evaluate(x, y, r2, r2 * r2), f.Evaluate(x, y, r2, r2 * r2), 1e-13);
        }
}

TEST(Zernike, ZeroCoefficientsLeaveNoTerm) {
    EXPECT_TRUE(ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{4, 0.0}, {37, 0.0}}}).Empty());
    EXPECT_EQ(ZernikeWavefront(ZernikeSet{ZernikeOrdering::Ansi, {{4, 0.0}}}), ZernikeWavefront());
    EXPECT_FALSE(ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{37, 1e-9}}}).Empty());
    EXPECT_NE(ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{4, 0.1}}}),
              ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{4, 0.2}}}));
}

TEST(Zernike, NamesTheTermsOfTheFringeSet) {
    for (int k = fringeFirstIndex; k <= fringeLastIndex; ++k)
        EXPECT_NE(ZernikeModeName(ZernikeModeOf(ZernikeOrdering::Fringe, k)), nullptr) << "Z" << k;
    EXPECT_STREQ(ZernikeModeName({2, 0}), "デフォーカス");
    EXPECT_STREQ(ZernikeModeName({2, 2}), "非点収差 0°");
    EXPECT_STREQ(ZernikeModeName({3, 1}), "コマ X");
    EXPECT_STREQ(ZernikeModeName({4, 0}), "球面収差");
    EXPECT_EQ(ZernikeModeName({12, 12}), nullptr);
}

// The Fringe terms the panel also has, with the panel field they must equal to the bit.
struct PanelTerm {
    int index;
    double Aberrations::*field;
    const char* name;
};
const PanelTerm panelTerms[] = {
    {2, &Aberrations::tiltX, "tilt X"}, {3, &Aberrations::tiltY, "tilt Y"},  {4, &Aberrations::focus, "focus"},
    {7, &Aberrations::comaX, "coma X"}, {8, &Aberrations::comaY, "coma Y"}, {9, &Aberrations::spherical, "spherical"},
};

TEST(Zernike, PanelTermsGiveThePanelsWavefront) {
    for (const PanelTerm& term : panelTerms)
        for (double c : {0.37, -0.01, 1.0, 7.3}) {
            Aberrations panel;
            panel.*term.field = c;
            Aberrations zernike;
            zernike.zernike = ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{term.index, c}}});
            // The run's own sampling at Np = 160 (core/PsfRunSteps.cpp).
            const double r = 80;
            for (int di = -80; di <= 80; di += 3)
                for (int dj = -80; dj <= 80; dj += 7) {
                    const double rho = std::sqrt(static_cast<double>(di * di + dj * dj)) / r;
                    const double x = di / r, y = dj / r;
                    const double a = WavefrontError(panel, x, y, rho * rho, rho * rho * rho * rho);
                    const double b = WavefrontError(zernike, x, y, rho * rho, rho * rho * rho * rho);
                    // Equal as numbers; only a zero may differ in its sign, which no cosine or
                    // square that follows can tell.
                    ASSERT_EQ(a, b) << term.name << " = " << c << " at " << di << ", " << dj;
                }
        }
}

TEST(Zernike, PanelTermsGiveThePanelsRunToTheBit) {
    RealMatrixHolder grid;
    ASSERT_EQ(grid.Allocate(gridSize, gridSize), 0);
    CalculationRequest rq;
    rq.params.whiteBand = {550, 650, 100};
    for (const PanelTerm& term : panelTerms) {
        const double c = 0.23;
        rq.aberrations = Aberrations{};
        (*rq.aberrations).*term.field = c;
        const PsfResult panel = testing::RunWithPupilModel(rq, grid.get());
        rq.aberrations = Aberrations{};
        rq.aberrations->zernike = ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{term.index, c}}});
        const PsfResult zernike = testing::RunWithPupilModel(rq, grid.get());
        EXPECT_TRUE(testing::SameBits(panel.full->bands[0].intensity, zernike.full->bands[0].intensity)) << term.name;
        EXPECT_TRUE(testing::SamePicture(zernike.images.image3, panel.images.image3)) << term.name;
        EXPECT_TRUE(testing::SamePicture(zernike.images.display, panel.images.display)) << term.name;
        EXPECT_EQ(zernike.full->bands[0].wavelengths[1].rmsWaves, panel.full->bands[0].wavelengths[1].rmsWaves)
            << term.name;
    }
}

TEST(Zernike, TermsAddToThePanelsInTheRunAndItsRms) {
    RealMatrixHolder grid;
    ASSERT_EQ(grid.Allocate(gridSize, gridSize), 0);
    CalculationRequest rq;
    rq.params.secondaryDiameter = 0;
    rq.params.whiteBand = {550, 550, 10};
    rq.aberrations = Aberrations{};
    const PsfResult plain = testing::RunWithPupilModel(rq, grid.get());
    // A set of zeros is no set: the same bits.
    rq.aberrations->zernike = ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{5, 0.0}, {37, 0.0}}});
    EXPECT_TRUE(testing::SameBits(testing::RunWithPupilModel(rq, grid.get()).full->bands[0].intensity,
                         plain.full->bands[0].intensity));

    // Astigmatism 0 degrees, rho^2 cos 2 theta, has no piston or tilt; its RMS over a uniform
    // disc is c / sqrt(6) (integral of rho^4 cos^2 over the disc / pi = 1/6). The sampled disc
    // of 160 samples across differs from the continuous one by well under 1 %.
    const double c = 0.12;
    rq.aberrations->zernike = ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{5, c}}});
    const PsfResult astig = testing::RunWithPupilModel(rq, grid.get());
    EXPECT_NEAR(astig.full->bands[0].wavelengths[0].rmsWaves, c / std::sqrt(6.0), 0.01 * c / std::sqrt(6.0));
    EXPECT_LT(astig.full->bands[0].peak, plain.full->bands[0].peak);

    // With the panel's focus beside it, the focus adds: the RMS of c Z5 + f Z4 is
    // sqrt(c^2 / 6 + f^2 / 3) (the terms are orthogonal, Z4's RMS without piston is 1/sqrt(3)).
    const double f = 0.05;
    rq.aberrations->focus = f;
    const PsfResult both = testing::RunWithPupilModel(rq, grid.get());
    const double expected = std::sqrt(c * c / 6 + f * f / 3);
    EXPECT_NEAR(both.full->bands[0].wavelengths[0].rmsWaves, expected, 0.01 * expected);
}

TEST(Zernike, PreviewsShowTheWholeWavefront) {
    // Z4 = 1 wave draws what the panel's focus of 1 wave draws, P-V 2 included.
    Aberrations panel;
    panel.focus = 1;
    Aberrations zernike;
    zernike.zernike = ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{4, 1.0}}});
    double pvPanel = 0, pvZernike = 0;
    EXPECT_TRUE(testing::SamePicture(DrawPupilFunctionPreview(zernike, 200, pvZernike),
                                     DrawPupilFunctionPreview(panel, 200, pvPanel)));
    EXPECT_EQ(pvZernike, pvPanel);
    EXPECT_TRUE(testing::SamePicture(DrawInterferencePreview(zernike), DrawInterferencePreview(panel)));

    // Astigmatism 0 degrees of 0.5 wave runs from -0.5 to +0.5 at the rim: P-V 1 (the preview's
    // samples reach the rim on the axes).
    Aberrations astig;
    astig.zernike = ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{5, 0.5}}});
    double pv = 0;
    DrawPupilFunctionPreview(astig, 200, pv);
    EXPECT_NEAR(pv, 1.0, 1e-12);
}

}  // namespace
}  // namespace velmora
