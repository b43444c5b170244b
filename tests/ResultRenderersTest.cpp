// The viewers' pictures computed from known intensity images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "TestSupport.h"
#include "viewers/ResultRenderers.h"

namespace velmora {
namespace {

using testing::SamePicture;

Picture24 Uniform(double intensity) {
    Picture24 p(256, 256);
    const Rgb c = EncodeIntensity(intensity);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) p.SetPixel(x, y, c.r, c.g, c.b);
    return p;
}

void SetCode(Picture24& p, int x, int y, uint8_t r, uint8_t g = 0, uint8_t b = 0) { p.SetPixel(x, y, r, g, b); }

bool IsColour(const Picture24& p, int x, int y, int r, int g, int b) {
    return p.Red(x, y) == r && p.Green(x, y) == g && p.Blue(x, y) == b;
}

TEST(BrightnessRedraw, SquareRootTimesLevelHeldAtWhite) {
    Picture24 mono(256, 256);
    SetCode(mono, 0, 0, 255, 0, 0);     // v = 0.99609375, the peak
    SetCode(mono, 1, 0, 66, 150, 0);    // v just above 0.26 of full scale
    SetCode(mono, 2, 0, 66, 0, 0);      // v = 0.2578: just below white at level 5
    SetCode(mono, 3, 0, 0, 0, 1);       // the smallest code
    const Picture24 empty;

    const Picture24 level1 = DrawBrightness(empty, mono, empty, 1, false);
    EXPECT_TRUE(IsColour(level1, 0, 0, 99, 99, 99)) << "the peak at level 1 is grey 99";
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) ASSERT_LT(level1.Red(x, y), 255);

    const Picture24 level5 = DrawBrightness(empty, mono, empty, 5, false);
    EXPECT_TRUE(IsColour(level5, 0, 0, 255, 255, 255));
    EXPECT_TRUE(IsColour(level5, 1, 0, 255, 255, 255)) << "white from (255 / 500)^2 = 0.2601 up";
    const int below = static_cast<int>(std::sqrt(66 / 256.0) * 100 * 5);
    EXPECT_EQ(below, 253);
    EXPECT_TRUE(IsColour(level5, 2, 0, below, below, below));
    EXPECT_TRUE(IsColour(level5, 3, 0, 0, 0, 0)) << "sqrt(2^-24) x 500 = 0.12 truncates to 0";
    EXPECT_TRUE(IsColour(level5, 100, 100, 0, 0, 0));
}

TEST(BrightnessRedraw, ColourTakesEachChannelFromItsOwnImage) {
    const Picture24 red = Uniform(0.01);    // sqrt x 100 = 10
    const Picture24 green = Uniform(0.04);  // 20
    const Picture24 blue = Uniform(0.09);   // 30
    const Picture24 out = DrawBrightness(red, green, blue, 2, true);
    const int r = static_cast<int>(std::sqrt(DecodeIntensity(EncodeIntensity(0.01).r, EncodeIntensity(0.01).g,
                                                             EncodeIntensity(0.01).b)) * 100 * 2);
    EXPECT_NEAR(r, 20, 1);
    EXPECT_EQ(out.Red(7, 9), r);
    EXPECT_NEAR(out.Green(7, 9), 40, 1);
    EXPECT_NEAR(out.Blue(7, 9), 60, 1);

    // No colour calculation yet: red and blue are black, green comes from the monochrome image.
    const Picture24 fresh(256, 256);
    const Picture24 mixed = DrawBrightness(fresh, green, fresh, 2, true);
    EXPECT_TRUE(IsColour(mixed, 50, 50, 0, out.Green(50, 50), 0));
    // Monochrome ignores the red and blue images.
    const Picture24 mono = DrawBrightness(red, green, blue, 2, false);
    EXPECT_TRUE(IsColour(mono, 50, 50, out.Green(50, 50), out.Green(50, 50), out.Green(50, 50)));
}

// Column 40 holds a profile that differs from scan line 40.
Picture24 ProfileImage() {
    Picture24 p(256, 256);
    for (int j = 0; j < 256; ++j) SetCode(p, 40, j, 64);  // v = 0.25 down the whole column
    SetCode(p, 40, 100, 0);                               // one zero pixel
    for (int x = 0; x < 256; ++x) SetCode(p, x, 40, 200);  // scan line 40, crossing the column
    return p;
}

