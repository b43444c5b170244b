// The measurements against optics worked out on paper: the Airy pattern of a clear circular
// pupil, the Maréchal approximation, the geometric shift of a tilted wavefront and the
// clear-aperture MTF; and the full-precision result against the pictures the run makes.
#include <gtest/gtest.h>

#include <cmath>

#include "MeasuredRun.h"
#include "ReferenceAlgorithms.h"
#include "analysis/Analysis.h"
#include "core/IntensityCode.h"

namespace velmora {
namespace {

using namespace velmora::testing;

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
    // The Airy pattern's EE 1 - J0^2(v) - J1^2(v), v = pi r / (lambda F) (Born & Wolf 8.5.2),
    // reaches one half at v = 1.68023 and 0.8 at v = 2.81783 (its roots worked out by
    // bisection): r50 = 0.53483 lambda F and r80 = 0.89694 lambda F. 1 %: this pupil spans only
    // 101 samples with a one-sample edge ramp (the 160-sample pupil below holds 0.5 %).
    EXPECT_NEAR(m.r50Um, 0.53483 * lambdaFUm, 0.01 * 0.53483 * lambdaFUm);
    EXPECT_NEAR(m.r80Um, 0.89694 * lambdaFUm, 0.01 * 0.89694 * lambdaFUm);

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
        EXPECT_NEAR(m.mtfX[k], ClearMtf(m.mtfNu[k]), 0.02) << "nu " << m.mtfNu[k];
        EXPECT_NEAR(m.mtfY[k], ClearMtf(m.mtfNu[k]), 0.02) << "nu " << m.mtfNu[k];
    }
    // The Airy pattern [2 J1(v) / v]^2, v = pi r / (lambda F) (Born & Wolf 8.5.2); 0.02 as the MTF.
    EXPECT_NEAR(m.radialProfile[5], Airy(pi * m.radialRadiusUm[5] / lambdaFUm), 0.02);
}

