// The run's parameters as JSON: what is written reads back to the same inputs, an absent key
// keeps its factory value, and a bad key is refused with its path in the message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <nlohmann/json.hpp>

#include "files/RunParameters.h"

namespace velmora {
namespace {

using nlohmann::json;

// A set-up in which every input differs from the factory values.
RunParameters Unusual() {
    RunParameters r;
    SimulationParameters& p = r.panel;
    p.aperture = 203;
    p.focalLength = 1219;
    p.secondaryDiameter = 61;
    p.barWidth = 3;
    p.angle1 = 10, p.angle2 = 100, p.angle3 = 190, p.angle4 = 280;
    p.spider1 = true, p.spider3 = true;
    p.shiftX = 4, p.shiftY = -2;
    p.magnification = 1200;
    p.pupilDivExponent = 9, p.pupilDiv = 512;
    p.densityProfile = DensityProfileKind::Triangle;
    p.densityCoefficient = 0.1 + 0.2;  // not exactly 0.3: the bits must survive
    p.colorMode = ColorMode::Colour;
    p.whiteBand = {550, 560, 5};
    p.redBand = {610, 690, 20};
    p.greenBand = {510, 590, 40};
    p.blueBand = {410, 490, 80};
    p.focus = -37, p.spherical = 12, p.astigmatismM = -1, p.astigmatismS = 2, p.comaX = 3, p.comaY = -4, p.tiltX = 5,
    p.tiltY = -6;
    p.contrast = 411;
    p.useWavelengthDependence = true;
    Aberrations a;
    a.focus = -3.7, a.spherical = 1.0 / 3, a.astigmatismM = -0.01, a.astigmatismS = 0.02, a.comaX = 0.3;
    a.comaY = std::nextafter(0.4, 1.0), a.tiltX = 5e-300, a.tiltY = -0.06;
    r.aberrations = a;
    r.brightness = 77;
    r.userFilterFile = "filters/inner half.uft";
    r.userMaskFile = "マスク.bmp";
    r.wavelengthTable = WavelengthTableInput{"table.txt", {"550", "555.0"}, {{"0.1", "x"}, {"", "-2"}}};
    r.zernike = ZernikeSet{ZernikeOrdering::Ansi, {{0, 0.5}, {12, -1.0 / 7}, {90, 1e-9}}};
    r.seeingArcsec = 1.0 / 3;
    r.companion = {2.5, -33.3, 1.0 / 7};
    r.cameraPixelUm = 4.6;
    return r;
}

TEST(RunParametersJson, EveryInputReadsBackAsItWasWritten) {
    const RunParameters r = Unusual();
    const std::string text = RunParametersToJson(r).dump(2);
    const RunParameters back = RunParametersFromJson(json::parse(text));
    EXPECT_EQ(back, r);
    // The doubles to the bit, not only to the printed digits.
    EXPECT_EQ(std::memcmp(&back.panel.densityCoefficient, &r.panel.densityCoefficient, sizeof(double)), 0);
    EXPECT_EQ(back.aberrations->comaY, r.aberrations->comaY);
}

TEST(RunParametersJson, TheFactoryValuesAreTheDefaults) {
    EXPECT_EQ(RunParametersFromJson(json::object()), RunParameters{});
    EXPECT_EQ(RunParametersFromJson(RunParametersToJson(RunParameters{})), RunParameters{});
    // One key given: only it changes.
    RunParameters expected;
    expected.panel.aperture = 250;
    EXPECT_EQ(RunParametersFromJson(json{{"aperture_mm", 250}}), expected);
    // Null for the coefficients and the files means none.
    const RunParameters nulls = RunParametersFromJson(
        json{{"aberrations_waves", nullptr}, {"user_filter_file", nullptr}, {"wavelength_table", nullptr}});
    EXPECT_EQ(nulls, RunParameters{});
}

TEST(RunParametersJson, TheKeysAreThoseOfTheSchema) {
    const json j = RunParametersToJson(Unusual());
    for (const char* key : {"mode", "aperture_mm", "focal_length_mm", "secondary_mm", "vane_width_mm", "vanes", "density",
                            "bands_nm", "aberration_positions", "contrast", "use_wavelength_dependence", "aberrations_waves",
                            "brightness", "user_filter_file", "user_mask_file", "wavelength_table"})
        EXPECT_TRUE(j.contains(key)) << key;
    EXPECT_EQ(j["mode"], "color");
    EXPECT_EQ(j["density"]["profile"], "triangle");
    EXPECT_EQ(j["bands_nm"]["red"], json({{"min", 610}, {"max", 690}, {"step", 20}}));
    EXPECT_EQ(j["vanes"][2], json({{"angle_deg", 190}, {"on", true}}));
    EXPECT_EQ(j["wavelength_table"]["rows"][1], json({{"wavelength", "555.0"}, {"spherical", ""}, {"focus", "-2"}}));
}

struct BadKey {
    const char* text;
    const char* named;  // the key path the message must name
    const char* says;
};

void PrintTo(const BadKey& k, std::ostream* out) { *out << k.text; }

class RunParametersRefusal : public ::testing::TestWithParam<BadKey> {};

TEST_P(RunParametersRefusal, NamesTheKey) {
    try {
        RunParametersFromDocument(GetParam().text);
        ADD_FAILURE() << "accepted";
    } catch (const RunParametersError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(GetParam().named), std::string::npos) << what;
        EXPECT_NE(what.find(GetParam().says), std::string::npos) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BadDocuments, RunParametersRefusal,
    ::testing::Values(BadKey{R"({"aperture_mm": "160"})", "parameters.aperture_mm", "whole number"},
                      BadKey{R"({"aperture_mm": 160.5})", "parameters.aperture_mm", "whole number"},
                      BadKey{R"({"aperture_mm": 3000000000})", "parameters.aperture_mm", "from"},
                      BadKey{R"({"aperture": 160})", "parameters.aperture", "not a key this version knows"},
                      BadKey{R"({"bands_nm": {"white": {"min": 600, "stp": 5}}})", "parameters.bands_nm.white.stp", "not a key"},
                      BadKey{R"({"vanes": [1, 2, 3]})", "parameters.vanes", "four vanes"},
                      BadKey{R"({"vanes": [{}, {}, {"on": 1}, {}]})", "parameters.vanes[2].on", "true or false"},
                      BadKey{R"({"mode": "colour"})", "parameters.mode", "\"mono\" or \"color\""},
                      BadKey{R"({"density": {"profile": "gauss"}})", "parameters.density.profile", "\"gaussian\""},
                      BadKey{R"({"aberration_positions": {"focus": 40000}})", "parameters.aberration_positions.focus", "-32768"},
                      BadKey{R"({"aberrations_waves": {"coma_x": "0.3"}})", "parameters.aberrations_waves.coma_x", "a number"},
                      BadKey{R"({"brightness": 0})", "parameters.brightness", "from 1 to 100"},
                      BadKey{R"({"user_mask_file": 3})", "parameters.user_mask_file", "file name"},
                      BadKey{R"({"wavelength_table": {"rows": [{"focus": 0.2}]}})", "parameters.wavelength_table.rows[0].focus", "text"},
                      BadKey{R"({"zernike": {"ordering": "zygo"}})", "parameters.zernike.ordering", "\"fringe\" or \"ansi\""},
                      BadKey{R"({"zernike": {"waves": {"38": 0.1}}})", "parameters.zernike.waves.38", "from 1 to 37"},
                      BadKey{R"({"zernike": {"ordering": "ansi", "waves": {"91": 0.1}}})", "parameters.zernike.waves.91", "from 0 to 90"},
                      BadKey{R"({"zernike": {"waves": {"Z4": 0.1}}})", "parameters.zernike.waves.Z4", "whole number"},
                      BadKey{R"({"zernike": {"waves": {"4": "0.1"}}})", "parameters.zernike.waves.4", "a number of waves"},
                      BadKey{R"({"zernike": {"waves": {"4": 1e6}}})", "parameters.zernike.waves.4", "a number of waves"},
                      BadKey{R"({"zernike": {"waves": [0.1]}})", "parameters.zernike.waves", "an object"},
                      BadKey{R"({"seeing_arcsec": -1})", "parameters.seeing_arcsec", "from 0 to 60"},
                      BadKey{R"({"seeing_arcsec": "2"})", "parameters.seeing_arcsec", "a number"},
                      BadKey{R"({"double_star": {"separation_arcsec": 4000}})", "parameters.double_star.separation_arcsec", "from 0 to 3600"},
                      BadKey{R"({"double_star": {"separation_arcsec": 2, "delta_mag": -1}})", "parameters.double_star.delta_mag", "from 0 to 15"},
                      BadKey{R"({"double_star": {"sep": 2}})", "parameters.double_star.sep", "not a key"},
                      BadKey{R"({"camera_pixel_um": 200})", "parameters.camera_pixel_um", "from 0 to 100"},
                      BadKey{R"([1, 2])", "parameters", "an object"},
                      BadKey{R"({"schema": "velmora1-report/1", "mode": "mono"})", "parameters", "no \"parameters\""},
                      BadKey{R"({"schema": "other/1", "parameters": {}})", "schema", "velmora1-report/"},
                      BadKey{"{\"aperture_mm\": 1", "not JSON", "parse"}));

TEST(RunParametersDocument, AReportGivesItsParametersAndABareObjectItself) {
    json inner = RunParametersToJson(Unusual());
    json report = {{"schema", "velmora1-report/1"}, {"mode", "mono"}, {"bands", json::object()}, {"parameters", inner}};
    EXPECT_EQ(RunParametersFromDocument(report.dump()), Unusual());
    EXPECT_EQ(RunParametersFromDocument(inner.dump()), Unusual());
}

}  // namespace
}  // namespace velmora
