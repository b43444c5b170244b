// The camera image against box integrals worked out by hand: a Gaussian star's share in a
// pixel, pixels whose edges fall on the samples' squares, the angle of a pixel.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/Camera.h"

namespace velmora {
namespace {

constexpr double arcsecPerRadian = 180 / 3.14159265358979323846 * 3600;

// A band whose intensity is value(di, dj), the offsets in samples from the grid centre.
template <typename F>
BandResult Band(F value) {
    BandResult b;
    b.intensity = RealGrid(gridSize, gridSize);
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) b.intensity(i, j) = value(i - gridSize / 2, j - gridSize / 2);
    return b;
}

BandResult Gaussian(double sigma) {
    return Band([sigma](int di, int dj) { return std::exp(-(di * di + dj * dj) / (2 * sigma * sigma)); });
}

TEST(CameraTest, APixelIsItsSizeOverTheFocalLengthAsAnAngle) {
    // 5.4 um at 1000 mm: 5.4e-6 rad = 1.11383".
    const CameraImage c = IntegrateOverPixels(Gaussian(4).intensity, 0.5, 5.4, 1000, 5);
    EXPECT_NEAR(c.pixelArcsec, 5.4e-6 * arcsecPerRadian, 1e-12);
    EXPECT_EQ(c.size % 2, 1);
    // The pixels reach the far edge of the field, 512.5 samples of 0.5 um from the centre.
    EXPECT_GE((c.size / 2 + 0.5) * 5.4, 512.5 * 0.5);
    EXPECT_LT((c.size / 2 - 0.5) * 5.4, 512.5 * 0.5);
}

// Pixels exactly three samples wide have their edges on the samples' squares: each gathers
// exactly its nine samples, and together they hold all the light.
TEST(CameraTest, PixelsOnTheSamplesSquaresGatherExactlyTheirSamples) {
    const BandResult band = Band([](int di, int dj) { return 1.0 / (1 + 0.01 * (di * di + 3 * dj * dj)) + 0.001 * (di & 3); });
    double total = 0;
    for (double v : band.intensity) total += v;
    const CameraImage c = IntegrateOverPixels(band.intensity, 1.0, 3.0, 1000, 10);
    const int mid = c.size / 2;
    for (int dr : {-1, 0, 2})
        for (int dc : {0, 1, -3}) {
            double nine = 0;
            for (int a = -1; a <= 1; ++a)
                for (int b = -1; b <= 1; ++b)
                    nine += band.intensity(gridSize / 2 + 3 * dr + a, gridSize / 2 + 3 * dc + b);
            EXPECT_NEAR(c.At(mid + dr, mid + dc), nine / total, 1e-15) << dr << " " << dc;
        }
    double sum = 0;
    for (double v : c.share) sum += v;
    EXPECT_NEAR(sum, 1, 1e-12);
}

// A Gaussian star of sigma = 4 samples in pixels of 5 samples: the middle pixel holds
// erf(2.5 / (sqrt 2 sigma))^2 of the light, its neighbour [erf(7.5 / ..) - erf(2.5 / ..)] / 2 x
// erf(2.5 / ..). Within 0.5 %: the samples stand for their squares, which is off by about
// (1 / sigma)^2 / 24 of the curvature.
TEST(CameraTest, AGaussianStarIsSampledAsItsBoxIntegralSays) {
    const double sigma = 4;
    const CameraImage c = IntegrateOverPixels(Gaussian(sigma).intensity, 1.0, 5.0, 1000, 2.3548 * sigma);
    const int mid = c.size / 2;
    const double s = std::sqrt(2.0) * sigma;
    const double inner = std::erf(2.5 / s);
    const double next = (std::erf(7.5 / s) - inner) / 2;
    EXPECT_NEAR(c.At(mid, mid) / (inner * inner), 1, 0.005);
    EXPECT_NEAR(c.At(mid, mid + 1) / (next * inner), 1, 0.005);
    EXPECT_NEAR(c.At(mid - 1, mid + 1) / (next * next), 1, 0.005);
    // Its FWHM read off the camera image is near the star's (2.355 sigma / 5 = 1.88 pixels);
    // coarse pixels widen it: within 15 %.
    EXPECT_NEAR(c.fwhmPx / (2.3548 * sigma / 5), 1, 0.15);
}

TEST(CameraTest, TheVerdictFollowsThePixelsPerFwhm) {
    const BandResult star = Gaussian(3);
    struct Case {
        double pixelUm;
        CameraSampling verdict;
    };
    // A pattern 10 um wide: 1.67, 2.5 and 6.7 pixels per FWHM.
    for (const Case& k : {Case{6, CameraSampling::Under}, Case{4, CameraSampling::Matched}, Case{1.5, CameraSampling::Over}}) {
        const CameraImage c = IntegrateOverPixels(star.intensity, 1.0, k.pixelUm, 1000, 10);
        EXPECT_NEAR(c.samplesPerFwhm, 10 / k.pixelUm, 1e-12);
        EXPECT_EQ(c.verdict, k.verdict) << k.pixelUm;
    }
    EXPECT_STREQ(CameraSamplingName(CameraSampling::Under), "undersampled");
}

TEST(CameraTest, NoPixelOrNoLightGivesNoImage) {
    for (double pixel : {0.0, -3.0, std::nan(""), HUGE_VAL}) EXPECT_EQ(IntegrateOverPixels(Gaussian(3).intensity, 1, pixel, 1000, 5).size, 0);
    EXPECT_EQ(IntegrateOverPixels(Band([](int, int) { return 0.0; }).intensity, 1, 5, 1000, 5).size, 0);
}

// Half a sample is the finest pixel: it gives 2n + 3 pixels a side (the field's n + 1/2 samples
// each way of the middle pixel are 1025 pixels and a bit), and anything finer gives no image
// rather than one of n^2 / pixel^2 values that no memory holds.
TEST(CameraTest, APixelFinerThanHalfASampleGivesNoImage) {
    const RealGrid star = Gaussian(3).intensity;
    EXPECT_EQ(IntegrateOverPixels(star, 1, 0.5, 1000, 5).size, 2 * gridSize + 3);
    for (double pixel : {0.4999, 1e-3, 1e-300}) EXPECT_EQ(IntegrateOverPixels(star, 1, pixel, 1000, 5).size, 0) << pixel;

    // Before a run, naming the wavelength: the factory band's 600 nm asks for 0.267 um at least.
    SimulationParameters p;
    EXPECT_NO_THROW(CheckCamera(0, p));
    EXPECT_NO_THROW(CheckCamera(0.5, p));
    try {
        CheckCamera(0.01, p);
        ADD_FAILURE() << "a pixel of 0.01 um is taken";
    } catch (const CalculationError& e) {
        EXPECT_NE(std::string(e.what()).find("600"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace velmora
