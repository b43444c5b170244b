// The star test pair: its symmetry for a perfect mirror, the sign of spherical aberration seen
// on the two sides of focus, the size of the defocused disc and the focuser travel, and that
// the pair is the run's own pupil and wavefront.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "TestSupport.h"
#include "optics/StarTestPictures.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr int centre = gridSize / 2;

// A single wavelength, no obstruction, no aberration: 160 mm at f/6.25.
CalculationRequest ClearRequest(int lambdaNm = 550) {
    CalculationRequest rq;
    rq.params.whiteBand = {lambdaNm, lambdaNm, 10};
    rq.params.secondaryDiameter = 0;
    rq.aberrations = Aberrations{};
    return rq;
}

// The whole grid open: the phase sampling keeps the circle rho <= 1 of it.
void ClearPupil(int, RealMatrix grid, const ProgressFn&) {
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) grid[i][j] = 1;
}

StarTestResult RunModel(const CalculationRequest& rq, double d, int threads = 1) {
    const PupilInputs in{&rq.params, nullptr, nullptr, nullptr};
    return RunStarTest(
        rq, [&](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(in, lambda, grid, bar); }, d,
        RunControl{threads, nullptr});
}

double At(const RealGrid& v, int i, int j) { return v(i, j); }

// The energy of the grid within radius r (in samples) of the centre.
double EnergyWithin(const RealGrid& v, double r) {
    double e = 0;
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            const double di = i - centre, dj = j - centre;
            if (di * di + dj * dj <= r * r) e += At(v, i, j);
        }
    return e;
}

// The smallest radius (in samples) within which `fraction` of the energy lies, to a sample.
double RadiusOfFraction(const RealGrid& v, double fraction) {
    const double total = EnergyWithin(v, gridSize);
    double lo = 0, hi = centre;
    while (hi - lo > 0.25) {
        const double mid = (lo + hi) / 2;
        (EnergyWithin(v, mid) < fraction * total ? lo : hi) = mid;
    }
    return hi;
}

// The mean intensity in rings of width `bin` samples about the centre, out to 1.5 x 20 bins.
std::vector<double> RadialProfile(const RealGrid& v, double bin) {
    std::vector<double> sum(30, 0.0), count(30, 0.0);
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            const auto b = static_cast<size_t>(std::hypot(i - centre, j - centre) / bin);
            if (b >= sum.size()) continue;
            sum[b] += At(v, i, j);
            count[b] += 1;
        }
    for (size_t b = 0; b < sum.size(); ++b) sum[b] /= count[b];
    return sum;
}

double MeanOfBins(const std::vector<double>& profile, size_t first, size_t last) {
    double s = 0;
    for (size_t b = first; b < last; ++b) s += profile[b];
    return s / static_cast<double>(last - first);
}

// The brightest ring from half the disc's radius outwards over the mean inside that.
double RimContrast(const std::vector<double>& profile) {
    const double rim = *std::max_element(profile.begin() + 10, profile.begin() + 24);
    return rim / MeanOfBins(profile, 0, 10);
}

}  // namespace

// Sizes worked out by hand for 160 mm at f/6.25 (1000 mm) and 550 nm: N = 6.25, N^2 = 39.0625.
// Disc 8 N d lambda and focuser travel 8 N^2 d lambda (Suiter, Star Testing Astronomical
// Telescopes, ch. 2: a defocus of d waves P-V is a focuser shift of 8 N^2 d lambda).
TEST(StarTestGeometry, DiscAndFocuserTravelByHand) {
    struct Case {
        double d;
        double discUm;
        double travelMm;
    } cases[] = {
        {1, 27.5, 0.171875},   // 8 x 6.25 x 0.55 um; 8 x 39.0625 x 0.55e-3 mm
        {8, 220, 1.375},
        {2.5, 68.75, 0.4296875},
    };
    for (const Case& c : cases) {
        const StarTestGeometry g = StarTestGeometryOf(ClearRequest(), c.d);
        EXPECT_NEAR(g.discDiameterUm, c.discUm, 1e-9) << "d=" << c.d;
        EXPECT_NEAR(g.focuserTravelMm, c.travelMm, 1e-12) << "d=" << c.d;
        EXPECT_DOUBLE_EQ(g.referenceWavelengthNm, 550);
        EXPECT_TRUE(g.fits) << "d=" << c.d;
        EXPECT_NEAR(g.pictureUm, 1.2 * c.discUm, 1e-9) << "d=" << c.d;
    }
}

