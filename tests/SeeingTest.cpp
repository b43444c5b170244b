// The seeing-limited star against the same product of transfer functions worked out here
// independently, and the blur's bookkeeping: energy, centre, the unblurred result untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "run/IdealCache.h"
#include "imaging/Sky.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double arcsecPerRadian = 180 / pi * 3600;

// A clear 100 mm f/10 pupil at one wavelength: lambda / D = 1.11" and one sample 0.11".
SimulationParameters ClearPupil(int lambdaNm) {
    SimulationParameters p;
    p.aperture = 100;
    p.focalLength = 1000;
    p.secondaryDiameter = 0;
    p.densityProfile = DensityProfileKind::None;
    p.whiteBand = {lambdaNm, lambdaNm, 10};
    return p;
}

PsfResult RunInSeeing(const SimulationParameters& p, double seeing) {
    CalculationRequest rq;
    rq.params = p;
    RealMatrixHolder grid;
    EXPECT_EQ(grid.Allocate(gridSize, gridSize), 0);
    PsfResult result = testing::RunWithPupilModel(rq, grid.get());
    SkyConditions sky;
    sky.seeingArcsec = seeing;
    ApplySky(result, sky, rq.brightnessLevel);
    return result;
}

// The long-exposure pattern of a clear aperture D in the seeing, from its transfer function:
// the diffraction MTF (Goodman, Introduction to Fourier Optics, 6.3) times exp(-3.44 (lambda f /
// r0)^(5/3)) (Fried 1966), turned into the radial profile by the Hankel transform
// I(theta) = 2 pi int T(f) J0(2 pi f theta) f df (Simpson's rule, 4000 steps up to D / lambda);
// its FWHM in arcseconds by bisection.
double IndependentFwhmArcsec(double apertureM, double lambdaNm, double seeing) {
    const double lambda = lambdaNm * 1e-9;
    const double cut = apertureM / lambda;  // cycles per radian
    const double r0 = 0.98 * 500e-9 / (seeing / arcsecPerRadian) * std::pow(lambdaNm / 500, 1.2);
    auto transfer = [&](double f) {
        const double nu = f / cut;
        const double optics = nu < 1 ? 2 / pi * (std::acos(nu) - nu * std::sqrt(1 - nu * nu)) : 0;
        return optics * std::exp(-3.44 * std::pow(lambda * f / r0, 5.0 / 3.0));
    };
    auto profile = [&](double theta) {
        constexpr int steps = 4000;
        const double h = cut / steps;
        double sum = 0;
        for (int k = 0; k <= steps; ++k) {
            const double f = k * h;
            const double w = (k == 0 || k == steps) ? 1 : (k % 2 ? 4 : 2);
            sum += w * transfer(f) * std::cyl_bessel_j(0.0, 2 * pi * f * theta) * f;
        }
        return 2 * pi * sum * h / 3;
    };
    const double half = profile(0) / 2;
    double lo = 0, hi = 20 / arcsecPerRadian;
    for (int k = 0; k < 60; ++k) {
        const double mid = (lo + hi) / 2;
        (profile(mid) > half ? lo : hi) = mid;
    }
    return 2 * lo * arcsecPerRadian;
}

TEST(SeeingTest, TheFriedParameterAndTheTransferFunctionFollowTheirDefinitions) {
    // 1" at 500 nm: r0 = 0.98 x 500 nm x 206265 = 0.1011 m; at 1000 nm 2^1.2 times that.
    EXPECT_NEAR(FriedParameterM(1, 500), 0.98 * 500e-9 * arcsecPerRadian, 1e-12);
    EXPECT_NEAR(FriedParameterM(1, 1000) / FriedParameterM(1, 500), std::pow(2.0, 1.2), 1e-12);
    // At f = r0 / lambda the transfer function is exp(-3.44); seeing 0 passes everything.
    const double f = FriedParameterM(2, 600) / 600e-9;
    EXPECT_NEAR(SeeingMtf(2, 600, f), std::exp(-3.44), 1e-12);
    EXPECT_EQ(SeeingMtf(0, 600, f), 1.0);
}

// The pattern's width under 0.5", 1" and 2" of seeing, against the independent product, within
// 3 %: the analysis reads the half maximum between samples 0.11" apart, linearly, on widths of
// 12 to 22 samples.
TEST(SeeingTest, TheWidthIsThatOfTheProductOfTheTransferFunctions) {
    for (double seeing : {0.5, 1.0, 2.0}) {
        SCOPED_TRACE(seeing);
        const PsfResult r = RunInSeeing(ClearPupil(540), seeing);
        const Analysis a = Analyse(*r.full);
        const double expected = IndependentFwhmArcsec(0.1, 540, seeing);
        EXPECT_NEAR(a.bands[0].fwhmArcsec / expected, 1, 0.03) << a.bands[0].fwhmArcsec << " vs " << expected;
    }
}

