#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>

#include "core/SimulationParameters.h"

namespace velmora {
namespace {

TEST(NumberText, IntegersAndTheirRefusals) {
    EXPECT_EQ(ParseInteger("160"), 160);
    EXPECT_EQ(ParseInteger(" -20 "), -20);
    EXPECT_EQ(ParseInteger("+7"), 7);
    for (const char* bad : {"", " ", "abc", "12abc", "1.5", "99999999999", "--1", "0x10"})
        EXPECT_THROW(ParseInteger(bad), ConversionError) << "'" << bad << "'";
    try {
        ParseInteger("abc");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

TEST(NumberText, Decimals) {
    EXPECT_EQ(ParseDecimal("0.5"), 0.5);
    EXPECT_EQ(ParseDecimal(".5"), 0.5);
    EXPECT_EQ(ParseDecimal(" -1e-3"), -0.001);
    EXPECT_EQ(ParseDecimal("2."), 2.0);
    for (const char* bad : {"", ".", "1,5", "inf", "nan", "1e999", "0x1p3", "1e", "e5", "1.2.3"})
        EXPECT_THROW(ParseDecimal(bad), ConversionError) << "'" << bad << "'";
}

TEST(NumberText, DecimalsWhateverTheProcessLocale) {
    // The toolkit adopts the desktop's locale, whose decimal mark may be a comma.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no comma-decimal locale installed";
    const double half = ParseDecimal("0.5");
    const long double third = ParseExtended("0.25");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(half, 0.5);
    EXPECT_EQ(third, 0.25L);
}

TEST(NumberText, Formats) {
    EXPECT_EQ(FormatGeneral(0.03), "0.03");
    EXPECT_EQ(FormatGeneral(-3 * 0.01), "-0.03");
    EXPECT_EQ(FormatGeneral(0.0), "0");
    EXPECT_EQ(FormatGeneral(-0.0), "0");
    EXPECT_EQ(FormatGeneral(1024), "1024");
    EXPECT_EQ(FormatGeneral(5 * 0.1), "0.5");
    EXPECT_EQ(FormatGeneral(3 * 0.1), "0.3") << "15 digits hide the binary tail";
    EXPECT_EQ(FormatGeneral(0.00001), "1E-5");

    EXPECT_EQ(FormatStream(1.0), "1");
    EXPECT_EQ(FormatStream(0.5), "0.5");
    EXPECT_EQ(FormatStream(0.02), "0.02");
    EXPECT_EQ(FormatStream(1.2e-5), "1.2e-05");
    EXPECT_EQ(FormatStream(1.0 / 3), "0.333333");

    EXPECT_EQ(FormatHashDot00(1.0), "1.00");
    EXPECT_EQ(FormatHashDot00(0.5), ".50");
    EXPECT_EQ(FormatHashDot00(0.0), ".00");
    EXPECT_EQ(FormatHashDot00(-0.5), "-.50");
    EXPECT_EQ(FormatHashDot00(10), "10.00");
    EXPECT_EQ(FormatFixed(2.0, 3), "2.000");
    EXPECT_EQ(FormatFixed(0.15, 3), "0.150");
    EXPECT_EQ(FormatFixed(-0.0001, 3), "0.000");
    EXPECT_EQ(FormatFixed(0.125, 2), "0.13") << "an exact tie rounds away from zero";
    EXPECT_EQ(FormatFixed(-0.0625, 3), "-0.063");
    EXPECT_EQ(FormatFixed(2.675, 2), "2.67") << "2.675 is stored below the tie";
    EXPECT_EQ(FormatHashDot00(0.125), ".13");
}

TEST(SimulationParameters, ConversionsOfThePanel) {
    EXPECT_EQ(CoefficientSpinPosition("0.29"), 29) << "the product is formed in extended precision";
    EXPECT_EQ(CoefficientSpinPosition("0.295"), 29);
    EXPECT_EQ(CoefficientSpinPosition("1.0"), 100);
    EXPECT_EQ(CoefficientSpinPosition("-0.015"), -1) << "truncated toward zero";
    EXPECT_EQ(CoefficientSpinPosition("1e9"), 32767) << "held to the 16-bit spin range";
    EXPECT_THROW(CoefficientSpinPosition("x"), ConversionError);

    EXPECT_EQ(PupilDivForExponent(10), 1024);
    EXPECT_EQ(FormatGeneral(PupilDivForExponent(13)), "8192");
    EXPECT_EQ(FormatGeneral(PupilDivForExponent(1)), "2");

    SimulationParameters p;
    EXPECT_EQ(FocalRatio(p.focalLength, p.aperture), 6.25);
    EXPECT_EQ(PupilSamples(6.25, 550), 160);
    EXPECT_EQ(PupilSamples(6.25, 400), 220);
    EXPECT_EQ(PupilSamples(6.25, 600), 146);
    EXPECT_EQ(PupilSamples(6.25, 700), 125);
    EXPECT_EQ(PupilSamples(FocalRatio(1000, 0), 550), 0) << "aperture 0";
    EXPECT_EQ(PupilSamples(FocalRatio(0, 160), 550), INT32_MAX) << "focal length 0";
    EXPECT_EQ(PupilSamples(6.25, 0), INT32_MAX);
    EXPECT_EQ(PupilSamples(6.25, -400), -220);

    EXPECT_EQ(spin::Shift(301).max, 150);
    EXPECT_EQ(spin::Shift(160).max, 80);
    for (int code = 3; code <= 8; ++code) {
        DensityProfileKind k;
        ASSERT_TRUE(DensityProfileFromCode(code, k));
        EXPECT_EQ(DensityProfileCode(k), code);
    }
    DensityProfileKind k = DensityProfileKind::Cosine;
    EXPECT_FALSE(DensityProfileFromCode(9, k));
    EXPECT_EQ(k, DensityProfileKind::Cosine);
    EXPECT_EQ(DensityProfileCode(DensityProfileKind::None), 7);

    p.focus = 5;
    p.spherical = -3;
    Aberrations a = AberrationsInWaves(p);
    EXPECT_DOUBLE_EQ(a.focus, 0.5);
    EXPECT_DOUBLE_EQ(a.spherical, -0.03);
}

}  // namespace
}  // namespace velmora