TEST(StarTestGeometry, ReferenceIsTheMeanWavelengthOfTheRun) {
    CalculationRequest rq = ClearRequest();
    rq.params.whiteBand = {500, 700, 100};
    EXPECT_DOUBLE_EQ(StarTestGeometryOf(rq, 8).referenceWavelengthNm, 600);
    rq.params.colorMode = ColorMode::Colour;
    rq.params.blueBand = {400, 400, 10};
    rq.params.greenBand = {500, 600, 100};
    rq.params.redBand = {700, 700, 10};
    EXPECT_DOUBLE_EQ(StarTestGeometryOf(rq, 8).referenceWavelengthNm, 550);
}

// The grid of 550 nm at f/6.25 spans lambda N P = 0.55 x 6.25 x 160 = 550 um; a disc wider
// than 0.9 of it wraps round the grid and is not drawn.
TEST(StarTestGeometry, DiscTooLargeForTheGridIsNotComputed) {
    const CalculationRequest rq = ClearRequest();
    const StarTestGeometry g = StarTestGeometryOf(rq, 20);
    EXPECT_NEAR(g.gridUm, 550, 1e-9);
    EXPECT_FALSE(g.fits);
    EXPECT_TRUE(StarTestGeometryOf(rq, 17).fits);   // 467.5 um
    EXPECT_FALSE(StarTestGeometryOf(rq, 19).fits);  // 522.5 um
    EXPECT_NEAR(g.pictureUm, 550, 1e-9);            // never wider than the grid
    const StarTestResult r = RunStarTest(rq, ClearPupil, 20);
    EXPECT_TRUE(r.intra.empty());
    EXPECT_TRUE(r.extra.empty());
    EXPECT_TRUE(r.intraPicture.empty());
    EXPECT_TRUE(r.extraPicture.empty());
}

TEST(StarTestRun, RefusesWhatTheRunRefusesAndANonPositiveDefocus) {
    CalculationRequest rq = ClearRequest();
    for (double d : {0.0, -1.0, std::nan("")}) EXPECT_THROW(RunStarTest(rq, ClearPupil, d), CalculationError) << d;
    rq.params.aperture = 0;
    EXPECT_THROW(RunStarTest(rq, ClearPupil, 8), CalculationError);
}

// A real pupil that is symmetric under i -> -i and j -> -j has intensities at +d and -d that
// are point reflections of each other (the fields are complex conjugates), and the circle's
// symmetry makes them equal: the pictures inside and outside focus are the same. Only the
// transform's rounding separates them, some 1e-15 of the peak per element; 1e-9 leaves room.
TEST(StarTestPhysics, PerfectMirrorLooksTheSameInsideAndOutside) {
    for (double d : {2.0, 8.0, 15.0}) {
        const StarTestResult r = RunStarTest(ClearRequest(), ClearPupil, d);
        ASSERT_EQ(r.intra.size(), r.extra.size());
        double worst = 0;
        for (size_t k = 0; k < r.intra.size(); ++k) worst = std::max(worst, std::fabs(r.intra.data()[k] - r.extra.data()[k]));
        EXPECT_LT(worst, 1e-9) << "d=" << d;
        EXPECT_TRUE(SamePicture(r.intraPicture, r.extraPicture)) << "d=" << d;
    }
}

// For any real pupil the two fields are complex conjugates, so each side is the other turned
// through 180 degrees about the grid centre (element N/2 + a to N/2 - a, modulo N): here with
// the pupil model's obstruction and a single spider vane, which the turn does not map onto
// itself, so the two sides differ but only by the turn.
TEST(StarTestPhysics, RealPupilGivesSidesTurnedHalfARound) {
    CalculationRequest rq = ClearRequest();
    rq.params.secondaryDiameter = 50;
    rq.params.spider1 = true;
    const StarTestResult r = RunModel(rq, 8);
    double turned = 0, same = 0;
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            const double e = At(r.extra, (gridSize - i) % gridSize, (gridSize - j) % gridSize);
            turned = std::max(turned, std::fabs(At(r.intra, i, j) - e));
            same = std::max(same, std::fabs(At(r.intra, i, j) - At(r.extra, i, j)));
        }
    EXPECT_LT(turned, 1e-9);
    EXPECT_GT(same, 1e-3);  // the vane is seen: the sides themselves are not equal
}

