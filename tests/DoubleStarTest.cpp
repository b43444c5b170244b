// A double star against the two-point resolution criteria of a clear circular aperture
// (Rayleigh: each star on the other's first dark ring; Sparrow: no dip between them), and the
// companion's place and brightness.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "imaging/Sky.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double arcsecPerRadian = 180 / pi * 3600;

// A clear 200 mm f/5 pupil at 550 nm: 200 pupil samples, one focal-plane sample
// 0.55 x 5 x 200 / 1024 um, lambda / D = 0.5672" = 5.12 samples.
SimulationParameters ClearPupil() {
    SimulationParameters p;
    p.aperture = 200;
    p.focalLength = 1000;
    p.secondaryDiameter = 0;
    p.densityProfile = DensityProfileKind::None;
    p.whiteBand = {550, 550, 10};
    return p;
}
constexpr double lambdaOverD = 550e-9 / 0.2 * arcsecPerRadian;
constexpr double pitchArcsec = 0.55 * 5 * 200 / 1024 * 1e-6 / 1.0 * arcsecPerRadian;  // um / (1000 mm)

PsfResult RunPair(const Companion& c) {
    CalculationRequest rq;
    rq.params = ClearPupil();
    RealMatrixHolder grid;
    EXPECT_EQ(grid.Allocate(gridSize, gridSize), 0);
    PsfResult result = testing::RunWithPupilModel(rq, grid.get());
    SkyConditions sky;
    sky.companion = c;
    CheckSky(sky, rq.params);
    ApplySky(result, sky, rq.brightnessLevel);
    return result;
}

double SceneAt(const BandResult& b, int i, int j) { return b.scene(i, j); }

// Two equal stars 1.22 lambda / D apart: each peak is 1 (the other's light is 0 there) and
// midway each gives [2 J1(v) / v]^2 at v = 0.61 pi, so the dip is 2 x 0.3675 = 0.735 (Born &
// Wolf, Principles of Optics, 7.6.3). Within 0.006: the sampled pupil's rim ramp makes the
// pupil about half a sample narrower than its 200 samples, the pattern 0.25 % wider, and the
// dip, which falls 1.3 per unit of separation in lambda / D, some 0.004 shallower.
TEST(DoubleStarTest, TwoEqualStarsAtTheRayleighSeparationDipTo0735) {
    for (double angle : {0.0, 30.0, 90.0}) {
        SCOPED_TRACE(angle);
        const PsfResult r = RunPair({1.22 * lambdaOverD, angle, 0});
        const BandMeasurements m = Analyse(*r.full).bands[0];
        const double v = 0.61 * pi;
        const double expected = 2 * std::pow(2 * std::cyl_bessel_j(1.0, v) / v, 2);
        ASSERT_TRUE(m.pair);
        EXPECT_NEAR(m.dipRatio, expected, 0.006);
        EXPECT_TRUE(m.resolved);
    }
}

// Sparrow's limit, 0.947 lambda / D: closer pairs show no dip at all (ratio 1, not resolved);
// at lambda / D there is a minimum between the scene's two maxima (resolved), though the light
// midway, 2 x 0.5208, is still above that at the stars' places, 1 + 0.0328 (so the ratio,
// which compares with the places, stays 1).
TEST(DoubleStarTest, BelowTheSparrowSeparationThereIsNoDip) {
    const BandMeasurements close = Analyse(*RunPair({0.92 * lambdaOverD, 45, 0}).full).bands[0];
    EXPECT_EQ(close.dipRatio, 1.0);
    EXPECT_FALSE(close.resolved);
    const BandMeasurements wide = Analyse(*RunPair({1.0 * lambdaOverD, 45, 0}).full).bands[0];
    EXPECT_EQ(wide.dipRatio, 1.0);
    EXPECT_TRUE(wide.resolved);
}