TEST(ProfilePlot, LinearAndLogarithmicCurvesOfAKnownColumn) {
    const Picture24 mono = ProfileImage();
    const ProfilePlots k1 = DrawProfiles({nullptr, &mono, nullptr}, 40, 1, false, ProfileChannel::All);
    // Background silver, grid grey at 64 i - 1 and 32 i - 1.
    EXPECT_TRUE(IsColour(k1.linear, 10, 10, 192, 192, 192));
    EXPECT_TRUE(IsColour(k1.linear, 10, 63, 128, 128, 128));
    EXPECT_TRUE(IsColour(k1.linear, 10, 255, 128, 128, 128));
    EXPECT_TRUE(IsColour(k1.logarithmic, 10, 223, 128, 128, 128));
    EXPECT_TRUE(IsColour(k1.logarithmic, 10, 224, 192, 192, 192));
    // Linear: R = 64 at k = 1 is y = 192; scan line 40 (R = 200) makes a spike to y = 56.
    EXPECT_TRUE(IsColour(k1.linear, 10, 192, 0, 0, 0));
    EXPECT_TRUE(IsColour(k1.linear, 40, 56, 0, 0, 0));
    // Logarithmic: v = 0.25 gives s = -19.27, drawn at y = 19.
    EXPECT_TRUE(IsColour(k1.logarithmic, 10, 19, 0, 0, 0));
    EXPECT_TRUE(IsColour(k1.logarithmic, 10, 20, 192, 192, 192));
    // The zero pixel sends the segments to and from j = 100 down past the bottom edge.
    EXPECT_TRUE(IsColour(k1.logarithmic, 99, 256, 0, 0, 0));
    EXPECT_TRUE(IsColour(k1.logarithmic, 101, 256, 0, 0, 0));
    // The last point only ends a segment; it is not drawn itself.
    EXPECT_TRUE(IsColour(k1.linear, 255, 192, 192, 192, 192));

    const ProfilePlots k2 = DrawProfiles({nullptr, &mono, nullptr}, 40, 2, false, ProfileChannel::All);
    EXPECT_TRUE(IsColour(k2.linear, 10, 128, 0, 0, 0));
    EXPECT_TRUE(IsColour(k2.linear, 10, 192, 192, 192, 192));
    EXPECT_TRUE(SamePicture(k2.logarithmic, k1.logarithmic)) << "the logarithmic plot does not change with k";
    // R = 200 at k = 2 runs off the top: the segments leave through y = 0.
    EXPECT_TRUE(IsColour(k2.linear, 39, 0, 0, 0, 0));
}

TEST(ProfilePlot, ColourChannelsUseTheirPensAndMonochromeIgnoresTheChoice) {
    const Picture24 red = Uniform(0.5);    // R = 127: y = 129
    const Picture24 green = Uniform(0.25); // R = 63
    const Picture24 blue = Uniform(0.125); // R = 31
    const ProfileSources sources{&red, &green, &blue};
    const ProfilePlots all = DrawProfiles(sources, 10, 1, true, ProfileChannel::All);
    EXPECT_TRUE(IsColour(all.linear, 50, 256 - 127, 255, 0, 0));
    EXPECT_TRUE(IsColour(all.linear, 50, 256 - 63, 0, 128, 0));
    EXPECT_TRUE(IsColour(all.linear, 50, 256 - 31, 0, 0, 255));

    const ProfilePlots blueOnly = DrawProfiles(sources, 10, 1, true, ProfileChannel::Blue);
    EXPECT_TRUE(IsColour(blueOnly.linear, 50, 256 - 127, 192, 192, 192));
    EXPECT_TRUE(IsColour(blueOnly.linear, 50, 256 - 31, 0, 0, 255));

    const ProfilePlots mono = DrawProfiles(sources, 10, 1, false, ProfileChannel::Red);
    EXPECT_TRUE(IsColour(mono.linear, 50, 256 - 63, 0, 0, 0));
    EXPECT_TRUE(IsColour(mono.linear, 50, 256 - 127, 192, 192, 192));
}

TEST(ProfilePlot, AxisLabelsFollowTheMagnification) {
    std::vector<std::string> atTwo;
    for (double f : {1.0, 0.75, 0.5, 0.25, 0.0}) atTwo.push_back(LinearAxisLabel(f, 2));
    EXPECT_EQ(atTwo, (std::vector<std::string>{"0.50", "0.38", "0.25", "0.13", "0.00"}));
    EXPECT_EQ(LinearAxisLabel(1, 1), "1.00");
    EXPECT_EQ(LinearAxisLabel(0.75, 100), "0.01");
}

TEST(ProfileText, TwoHundredFiftySixLinesOfThePlottedColumn) {
    const Picture24 mono = ProfileImage();
    const std::string text = ProfileText(mono, 40);
    std::istringstream in(text);
    std::string line;
    int j = 0;
    while (std::getline(in, line)) {
        const std::string expected = std::to_string(j) + " " + FormatStream(DecodeIntensity(mono.Red(40, j), 0, 0)) + "\r";
        ASSERT_EQ(line, expected) << "line " << j;
        ++j;
    }
    EXPECT_EQ(j, 256);
    EXPECT_NE(text.find("\n40 0.78125\r\n"), std::string::npos) << "column 40 crosses scan line 40 there";
    EXPECT_NE(text.find("\n100 0\r\n"), std::string::npos);
    EXPECT_NE(text.find("\n39 0.25\r\n"), std::string::npos) << "the column, not scan line 40 (0.78125 everywhere)";
    EXPECT_EQ(text.substr(0, 8), "0 0.25\r\n");

    Picture24 peak(256, 256);
    SetCode(peak, 3, 0, 255);
    SetCode(peak, 3, 1, 0, 0, 205);  // 205 / 2^24 = 1.22e-05
    const std::string peakText = ProfileText(peak, 3);
    EXPECT_EQ(peakText.substr(0, 26), "0 0.996094\r\n1 1.2219e-05\r\n");
}

