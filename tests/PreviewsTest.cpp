// The preview renderers against pixels worked out by hand from their formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "pupil/Previews.h"

namespace velmora {
namespace {

using testing::SamePicture;

uint8_t Grey(const Picture24& p, int x, int y) { return p.Red(x, y); }

TEST(AperturePreview, DefaultsGiveADiscWithAnObstructionOfRadius25) {
    const Picture24 p = DrawAperturePreview(SimulationParameters{});
    ASSERT_EQ(p.width, 160);
    ASSERT_EQ(p.height, 160);
    // Obstruction: 160 x (50 / 160) x 0.5 = 25 pixels; its edge ramp spans one pixel.
    EXPECT_EQ(Grey(p, 80, 80), 0);
    EXPECT_EQ(Grey(p, 80 + 24, 80), 0);
    EXPECT_EQ(Grey(p, 80 + 26, 80), 255);
    EXPECT_EQ(Grey(p, 80, 80 - 26), 255);
    // Rim at radius 80, ramped on both sides; corners are black.
    EXPECT_EQ(Grey(p, 80 + 78, 80), 255);
    EXPECT_EQ(Grey(p, 0, 0), 0);
    EXPECT_EQ(Grey(p, 159, 159), 0);
    // The full ramp at the rim: pixel (0, 80) sits exactly on it (d = 0), grey 127.
    EXPECT_EQ(Grey(p, 0, 80), 127);
    // Grey pixels are grey in all three bytes.
    EXPECT_EQ(p.Green(0, 80), 127);
    EXPECT_EQ(p.Blue(0, 80), 127);
}

TEST(AperturePreview, ObstructionAsLargeAsThePrimaryBlocksEverything) {
    SimulationParameters s;
    s.secondaryDiameter = s.aperture;
    const Picture24 p = DrawAperturePreview(s);
    // Black, apart from the faint overlap of the two one-pixel ramps on the rim
    // itself (at most a quarter: (0.5 - u)(0.5 + u)).
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 160; ++x) {
            const double dist = std::hypot(x - 80, y - 80);
            ASSERT_LE(Grey(p, x, y), dist < 79.5 ? 0 : 63) << x << "," << y;
        }
}

TEST(AperturePreview, VaneOneAtZeroDegreesIsABandToTheRightEdge) {
    SimulationParameters s;
    s.secondaryDiameter = 0;
    s.spider1 = true;
    s.barWidth = 10;  // 10 x 160 / 160 = 10 pixels wide, edges at rows 75 and 85
    const Picture24 p = DrawAperturePreview(s);
    for (int x = 82; x < 150; ++x) {
        for (int y = 76; y <= 84; ++y) ASSERT_EQ(Grey(p, x, y), 0) << x << "," << y;
        ASSERT_EQ(Grey(p, x, 70), 255) << x;
        ASSERT_EQ(Grey(p, x, 90), 255) << x;
    }
    // The vane starts at the centre: the left half stays open.
    EXPECT_EQ(Grey(p, 40, 80), 255);
}

TEST(AperturePreview, VanesOutsideTheirQuadrantAreNotDrawn) {
    SimulationParameters s;
    s.secondaryDiameter = 0;
    s.spider2 = true;
    s.angle2 = 45;
    s.barWidth = 10;
    EXPECT_EQ(DrawAperturePreview(s), DrawAperturePreview(SimulationParameters{.secondaryDiameter = 0}));
    s.angle2 = 90;  // within its quadrant: a band pointing down
    const Picture24 p = DrawAperturePreview(s);
    EXPECT_EQ(Grey(p, 80, 120), 0);
    EXPECT_EQ(Grey(p, 80, 40), 255);
}

TEST(AperturePreview, ApertureZeroOrNegativeDrawsBlack) {
    for (int aperture : {0, -5}) {
        SimulationParameters s;
        s.aperture = aperture;
        s.spider1 = true;
        const Picture24 p = DrawAperturePreview(s);
        EXPECT_TRUE(SamePicture(p, Picture24(160, 160))) << aperture;
    }
}

constexpr ColorRef background = MakeColorRef(10, 20, 30);

Picture24 Density(DensityProfileKind kind, double coefficient, const UserFilter& filter = {}) {
    SimulationParameters s;
    s.densityProfile = kind;
    s.densityCoefficient = coefficient;
    Picture24 image;
    DrawDensityPreview(image, s, filter, background);
    return image;
}

TEST(DensityPreview, NoneIsAWhiteDiscOnTheBackgroundWithTheCurveAlongTheTop) {
    const Picture24 p = Density(DensityProfileKind::None, 1);
    EXPECT_EQ(Grey(p, 80, 80), 255);
    EXPECT_EQ(p.Red(2, 2), 10);
    EXPECT_EQ(p.Green(2, 2), 20);
    EXPECT_EQ(p.Blue(2, 2), 30);
    // Curve at y = trunc(159 x (1 - 1)) = 0 from column 1 to 158 (the last end point is not drawn).
    for (int x = 1; x < 159; ++x) {
        EXPECT_EQ(p.Red(x, 0), 255) << x;
        EXPECT_EQ(p.Green(x, 0), 0) << x;
    }
    // Silver axes: the left column and the bottom row.
    EXPECT_EQ(p.Red(0, 100), 192);
    EXPECT_EQ(p.Blue(100, 159), 192);
}

TEST(DensityPreview, TriangleIsAConeWithATentCurve) {
    const Picture24 p = Density(DensityProfileKind::Triangle, 1);
    EXPECT_EQ(Grey(p, 80, 80 + 1), 255 * 79 / 80);  // 1 - 1/80, x 255, truncated
    EXPECT_EQ(Grey(p, 80, 80 + 40), 127);          // rho 0.5
    EXPECT_EQ(p.Red(80, 0), 255);                  // apex
    EXPECT_EQ(p.Green(80, 0), 0);
    // At column 40 (rho 0.5) the curve is at y = trunc(159 x 0.5) = 79.
    EXPECT_EQ(p.Red(40, 79), 255);
    EXPECT_EQ(p.Green(40, 79), 0);
}

TEST(DensityPreview, GaussianWithCoefficientZeroEqualsNone) {
    EXPECT_TRUE(SamePicture(Density(DensityProfileKind::Gaussian, 0), Density(DensityProfileKind::None, 1)));
}

TEST(DensityPreview, UserFilterUsesTheTableAndUserMaskKeepsThePicture) {
    const UserFilter filter = testing::LoadedFilter({1, 0.5, 0});
    const Picture24 p = Density(DensityProfileKind::UserFilter, 1, filter);
    EXPECT_EQ(Grey(p, 80 + 10, 80), 255);  // rho 1/8: entry 0
    EXPECT_EQ(Grey(p, 80 + 40, 80), 127);  // rho 1/2: entry 1
    EXPECT_EQ(Grey(p, 80 + 70, 80), 0);    // rho 7/8: entry 2

    // The mask loader's copy stays; only the axes are drawn over it.
    Picture24 mask(160, 160);
    mask.SetPixel(80, 80, 7, 7, 7);
    mask.SetPixel(2, 2, 9, 9, 9);
    SimulationParameters s;
    s.densityProfile = DensityProfileKind::UserMask;
    DrawDensityPreview(mask, s, filter, background);
    EXPECT_EQ(Grey(mask, 80, 80), 7);
    EXPECT_EQ(Grey(mask, 2, 2), 9);
    EXPECT_EQ(Grey(mask, 0, 50), 192);
}

TEST(DensityPreview, AbsurdCoefficientsStillDrawADefinedPicture) {
    for (double c : {1e300, -1e300, 1e-300}) {
        for (auto kind : {DensityProfileKind::Gaussian, DensityProfileKind::Cosine}) {
            const Picture24 p = Density(kind, c);
            EXPECT_EQ(p.width, 160);
        }
    }
}

TEST(SpectrumPreview, BackgroundMatchesTheSampleColours) {
    const Picture24 p = DrawSpectrumPreview(SimulationParameters{});
    ASSERT_EQ(p.width, 160);
    ASSERT_EQ(p.height, 70);
    struct Sample {
        int x, r, g, b;
    };
    const Sample samples[] = {{0, 0, 0, 25},   {10, 18, 6, 110}, {20, 100, 35, 232}, {25, 68, 68, 255},
                              {47, 86, 255, 42}, {67, 255, 86, 0}, {100, 13, 0, 0},    {112, 1, 0, 0}};
    for (const Sample& s : samples) {
        // Row 5 lies above every outline.
        EXPECT_EQ(p.Red(s.x, 5), s.r) << s.x;
        EXPECT_EQ(p.Green(s.x, 5), s.g) << s.x;
        EXPECT_EQ(p.Blue(s.x, 5), s.b) << s.x;
    }
    EXPECT_EQ(p.Red(140, 30), 0);
}

bool White(const Picture24& p, int x, int y) { return p.Red(x, y) == 255 && p.Green(x, y) == 255 && p.Blue(x, y) == 255; }

TEST(SpectrumPreview, MonochromeOutlineRisesFromColumn60To80) {
    const Picture24 p = DrawSpectrumPreview(SimulationParameters{});
    EXPECT_TRUE(White(p, 0, 60));
    EXPECT_TRUE(White(p, 59, 60));
    EXPECT_TRUE(White(p, 60, 35));
    EXPECT_TRUE(White(p, 70, 10));
    EXPECT_TRUE(White(p, 80, 35));
    EXPECT_TRUE(White(p, 120, 60));
    EXPECT_FALSE(White(p, 70, 60));  // the baseline is lifted inside the band
    EXPECT_FALSE(White(p, 70, 11));
}

TEST(SpectrumPreview, ColourOutlinesAreStacked) {
    SimulationParameters s;
    s.colorMode = ColorMode::Colour;
    const Picture24 p = DrawSpectrumPreview(s);
    EXPECT_TRUE(White(p, 70, 10));  // red 60..80, rows 10..20
    EXPECT_TRUE(White(p, 50, 30));  // green 40..60, rows 30..40
    EXPECT_TRUE(White(p, 30, 50));  // blue 20..40, rows 50..60
    EXPECT_TRUE(White(p, 100, 20));
    EXPECT_TRUE(White(p, 100, 40));
    EXPECT_TRUE(White(p, 100, 60));
    EXPECT_FALSE(White(p, 30, 60));  // the blue band is lifted there
    EXPECT_FALSE(White(p, 70, 11));  // no white-band outline
    EXPECT_FALSE(White(p, 70, 40 - 1));
}

TEST(SpectrumPreview, FullRangeBandRunsToTheRightEdgeAndWildValuesDraw) {
    SimulationParameters s;
    s.whiteBand = {350, 1100, 10};
    const Picture24 p = DrawSpectrumPreview(s);
    EXPECT_TRUE(White(p, 10, 30));
    EXPECT_TRUE(White(p, 100, 10));
    EXPECT_TRUE(White(p, 159, 10));
    s.whiteBand = {-2000000000, 2000000000, 1};
    EXPECT_EQ(DrawSpectrumPreview(s).width, 160);
}

Aberrations Focus(double waves) {
    Aberrations a;
    a.focus = waves;
    return a;
}

TEST(WavefrontPreviews, NoAberrationIsAUniformDisc) {
    double pv = -1;
    const Picture24 map = DrawPupilFunctionPreview({}, 200, pv);
    const Picture24 fringes = DrawInterferencePreview({});
    EXPECT_EQ(pv, 0);
    EXPECT_EQ(PeakToValleyText(pv), "0.000\u03bb");
    for (int y = 0; y < 160; y += 7)
        for (int x = 0; x < 160; x += 7) {
            const bool inside = std::hypot(x - 80, y - 80) <= 80;
            EXPECT_EQ(map.Red(x, y), inside ? 127 : 0) << x << "," << y;
            EXPECT_EQ(fringes.Green(x, y), inside ? 255 : 0) << x << "," << y;
            EXPECT_EQ(fringes.Red(x, y), 0);
        }
}

TEST(WavefrontPreviews, PeakToValleyOfFocusAndSpherical) {
    double pv = 0;
    DrawPupilFunctionPreview(Focus(1.0), 200, pv);
    EXPECT_EQ(PeakToValleyText(pv), "2.000\u03bb");
    Aberrations s;
    s.spherical = 0.10;
    DrawPupilFunctionPreview(s, 200, pv);
    EXPECT_EQ(PeakToValleyText(pv), "0.150\u03bb");
}

TEST(WavefrontPreviews, FocusFringesAndHighContrastSaturation) {
    const Picture24 fringes = DrawInterferencePreview(Focus(1.0));
    // W = 2 rho^2 - 1: bright where 2W is whole, dark where W = +-0.25 and -0.75.
    EXPECT_EQ(fringes.Green(80, 80), 255);                           // rho 0
    EXPECT_EQ(fringes.Green(80 + 40, 80), 255);                      // rho^2 = 0.25
    EXPECT_LT(fringes.Green(80 + static_cast<int>(80 * std::sqrt(0.125)), 80), 20);  // W = -0.75

    double pv = 0;
    const Picture24 map = DrawPupilFunctionPreview(Focus(1.0), 1000, pv);
    EXPECT_EQ(map.Red(80, 80), 0);         // W = -1
    EXPECT_EQ(map.Red(80 + 75, 80), 255);  // W = 0.758
}

TEST(DrawLine, EndPointIsLeftForTheNextSegment) {
    Picture24 p(10, 10);
    DrawLine(p, 1, 1, 5, 1, MakeColorRef(255, 0, 0));
    EXPECT_EQ(p.Red(1, 1), 255);
    EXPECT_EQ(p.Red(4, 1), 255);
    EXPECT_EQ(p.Red(5, 1), 0);
    DrawLine(p, -5, -5, 20, 20, MakeColorRef(0, 255, 0));  // clipped, no crash
    EXPECT_EQ(p.Green(9, 9), 255);
}

}  // namespace
}  // namespace velmora
