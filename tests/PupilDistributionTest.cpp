// The pupil distribution picture at the 550 nm scale, and the user mask against the built-in
// pupil it imitates.
#include <gtest/gtest.h>

#include <cmath>

#include "core/IntensityCode.h"
#include "core/PsfCalculation.h"
#include "pupil/PupilDistribution.h"
#include "TestSupport.h"
#include "pupil/UserMaskStage.h"

namespace velmora {
namespace {

using testing::GreyPicture;

class PupilDistribution : public ::testing::Test {
protected:
    PupilDistribution() { workGrid.Allocate(gridSize, gridSize); }
    Picture24 Build(double focalRatio = 6.25, const ProgressFn& progress = {}) {
        PupilDistributionInputs in;
        in.params = &p;
        in.focalRatio = focalRatio;
        in.userFilter = &filter;
        in.userMask = mask.empty() ? nullptr : &mask;
        return BuildPupilDistribution(in, workGrid.get(), progress);
    }
    SimulationParameters p;
    UserFilter filter;
    Picture24 mask;
    RealMatrixHolder workGrid;
};

TEST_F(PupilDistribution, DefaultDiscWithObstructionAndBlackBorder) {
    const Picture24 picture = Build();
    ASSERT_EQ(picture.width, 256);
    ASSERT_EQ(picture.height, 256);
    // 160 samples: pixels 48 to 207 across the middle, the rim sample half open.
    EXPECT_EQ(picture.Green(47, 128), 0);
    EXPECT_EQ(picture.Green(48, 128), 127);
    EXPECT_EQ(picture.Green(207, 128), 255);
    EXPECT_EQ(picture.Green(208, 128), 0);
    EXPECT_EQ(picture.Green(128, 47), 0);
    EXPECT_EQ(picture.Green(128, 48), 127);
    EXPECT_EQ(picture.Red(128, 207), 255);
    EXPECT_EQ(picture.Blue(128, 208), 0);
    for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(picture.Green(k, 20), 0) << "black border";
        ASSERT_EQ(picture.Green(20, k), 0) << "black border";
    }
    // Obstruction of radius 25 about the integer centre, pixel 128.
    EXPECT_EQ(picture.Green(128, 128), 0);
    EXPECT_EQ(picture.Green(128 + 24, 128), 0);
    EXPECT_EQ(picture.Green(128 + 25, 128), 127);
    EXPECT_EQ(picture.Green(128 + 26, 128), 255);
    EXPECT_EQ(picture.Green(128, 128 - 25), 127);
    // The picture is workGrid's central quarter; nothing outside the pupil is set.
    EXPECT_EQ(workGrid[128 + 384 + 30][128 + 384], 1.0);
    EXPECT_EQ(workGrid[431][512], 0.0);
    EXPECT_EQ(workGrid[432][512], 0.5);
    EXPECT_EQ(workGrid[100][100], 0.0);
}

TEST_F(PupilDistribution, NoSecondaryLargePupilAndRefusedSampling) {
    p.secondaryDiameter = 0;
    EXPECT_EQ(Build().Green(128, 128), 255) << "no dark sample at the centre";

    // Focal ratio 3: 333 samples, larger than the picture, which shows its middle.
    const Picture24 large = Build(3.0);
    EXPECT_EQ(large.Green(0, 128), 255);
    EXPECT_EQ(large.Green(255, 128), 255);
    EXPECT_EQ(large.Green(0, 0), 0) << "the corners lie beyond the rim";

    workGrid[0][0] = 7;
    EXPECT_TRUE(Build(0.5).empty()) << "2000 samples do not fit the grid";
    EXPECT_TRUE(Build(2000).empty()) << "no sample at all";
    EXPECT_TRUE(Build(std::numeric_limits<double>::infinity()).empty());
    EXPECT_EQ(workGrid[0][0], 7) << "a refused build leaves workGrid alone";
}

TEST_F(PupilDistribution, VanesTakeTheGeometryOfTheirAnglesQuadrant) {
    p.secondaryDiameter = 0;
    p.barWidth = 4;
    p.spider1 = true;
    p.angle1 = 135;  // vane 1 at an angle of the second quadrant: down and to the left
    const Picture24 picture = Build();
    for (int r : {20, 40, 60}) {
        const int d = static_cast<int>(r / std::sqrt(2.0));
        EXPECT_EQ(picture.Green(128 - d, 128 + d), 0) << "down-left at " << r;
        EXPECT_EQ(picture.Green(128 + d, 128 - d), 255) << "up-right at " << r;
        EXPECT_EQ(picture.Green(128 + d, 128 + d), 255);
    }

    // A vane crossing the obstruction leaves it dark: its edge ramps do not open it.
    p.secondaryDiameter = 50;
    p.spider1 = p.spider2 = p.spider3 = p.spider4 = true;
    p.angle1 = 10;
    p.angle2 = 100;
    p.angle3 = 190;
    p.angle4 = 280;
    const Picture24 crossed = Build();
    for (int y = 128 - 23; y <= 128 + 23; ++y)
        for (int x = 128 - 23; x <= 128 + 23; ++x)
            if ((x - 128) * (x - 128) + (y - 128) * (y - 128) < 24 * 24) {
                ASSERT_EQ(crossed.Green(x, y), 0) << x << "," << y;
            }
}

TEST_F(PupilDistribution, DensityProfilesUserFilterAndMask) {
    p.secondaryDiameter = 0;
    p.densityProfile = DensityProfileKind::UserFilter;
    filter = testing::LoadedFilter({1, 0.5});
    const Picture24 rings = Build();
    EXPECT_EQ(rings.Green(128 + 20, 128), 255);
    EXPECT_EQ(rings.Green(128 + 60, 128), 127);

    // The mask is staged by the window itself: a white left half passes the left half.
    p.densityProfile = DensityProfileKind::UserMask;
    mask = GreyPicture(320, 320, [](int x, int) { return x < 160 ? 255 : 0; });
    const Picture24 half = Build();
    EXPECT_EQ(half.Green(128 - 40, 128), 253) << "white stages as 254, read as 254 / 256";
    EXPECT_EQ(half.Green(128 + 40, 128), 0);
    mask = Picture24();
    EXPECT_EQ(Build().Green(128 + 40, 128), 255) << "no mask loaded: no attenuation, as in the calculation";
}

TEST_F(PupilDistribution, ProgressRunsOncePerPass) {
    p.spider1 = p.spider3 = true;
    std::vector<int> reported;
    Build(6.25, [&](int percent) { reported.push_back(percent); });
    ASSERT_EQ(reported.size(), 3u * 160);
    EXPECT_EQ(reported[0], 0);
    EXPECT_EQ(reported[159], 99);
    EXPECT_EQ(reported[160], 0);
    EXPECT_EQ(reported.back(), 99);
}

// A calculation through a white mask covering the pupil matches one without a density profile.
TEST(UserMaskCalculation, WhiteMaskEqualsTheOpenPupil) {
    RealMatrixHolder workGrid;
    ASSERT_EQ(workGrid.Allocate(gridSize, gridSize), 0);
    const Picture24 white = GreyPicture(300, 300, 255);
    auto run = [&](DensityProfileKind kind) {
        CalculationRequest rq;
        rq.params.densityProfile = kind;
        rq.params.spider2 = true;
        SetKernelTrace(false);
        return testing::RunWithPupilModel(rq, workGrid.get(), nullptr, &white).images;
    };
    const PsfResultImages masked = run(DensityProfileKind::UserMask);
    const PsfResultImages open = run(DensityProfileKind::None);
    double worst = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double a = DecodeIntensity(masked.image3.Red(x, y), masked.image3.Green(x, y), masked.image3.Blue(x, y));
            const double b = DecodeIntensity(open.image3.Red(x, y), open.image3.Green(x, y), open.image3.Blue(x, y));
            worst = std::max(worst, std::fabs(a - b));
        }
    EXPECT_LE(worst, 2.0 / 16777216) << "the peak-normalised PSFs agree to the code's last step";
    EXPECT_EQ(masked.image3.Red(128, 128), 255);
}

}  // namespace
}  // namespace velmora