TEST(AnalysisTest, EncircledEnergyIsTheContinuousPatternsWhereverTheStarFalls) {
    // 160 mm at f/6.25 and 550 nm: P = 160 samples, lambda F = 6.4 samples. A tilt of
    // P / (4 N) waves along each axis moves the image by half a sample along each (see
    // TiltIsNotAWavefrontErrorButMovesTheImage), so that no sample lies at its centre.
    // 0.004 and 0.5 %: the sampled disc and its one-sample edge ramp, against the continuous
    // pupil of the formula; a count of samples within r misses by up to 6 % in r50.
    struct Case {
        const char* name;
        double tilt;
    };
    for (const Case& c : {Case{"centred", 0.0}, Case{"half a sample off", 160.0 / (4 * gridSize)}}) {
        SCOPED_TRACE(c.name);
        SimulationParameters p = ClearPupil(550, 160);
        Aberrations a;
        a.tiltX = a.tiltY = c.tilt;
        const BandMeasurements m = Calculate(p, a).Band();
        const double lambdaF = 0.550 * 1000 / 160;
        EXPECT_NEAR(m.scale.um, lambdaF / 6.4, 1e-12);
        EXPECT_NEAR(m.centroidXUm, c.tilt == 0 ? 0 : m.scale.um / 2, 0.01 * m.scale.um);
        for (double v : {1.0, 1.22 * pi, 2 * pi})
            EXPECT_NEAR((*m.encircledEnergy)(v / pi * 6.4), AiryEncircled(v), 0.004) << "v " << v;
        EXPECT_NEAR(m.r50Um, 0.53483 * lambdaF, 0.005 * 0.53483 * lambdaF);
        EXPECT_NEAR(m.r80Um, 0.89694 * lambdaF, 0.005 * 0.89694 * lambdaF);
        // The curve is the same function at whole radii.
        for (size_t r : {size_t{1}, size_t{7}, m.eeFraction.size() - 1})
            EXPECT_EQ(m.eeFraction[r], (*m.encircledEnergy)(static_cast<double>(r)));
        EXPECT_GE(m.eeRadiusUm.back(), std::max(5 * lambdaF, 3 * m.r80Um) - m.scale.um) << "the curve's reach";
    }

    // A central obstruction eps = 50 / 160 against the annular pattern.
    SimulationParameters p = ClearPupil(550, 160);
    p.secondaryDiameter = 50;
    const BandMeasurements m = Calculate(p).Band();
    for (double rLambdaF : {0.5, 1.0, 1.5, 3.0})
        EXPECT_NEAR((*m.encircledEnergy)(rLambdaF * 6.4), AnnularEncircled(pi * rLambdaF, 50.0 / 160), 0.004)
            << rLambdaF << " lambda F";
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

TEST(AnalysisTest, EachWavelengthKeepsTheAberrationsItWasGiven) {
    // A wavelength-dependence table gives 600 and 700 nm their own spherical and focus, beside a
    // panel coma for both. Spherical, focus and this coma, (3 rho^2 - 2) x = (3 rho^3 - 2 rho)
    // cos theta, are Zernike terms up to scale, orthogonal over the disc and to tilt, so each
    // wavelength's variance is s^2 / 5 + f^2 / 3 + c^2 / 8: the first two are worked out in
    // SmallAberrationsFollowMarechal; for coma the disc mean of cos^2 is 1/2 and
    // 2 x integral of (3 rho^3 - 2 rho)^2 rho d rho / 2 = 9/8 - 12/6 + 4/4 = 1/8.
    CalculationRequest rq;
    rq.params = ClearPupil();
    rq.params.aperture = 200;
    rq.params.whiteBand = {600, 700, 100};
    rq.params.useWavelengthDependence = true;
    rq.dependenceRows = {{0.02, 0.04}, {0.05, -0.03}};
    rq.aberrations = Aberrations{};
    rq.aberrations->comaY = 0.01;
    RealMatrixHolder grid;
    ASSERT_EQ(grid.Allocate(gridSize, gridSize), 0);
    const PsfResult result = testing::RunWithPupilModel(rq, grid.get());
    const std::vector<WavelengthFacts>& w = result.full->bands.at(0).wavelengths;
    ASSERT_EQ(w.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(w[k].lambdaNm);
        EXPECT_EQ(w[k].aberrations.spherical, rq.dependenceRows[k].spherical);
        EXPECT_EQ(w[k].aberrations.focus, rq.dependenceRows[k].focus);
        EXPECT_EQ(w[k].aberrations.comaY, 0.01);
        EXPECT_NEAR(w[k].weight, (w[k].lambdaNm / 550.0) * (w[k].lambdaNm / 550.0), 1e-15);
    }
    // 2 %: the disc sampled on 183 and 157 samples with its edge ramp.
    auto sigma = [](double s, double f, double c) { return std::sqrt(s * s / 5 + f * f / 3 + c * c / 8); };
    const double s600 = sigma(0.02, 0.04, 0.01), s700 = sigma(0.05, -0.03, 0.01);
    EXPECT_NEAR(w[0].rmsWaves, s600, 0.02 * s600);
    EXPECT_NEAR(w[1].rmsWaves, s700, 0.02 * s700);
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

TEST(AnalysisTest, FastPathsGiveTheDefinitionsValues) {
    // Coma and tilt: a pattern with no symmetry, off the grid centre.
    Aberrations a;
    a.comaX = 0.3;
    a.comaY = -0.2;
    a.tiltX = 1.3;
    const Measured run = Calculate(ClearPupil(), a);
    const BandResult& band = run.result.full->bands[0];
    const BandMeasurements& m = run.Band();
    auto at = [&](int i, int j) { return band.intensity(i, j); };

    // The MTF cuts are lines of the whole 2D transform.
    RealMatrixHolder re, im;
    ASSERT_EQ(re.Allocate(gridSize, gridSize), 0);
    ASSERT_EQ(im.Allocate(gridSize, gridSize), 0);
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) re[i][j] = at(i, j);
    FftTables tables;
    ASSERT_EQ(tables.Create(gridSize), 0);
    Fft2D(tables, re.get(), im.get());
    const double dc = std::hypot(re[512][512], im[512][512]);
    for (int k : {1, 17, 60, 99, 150, 511}) {
        EXPECT_NEAR(m.mtfX[static_cast<size_t>(k)], std::hypot(re[512 + k][512], im[512 + k][512]) / dc, 1e-9) << k;
        EXPECT_NEAR(m.mtfY[static_cast<size_t>(k)], std::hypot(re[512][512 + k], im[512][512 + k]) / dc, 1e-9) << k;
    }

    // Encircled energy against its definition over every frequency of the whole grid (the
    // analysis reads a coarser grid within the support and tabulates J1): the same to 1e-9,
    // the table's error; beyond the curve's end, the function it keeps.
    const double cx = m.centroidXUm / m.scale.um, cy = m.centroidYUm / m.scale.um;
    const reference::EncircledEnergy definition(band.intensity, cx, cy);
    ASSERT_TRUE(m.encircledEnergy);
    for (int r : {0, 3, 12, 80, 300, 511}) {
        const double ee = static_cast<size_t>(r) < m.eeFraction.size() ? m.eeFraction[static_cast<size_t>(r)]
                                                                        : (*m.encircledEnergy)(r);
        EXPECT_NEAR(ee, definition(r), 1e-9) << r;
    }
    EXPECT_NEAR(definition(m.r50Um / m.scale.um), 0.5, 1e-9);
    EXPECT_NEAR(definition(m.r80Um / m.scale.um), 0.8, 1e-9);

    // The radial profile against a square root per sample.
    const int pi = static_cast<int>(std::lround(m.peakXUm / m.scale.um)) + 512;
    const int pj = static_cast<int>(std::lround(m.peakYUm / m.scale.um)) + 512;
    for (int r : {0, 3, 12, 80, 300, 511}) {
        double ringSum = 0, ringCount = 0;
        for (int i = 0; i < gridSize; ++i)
            for (int j = 0; j < gridSize; ++j)
                if (std::lround(std::hypot(i - pi, j - pj)) == r) {
                    ringSum += at(i, j);
                    ringCount += 1;
                }
        EXPECT_NEAR(m.radialProfile[static_cast<size_t>(r)], ringSum / ringCount / at(pi, pj), 1e-12) << r;
    }
}

TEST(AnalysisTest, EachSamplingWarningExactlyWhenItsConditionHolds) {
    {
        SCOPED_TRACE("defaults");
        const Measured run = Calculate(SimulationParameters{});
        EXPECT_TRUE(run.analysis.warnings.empty()) << run.analysis.warnings.front().message.Text();
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
        EXPECT_NE(run.analysis.warnings.front().message.Text().find("687"), std::string::npos);
        EXPECT_EQ(run.analysis.warnings.front().message.context, std::string("Analysis"));
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

// The warnings made without the other measurements (what the batch command prints when it
// measures nothing else) are those of the whole analysis, to the digit of every number: the set-ups
// above that give each warning, one that gives none, and a colour run.
TEST(AnalysisTest, TheWarningsAloneAreThoseOfTheWholeAnalysis) {
    SimulationParameters nyquist, small = ClearPupil(550), colour;
    nyquist.aperture = 300;
    nyquist.focalLength = 600;
    nyquist.whiteBand = {400, 400, 10};
    small.aperture = 50;
    colour.colorMode = ColorMode::Colour;
    Aberrations ten;
    ten.focus = 10;
    const struct {
        const char* name;
        Measured run;
        size_t warnings;
    } cases[] = {{"defaults", Calculate(SimulationParameters{}), 0},
                 {"below Nyquist", Calculate(nyquist), 1},
                 {"phase steps and edge", Calculate(small, ten), 2},
                 {"colour", Calculate(colour), 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SamplingNote> alone = SamplingWarnings(*c.run.result.full);
        ASSERT_EQ(alone.size(), c.run.analysis.warnings.size());
        EXPECT_EQ(alone.size(), c.warnings);
        for (size_t k = 0; k < alone.size(); ++k) {
            EXPECT_EQ(alone[k].kind, c.run.analysis.warnings[k].kind);
            EXPECT_EQ(alone[k].message.Text(), c.run.analysis.warnings[k].message.Text());
        }
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
                        band.intensity(x + displayWindowStart, y + displayWindowStart));
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

    // Wavelengths in the band but no light through the pupil: a secondary wider than the primary.
    p = ClearPupil();
    p.secondaryDiameter = 110;
    const Measured dark = Calculate(p);
    EXPECT_EQ(dark.result.full->bands[0].peak, 0);
    EXPECT_EQ(dark.Band().strehl, 0);
    EXPECT_EQ(dark.Band().peakXUm, 0);
    EXPECT_EQ(dark.Band().fwhmUm, 0);
}

}  // namespace
}  // namespace velmora
