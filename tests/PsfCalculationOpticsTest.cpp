// The calculation's pictures against optics worked out on paper: the Airy pattern, focus and tilt,
// the colour bands' peaks and display, the central obstruction's rings and the vanes' spikes.
#include "core/PsfCalculation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "core/IntensityCode.h"
#include "PsfCalculationTestSupport.h"

namespace velmora {
namespace {

CalculationRequest ClearPupil(int aperture, int focalLength, int lambda) {
    CalculationRequest rq;
    rq.params.aperture = aperture;
    rq.params.focalLength = focalLength;
    rq.params.secondaryDiameter = 0;
    rq.params.whiteBand = {lambda, lambda, 10};
    return rq;
}

// Radial profile along +x through the centre pixel.
std::vector<double> Profile(const Picture24& code) {
    std::vector<double> v;
    for (int x = 128; x < 256; ++x) v.push_back(Calculation::Intensity(code, x, 128));
    return v;
}

// Position and value of the extremum of a parabola through three samples.
std::pair<double, double> Vertex(const std::vector<double>& v, int k) {
    const double a = v[k - 1], b = v[k], c = v[k + 1];
    const double offset = 0.5 * (a - c) / (a - 2 * b + c);
    return {k + offset, b - 0.25 * (a - c) * offset};
}

TEST(PsfCalculation, ClearCircularPupilGivesTheAiryPattern) {
    // Np = 100 at 550 nm: the first dark ring at 1.21967 x 1024 / 100 samples, the first bright
    // ring at 1.6347 x 10.24 with 0.0175 of the peak (Born & Wolf, Principles of Optics, 8.5.2).
    Calculation c;
    CalculationDerived d = c.Run(ClearPupil(100, 1000, 550));
    ASSERT_EQ(d.pupilSamples, 100);
    std::vector<double> v = Profile(c.results.image3);
    int dark = 1;
    while (v[dark + 1] < v[dark]) ++dark;
    const auto [zero, zeroValue] = Vertex(v, dark);
    EXPECT_NEAR(zero, 1.21967 * 1024 / 100, 0.1);
    int bright = dark;
    while (v[bright + 1] > v[bright]) ++bright;
    const auto [ring, ringValue] = Vertex(v, bright);
    EXPECT_NEAR(ring, 1.6347 * 10.24, 0.15);
    EXPECT_NEAR(ringValue, 0.0175, 0.0005);
    // The amplitude changes sign there; a parabola through three samples of its square misses
    // the zero by the amplitude's curvature, a few 1e-4 at a tenth of the ring spacing.
    EXPECT_NEAR(zeroValue, 0, 5e-4) << "the dark ring is dark";
}

int PixelsAboveHalf(const Picture24& code) {
    int n = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) n += Calculation::Intensity(code, x, y) >= 0.5;
    return n;
}

std::pair<int, int> Peak(const Picture24& code) {
    std::pair<int, int> best{0, 0};
    double top = -1;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            if (Calculation::Intensity(code, x, y) > top) {
                top = Calculation::Intensity(code, x, y);
                best = {x, y};
            }
    return best;
}

TEST(PsfCalculation, FocusSpreadsTheCoreAndTiltMovesIt) {
    Calculation c;
    CalculationRequest rq = ClearPupil(100, 1000, 550);
    c.Run(rq);
    const int sharp = PixelsAboveHalf(c.results.image3);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(128, 128));

    rq.aberrations = Aberrations{};
    rq.aberrations->focus = 0.5;
    c.Run(rq);
    EXPECT_GT(PixelsAboveHalf(c.results.image3), 2 * sharp);

    // A tilt of t waves across the radius moves the peak by t x 1024 / (Np / 2) samples:
    // 0.5 wave at Np = 100 is 10.24 samples, along x for tilt X and along y for tilt Y.
    rq.aberrations = Aberrations{};
    rq.aberrations->tiltX = 0.5;
    c.Run(rq);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(138, 128));
    rq.aberrations = Aberrations{};
    rq.aberrations->tiltY = -0.5;
    c.Run(rq);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(128, 118));
}

