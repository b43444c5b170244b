// The one pipeline a run goes through, whoever asks for it: its result is the calculation's to
// the bit, its ideal is the same pupils without aberrations (made once and kept), and a RunSpec
// keeps what it holds.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "MeasuredRun.h"
#include "run/IdealCache.h"
#include "run/Pipeline.h"
#include "imaging/Sky.h"
#include "run/RunSpec.h"

namespace velmora {
namespace {

using namespace velmora::testing;

// The ideal: the same pupil without aberrations, over the band's wavelengths and weights.

CalculationRequest Request(const SimulationParameters& p, const Aberrations& a) {
    CalculationRequest rq;
    rq.params = p;
    rq.aberrations = a;
    return rq;
}

RunSpec Inputs(const SimulationParameters& p, const Aberrations& a) {
    RunSpec runSpec;
    runSpec.request = Request(p, a);
    return runSpec;
}

// The cache's ideal for a RunSpec, its pupils prepared as the pipeline prepares them.
std::shared_ptr<const Analysis> IdealFor(IdealCache& cache, const RunSpec& runSpec) {
    const PreparedRun prepared(runSpec, 1);
    return cache.For(prepared);
}

// An aberrated run measured with its ideal, made as the windows make it.
Measured CalculateWithIdeal(const SimulationParameters& p, const Aberrations& a, IdealCache& cache) {
    Measured run = Calculate(p, a);
    const std::shared_ptr<const Analysis> ideal = IdealFor(cache, Inputs(p, a));
    run.analysis = Analyse(*run.result.full, ideal.get());
    return run;
}

Aberrations Coma(double x, double y = 0) {
    Aberrations a;
    a.comaX = x;
    a.comaY = y;
    return a;
}

// Pupils with every part the ideal must keep: obstruction, vanes, apodization, two wavelengths.
struct PupilCase {
    const char* name;
    SimulationParameters params;
};
std::vector<PupilCase> IdealPupils() {
    SimulationParameters annular = ClearPupil(550, 160);
    annular.secondaryDiameter = 50;
    SimulationParameters vanes = annular;
    vanes.spider1 = vanes.spider2 = true;
    vanes.angle2 = 90;
    vanes.barWidth = 3;
    SimulationParameters apodized = ClearPupil();
    apodized.densityProfile = DensityProfileKind::Gaussian;
    apodized.densityCoefficient = 0.8;
    SimulationParameters band = annular;
    band.whiteBand = {500, 700, 200};
    return {{"clear", ClearPupil()}, {"annular", annular}, {"vanes", vanes}, {"apodized", apodized}, {"two wavelengths", band}};
}

TEST(RunIdeal, AnUnaberratedRunIsItsOwnIdeal) {
    for (const PupilCase& c : IdealPupils()) {
        SCOPED_TRACE(c.name);
        const BandMeasurements m = Calculate(c.params).Band();
        ASSERT_TRUE(m.idealKnown);
        EXPECT_EQ(m.idealProfile, m.radialProfile);
        EXPECT_EQ(m.mtfIdeal, m.mtfX);
        EXPECT_EQ(m.mtfIdealY, m.mtfY);
        EXPECT_EQ(m.idealEeFraction, m.eeFraction);
        EXPECT_EQ(m.idealEncircledEnergy, m.encircledEnergy);
        EXPECT_EQ(m.idealR80Um, m.r80Um);
        EXPECT_NEAR(m.strehl, 1, 1e-12);
    }
}

// The ideal of an aberrated run is, bit for bit, what the same run without aberrations
// measures, and its peak is the one the Strehl ratio divides by.
TEST(RunIdeal, TheIdealIsTheSameRunWithoutAberrations) {
    for (const PupilCase& c : IdealPupils()) {
        SCOPED_TRACE(c.name);
        IdealCache cache;
        const Measured run = CalculateWithIdeal(c.params, Coma(0.2, -0.1), cache);
        const Measured plain = Calculate(c.params);
        const BandMeasurements& m = run.Band();
        const BandMeasurements& ideal = plain.Band();
        ASSERT_TRUE(m.idealKnown);
        EXPECT_EQ(m.idealProfile, ideal.radialProfile);
        EXPECT_EQ(m.mtfIdeal, ideal.mtfX);
        EXPECT_EQ(m.mtfIdealY, ideal.mtfY);
        EXPECT_EQ(m.idealR50Um, ideal.r50Um);
        EXPECT_EQ(m.idealR80Um, ideal.r80Um);
        ASSERT_EQ(m.idealEeFraction.size(), m.eeFraction.size());
        // Beyond the ideal curve's own reach the ideal's function gives the values.
        for (size_t r = 0; r < m.idealEeFraction.size(); ++r)
            ASSERT_EQ(m.idealEeFraction[r], (*ideal.encircledEnergy)(static_cast<double>(r))) << r;
        // The Strehl ratio's reference: the ideal run's peak (1e-12 relative: the same sums
        // formed in another order).
        const double peak = run.result.full->bands[0].peak, idealPeak = plain.result.full->bands[0].peak;
        EXPECT_NEAR(m.strehl, peak / idealPeak, 1e-12 * m.strehl);
        // The aberration takes light from the peak and contrast from the middle frequencies.
        EXPECT_LT(m.strehl, 0.9);
        EXPECT_LT(MtfAt(m, 0.3), MtfAt(ideal, 0.3) - 0.01);
    }
}

TEST(RunIdeal, TheIdealOfAClearPupilIsTheAnalyticPattern) {
    // The ideal of a clear pupil with coma is the clear pupil's: Goodman 6.3 for the MTF and
    // Born & Wolf 8.5.2 for the profile, 0.02 as in ClearPupilGivesTheAiryPattern (the sampled
    // disc with its one-sample edge ramp).
    IdealCache cache;
    const BandMeasurements m = CalculateWithIdeal(ClearPupil(), Coma(0.3), cache).Band();
    const double lambdaFUm = 0.540 * 10;
    ASSERT_EQ(m.mtfIdeal.size(), m.mtfNu.size());
    for (size_t k = 0; k < m.mtfIdeal.size(); ++k) {
        EXPECT_NEAR(m.mtfIdeal[k], ClearMtf(m.mtfNu[k]), 0.02) << "nu " << m.mtfNu[k];
        EXPECT_NEAR(m.mtfIdealY[k], ClearMtf(m.mtfNu[k]), 0.02) << "nu " << m.mtfNu[k];
    }
    for (size_t r : {0, 3, 5, 8})
        EXPECT_NEAR(m.idealProfile[r], Airy(pi * m.radialRadiusUm[r] / lambdaFUm), 0.02) << r << " samples";
    // Rayleigh's encircled energy 1 - J0^2 - J1^2 gives r80 = 0.89694 lambda F; 1 % as above.
    EXPECT_NEAR(m.idealR80Um, 0.89694 * lambdaFUm, 0.01 * 0.89694 * lambdaFUm);
    EXPECT_GT(m.r80Um, m.idealR80Um);
}

TEST(RunIdeal, TheIdealOfAnAnnularPupilIsTheAnnularPattern) {
    // eps = 50 / 160 with coma: the ideal's encircled energy against the annular pattern's
    // (Born & Wolf 8.6.3), 0.004 as in EncircledEnergyIsTheContinuousPatternsWhereverTheStarFalls.
    SimulationParameters p = ClearPupil(550, 160);
    p.secondaryDiameter = 50;
    IdealCache cache;
    const BandMeasurements m = CalculateWithIdeal(p, Coma(0.25), cache).Band();
    ASSERT_TRUE(m.idealEncircledEnergy);
    for (double rLambdaF : {0.5, 1.0, 1.5, 3.0})
        EXPECT_NEAR((*m.idealEncircledEnergy)(rLambdaF * 6.4), AnnularEncircled(pi * rLambdaF, 50.0 / 160), 0.004)
            << rLambdaF << " lambda F";
}

TEST(RunIdeal, AnAberratedRunWithoutItsIdealShowsNone) {
    const BandMeasurements m = Calculate(ClearPupil(), Coma(0.2)).Band();
    EXPECT_FALSE(m.idealKnown);
    EXPECT_TRUE(m.idealProfile.empty());
    EXPECT_TRUE(m.mtfIdeal.empty());
    EXPECT_TRUE(m.idealEeFraction.empty());

    // Measurements of other wavelengths are no ideal for it.
    SimulationParameters other = ClearPupil(600);
    const Measured elsewhere = Calculate(other);
    const Measured run = Calculate(ClearPupil(), Coma(0.2));
    EXPECT_FALSE(Analyse(*run.result.full, &elsewhere.analysis).bands[0].idealKnown);
}

TEST(RunIdeal, TheCacheRunsTheIdealOncePerPupil) {
    SimulationParameters p = ClearPupil();
    IdealCache cache;
    const auto first = IdealFor(cache, Inputs(p, Coma(0.1)));
    EXPECT_EQ(IdealFor(cache, Inputs(p, Coma(-0.4, 0.2))), first) << "other aberrations";
    SimulationParameters spins = p;
    spins.comaX = 30;
    spins.focus = -4;
    EXPECT_EQ(cache.Find(Inputs(spins, Coma(0.3))), first) << "other spin positions";
    RunSpec companion = Inputs(p, Coma(0.1));
    companion.sky.companion.separationArcsec = 2;
    companion.cameraPixelUm = 3;
    EXPECT_EQ(cache.Find(companion), first) << "a companion and a camera";
    // A filter or mask loaded but not the density profile builds the same pupils.
    Picture24 grey(4, 4);
    grey.bgr.assign(grey.bgr.size(), 200);
    RunSpec unused = Inputs(p, Coma(0.1));
    unused.filter.userFilterLoaded = true;
    unused.filter.userFilterCount = 1;
    unused.mask = std::make_shared<const LoadedMask>(LoadedMask::From(grey));
    EXPECT_EQ(cache.Find(unused), first) << "a filter and a mask the profile does not read";
    // A mask equal by value is the same pupil, whichever object holds it.
    RunSpec masked = Inputs(p, Coma(0.1));
    masked.request.params.densityProfile = DensityProfileKind::UserMask;
    RunSpec sameMask = masked;
    masked.mask = std::make_shared<const LoadedMask>(LoadedMask::From(grey));
    sameMask.mask = std::make_shared<const LoadedMask>(LoadedMask::From(grey));
    EXPECT_EQ(cache.Computed(), 1);

    struct Change {
        const char* name;
        RunSpec runSpec;
    };
    RunSpec obstructed = Inputs(p, Coma(0.1)), wider = obstructed, filter = obstructed, seeing = obstructed;
    obstructed.request.params.secondaryDiameter = 20;
    wider.request.params.whiteBand.max = 560;
    filter.request.params.densityProfile = DensityProfileKind::UserFilter;
    filter.filter.userFilterLoaded = true;
    filter.filter.userFilterCount = 1;
    filter.filter.userFilterTable[0] = 0.5;
    seeing.sky.seeingArcsec = 1;
    for (const Change& c : {Change{"obstruction", obstructed}, Change{"wavelengths", wider}, Change{"filter", filter},
                            Change{"seeing", seeing}, Change{"mask", masked}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cache.Find(c.runSpec), nullptr);
        const int before = cache.Computed();
        EXPECT_NE(IdealFor(cache, c.runSpec), nullptr);
        EXPECT_EQ(cache.Computed(), before + 1);
    }
    EXPECT_NE(cache.Find(sameMask), nullptr) << "the mask by value";
}

TEST(RunIdeal, IdealRequestHasNoAberrationOfAnyKind) {
    auto aberrated = [](SimulationParameters p) {
        p.focus = 3, p.spherical = -2, p.astigmatismM = 4, p.astigmatismS = 5;
        p.comaX = 6, p.comaY = 7, p.tiltX = 8, p.tiltY = 9;
        p.useWavelengthDependence = true;
        return p;
    };
    const SimulationParameters p = aberrated(ClearPupil());
    CalculationRequest rq = Request(p, Coma(0.3));
    rq.dependenceRows = {{0.1, 0.2}};
    rq.brightnessLevel = 40;
    const CalculationRequest ideal = IdealRequest(rq);
    EXPECT_EQ(ideal.aberrations, Aberrations{});
    EXPECT_TRUE(ideal.dependenceRows.empty());
    EXPECT_EQ(AberrationsInWaves(ideal.params), Aberrations{});
    EXPECT_FALSE(ideal.params.useWavelengthDependence);
    EXPECT_EQ(ideal.brightnessLevel, 40);
    EXPECT_EQ(aberrated(ideal.params), p) << "nothing else changes";
}


// A ring-shaped grey mask: the pupil model samples it at every wavelength's sampling.
std::shared_ptr<const LoadedMask> RingMask() {
    Picture24 picture(300, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const double r = std::hypot(x - 149.5, y - 149.5);
            const uint8_t level = r < 150 && r > 40 ? static_cast<uint8_t>(255 - r) : 0;
            for (int c = 0; c < 3; ++c) picture.bgr[3 * (static_cast<size_t>(y) * 300 + x) + c] = level;
        }
    return std::make_shared<const LoadedMask>(LoadedMask::From(picture));
}

// The pipeline's run is the calculation's, with the sky laid over it, to the bit: the mask
// staged once for the run builds the pupils the mask itself builds, a filter table reaches the
// pupil, the sky is the one imaging/ lays over a finished result.
TEST(RunPipeline, TheRunIsTheCalculationsToTheBit) {
    SimulationParameters colour = ClearPupil(550, 160);
    colour.colorMode = ColorMode::Colour;
    SimulationParameters masked = ClearPupil(550, 160);
    masked.densityProfile = DensityProfileKind::UserMask;
    SimulationParameters filtered = ClearPupil(600, 120);
    filtered.densityProfile = DensityProfileKind::UserFilter;
    UserFilter filter;
    filter.userFilterLoaded = true;
    filter.userFilterCount = 3;
    filter.userFilterTable[0] = 1, filter.userFilterTable[1] = 0.7, filter.userFilterTable[2] = 0.2;
    struct Case {
        const char* name;
        RunSpec runSpec;
    };
    std::vector<Case> cases = {{"plain", Inputs(ClearPupil(), Coma(0.2))}, {"colour", Inputs(colour, {})},
                               {"mask", Inputs(masked, Coma(0.1))}, {"filter", Inputs(filtered, {})},
                               {"seeing", Inputs(ClearPupil(), Coma(0.1))}};
    cases[2].runSpec.mask = RingMask();
    cases[3].runSpec.filter = filter;
    cases[4].runSpec.sky.seeingArcsec = 1.5;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PreparedRun prepared(c.runSpec, 2);
        const PsfResult piped = RunPrepared(prepared, {}, RunControl{2, nullptr});

        // The same run assembled by hand: the pupil model reading the mask picture unstaged.
        const CalculationRequest& rq = c.runSpec.request;
        PupilInputs in{&rq.params, &c.runSpec.filter, nullptr, c.runSpec.mask.get()};
        RealMatrixHolder grid;
        PsfResult direct = RunPsfCalculation(
            rq, [&](int lambda, RealMatrix g, const ProgressFn& bar) { BuildPupil(in, lambda, g, bar); }, grid);
        ApplySky(direct, c.runSpec.sky, rq.brightnessLevel);

        ASSERT_EQ(piped.full->bands.size(), direct.full->bands.size());
        for (size_t b = 0; b < piped.full->bands.size(); ++b)
            EXPECT_TRUE(piped.full->bands[b].intensity == direct.full->bands[b].intensity) << "band " << b;
        EXPECT_EQ(piped.images.display, direct.images.display);
        EXPECT_EQ(piped.images.image3, direct.images.image3);
        EXPECT_EQ(SkyOf(*piped.full), c.runSpec.sky);
    }
}

// A sky the grid cannot take refuses the run before it starts, as the calculation refuses a
// pupil it cannot hold.
TEST(RunPipeline, ASkyOutOfRangeIsRefusedBeforeTheRun) {
    RunSpec runSpec = Inputs(ClearPupil(), {});
    runSpec.sky.seeingArcsec = 61;
    const PreparedRun prepared(runSpec, 1);
    EXPECT_THROW(RunPrepared(prepared), CalculationError);
}

// What the measurements take besides the result: the ideal (kept by the cache when one is given,
// made afresh otherwise, the same numbers either way), the through-focus curve only when asked,
// and a stop that ends them.
TEST(RunPipeline, MeasurementsAreThoseAskedFor) {
    const RunSpec runSpec = Inputs(ClearPupil(), Coma(0.25));
    const PreparedRun prepared(runSpec, 1);
    const PsfResult result = RunPrepared(prepared);

    MeasureOptions none;
    none.ideal = false;
    const Analysis plain = MeasurePrepared(prepared, *result.full, none);
    EXPECT_FALSE(plain.bands[0].idealKnown);
    EXPECT_TRUE(plain.bands[0].focusStrehl.empty());

    IdealCache cache;
    MeasureOptions kept;
    kept.ideals = &cache;
    kept.throughFocus = MeasureOptions::ThroughFocus::Optional;
    const Analysis withCache = MeasurePrepared(prepared, *result.full, kept);
    MeasureOptions fresh;
    const Analysis withoutCache = MeasurePrepared(prepared, *result.full, fresh);
    ASSERT_TRUE(withCache.bands[0].idealKnown);
    EXPECT_EQ(withCache.bands[0].idealProfile, withoutCache.bands[0].idealProfile);
    EXPECT_EQ(withCache.bands[0].mtfIdeal, withoutCache.bands[0].mtfIdeal);
    EXPECT_EQ(cache.Computed(), 1);
    EXPECT_NE(cache.Find(runSpec), nullptr);
    // The curve peaks at best focus, where it is the run's Strehl ratio.
    const BandMeasurements& m = withCache.bands[0];
    ASSERT_EQ(m.focusStrehl.size(), m.focusDefocusWavesPv.size());
    EXPECT_NEAR(m.focusStrehl[m.focusStrehl.size() / 2], m.strehl, 1e-9);
    EXPECT_TRUE(withoutCache.bands[0].focusStrehl.empty());

    std::atomic<bool> stop{true};
    EXPECT_THROW(MeasurePrepared(prepared, *result.full, none, RunControl{1, &stop}), CalculationStopped);
}

}  // namespace
}  // namespace velmora
