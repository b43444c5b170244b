#include "pupil/PupilModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "TestSupport.h"
#include "pupil/UserMaskStage.h"

namespace velmora {
namespace {

using testing::GreyPicture;
using testing::LoadedFilter;

TEST(PupilModel, EdgeRampAndDensityFactors) {
    EXPECT_EQ(EdgeRamp(-0.5), 0.0);
    EXPECT_EQ(EdgeRamp(-0.25), 0.25);
    EXPECT_EQ(EdgeRamp(0.25), 0.75);
    EXPECT_EQ(EdgeRamp(0.5), 1.0);

    using K = DensityProfileKind;
    EXPECT_EQ(DensityFactor(K::None, 5, nullptr, 0.7), 1.0);
    EXPECT_EQ(DensityFactor(K::Gaussian, 0, nullptr, 0.9), 1.0) << "coefficient 0: flat";
    EXPECT_NEAR(DensityFactor(K::Gaussian, 1, nullptr, 1), std::exp(-1.0), 1e-15);
    EXPECT_EQ(DensityFactor(K::Gaussian, 1e200, nullptr, 0), 1.0) << "a huge coefficient gives no NaN at the centre";
    EXPECT_EQ(DensityFactor(K::Cosine, 1, nullptr, 0), 1.0);
    EXPECT_NEAR(DensityFactor(K::Cosine, 1, nullptr, 0.5), 0.5, 1e-15);
    EXPECT_NEAR(DensityFactor(K::Cosine, 1, nullptr, 1), 0.0, 1e-15);
    EXPECT_EQ(DensityFactor(K::Triangle, 7, nullptr, 0), 1.0);
    EXPECT_EQ(DensityFactor(K::Triangle, 7, nullptr, 1), 0.0);

    UserFilter f;
    EXPECT_EQ(DensityFactor(K::UserFilter, 1, &f, 0.5), 1.0) << "no filter loaded: no attenuation";
    f = LoadedFilter({1, 0.5, 0});
    f.userFilterTable[3] = 0.9;  // left over from a longer file: never used
    EXPECT_EQ(DensityFactor(K::UserFilter, 1, &f, 0.2), 1.0);
    EXPECT_EQ(DensityFactor(K::UserFilter, 1, &f, 0.5), 0.5);
    EXPECT_EQ(DensityFactor(K::UserFilter, 1, &f, 0.9), 0.0);
    EXPECT_EQ(DensityFactor(K::UserFilter, 1, &f, 1.0), 0.0) << "rho = 1 takes the last entry";
    EXPECT_EQ(DensityFactor(K::UserFilter, 1, &f, 1.3), 0.0);
}

class Grid {
public:
    Grid() { m.Allocate(gridSize, gridSize); }
    double operator()(int i, int j) const { return m[i][j]; }
    RealMatrixHolder m;
};

int Build(const SimulationParameters& p, int lambda, Grid& g, const UserFilter* f = nullptr,
          const Picture24* mask = nullptr, Picture24* stage = nullptr) {
    PupilInputs in;
    in.params = &p;
    in.userFilter = f;
    in.userMask = mask;
    in.userMaskStage = stage;
    return BuildPupil(in, lambda, g.m.get(), {});
}

TEST(PupilModel, DefaultPupilGeometry) {
    SimulationParameters p;
    Grid g;
    // Leftovers of an earlier build must go.
    g.m[0][0] = 7;
    g.m[1023][1023] = 7;
    ASSERT_EQ(Build(p, 550, g), 160);
    EXPECT_EQ(g(0, 0), 0.0);
    EXPECT_EQ(g(1023, 1023), 0.0);
    // Np = 160: samples 432..591, centre between 511 and 512.
    EXPECT_EQ(g(512, 512), 0.0) << "inside the 25-sample shadow of the secondary";
    EXPECT_EQ(g(512 + 20, 512), 0.0);
    EXPECT_EQ(g(512 + 30, 512), 1.0);
    EXPECT_EQ(g(512 + 60, 512), 1.0);
    EXPECT_EQ(g(431, 512), 0.0);
    EXPECT_EQ(g(592, 512), 0.0);
    EXPECT_EQ(g(432, 511), 0.0) << "rho just above 1: cut, though the rim ramp is not 0";
    EXPECT_EQ(g(432, 512), 0.5) << "exactly on the rim: the inner half of the ramp";
    double total = 0;
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) total += g(i, j);
    const double area = 3.14159265358979 * (80.0 * 80 - 25.0 * 25);
    EXPECT_NEAR(total, area, area * 0.01) << "annulus of radii 80 and 25";