TEST(PsfCalculation, ColourBandsPeakByTheirSummedWavelengths) {
    Calculation c;
    CalculationRequest rq;
    rq.params.colorMode = ColorMode::Colour;
    c.Run(rq);
    // S = 900, 1100, 1300: peaks 1, (900/1100)^2, (900/1300)^2.
    const double peaks[3] = {1.0, 0.669421, 0.479290};
    const Picture24* images[3] = {&c.results.image4, &c.results.image3, &c.results.image2};
    for (int b = 0; b < 3; ++b) {
        const auto [x, y] = Peak(*images[b]);
        EXPECT_EQ(x, 128);
        EXPECT_EQ(y, 128);
        EXPECT_NEAR(Calculation::Intensity(*images[b], x, y), peaks[b], 2e-6) << "band " << b;
    }
    const Picture24& d = c.results.display;
    EXPECT_EQ(d.Blue(128, 128), 255);
    EXPECT_EQ(d.Green(128, 128), 255);
    EXPECT_EQ(d.Red(128, 128), 255);
    EXPECT_TRUE(c.results.pupil.empty()) << "the pupil picture is made by monochrome runs only";

    // A band with min > max is black; so is everything when the blue band is empty.
    rq.params.greenBand = {600, 500, 100};
    c.Run(rq);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(0, 0));
    EXPECT_EQ(Calculation::Intensity(c.results.image3, 128, 128), 0.0);
    EXPECT_GT(Calculation::Intensity(c.results.image2, 128, 128), 0.4);
    rq.params.blueBand = {500, 400, 100};
    c.Run(rq);
    for (const Picture24* image : images) EXPECT_EQ(Calculation::Intensity(*image, 128, 128), 0.0);
    EXPECT_EQ(c.results.display.Red(128, 128), 0);
}

// The colour display below saturation: at level 1 no band reaches white, so each channel of the
// display shows trunc(100 x sqrt(I)) of its own band, and two bands whose channels were swapped
// would differ by far more than a grey step.
TEST(PsfCalculation, ColourDisplayTakesEachChannelFromItsOwnBand) {
    Calculation c;
    CalculationRequest rq;
    rq.params.colorMode = ColorMode::Colour;
    rq.brightnessLevel = 1;
    c.Run(rq);
    const Picture24& d = c.results.display;
    // Band peaks 1, (900/1100)^2 and (900/1300)^2 (blue, green, red): 100 x sqrt(I) x 255/256
    // (the display is formed from the coded fraction) is 99.8, 81.7 and 69.1.
    EXPECT_EQ(d.Blue(128, 128), 99);
    EXPECT_EQ(d.Green(128, 128), 81);
    EXPECT_EQ(d.Red(128, 128), 69);
    for (int x = 118; x <= 138; x += 4) {
        const auto shown = [&](const Picture24& band) {
            return 100 * std::sqrt(DecodeIntensity(band.Red(x, 128), band.Green(x, 128), band.Blue(x, 128)));
        };
        // One grey step covers the truncation; the code's 2^-24 steps are far finer.
        EXPECT_NEAR(d.Red(x, 128), shown(c.results.image2), 1.0) << "x=" << x;
        EXPECT_NEAR(d.Green(x, 128), shown(c.results.image3), 1.0) << "x=" << x;
        EXPECT_NEAR(d.Blue(x, 128), shown(c.results.image4), 1.0) << "x=" << x;
    }
}

// The normalised PSF of an annular aperture with obstruction ratio e at v = pi r D / (lambda f):
// I(v) / I(0) = [2 J1(v)/v - e^2 2 J1(e v)/(e v)]^2 / (1 - e^2)^2 (Schroeder, Astronomical
// Optics, ch. 10; Mahajan, Optical Imaging and Aberrations II, annular pupils). The peak of the
// un-normalised pattern falls as the open area squared, (1 - e^2)^2, and the light it loses
// goes into the rings.
double AnnularPsf(double v, double e) {
    auto jinc = [](double x) { return x == 0 ? 1.0 : 2 * std::cyl_bessel_j(1.0, x) / x; };
    const double a = jinc(v) - e * e * jinc(e * v);
    return a * a / ((1 - e * e) * (1 - e * e));
}

