// The mirror and field from the command line and in JSON: the options, their refusals, the
// "mirror" key of the parameters and the report's Fringe terms of each band.
#include "app/BatchCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>

#include <fitsio.h>
#include <nlohmann/json.hpp>

#include "core/MirrorAndField.h"
#include "files/RunParameters.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::ReadAll;
using testing::WriteAll;
using Json = nlohmann::json;

class MirrorBatch : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return dir_.File(name); }
    // Runs the command; a report it wrote is checked against the schema.
    int Run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int status = RunBatchCommand(args, out, err, BatchEnvironment{});
        messages = err.str();
        for (size_t k = 0; status == 0 && k + 1 < args.size(); ++k)
            if (args[k] == "--report") {
                EXPECT_TRUE(testing::ReportMeetsSchema(args[k + 1]));
            }
        return status;
    }
    Json Report(const std::string& name) { return Json::parse(ReadAll(File(name))); }
    std::string messages;

private:
    testing::TempDir dir_{"velmora-mirror"};
};

std::vector<std::string> Sphere150F8(std::vector<std::string> more) {
    std::vector<std::string> args = {"--aperture", "150", "--focal-length", "1200", "--secondary", "0",
                                     "--wavelength", "550", "--threads", "1"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The textbook sphere (150 mm f/8): Z9 = 0.1734 waves and a Strehl ratio of about 0.79 (see the core tests
// for the tolerance: the run samples the pupil with 125 samples across).
TEST_F(MirrorBatch, ConicTurnsTheMirrorOnAndTheReportShowsItsTerms) {
    ASSERT_EQ(Run(Sphere150F8({"--conic", "0", "--report", File("r.json")})), 0) << messages;
    const Json r = Report("r.json");
    const Json& white = r["bands"]["white"];
    ASSERT_TRUE(white.contains("zernike_fringe_waves")) << white.dump();
    EXPECT_EQ(white["zernike_fringe_waves"].size(), 1u);
    EXPECT_NEAR(white["zernike_fringe_waves"]["9"].get<double>(), 0.1734, 5e-5);
    EXPECT_NEAR(white["strehl"].get<double>(), 0.79, 0.01);
    EXPECT_EQ(r["parameters"]["mirror"], Json::parse(R"({"conic": 0.0, "field_arcmin": 0.0, "azimuth_deg": 0.0})"));
}

TEST_F(MirrorBatch, FieldAngleAndAzimuthGiveComaAndAstigmatism) {
    ASSERT_EQ(Run({"--aperture", "200", "--focal-length", "1000", "--wavelength", "550", "--conic", "-1",
                   "--field-angle", "6", "--field-azimuth", "90", "--report", File("r.json")}),
              0)
        << messages;
    const Json terms = Report("r.json")["bands"]["white"]["zernike_fringe_waves"];
    // At 90 degrees coma lies along y (Z8) and astigmatism turns by 180 (Z5 negative).
    EXPECT_NEAR(terms["8"].get<double>(), 0.264, 5e-4);
    EXPECT_NEAR(terms["5"].get<double>(), -0.01385, 5e-5);
    EXPECT_FALSE(terms.contains("7"));
    EXPECT_FALSE(terms.contains("6"));
    EXPECT_FALSE(terms.contains("9")) << "a paraboloid";
}

// Each band's terms at its own mean wavelength; the Zernike table's terms add, an ANSI set in
// its Fringe form.
TEST_F(MirrorBatch, EachBandAtItsMeanWavelengthWithTheZernikeTerms) {
    const ZernikeSet at550 = MirrorFringeWaves(MirrorAndField{true, 0, 0, 0}, 150, 1200, 550);
    const double z9 = at550.coefficients.at(9);
    ASSERT_EQ(Run({"--aperture", "150", "--focal-length", "1200", "--band", "500:600:50", "--conic", "0", "--report",
                   File("band.json")}),
              0)
        << messages;
    EXPECT_NEAR(Report("band.json")["bands"]["white"]["zernike_fringe_waves"]["9"].get<double>(), z9, 1e-12)
        << "500, 550 and 600 nm: mean 550";

    ASSERT_EQ(Run({"--color", "--aperture", "150", "--focal-length", "1200", "--conic", "0", "--report", File("colour.json")}),
              0)
        << messages;
    const Json bands = Report("colour.json")["bands"];
    // The factory bands: blue 400 and 500 nm (mean 450), green 500 and 600, red 600 and 700.
    for (const auto& [name, mean] : {std::pair{"blue", 450.0}, {"green", 550.0}, {"red", 650.0}})
        EXPECT_NEAR(bands[name]["zernike_fringe_waves"]["9"].get<double>(), z9 * 550 / mean, 1e-12) << name;

    // ANSI j = 12 is Fringe Z9 scaled by sqrt(5); j = 3 (45-degree astigmatism) is Fringe Z6
    // scaled by sqrt(6).
    WriteAll(File("terms.zer"), "ordering ansi\n12 0.02\n3 0.01\n");
    ASSERT_EQ(Run(Sphere150F8({"--zernike", File("terms.zer"), "--conic", "0", "--report", File("sum.json")})), 0)
        << messages;
    const Json sum = Report("sum.json")["bands"]["white"]["zernike_fringe_waves"];
    EXPECT_NEAR(sum["9"].get<double>(), z9 + 0.02 * std::sqrt(5.0), 1e-12);
    EXPECT_NEAR(sum["6"].get<double>(), 0.01 * std::sqrt(6.0), 1e-12);
    EXPECT_EQ(sum.size(), 2u);

    // The table alone also shows.
    ASSERT_EQ(Run(Sphere150F8({"--zernike", File("terms.zer"), "--report", File("table.json")})), 0) << messages;
    EXPECT_NEAR(Report("table.json")["bands"]["white"]["zernike_fringe_waves"]["9"].get<double>(), 0.02 * std::sqrt(5.0),
                1e-12);
}

// Nothing added, nothing written: a report without the mirror and the Zernike terms has neither
// key, as before them.
TEST_F(MirrorBatch, WithoutTheMirrorTheReportIsAsItWas) {
    ASSERT_EQ(Run(Sphere150F8({"--coma-x", "0.1", "--report", File("plain.json")})), 0) << messages;
    const Json r = Report("plain.json");
    EXPECT_FALSE(r["bands"]["white"].contains("zernike_fringe_waves"));
    EXPECT_FALSE(r["parameters"].contains("mirror"));
    // A paraboloid on axis is on, and says so, but adds no term: its bands are the clear
    // pupil's, number for number.
    ASSERT_EQ(Run(Sphere150F8({"--report", File("clear.json")})), 0) << messages;
    ASSERT_EQ(Run(Sphere150F8({"--conic", "-1", "--report", File("parabola.json")})), 0) << messages;
    const Json p = Report("parabola.json");
    EXPECT_TRUE(p["parameters"].contains("mirror"));
    EXPECT_EQ(p["bands"], Report("clear.json")["bands"]);
}

TEST_F(MirrorBatch, AReportWithTheMirrorRepeatsItsRun) {
    ASSERT_EQ(Run(Sphere150F8({"--conic", "-0.5", "--field-angle", "4", "--field-azimuth", "30", "--report",
                               File("a.json"), "--intensity", File("a.txt")})),
              0)
        << messages;
    ASSERT_EQ(Run({"--params", File("a.json"), "--report", File("b.json"), "--intensity", File("b.txt")}), 0) << messages;
    EXPECT_EQ(ReadAll(File("b.txt")), ReadAll(File("a.txt")));
    EXPECT_EQ(Report("b.json")["bands"], Report("a.json")["bands"]);
    // A field given with a report's mirror changes only the field.
    ASSERT_EQ(Run({"--params", File("a.json"), "--field-angle", "2", "--report", File("c.json")}), 0) << messages;
    EXPECT_EQ(Report("c.json")["parameters"]["mirror"],
              Json::parse(R"({"conic": -0.5, "field_arcmin": 2.0, "azimuth_deg": 30.0})"));
}

// The primary HDU's keyword, or nothing when it has none.
std::optional<double> FitsKeyword(const std::string& path, const char* key) {
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status)) return std::nullopt;
    double value = 0;
    fits_read_key(f, TDOUBLE, key, &value, nullptr, &status);
    int ignored = 0;
    fits_close_file(f, &ignored);
    if (status) return std::nullopt;
    return value;
}

TEST_F(MirrorBatch, TheFitsHeaderNamesTheMirror) {
    ASSERT_EQ(Run(Sphere150F8({"--conic", "-1.25", "--field-angle", "4.5", "--field-azimuth", "-20", "--fits",
                               File("m.fits")})),
              0)
        << messages;
    EXPECT_EQ(FitsKeyword(File("m.fits"), "MIRCONIC"), -1.25);
    EXPECT_EQ(FitsKeyword(File("m.fits"), "FIELDANG"), 4.5);
    EXPECT_EQ(FitsKeyword(File("m.fits"), "FIELDAZ"), -20);
    EXPECT_EQ(FitsKeyword(File("m.fits"), "APERTURE"), 150) << "the reader itself works";
    ASSERT_EQ(Run(Sphere150F8({"--fits", File("plain.fits")})), 0) << messages;
    EXPECT_FALSE(FitsKeyword(File("plain.fits"), "MIRCONIC"));
}

TEST_F(MirrorBatch, BadNumbersAndAFieldWithoutAMirrorAreUsageErrors) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--conic", "abc"}, "--conic takes a number from -1000 to 1000, not 'abc'"},
        {{"--conic", "1e9"}, "--conic takes a number from -1000 to 1000, not '1e9'"},
        {{"--conic", "nan"}, "--conic takes a number from -1000 to 1000, not 'nan'"},
        {{"--conic", "0", "--field-angle", "-1"}, "--field-angle takes a number of arcminutes from 0 to 60, not '-1'"},
        {{"--conic", "0", "--field-angle", "61"}, "--field-angle takes a number of arcminutes from 0 to 60, not '61'"},
        {{"--conic", "0", "--field-azimuth", "east"},
         "--field-azimuth takes a number of degrees from -360 to 360, not 'east'"},
        {{"--field-angle", "6"}, "--field-angle needs the primary's conic constant: add --conic K (0 sphere, -1 paraboloid)"},
        {{"--field-azimuth", "45"},
         "--field-azimuth needs the primary's conic constant: add --conic K (0 sphere, -1 paraboloid)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--report", File("never.json")});
        EXPECT_EQ(Run(args), 2) << c.message;
        EXPECT_EQ(messages, "velmora1-batch: " + std::string(c.message) +
                                "\nTry 'velmora1-batch --help' for more information.\n");
        EXPECT_FALSE(std::filesystem::exists(File("never.json")));
    }
}

