// The 24-bit intensity code on its own: V = trunc(I x 16711680) split into red, green and blue
// bytes, and the viewers' reading (R + G/256 + B/65536) / 256. Values worked out by hand.
#include "core/IntensityCode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velmora {
namespace {

::testing::AssertionResult Code(double intensity, int r, int g, int b) {
    const Rgb c = EncodeIntensity(intensity);
    if (c.r == r && c.g == g && c.b == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << intensity << " encodes as (" << int(c.r) << ", " << int(c.g) << ", "
                                         << int(c.b) << "), expected (" << r << ", " << g << ", " << b << ")";
}

TEST(IntensityCode, EncodeSplitsTheTruncatedValueIntoRedGreenBlue) {
    EXPECT_TRUE(Code(0, 0, 0, 0));
    EXPECT_TRUE(Code(1, 255, 0, 0)) << "full scale is 0xFF0000";
    EXPECT_TRUE(Code(0.5, 127, 128, 0)) << "8355840 = 0x7F8000";
    EXPECT_TRUE(Code(0.25, 63, 192, 0)) << "4177920 = 0x3FC000";
    // The lowest step of each byte (half a step above it, so that the product is not rounded
    // below the integer).
    EXPECT_TRUE(Code(1.5 / intensityCodeScale, 0, 0, 1));
    EXPECT_TRUE(Code(256.5 / intensityCodeScale, 0, 1, 0));
    EXPECT_TRUE(Code(65536.5 / intensityCodeScale, 1, 0, 0));
    EXPECT_TRUE(Code(0.5 / intensityCodeScale, 0, 0, 0)) << "below one step: black";
    // Truncated, not rounded: just under full scale is 0xFEFFFF, not 0xFF0000.
    EXPECT_TRUE(Code(16711679.5 / intensityCodeScale, 254, 255, 255));
}

TEST(IntensityCode, ValuesOutsideZeroToOneAreHeldToTheEnds) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(Code(1.0000001, 255, 0, 0));
    EXPECT_TRUE(Code(1e300, 255, 0, 0));
    EXPECT_TRUE(Code(inf, 255, 0, 0));
    EXPECT_TRUE(Code(-1e-12, 0, 0, 0));
    EXPECT_TRUE(Code(-inf, 0, 0, 0));
    EXPECT_TRUE(Code(std::numeric_limits<double>::quiet_NaN(), 0, 0, 0));
}

TEST(IntensityCode, DecodeReadsTheCodeAsAFractionOf2To24) {
    EXPECT_EQ(DecodeIntensity(0, 0, 0), 0.0);
    EXPECT_EQ(DecodeIntensity(255, 0, 0), 0.99609375) << "full scale reads as 255/256";
    EXPECT_EQ(DecodeIntensity(0, 0, 1), 1.0 / 16777216);
    EXPECT_EQ(DecodeIntensity(0, 1, 0), 1.0 / 65536);
    EXPECT_EQ(DecodeIntensity(1, 0, 0), 1.0 / 256);
    EXPECT_EQ(DecodeIntensity(127, 128, 0), 0.498046875);
    EXPECT_EQ(DecodeIntensity(255, 255, 255), 16777215.0 / 16777216);
    // Each byte weighs in its own place: swapping two of them changes the value.
    EXPECT_NE(DecodeIntensity(1, 2, 3), DecodeIntensity(3, 2, 1));
    EXPECT_NE(DecodeIntensity(1, 2, 3), DecodeIntensity(1, 3, 2));
}

// Every code the run can write decodes to V / 2^24, so a code read back and multiplied by
// 256/255 is the intensity to within one step of the code.
TEST(IntensityCode, DecodingAnEncodedValueGivesVOver2To24) {
    for (long v = 0; v <= 0xFF0000; v += 4093) {
        const double intensity = (v + 0.5) / intensityCodeScale;
        const Rgb c = EncodeIntensity(intensity);
        ASSERT_EQ((c.r << 16) | (c.g << 8) | c.b, v);
        const double back = DecodeIntensity(c.r, c.g, c.b);
        ASSERT_EQ(back, v / 16777216.0) << v;
        ASSERT_NEAR(back * 256 / 255, intensity, 1 / intensityCodeScale) << v;
    }
}

}  // namespace
}  // namespace velmora