// The geometric disc of a uniformly lit pupil at d waves is uniform with diameter 8 N d lambda
// (Suiter, ch. 2), so half its light lies within R / sqrt(2). The Fresnel rings across the
// disc move that radius by up to 1.5 % from d = 5 up (3 % at d = 4, where there are only four
// of them); 2.5 % allows for that and no more.
TEST(StarTestPhysics, DiscDiameterIsEightNdLambda) {
    for (double d : {6.0, 8.0, 12.0, 16.0}) {
        const StarTestResult r = RunStarTest(ClearRequest(), ClearPupil, d);
        const double r50Um = RadiusOfFraction(r.intra, 0.5) * r.geometry.pitchUm;
        const double diameterUm = 2 * std::sqrt(2.0) * r50Um;
        EXPECT_NEAR(diameterUm, r.geometry.discDiameterUm, 0.025 * r.geometry.discDiameterUm) << "d=" << d;
    }
}

// Under-correction (positive spherical aberration in the panel's sign, as a spherical primary
// has it) brings the marginal rays to focus nearer the mirror: inside focus the disc is a
// little smaller with a bright ring at its rim, outside it is larger with a soft edge and the
// light gathers towards the centre; over-correction the other way round (Suiter, Star Testing
// Astronomical Telescopes, ch. 9). Measured on the azimuthal mean profile in bins of R / 20:
// the brightest bin from 0.5 R outwards over the mean within 0.5 R (about 1.8 on the ringed
// side and 1.0 on the soft one at 0.1 waves), and the mean within 0.3 R.
TEST(StarTestPhysics, SphericalAberrationBrightensTheRimOnOneSideOnly) {
    struct Case {
        double spherical;  // waves, Fringe Z9
        bool rimBrighterInside;
    } cases[] = {{0.25, true}, {0.1, true}, {-0.25, false}, {-0.1, false}};
    for (const Case& c : cases) {
        CalculationRequest rq = ClearRequest();
        rq.aberrations->spherical = c.spherical;
        const StarTestResult r = RunStarTest(rq, ClearPupil, 8);
        const double radius = r.geometry.discDiameterUm / 2 / r.geometry.pitchUm;
        const std::vector<double> inside = RadialProfile(r.intra, radius / 20);
        const std::vector<double> outside = RadialProfile(r.extra, radius / 20);
        const double ringInside = RimContrast(inside), ringOutside = RimContrast(outside);
        EXPECT_EQ(ringInside > ringOutside, c.rimBrighterInside)
            << "spherical=" << c.spherical << " rim contrast inside " << ringInside << " outside " << ringOutside;
        EXPECT_GT(std::max(ringInside, ringOutside), 1.3) << "spherical=" << c.spherical;
        // The centre fills in on the side where the rim is soft.
        EXPECT_EQ(MeanOfBins(outside, 0, 6) > MeanOfBins(inside, 0, 6), c.rimBrighterInside)
            << "spherical=" << c.spherical;
    }
}