TEST_F(MirrorBatch, HelpNamesTheOptions) {
    std::ostringstream out, err;
    ASSERT_EQ(RunBatchCommand({"--help"}, out, err, BatchEnvironment{}), 0);
    for (const char* option : {"--conic K", "--field-angle ARCMIN", "--field-azimuth DEG", "needs --conic"})
        EXPECT_NE(out.str().find(option), std::string::npos) << option;
}

// The "mirror" key of the parameters: written only when on, read back to the same numbers,
// its faults named by their path.
TEST(MirrorParameters, RoundTripAndAbsentWhenOff) {
    RunParameters off;
    EXPECT_FALSE(RunParametersToJson(off).contains("mirror"));
    EXPECT_EQ(RunParametersFromJson(Json::parse(RunParametersToJson(off).dump())), off);

    RunParameters on;
    on.mirror = MirrorAndField{true, -1.0 / 3, 7.25, -12.5};
    const Json j = Json::parse(RunParametersToJson(on).dump());
    EXPECT_EQ(j["mirror"], Json::parse(R"({"conic": -0.3333333333333333, "field_arcmin": 7.25, "azimuth_deg": -12.5})"));
    EXPECT_EQ(RunParametersFromJson(j), on) << "the same bits";

    // null is off; an empty object is a sphere on axis.
    EXPECT_FALSE(RunParametersFromJson(Json::parse(R"({"mirror": null})")).mirror.on);
    EXPECT_EQ(RunParametersFromJson(Json::parse(R"({"mirror": {}})")).mirror, (MirrorAndField{true, 0, 0, 0}));
}

TEST(MirrorParameters, FaultsNameTheKey) {
    const struct {
        const char* json;
        const char* message;
    } cases[] = {
        {R"({"mirror": 3})", "parameters.mirror: an object {...} is needed"},
        {R"({"mirror": {"conic": "steep"}})", "parameters.mirror.conic: a number is needed"},
        {R"({"mirror": {"conic": 1001}})", "parameters.mirror.conic: a number from -1000 to 1000 is needed"},
        {R"({"mirror": {"field_arcmin": -2}})", "parameters.mirror.field_arcmin: a number from 0 to 60 is needed"},
        {R"({"mirror": {"azimuth_deg": 400}})", "parameters.mirror.azimuth_deg: a number from -360 to 360 is needed"},
        {R"({"mirror": {"radius": 4}})", "parameters.mirror.radius: is not a key this version knows"},
    };
    for (const auto& c : cases) {
        try {
            RunParametersFromJson(Json::parse(c.json));
            ADD_FAILURE() << c.json << " was taken";
        } catch (const RunParametersError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
}

}  // namespace
}  // namespace velmora