TEST(Thumbnail, ScaledPictureWithTheCyanCut) {
    Picture24 display(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) display.SetPixel(x, y, x, y, 7);
    const Picture24 t = DrawThumbnail(display, 127);
    ASSERT_EQ(t.width, 127);
    ASSERT_EQ(t.height, 127);
    for (int y = 0; y < 127; ++y) ASSERT_TRUE(IsColour(t, 63, y, 0, 255, 255)) << y;
    EXPECT_EQ(t.Red(100, 50), 100 * 256 / 127);
    EXPECT_EQ(t.Green(100, 50), 50 * 256 / 127);
    const Picture24 last = DrawThumbnail(display, 255);  // x = 127 is just outside the thumbnail
    for (int y = 0; y < 127; ++y) ASSERT_FALSE(IsColour(last, 126, y, 0, 255, 255)) << y;
    EXPECT_TRUE(IsColour(DrawThumbnail(display, 0), 0, 126, 0, 255, 255));
}

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    int count = 0;
};

Box WhiteBox(const Picture24& p) {
    Box b;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            if (IsColour(p, x, y, 255, 255, 255)) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
                ++b.count;
            } else if (!IsColour(p, x, y, 0, 0, 128)) {
                ADD_FAILURE() << "neither navy nor white at " << x << "," << y;
                return b;
            }
        }
    return b;
}

TEST(Relief, FlatMeshAtZeroAndNinetyDegrees) {
    const Picture24 zero(256, 256);
    const Picture24 flat = DrawRelief(zero, 0);
    ASSERT_EQ(flat.width, 445);
    ASSERT_EQ(flat.height, 400);
    const Box b = WhiteBox(flat);
    EXPECT_EQ(b.x0, 102);
    EXPECT_EQ(b.x1, 350);
    EXPECT_EQ(b.y0, 236);
    EXPECT_EQ(b.y1, 360);
    // Rows at y = 300 + 4a, columns at x = 230 + 8b; between them navy.
    EXPECT_TRUE(IsColour(flat, 105, 236, 255, 255, 255));
    EXPECT_TRUE(IsColour(flat, 110, 238, 255, 255, 255));
    EXPECT_TRUE(IsColour(flat, 105, 238, 0, 0, 128));
    EXPECT_TRUE(IsColour(flat, 0, 0, 0, 0, 128));

    // At 90 degrees the rows run vertically at x = 230 + 8a (up to the truncation).
    const Picture24 turned = DrawRelief(zero, 90);
    const Box t = WhiteBox(turned);
    EXPECT_EQ(t.x0, 102);
    EXPECT_EQ(t.x1, 350);
    EXPECT_GE(t.y0, 239);
    EXPECT_LE(t.y1, 364);
    EXPECT_TRUE(IsColour(turned, 102, 302, 255, 255, 255));
    EXPECT_TRUE(IsColour(turned, 104, 302, 0, 0, 128));
    EXPECT_TRUE(IsColour(turned, 104, 300, 255, 255, 255)) << "the column b = 0 runs across";
}

TEST(Relief, IntensityLiftsThePointAndOnlyTheCentreCounts) {
    Picture24 mono(256, 256);
    SetCode(mono, 128, 128, 255);  // the centre sample (a = b = 0) at the peak
    SetCode(mono, 0, 0, 255);      // far outside the 32 x 32 centre
    const Picture24 relief = DrawRelief(mono, 0);
    // 300 - 240 x 0.99609375 = 60.9: the peak is drawn up at y = 60.
    EXPECT_TRUE(IsColour(relief, 230, 60, 255, 255, 255));
    const Box b = WhiteBox(relief);
    EXPECT_EQ(b.y0, 60);
    EXPECT_EQ(b.x0, 102);
    EXPECT_EQ(b.y1, 360);
    EXPECT_FALSE(SamePicture(DrawRelief(mono, 45), relief));
}

TEST(Animation, StepsAndWrapRules) {
    EXPECT_EQ(NextAnimationAngle(30, 0), 30);
    EXPECT_EQ(NextAnimationAngle(30, 1), 31);
    EXPECT_EQ(NextAnimationAngle(358, 1), 359);
    EXPECT_EQ(NextAnimationAngle(359, 1), 0);
    EXPECT_EQ(NextAnimationAngle(30, 5), 35);
    EXPECT_EQ(NextAnimationAngle(354, 5), 359);
    EXPECT_EQ(NextAnimationAngle(355, 5), 0);
    EXPECT_EQ(NextAnimationAngle(356, 5), 0) << "356 + 5 gives 0, not 1";
    EXPECT_EQ(NextAnimationAngle(357, 5), 0);
    EXPECT_EQ(NextAnimationAngle(0, 5), 5);
}

}  // namespace
}  // namespace velmora