// As the defocus goes to nothing both sides become the run's own normalised result: the same
// pupil (the pupil model's, with its obstruction), the same wavefront (panel terms, Zernike
// terms, the table of wavelength dependence) and the same weights. 1e-6 of the peak: a
// defocus of 1e-7 waves changes the intensity by about 2 pi 1e-7 of it. The pair's tiny disc
// has only the rows within three samples of the centre kept: compared there, the core and the
// rings along those rows included.
TEST(StarTestRun, VanishingDefocusGivesTheRunsResult) {
    struct Case {
        const char* name;
        void (*set)(CalculationRequest&);
    } cases[] = {
        {"monochrome, two wavelengths, coma",
         [](CalculationRequest& rq) {
             rq.params.whiteBand = {500, 600, 100};
             rq.aberrations->comaX = 0.3;
         }},
        {"zernike astigmatism",
         [](CalculationRequest& rq) {
             rq.params.secondaryDiameter = 40;
             rq.aberrations->zernike = ZernikeWavefront(ZernikeSet{ZernikeOrdering::Fringe, {{5, 0.2}}});
         }},
        {"wavelength table",
         [](CalculationRequest& rq) {
             rq.params.whiteBand = {500, 600, 100};
             rq.params.useWavelengthDependence = true;
             rq.dependenceRows = {{0.2, 0.1}, {-0.1, 0.3}};
         }},
        {"mirror: a sphere off axis, each wavelength its own waves",
         [](CalculationRequest& rq) {
             rq.params.whiteBand = {500, 600, 100};
             rq.mirror = {true, 0, 10, 30};
         }},
    };
    for (const Case& c : cases) {
        CalculationRequest rq = ClearRequest();
        c.set(rq);
        const StarTestResult pair = RunModel(rq, 1e-7);
        RealMatrixHolder grid;
        ASSERT_EQ(grid.Allocate(gridSize, gridSize), 0);
        const PsfResult run = RunWithPupilModel(rq, grid.get());
        const RealGrid& expected = run.full->bands.at(0).intensity;
        ASSERT_EQ(pair.intra.size(), expected.size());
        double worst = 0;
        for (int i = centre - 3; i <= centre + 3; ++i)
            for (int j = 0; j < gridSize; ++j) {
                const double e = expected(i, j);
                worst = std::max({worst, std::fabs(At(pair.intra, i, j) - e), std::fabs(At(pair.extra, i, j) - e)});
            }
        EXPECT_LT(worst, 1e-6) << c.name;
    }
}

TEST(StarTestRun, TwoThreadsGiveTheBitsOfOne) {
    CalculationRequest rq = ClearRequest();
    rq.params.whiteBand = {500, 700, 100};
    rq.aberrations->spherical = 0.2;
    rq.aberrations->astigmatismM = 0.1;
    const StarTestResult one = RunModel(rq, 6, 1), two = RunModel(rq, 6, 2);
    EXPECT_TRUE(one.intra == two.intra);
    EXPECT_TRUE(one.extra == two.extra);
}

TEST(StarTestRun, StopsWhenAsked) {
    std::atomic<bool> stop{true};
    EXPECT_THROW(RunStarTest(ClearRequest(), ClearPupil, 8, RunControl{1, &stop}), CalculationStopped);
}

// The picture shows sideUm about the grid centre: a square of constant light 100 samples
// either side of the centre, shown over 400 samples, fills the middle half of the picture.
TEST(StarTestPictureTest, ShowsTheSquareAboutTheCentre) {
    RealGrid v(gridSize, gridSize);
    for (int i = centre - 100; i <= centre + 100; ++i)
        for (int j = centre - 100; j <= centre + 100; ++j) v(i, j) = 0.5;
    const Picture24 p = StarTestPicture(v, 0.5, 200, 1.0, 256);  // 400 samples across 256 pixels
    ASSERT_EQ(p.width, 256);
    struct Probe {
        int x, y, grey;
    } probes[] = {{128, 128, 127}, {66, 128, 127}, {190, 190, 127}, {60, 128, 0}, {128, 196, 0}, {0, 0, 0}};
    for (const Probe& q : probes) {
        EXPECT_EQ(p.Red(q.x, q.y), q.grey) << q.x << "," << q.y;
        EXPECT_EQ(p.Green(q.x, q.y), p.Blue(q.x, q.y));
    }
}

// Beyond the grid nothing is read: a picture wider than the grid is dark outside it.
TEST(StarTestPictureTest, DarkBeyondTheGrid) {
    RealGrid v(gridSize, gridSize);
    v.Fill(1.0);
    const Picture24 p = StarTestPicture(v, 1.0, 2 * gridSize, 1.0, 256);
    EXPECT_EQ(p.Red(128, 128), 255);
    EXPECT_EQ(p.Red(2, 128), 0);
    EXPECT_EQ(p.Red(128, 253), 0);
}