// The blur moves no light: the total and the centroid are those without seeing (within a
// thousandth of a sample: the blurred wings that wrap round the grid's edges weigh in at the
// far side), and every value is a number of at least +0 (the display takes its square root).
// Three pupils: 101 samples (its spectrum taken from every fourth sample), 146 (every second)
// and 687 (the whole grid).
TEST(SeeingTest, TheBlurKeepsTheEnergyAndTheCentreAndNoValueIsNegative) {
    struct Pupil {
        int aperture, focalLength, lambda;
    };
    for (const Pupil& k : {Pupil{100, 1000, 540}, Pupil{160, 1000, 600}, Pupil{300, 600, 400}}) {
        SCOPED_TRACE(k.aperture);
        SimulationParameters p = ClearPupil(k.lambda);
        p.aperture = k.aperture;
        p.focalLength = k.focalLength;
        const PsfResult sharp = RunInSeeing(p, 0);
        const PsfResult blurred = RunInSeeing(p, 1.5);
        const BandResult& a = sharp.full->bands[0];
        const BandResult& b = blurred.full->bands[0];
        double ea = 0, eb = 0, xa = 0, xb = 0;
        for (size_t i = 0; i < a.intensity.size(); ++i) {
            ASSERT_GE(b.intensity.data()[i], 0.0);
            ASSERT_FALSE(std::signbit(b.intensity.data()[i]));
            const double x = static_cast<double>(i / gridSize);
            ea += a.intensity.data()[i] * a.peak;
            eb += b.intensity.data()[i] * b.peak;
            xa += x * a.intensity.data()[i] * a.peak;
            xb += x * b.intensity.data()[i] * b.peak;
        }
        EXPECT_NEAR(eb / ea, 1, 1e-9);
        EXPECT_NEAR(xb / eb, xa / ea, 1e-3);
        EXPECT_LT(b.peak, 0.5 * a.peak);
    }
}

// The fast blur (half the spectrum, two rows per row transform) against the plain one (the
// whole grid's spectrum and whole complex transforms): the same values to rounding, for the
// seeing, the companion and both, with the spectrum from every fourth, every second and every
// sample. The tolerance is a thousand roundings of the peak: each value is a sum over a million
// terms either way, summed in other orders.
TEST(SeeingTest, TheHalfTransformGivesThePlainTransformsValues) {
    struct Pupil {
        int aperture, focalLength, lambda, supportMin, supportMax;
    };
    struct Sky {
        const char* name;
        double seeing;
        Companion companion;
    };
    const Sky skies[] = {{"seeing", 1.5, {}}, {"companion", 0, {1.5, 30, 1}}, {"both", 0.8, {2.2, -120, 0.3}}};
    for (const Pupil& k : {Pupil{100, 1000, 540, 1, 126}, Pupil{160, 1000, 600, 127, 254},
                           Pupil{200, 500, 500, 255, 510}}) {
        SCOPED_TRACE(k.aperture);
        SimulationParameters p = ClearPupil(k.lambda);
        p.aperture = k.aperture;
        p.focalLength = k.focalLength;
        const PsfResult sharp = RunInSeeing(p, 0);
        const BandResult& band = sharp.full->bands[0];
        for (const Sky& sky : skies) {
            SCOPED_TRACE(sky.name);
            const BandSky s = BandSkyOf(*sharp.full, band, SkyConditions{sky.seeing, sky.companion});
            ASSERT_GE(s.supportRadius, k.supportMin);
            ASSERT_LE(s.supportRadius, k.supportMax);
            RealGrid fastStar = band.intensity, plainStar = band.intensity;
            RealGrid fastScene(gridSize, gridSize), plainScene(gridSize, gridSize);
            // Both written normalised to the run's peak value.
            const double q = band.normalisedPeak;
            const SkyPeaks fast = ApplyBandSky(fastStar.Rows(), s, fastScene.Rows(), q);
            const SkyPeaks plain = ApplyBandSkyDense(plainStar.Rows(), s, plainScene.Rows(), q);
            const double tolerance = 1000 * 2.2e-16;
            EXPECT_NEAR(fast.star, plain.star, tolerance * plain.star);
            EXPECT_NEAR(fast.scene, plain.scene, tolerance * plain.scene);
            if (sky.seeing > 0) {
                EXPECT_EQ(*std::max_element(fastStar.begin(), fastStar.end()), q);
            }
            if (sky.companion.Present()) {
                EXPECT_EQ(*std::max_element(fastScene.begin(), fastScene.end()), q);
            }
            const double starScale = q, sceneScale = q;
            double starDiff = 0, sceneDiff = 0;
            for (size_t i = 0; i < fastStar.size(); ++i) {
                starDiff = std::max(starDiff, std::fabs(fastStar.data()[i] - plainStar.data()[i]));
                sceneDiff = std::max(sceneDiff, std::fabs(fastScene.data()[i] - plainScene.data()[i]));
            }
            EXPECT_LE(starDiff, tolerance * starScale);
            EXPECT_LE(sceneDiff, tolerance * sceneScale);
        }
    }
}