// The companion is the star moved by the separation, below a sample too: 20 samples along j
// lie exactly on the samples (the scene is the star plus the star 20 samples on, to rounding);
// 200.5 samples along i put it half-way between two samples, where the symmetric star gives
// both the same light (the star's own wing there, some 1e-5, differs by far less).
TEST(DoubleStarTest, TheCompanionIsTheStarMovedByTheSeparation) {
    const PsfResult whole = RunPair({20 * pitchArcsec, 90, 0});
    const BandResult& b = whole.full->bands[0];
    ASSERT_EQ(b.scene.size(), b.intensity.size());
    EXPECT_NEAR(b.companionShiftJ, 20, 1e-9);
    // Scene / star at the star's peak: (1 + I(20 samples)) / scene peak; compare the shapes.
    const int c = gridSize / 2;
    double worst = 0;
    const double scale = SceneAt(b, c, c) / (b.intensity(c, c) +
                                             b.intensity(c, c - 20));
    for (int i = c - 40; i <= c + 40; ++i)
        for (int j = c - 40; j <= c + 60; ++j) {
            const double star = b.intensity(i, j);
            const double moved = b.intensity(i, j - 20);
            worst = std::max(worst, std::fabs(SceneAt(b, i, j) - scale * (star + moved)));
        }
    EXPECT_LT(worst, 1e-9);

    const PsfResult half = RunPair({200.5 * pitchArcsec, 0, 0});
    const BandResult& h = half.full->bands[0];
    for (int d : {0, 1, 3}) {
        const double before = SceneAt(h, c + 200 - d, c), after = SceneAt(h, c + 201 + d, c);
        EXPECT_NEAR(before, after, 1e-5 * SceneAt(h, c + 200, c)) << d;
    }
}

// 2.5 magnitudes fainter is a tenth of the light: far from the star (10 lambda / D) the
// companion's peak is 0.1 of the star's, within 0.5 % (the star's own rings under it).
TEST(DoubleStarTest, AMagnitudeDifferenceScalesTheCompanion) {
    const PsfResult r = RunPair({10 * lambdaOverD, 0, 2.5});
    const BandResult& b = r.full->bands[0];
    EXPECT_NEAR(b.companionRatio, 0.1, 1e-12);
    const int c = gridSize / 2;
    const int k = static_cast<int>(std::lround(b.companionShiftI));
    double companion = 0;
    for (int i = c + k - 2; i <= c + k + 2; ++i) companion = std::max(companion, SceneAt(b, i, c));
    EXPECT_NEAR(companion / SceneAt(b, c, c), 0.1, 0.0005);
}

// The measurements are the single star's: its intensity keeps its bits, the pictures show the
// pair.
TEST(DoubleStarTest, TheAnalysisMeasuresTheStarThePicturesShowThePair) {
    const PsfResult single = RunPair({});
    const PsfResult pair = RunPair({3 * lambdaOverD, 0, 1});
    EXPECT_EQ(single.full->bands[0].intensity, pair.full->bands[0].intensity);
    EXPECT_TRUE(single.full->bands[0].scene.empty());
    EXPECT_FALSE(testing::SamePicture(single.images.display, pair.images.display));
    EXPECT_FALSE(Analyse(*single.full).bands[0].pair);
}

TEST(DoubleStarTest, ACompanionOutsideTheGridOrBrighterThanTheStarIsRefused) {
    for (const Companion& c : {Companion{500 * pitchArcsec, 0, 0}, Companion{2, 0, -1}, Companion{2, std::nan(""), 0},
                               Companion{-1, 0, 0}}) {
        SkyConditions sky;
        sky.companion = c;
        EXPECT_THROW(CheckSky(sky, ClearPupil()), CalculationError) << c.separationArcsec;
    }
}

// The camera window takes the pitch and the width from a pass of its own instead of the whole
// measurements: the same images, to the bit, for a tilted comatic star, its peak off the centre,
// alone and with a companion (whose scene the camera records).
TEST(DoubleStarTest, TheCameraFindsThePitchAndWidthTheMeasurementsFind) {
    for (const Companion& c : {Companion{}, Companion{1.5, 60, 0.5}}) {
        SCOPED_TRACE(c.separationArcsec);
        CalculationRequest rq;
        rq.params = ClearPupil();
        rq.params.comaX = 40;  // 0.4 waves
        rq.params.tiltX = 100;  // 1 wave
        RealMatrixHolder grid;
        ASSERT_EQ(grid.Allocate(gridSize, gridSize), 0);
        PsfResult r = testing::RunWithPupilModel(rq, grid.get());
        ApplySky(r, SkyConditions{0, c}, rq.brightnessLevel);
        const Analysis measured = Analyse(*r.full);
        ASSERT_TRUE(measured.bands[0].peakXUm != 0 || measured.bands[0].peakYUm != 0);
        const CameraImage own = CameraImages(*r.full, 3.8).at(0), fromMeasurements = CameraImages(*r.full, measured, 3.8).at(0);
        EXPECT_EQ(own.size, fromMeasurements.size);
        EXPECT_EQ(own.fwhmPx, fromMeasurements.fwhmPx);
        EXPECT_EQ(own.samplesPerFwhm, fromMeasurements.samplesPerFwhm);
        EXPECT_EQ(own.share, fromMeasurements.share);
    }
}

}  // namespace
}  // namespace velmora
