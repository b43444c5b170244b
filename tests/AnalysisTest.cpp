// The measurements against optics worked out on paper: the Airy pattern of a clear circular
// pupil, the Maréchal approximation, the geometric shift of a tilted wavefront and the
// clear-aperture MTF; and the full-precision result against the pictures the run makes.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "core/IntensityCode.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;

// A clear circular pupil (no secondary, no vanes, no density profile) of aperture 100 mm and
// focal length 1000 mm, F = 10: at 540 nm the pupil spans P = 101 samples, an odd count, so the
// phase circle cuts samples off the amplitude's edge; one focal-plane sample is
// 0.54 x 10 x 101 / 1024 = 0.533 um and lambda F = 5.4 um spans about 10 samples.
SimulationParameters ClearPupil(int lambdaNm = 540, int apertureMm = 100) {
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

Measured Calculate(const SimulationParameters& p, const Aberrations& a = {}) {
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
double EncircledAt(const BandMeasurements& m, double radiusUm) {
    const double r = radiusUm / m.scale.um;
    const auto k = static_cast<size_t>(r);
    return m.eeFraction[k] + (r - k) * (m.eeFraction[k + 1] - m.eeFraction[k]);
}

double MtfAt(const BandMeasurements& m, double nu) {
    for (size_t k = 1; k < m.mtfNu.size(); ++k)
        if (m.mtfNu[k] >= nu) {
            const double t = (nu - m.mtfNu[k - 1]) / (m.mtfNu[k] - m.mtfNu[k - 1]);
            return m.mtfX[k - 1] + t * (m.mtfX[k] - m.mtfX[k - 1]);
        }
    return 0;
}

TEST(AnalysisTest, ClearPupilGivesTheAiryPattern) {
    const Measured run = Calculate(ClearPupil());
    const BandMeasurements& m = run.Band();
    const double lambdaFUm = 0.540 * 10;

    // The pitch lambda F P / N with P = trunc(1000 / 10 x 550 / 540) = 101.
    EXPECT_NEAR(m.scale.um, 0.540 * 10 * 101 / 1024, 1e-12);
    EXPECT_NEAR(m.scale.arcsec, m.scale.um / 1e6 * 180 / pi * 3600, 1e-12);
    EXPECT_EQ(m.scale.umSpread, 0);

    // Born & Wolf, Principles of Optics, 8.5.2: FWHM of the Airy disc 1.029 lambda F, first dark
    // ring at 1.22 lambda F enclosing 83.8 % of the energy. 2 %: the half-maximum crossings are
    // interpolated linearly between samples about a tenth of the width apart; 0.015: the ring is
    // counted in whole samples and the pupil's one-sample edge ramp.
    EXPECT_NEAR(m.fwhmXUm, 1.029 * lambdaFUm, 0.02 * 1.029 * lambdaFUm);
    EXPECT_NEAR(m.fwhmYUm, 1.029 * lambdaFUm, 0.02 * 1.029 * lambdaFUm);
    EXPECT_NEAR(EncircledAt(m, 1.22 * lambdaFUm), 0.838, 0.015);
    EXPECT_LT(m.r50Um, 1.22 * lambdaFUm);
    EXPECT_GT(m.r80Um, m.r50Um);

    // Without aberrations the peak is the sum of the amplitude the transform saw, squared.
    EXPECT_NEAR(m.strehl, 1, 1e-12);
    EXPECT_NEAR(m.rmsWavefrontWaves, 0, 1e-15);
    EXPECT_EQ(m.peakXUm, 0);
    EXPECT_EQ(m.peakYUm, 0);

    // Goodman, Introduction to Fourier Optics, 6.3: (2/pi)(acos nu - nu sqrt(1 - nu^2)) for a
    // clear circular aperture. 0.02: the sampled disc's autocorrelation.
    ASSERT_EQ(m.mtfX.size(), 512u);
    EXPECT_NEAR(m.cutoffCycPerMm, 1e3 / lambdaFUm, 1e-9);
    EXPECT_EQ(m.mtfX[0], 1);
    for (size_t k = 0; k < m.mtfX.size(); ++k) {
        EXPECT_NEAR(m.mtfX[k], m.mtfIdeal[k], 0.02) << "nu " << m.mtfNu[k];
        EXPECT_NEAR(m.mtfY[k], m.mtfIdeal[k], 0.02) << "nu " << m.mtfNu[k];
    }
    // The log plot's reference is the same pattern.
    EXPECT_NEAR(m.radialProfile[5], m.airyProfile[5], 0.02);
}

TEST(AnalysisTest, StrehlIsOneForEveryClearBand) {
    // 540 and 550 nm: P = 101 and 100, one odd and one even, each peak at the grid centre.
    SimulationParameters p = ClearPupil();
    p.whiteBand = {540, 550, 10};
    const Measured run = Calculate(p);
    EXPECT_NEAR(run.Band().strehl, 1, 1e-12);
    EXPECT_GT(run.Band().scale.umSpread, 0);  // 0.533 and 0.537 um
    EXPECT_LT(run.Band().scale.umSpread, 0.01);
}

TEST(AnalysisTest, SmallAberrationsFollowMarechal) {
    // RMS over the unit disc, worked by hand with u = rho^2 (the disc's mean is the mean over u
    // in 0..1): the spherical term 6u^2 - 6u + 1 has mean 0 and mean square
    // 36/5 - 72/4 + 48/3 - 12/2 + 1 = 1/5, so sigma = a / sqrt(5); focus 2u - 1 has mean 0 and
    // mean square 4/3 - 2 + 1 = 1/3, so sigma = a / sqrt(3). Neither holds tilt.
    struct Case {
        const char* name;
        Aberrations a;
        double sigma;
    };
    Aberrations spherical, focus;
    spherical.spherical = 0.05;
    focus.focus = 0.03;
    for (const Case& c : {Case{"spherical", spherical, 0.05 / std::sqrt(5.0)}, Case{"focus", focus, 0.03 / std::sqrt(3.0)}}) {
        SCOPED_TRACE(c.name);
        // 2 %: the disc is sampled with a one-sample edge ramp, which takes weight from the rim
        // where the spherical term is largest: 200 mm at F = 5 gives P = 203 samples across.
        const BandMeasurements m = Calculate(ClearPupil(540, 200), c.a).Band();
        EXPECT_NEAR(m.rmsWavefrontWaves, c.sigma, 0.02 * c.sigma);
        EXPECT_NEAR(m.marechalStrehl, std::exp(-std::pow(2 * pi * m.rmsWavefrontWaves, 2)), 1e-15);
        // Mahajan, "Strehl ratio for primary aberrations" (JOSA 72, 1982): below about 0.1 wave
        // RMS exp(-(2 pi sigma)^2) is within about 0.01 of the true ratio.
        EXPECT_NEAR(m.strehl, m.marechalStrehl, 0.01);
        EXPECT_LT(m.strehl, 1);
    }
}

TEST(AnalysisTest, TiltIsNotAWavefrontErrorButMovesTheImage) {
    // A tilt of t waves across the pupil radius is an angle 2 t lambda / D, which moves the image
    // by 2 t lambda F in the focal plane; Strehl is taken at the peak wherever it lies.
    Aberrations a;
    a.tiltX = 0.5;
    a.tiltY = -0.3;
    const BandMeasurements m = Calculate(ClearPupil(), a).Band();
    const double lambdaF = 0.540 * 10;
    EXPECT_NEAR(m.centroidXUm, 2 * 0.5 * lambdaF, 0.01 * lambdaF);
    EXPECT_NEAR(m.centroidYUm, 2 * -0.3 * lambdaF, 0.01 * lambdaF);
    EXPECT_NEAR(m.peakXUm, 2 * 0.5 * lambdaF, m.scale.um);  // to the nearest sample
    EXPECT_NEAR(m.rmsWavefrontWaves, 0, 1e-12);
    // The peak falls between samples, so it is read a little low.
    EXPECT_GT(m.strehl, 0.9);
}

TEST(AnalysisTest, ObstructionTakesLightOutOfTheCoreAndContrastAtMidFrequencies) {
    // Born & Wolf 8.6.3 / Schroeder, Astronomical Optics 10.2: a central obstruction of eps = 0.3
    // moves energy from the core into the rings (EE at 1.22 lambda F falls, by about 0.1) and
    // lowers the MTF at middle frequencies while raising it slightly near the cut-off.
    SimulationParameters obstructed = ClearPupil();
    obstructed.secondaryDiameter = 30;
    const BandMeasurements clear = Calculate(ClearPupil()).Band();
    const BandMeasurements ring = Calculate(obstructed).Band();
    const double r = 1.22 * 5.4;
    EXPECT_LT(EncircledAt(ring, r), EncircledAt(clear, r) - 0.05);
    EXPECT_LT(MtfAt(ring, 0.4), MtfAt(clear, 0.4) - 0.05);
    EXPECT_GT(MtfAt(ring, 0.9), MtfAt(clear, 0.9));
    EXPECT_NEAR(ring.strehl, 1, 1e-12);  // no aberration: the peak is still the ideal one
}

TEST(AnalysisTest, EachSamplingWarningExactlyWhenItsConditionHolds) {
    {
        SCOPED_TRACE("defaults");
        const Measured run = Calculate(SimulationParameters{});
        EXPECT_TRUE(run.analysis.warnings.empty()) << run.analysis.warnings.front().Text();
        EXPECT_TRUE(run.analysis.warningKinds.empty());
    }
    {
        // 300 mm at F = 2, 400 nm: P = trunc(500 x 550 / 400) = 687 > 512.
        SCOPED_TRACE("300 mm / 600 mm at 400 nm");
        SimulationParameters p;
        p.aperture = 300;
        p.focalLength = 600;
        p.whiteBand = {400, 400, 10};
        const Measured run = Calculate(p);
        EXPECT_TRUE(run.analysis.Warns(SamplingWarning::BelowNyquist));
        EXPECT_FALSE(run.analysis.Warns(SamplingWarning::PhaseSteps));
        ASSERT_EQ(run.analysis.warnings.size(), run.analysis.warningKinds.size());
        EXPECT_NE(run.analysis.warnings.front().Text().find("687"), std::string::npos);
        EXPECT_EQ(run.analysis.warnings.front().context, std::string("Analysis"));
    }
    {
        // Focus a(2 rho^2 - 1) changes by 2a(2/r - 1/r^2) over the last sample before the edge:
        // with P = 100 (r = 50) that is 0.0792 a, half a wave at a = 6.3.
        SimulationParameters p = ClearPupil(550);
        Aberrations five, seven;
        five.focus = 5;
        seven.focus = 7;
        EXPECT_FALSE(Calculate(p, five).analysis.Warns(SamplingWarning::PhaseSteps));
        EXPECT_TRUE(Calculate(p, seven).analysis.Warns(SamplingWarning::PhaseSteps));
        // Focus 10 waves on a small pupil: 50 mm at F = 20, P = 45, 1.7 waves a sample.
        p.aperture = 50;
        Aberrations ten;
        ten.focus = 10;
        const Measured run = Calculate(p, ten);
        EXPECT_TRUE(run.analysis.Warns(SamplingWarning::PhaseSteps));
        EXPECT_FALSE(run.analysis.Warns(SamplingWarning::BelowNyquist));
        // Its geometric blur, 8 F (2a lambda) = 1760 um across, is wider than the 545 um grid.
        EXPECT_TRUE(run.analysis.Warns(SamplingWarning::EnergyAtEdge));
    }
}

TEST(AnalysisTest, FullResultIsTheNormalisedAccumulatorTheImagesShow) {
    for (ColorMode mode : {ColorMode::Monochrome, ColorMode::Colour}) {
        SCOPED_TRACE(mode == ColorMode::Monochrome ? "monochrome" : "colour");
        SimulationParameters p;
        p.colorMode = mode;
        Aberrations a;
        a.comaX = 0.2;
        const Measured run = Calculate(p, a);
        const FullResult& full = *run.result.full;
        EXPECT_EQ(full.mode, mode);
        EXPECT_EQ(full.apertureMm, 160);
        EXPECT_EQ(full.focalLengthMm, 1000);
        EXPECT_EQ(full.secondaryMm, 50);
        struct Shown {
            const char* name;
            const Picture24* image;
            std::vector<int> lambdas;
            double weight0;
        };
        // The default bands and the run's weights: (lambda / 550)^2 in monochrome, 1 in colour.
        const std::vector<Shown> shown =
            mode == ColorMode::Monochrome
                ? std::vector<Shown>{{"white", &run.result.images.image3, {600, 700}, (600 / 550.0) * (600 / 550.0)}}
                : std::vector<Shown>{{"red", &run.result.images.image2, {600, 700}, 1},
                                     {"green", &run.result.images.image3, {500, 600}, 1},
                                     {"blue", &run.result.images.image4, {400, 500}, 1}};
        ASSERT_EQ(full.bands.size(), shown.size());
        for (size_t b = 0; b < shown.size(); ++b) {
            const BandResult& band = full.bands[b];
            EXPECT_EQ(band.name, shown[b].name);
            ASSERT_EQ(band.wavelengths.size(), 2u);
            EXPECT_EQ(band.wavelengths[0].lambdaNm, shown[b].lambdas[0]);
            EXPECT_EQ(band.wavelengths[1].lambdaNm, shown[b].lambdas[1]);
            EXPECT_NEAR(band.wavelengths[0].weight, shown[b].weight0, 1e-15);
            EXPECT_EQ(band.wavelengths[0].aberrations.comaX, 0.2);
            // P = trunc(160 / 1000 x 1000 x 550 / lambda).
            EXPECT_EQ(band.wavelengths[0].pupilSamples, static_cast<int>(160 * 550.0 / shown[b].lambdas[0]));
            EXPECT_GT(band.wavelengths[0].s2, 0);
            EXPECT_GT(band.peak, 0);
            // Every pixel of the intensity picture is the code of its full-precision element.
            int differing = 0;
            for (int y = 0; y < resultSize; ++y)
                for (int x = 0; x < resultSize; ++x) {
                    const Rgb c = EncodeIntensity(
                        band.intensity[static_cast<size_t>(x + displayWindowStart) * gridSize + y + displayWindowStart]);
                    const Picture24& img = *shown[b].image;
                    differing += c.r != img.Red(x, y) || c.g != img.Green(x, y) || c.b != img.Blue(x, y);
                }
            EXPECT_EQ(differing, 0);
            double top = 0;
            for (double v : band.intensity) top = std::max(top, v);
            EXPECT_EQ(top, band.normalisedPeak);
        }
        if (mode == ColorMode::Colour) {  // the default colour peaks (900 / 1300)^2 and (900 / 1100)^2
            EXPECT_NEAR(full.bands[0].normalisedPeak, (900.0 / 1300) * (900.0 / 1300), 1e-15);
        }
    }
}

TEST(AnalysisTest, EmptyBandMeasuresNothingAndDoesNotFail) {
    SimulationParameters p = ClearPupil();
    p.whiteBand = {600, 500, 10};
    const Measured run = Calculate(p);
    ASSERT_EQ(run.analysis.bands.size(), 1u);
    EXPECT_EQ(run.Band().strehl, 0);
    EXPECT_EQ(run.Band().scale.um, 0);
    EXPECT_TRUE(run.analysis.warnings.empty());
}

}  // namespace
}  // namespace velmora