// Without seeing the result is the telescope's alone, to the bit; with it the pictures are those
// the run would make from the blurred values.
TEST(SeeingTest, NoSeeingLeavesEveryBitAsItWasAndSeeingRedrawsThePictures) {
    SimulationParameters p;  // the factory set-up
    CalculationRequest rq;
    rq.params = p;
    RealMatrixHolder grid;
    ASSERT_EQ(grid.Allocate(gridSize, gridSize), 0);
    const PsfResult untouched = testing::RunWithPupilModel(rq, grid.get());
    PsfResult clear = untouched;
    ApplySky(clear, SkyConditions{}, rq.brightnessLevel);
    EXPECT_EQ(clear.full, untouched.full) << "the same result, not a copy";
    EXPECT_TRUE(SkyOf(*clear.full).Clear()) << "a result never under a sky";

    for (ColorMode mode : {ColorMode::Monochrome, ColorMode::Colour}) {
        rq.params.colorMode = mode;
        PsfResult r = testing::RunWithPupilModel(rq, grid.get());
        PsfResultImages redrawn = r.images;
        RedrawResultImages(*r.full, rq.brightnessLevel, redrawn);
        for (auto picture : {&PsfResultImages::display, &PsfResultImages::image2, &PsfResultImages::image3,
                             &PsfResultImages::image4})
            EXPECT_TRUE(testing::SamePicture(redrawn.*picture, r.images.*picture)) << "as the run draws them";
        SkyConditions sky;
        sky.seeingArcsec = 2;
        ApplySky(r, sky, rq.brightnessLevel);
        EXPECT_FALSE(testing::SamePicture(r.images.display, redrawn.display)) << "the blurred star";
        EXPECT_EQ(SkyOf(*r.full), sky);
    }
}

// A band is blurred once, at its weighted mean wavelength, rather than each wavelength at its
// own. For the factory band (600 and 700 nm) under 2" the two differ by less than one step of
// the 8-bit pictures (1/255 of the peak) anywhere.
TEST(SeeingTest, OneBlurPerBandDiffersFromOnePerWavelengthByLessThanAPictureStep) {
    SimulationParameters p;
    const PsfResult band = RunInSeeing(p, 2);
    std::vector<double> sum(static_cast<size_t>(gridSize) * gridSize, 0.0);
    for (int lambda : {600, 700}) {
        SimulationParameters one = p;
        one.whiteBand = {lambda, lambda, 100};
        const PsfResult r = RunInSeeing(one, 2);
        const BandResult& b = r.full->bands[0];
        for (size_t k = 0; k < sum.size(); ++k) sum[k] += b.intensity.data()[k] * b.peak;
    }
    const double peak = *std::max_element(sum.begin(), sum.end());
    double worst = 0;
    for (size_t k = 0; k < sum.size(); ++k)
        worst = std::max(worst, std::fabs(sum[k] / peak - band.full->bands[0].intensity.data()[k]));
    EXPECT_LT(worst, 1.0 / 255) << worst;
}

// The ideal of a run in the seeing is the perfect telescope under the same sky, kept for that
// seeing only.
TEST(SeeingTest, TheIdealIsThePerfectTelescopeUnderTheSameSky) {
    const SimulationParameters p = ClearPupil(540);
    CalculationRequest rq;
    rq.params = p;
    rq.aberrations = Aberrations{};
    rq.aberrations->comaX = 0.2;
    RunSpec runSpec;
    runSpec.request = rq;
    runSpec.sky.seeingArcsec = 1.5;
    IdealCache cache;
    const auto ideal = cache.For(PreparedRun(runSpec, 1));
    const Analysis perfect = Analyse(*RunInSeeing(p, 1.5).full);
    EXPECT_EQ(ideal->bands[0].fwhmArcsec, perfect.bands[0].fwhmArcsec);
    EXPECT_EQ(ideal->bands[0].r80Um, perfect.bands[0].r80Um);
    RunSpec other = runSpec;
    other.sky.seeingArcsec = 1;
    EXPECT_EQ(cache.Find(other), nullptr);
    EXPECT_EQ(cache.Find(runSpec), ideal);
}

// A seeing disc the grid cannot hold is said by the existing warning: the factory telescope's
// grid spans 113", so under 30" of seeing (the Kolmogorov wings reaching far beyond the disc)
// more than 0.1 % of the light lies in the edge frame; under 1" it does not.
TEST(SeeingTest, ADiscTooLargeForTheGridIsWarnedOf) {
    const SimulationParameters p;
    EXPECT_FALSE(Analyse(*RunInSeeing(p, 1).full).Warns(SamplingWarning::EnergyAtEdge));
    EXPECT_TRUE(Analyse(*RunInSeeing(p, 30).full).Warns(SamplingWarning::EnergyAtEdge));
}

TEST(SeeingTest, ASeeingThatIsNoNumberOrBelowZeroIsRefused) {
    for (double seeing : {-0.1, std::nan(""), HUGE_VAL, 60.5}) {
        SkyConditions sky;
        sky.seeingArcsec = seeing;
        EXPECT_THROW(CheckSky(sky, SimulationParameters{}), CalculationError) << seeing;
    }
    SkyConditions fine;
    fine.seeingArcsec = 60;
    EXPECT_NO_THROW(CheckSky(fine, SimulationParameters{}));
}

}  // namespace
}  // namespace velmora