TEST(PsfCalculation, CentralObstructionFollowsTheAnnularAperturePattern) {
    // Np = 100 at 550 nm: v = pi x r x 100 / 1024 for r samples from the centre.
    Calculation c;
    CalculationRequest rq = ClearPupil(100, 1000, 550);
    rq.params.secondaryDiameter = 50;  // e = 0.5
    c.Run(rq);
    const std::vector<double> obstructed = Profile(c.results.image3);
    c.Run(ClearPupil(100, 1000, 550));
    const std::vector<double> clear = Profile(c.results.image3);
    // The clear pupil of 100 samples departs from the Airy formula by up to 2e-3 on the flanks
    // of the core (its rim is a staircase of samples); the annulus may depart as much.
    for (int r = 0; r < 40; ++r) {
        const double v = std::numbers::pi * r * 100 / 1024;
        EXPECT_NEAR(clear[r], AnnularPsf(v, 0), 2.5e-3) << "r=" << r;
        EXPECT_NEAR(obstructed[r], AnnularPsf(v, 0.5), 2.5e-3) << "r=" << r;
    }
    // Energy into the rings: the first bright ring of the annulus (0.096 of the peak at 16
    // samples) is 5.5 times the clear one's (0.0175 at 16.7 samples).
    int dark = 1;
    while (obstructed[dark + 1] < obstructed[dark]) ++dark;
    int bright = dark;
    while (obstructed[bright + 1] > obstructed[bright]) ++bright;
    EXPECT_LT(dark, 12) << "the first dark ring moves in from 12.5 samples";
    EXPECT_GT(obstructed[bright], 4 * *std::max_element(clear.begin() + 13, clear.begin() + 20));
}

// A vane diffracts light into a spike across it: a vane along +x (angle 0) sends a spike along
// the y axis of the PSF. By Babinet's principle the opaque vane takes from the field the
// Fraunhofer pattern of a slit of its shape (Hecht, Optics, 10.2 and 10.3): for a vane b = 5
// samples wide and D/2 = 50 long on a pupil of D = 100, (b D/2)^2 / (pi D^2/4)^2 = 1.0e-3 of the
// peak along the spike, times sinc^2(pi b r / 1024) >= 0.4 out to r = 110. Summed over r = 30..109
// on both sides that is about 0.11 on top of the Airy wings (about 0.045 there), so the spike
// holds about 3.5 times what the diagonal or the vane's own direction hold; 2.5 leaves room for
// the interference of the two fields.
struct SpikeSums {
    double alongY = 0;    // the spike of a vane along x
    double diagonal = 0;  // off every spike
    double alongX = 0;    // the vane's own direction
};

// Intensity summed over r = 30..109 from the centre on both sides, along three directions.
SpikeSums SumsAt30To110(const Picture24& code) {
    SpikeSums s;
    auto at = [&](int x, int y) {
        return Calculation::Intensity(code, 128 + x, 128 + y) + Calculation::Intensity(code, 128 - x, 128 - y);
    };
    for (int r = 30; r < 110; ++r) {
        const int d = static_cast<int>(std::lround(r / std::numbers::sqrt2));
        s.alongY += at(0, r);
        s.diagonal += at(d, d);
        s.alongX += at(r, 0);
    }
    return s;
}

TEST(PsfCalculation, VanesSendSpikesAcrossThemselves) {
    Calculation c;
    CalculationRequest rq = ClearPupil(100, 1000, 550);
    rq.params.barWidth = 5;
    rq.params.spider1 = true;  // angle1 = 0: along +x
    c.Run(rq);
    ASSERT_EQ(c.results.pupil.Red(128 + 30, 128), 0) << "the vane runs along x in the pupil picture";
    ASSERT_EQ(c.results.pupil.Red(128, 128 + 30), 255);
    const SpikeSums vane = SumsAt30To110(c.results.image3);
    EXPECT_GT(vane.alongY, 2.5 * vane.diagonal);
    EXPECT_GT(vane.alongY, 2.5 * vane.alongX);

    // Without the vane the same sums agree to within a tenth (the wings are round): the spike
    // is the vane's.
    c.Run(ClearPupil(100, 1000, 550));
    const SpikeSums clear = SumsAt30To110(c.results.image3);
    EXPECT_NEAR(clear.alongY, clear.diagonal, 0.1 * clear.diagonal);
    EXPECT_NEAR(clear.alongX, clear.diagonal, 0.1 * clear.diagonal);
}

}  // namespace
}  // namespace velmora