    p.secondaryDiameter = 0;
    ASSERT_EQ(Build(p, 550, g), 160);
    EXPECT_EQ(g(512, 512), 1.0) << "no obstruction";
    EXPECT_EQ(g(511, 511), 1.0);

    // 600 nm: Np = 146, placed from 512 - 73.
    ASSERT_EQ(Build(p, 600, g), 146);
    EXPECT_EQ(g(438, 512), 0.0);
    EXPECT_GT(g(439, 512), 0.0);
}

TEST(PupilModel, VanesFollowTheirAngles) {
    SimulationParameters p;
    p.secondaryDiameter = 0;
    p.barWidth = 3;  // 3 samples wide at Np = 160
    p.spider1 = true;
    Grid g;
    ASSERT_EQ(Build(p, 550, g), 160);
    // Vane 1 at 0 degrees: to the right of the centre (80, 80 in pupil samples = 512, 512).
    EXPECT_EQ(g(512 + 40, 512), 0.0);
    EXPECT_EQ(g(512 + 40, 512 + 3), 1.0);
    EXPECT_EQ(g(512 - 40, 512), 1.0) << "a vane runs from the centre outward only";
    EXPECT_EQ(g(512, 512 + 40), 1.0);

    // Vane 2 at 45 degrees, outside its own quadrant: drawn with the vane-2 geometry,
    // pointing down and to the right.
    p.spider1 = false;
    p.spider2 = true;
    p.angle2 = 45;
    ASSERT_EQ(Build(p, 550, g), 160);
    EXPECT_EQ(g(512 + 30, 512 + 30), 0.0);
    EXPECT_EQ(g(512 - 30, 512 - 30), 1.0);
    EXPECT_EQ(g(512 + 30, 512 - 30), 1.0);

    // Vane 3 at 180 (left) and vane 4 at 270 (up).
    p.spider2 = false;
    p.spider3 = p.spider4 = true;
    ASSERT_EQ(Build(p, 550, g), 160);
    EXPECT_EQ(g(512 - 40, 512), 0.0);
    EXPECT_EQ(g(512, 512 - 40), 0.0);
    EXPECT_EQ(g(512 + 40, 512), 1.0);
    EXPECT_EQ(g(512, 512 + 40), 1.0);

    // Vanes whose edges fall exactly midway between samples keep their width: 1 mm and 3 mm at
    // one sample per millimetre block 1 and 3 samples.
    p.spider3 = p.spider4 = false;
    p.spider1 = true;
    for (int width : {1, 3}) {
        p.barWidth = width;
        ASSERT_EQ(Build(p, 550, g), 160);
        double blocked = 0;
        for (int j = 512 - 8; j <= 512 + 8; ++j) blocked += 1 - g(512 + 40, j);
        EXPECT_NEAR(blocked, width, 1e-12) << "bar width " << width;
    }
    // Elsewhere the edge samples take the one-sample ramp.
    p.barWidth = 1;
    ASSERT_EQ(Build(p, 600, g), 146);
    const double edge = g(512 + 30, 512);
    EXPECT_GT(edge, 0.0);
    EXPECT_LT(edge, 0.1);
}

TEST(PupilModel, DensityProfilesAreAppliedAndTheRimCut) {
    SimulationParameters p;
    p.secondaryDiameter = 0;
    p.densityProfile = DensityProfileKind::Triangle;
    Grid g;
    ASSERT_EQ(Build(p, 550, g), 160);
    // Pupil sample (i, j) at grid (i + 432, j + 432), centre 80.
    EXPECT_NEAR(g(432 + 80, 432 + 80), 1.0, 1e-12);
    EXPECT_NEAR(g(432 + 120, 432 + 80), 0.5, 1e-12);

    const UserFilter f = LoadedFilter({1, 0.5, 0});
    p.densityProfile = DensityProfileKind::UserFilter;
    ASSERT_EQ(Build(p, 550, g, &f), 160);
    EXPECT_EQ(g(432 + 80 + 10, 432 + 80), 1.0);
    EXPECT_EQ(g(432 + 80 + 40, 432 + 80), 0.5);
    EXPECT_EQ(g(432 + 80 + 70, 432 + 80), 0.0);
}

TEST(PupilModel, BuildRefusesSamplingsThatDoNotFit) {
    SimulationParameters p;
    Grid g;
    g.m[5][5] = 3;
    p.aperture = 0;
    EXPECT_EQ(Build(p, 550, g), 0);
    p.aperture = 300;
    p.focalLength = 100;  // focal ratio 1/3: Np = 1650 at 1000 nm... far beyond the grid
    EXPECT_EQ(Build(p, 550, g), 0);
    EXPECT_EQ(g(5, 5), 3.0) << "a refused build leaves workGrid alone";
}

TEST(UserMaskStage, CoversTheWholePupil) {
    // A white mask 200 wide at Np = 220 (400 nm with the factory values): the stage must be
    // 220 wide and enlarged, so that the right and bottom of the pupil are not cut off.
    Picture24 white = GreyPicture(200, 200, 255);
    Picture24 stage = StageUserMask(white, 220);
    ASSERT_EQ(stage.width, 220);
    ASSERT_EQ(stage.height, 220);
    for (int k : {0, 100, 159, 160, 200, 219}) {
        // White reads as 255 x 65793 / 2^24 and stages as 254.
        EXPECT_EQ(stage.Green(k, k), 254) << "k=" << k;
        EXPECT_EQ(stage.Green(219, k), 254) << "k=" << k;
    }

    // A 320-wide mask for a 160 pupil: halved, top-left anchored, black beyond.
    const Picture24 mask = GreyPicture(320, 320, [](int x, int) { return x < 160 ? 255 : 0; });
    stage = StageUserMask(mask, 160);
    ASSERT_EQ(stage.width, 160);
    EXPECT_EQ(stage.Green(0, 0), 254);
    EXPECT_EQ(stage.Green(79, 159), 254);
    EXPECT_EQ(stage.Green(80, 0), 0);

    // A small pupil leaves the stage at 160 and black outside the rescaled picture.
    stage = StageUserMask(GreyPicture(100, 50, 255), 80);
    ASSERT_EQ(stage.width, 160);
    EXPECT_EQ(stage.Green(79, 39), 254);
    EXPECT_EQ(stage.Green(79, 40), 0);
    EXPECT_EQ(stage.Green(80, 0), 0);
}

TEST(UserMaskStage, WhiteMaskBuildsTheSamePupilAsNoDensity) {
    SimulationParameters p;
    Grid plain, masked;
    ASSERT_EQ(Build(p, 400, plain), 220);
    p.densityProfile = DensityProfileKind::UserMask;
    Picture24 white = GreyPicture(300, 300, 255);
    Picture24 stage;
    ASSERT_EQ(Build(p, 400, masked, nullptr, &white, &stage), 220);
    EXPECT_EQ(stage.width, 220);
    const double factor = 254 * 65793.0 / 16777216.0;  // the stage's grey read back
    for (int i = 0; i < gridSize; i += 3)
        for (int j = 0; j < gridSize; j += 3)
            ASSERT_NEAR(masked(i, j), plain(i, j) * factor, 1e-12) << i << "," << j;

    // UserMask with nothing loaded: no attenuation.
    ASSERT_EQ(Build(p, 400, masked), 220);
    for (int i = 0; i < gridSize; i += 7)
        for (int j = 0; j < gridSize; j += 7) ASSERT_EQ(masked(i, j), plain(i, j));
}

// The reduction as the mask loader describes it: the whole picture in a RealMatrix [x][y],
// ShrinkMatrix on it, the top-left side x side corner kept, each value made a grey byte.
Picture24 ShrunkThroughTheMatrix(const Picture24& mask, int pupilSamples, bool preview) {
    const int side = std::max(userMaskStageMinimum, preview ? userMaskStageMinimum : pupilSamples);
    RealMatrixHolder m;
    EXPECT_EQ(m.Allocate(mask.width, mask.height), 0);
    for (int x = 0; x < mask.width; ++x)
        for (int y = 0; y < mask.height; ++y) m[x][y] = preview ? mask.Blue(x, y) : MaskPixelValue(mask, x, y);
    EXPECT_EQ(ShrinkMatrix(static_cast<double>(preview ? side : pupilSamples) / mask.width, mask.width, mask.height, m.get()), 0);
    Picture24 out(side, side);
    for (int y = 0; y < std::min(side, mask.height); ++y)
        for (int x = 0; x < std::min(side, mask.width); ++x) {
            const uint8_t g = TruncatedByte(preview ? m[x][y] : 255 * m[x][y]);
            out.SetPixel(x, y, g, g, g);
        }
    return out;
}

TEST(UserMaskStage, StreamedReductionIsBitForBitShrinkMatrix) {
    // Coloured noise, so that every byte of a pixel and every rounding of the sums counts; the
    // stage and the preview copy must equal the whole-matrix route exactly.
    std::mt19937 rng(7);
    const struct {
        int w, h, pupilSamples;
    } cases[] = {{400, 300, 220}, {1000, 997, 233}, {161, 500, 160}, {220, 220, 220}, {513, 129, 300}, {2048, 40, 1024}};
    // Both versions of the inner reduction: the processor's vector one and the plain one.
    for (const bool plain : {false, true}) {
        StageWithPlainInstructionsOnly(plain);
        for (const auto& c : cases) {
            Picture24 mask(c.w, c.h);
            for (uint8_t& b : mask.bgr) b = static_cast<uint8_t>(rng());
            EXPECT_TRUE(StageUserMask(mask, c.pupilSamples) == ShrunkThroughTheMatrix(mask, c.pupilSamples, false))
                << c.w << " x " << c.h << " at " << c.pupilSamples << (plain ? ", plain" : ", vector");
            if (c.w >= userMaskStageMinimum) {
                EXPECT_TRUE(MaskPreviewCopy(mask) == ShrunkThroughTheMatrix(mask, 0, true)) << c.w << " x " << c.h;
            }
        }
    }
    StageWithPlainInstructionsOnly(false);
}

TEST(UserMaskStage, ARunStagesEachSamplingOnceAndBuildsAsWithoutReuse) {
    SimulationParameters p;
    p.densityProfile = DensityProfileKind::UserMask;
    Picture24 mask(500, 450);
    std::mt19937 rng(3);
    for (uint8_t& b : mask.bgr) b = static_cast<uint8_t>(rng());
    UserMaskStages stages(mask);
    const Picture24* first = &stages.For(220);
    EXPECT_EQ(first, &stages.For(220)) << "the same sampling is staged once";
    EXPECT_EQ(stages.For(176).width, 176);
    for (int lambda : {400, 500, 400}) {
        Grid alone, reused;
        PupilInputs in;
        in.params = &p;
        in.userMask = &mask;
        ASSERT_GT(BuildPupil(in, lambda, alone.m.get()), 0);
        in.userMaskStages = &stages;
        ASSERT_GT(BuildPupil(in, lambda, reused.m.get()), 0);
        for (int i = 0; i < gridSize; ++i)
            ASSERT_EQ(std::memcmp(alone.m[i], reused.m[i], sizeof(double) * gridSize), 0) << lambda << " nm, row " << i;
    }
}

TEST(UserMaskStage, TheKeptFormStagesAsTheLoadedPictureDoes) {
    // A grey mask is kept one byte a pixel, a coloured one whole; either stages, previews and
    // builds exactly as the 24-bit picture it came from.
    std::mt19937 rng(11);
    Picture24 grey(900, 700), coloured(900, 700);
    for (int y = 0; y < 700; ++y)
        for (int x = 0; x < 900; ++x) {
            const uint8_t g = static_cast<uint8_t>(rng());
            grey.SetPixel(x, y, g, g, g);
            coloured.SetPixel(x, y, g, static_cast<uint8_t>(g ^ 1), g);
        }
    const LoadedMask keptGrey = LoadedMask::From(grey);
    const LoadedMask keptColoured = LoadedMask::From(coloured);
    ASSERT_TRUE(keptGrey.IsGrey());
    EXPECT_EQ(keptGrey.grey.size(), 900u * 700u);
    EXPECT_TRUE(keptGrey.colour.empty()) << "no 24-bit copy beside the levels";
    ASSERT_FALSE(keptColoured.IsGrey());
    EXPECT_TRUE(keptGrey.ToPicture24() == grey);
    EXPECT_TRUE(keptColoured.ToPicture24() == coloured);
    for (const auto& [kept, picture] : {std::pair{&keptGrey, &grey}, std::pair{&keptColoured, &coloured}}) {
        for (int np : {220, 700, 1000})
            EXPECT_TRUE(StageUserMask(*kept, np) == StageUserMask(*picture, np)) << np;
        EXPECT_TRUE(MaskPreviewCopy(*kept) == MaskPreviewCopy(*picture));
        UserMaskStages stages(*kept, {220, 176});
        EXPECT_TRUE(stages.For(220) == StageUserMask(*picture, 220));
        EXPECT_TRUE(stages.For(176) == StageUserMask(*picture, 176));
    }
}

}  // namespace
}  // namespace velmora
