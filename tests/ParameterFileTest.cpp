#include "files/ParameterFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <unistd.h>

#include "TestSupport.h"
#include "SpecialFiles.h"

namespace velmora {
namespace {

using testing::factoryFile;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

SimulationParameters Apply(const ParameterFileRead& read, SimulationParameters p = {}) {
    for (const auto& a : read.assignments) ApplyAssignment(p, a);
    return p;
}

TEST(ParameterFile, FactoryTextByteForByte) {
    EXPECT_EQ(FormatParameterFile(SimulationParameters{}), factoryFile);
    TempDir dir;
    WriteParameterFile(dir.File("default.vl1"), SimulationParameters{});
    EXPECT_EQ(ReadAll(dir.File("default.vl1")), factoryFile);
}

TEST(ParameterFile, WriteThenReadRestoresEveryField) {
    SimulationParameters p;
    p.aperture = 301;
    p.focalLength = 2500;
    p.secondaryDiameter = 0;
    p.barWidth = 7;
    p.angle1 = 10;
    p.angle2 = 100;
    p.angle3 = 190;
    p.angle4 = 359;
    p.spider1 = true;
    p.spider3 = true;
    p.shiftX = 12;
    p.shiftY = -3;
    p.pupilDiv = 8192;
    p.pupilDivExponent = 13;
    p.magnification = 4200;
    p.colorMode = ColorMode::Colour;
    p.whiteBand = {350, 1100, 5};
    p.redBand = {610, 690, 20};
    p.greenBand = {510, 590, 40};
    p.blueBand = {410, 490, 1};
    p.densityCoefficient = 0.02;
    p.densityProfile = DensityProfileKind::Cosine;
    TempDir dir;
    WriteParameterFile(dir.File("x.vld"), p);
    ParameterFileRead read = ReadParameterFile(dir.File("x.vld"));
    ASSERT_TRUE(read.exists);
    ASSERT_TRUE(read.complete);
    SimulationParameters q = Apply(read);
    EXPECT_EQ(FormatParameterFile(q), FormatParameterFile(p));
    EXPECT_EQ(q.pupilDivExponent, 13);

    // The user mask and user filter kinds come back as none; "1.0" comes back as "1".
    for (auto kind : {DensityProfileKind::UserMask, DensityProfileKind::UserFilter, DensityProfileKind::None}) {
        p.densityProfile = kind;
        ParameterFileRead r = ParseParameterText(FormatParameterFile(p));
        ASSERT_TRUE(r.complete);
        EXPECT_EQ(r.assignments.back(), (ParameterAssignment{ParameterAssignment::Kind::Select, "RadioButton7", "", false}));
    }
    p.densityCoefficient = 1.0;
    ParameterFileRead r = ParseParameterText(FormatParameterFile(p));
    bool found = false;
    for (const auto& a : r.assignments)
        if (a.control == "Edit19") {
            EXPECT_EQ(a.text, "1");
            found = true;
        }
    EXPECT_TRUE(found);
}

TEST(ParameterFile, ReaderIsPositionalAndTokenBased) {
    // LF line ends, other keys, the layout folded onto fewer lines: the same values.
    std::string folded =
        "Some header words\nA 160 B 1000 C 50 D 1 E 0 F 90 G 180 H 270 I 0 J 0 K 1024 L 1000\n"
        "Color 3 W W 600 700 100 R R 600 700 100 G G 500 600 100 B B 400 500 100 Co 1 Sp 1 0 1 0 Fi 3";
    ParameterFileRead r = ParseParameterText(folded);
    ASSERT_TRUE(r.complete);
    SimulationParameters p = Apply(r);
    EXPECT_EQ(p.colorMode, ColorMode::Colour);
    EXPECT_TRUE(p.spider1);
    EXPECT_FALSE(p.spider2);
    EXPECT_TRUE(p.spider3);
    EXPECT_EQ(p.densityProfile, DensityProfileKind::Gaussian);

    // Codes outside the lists change nothing: colour 2, spider 5, filter 9.
    std::string odd = factoryFile;
    odd.replace(odd.find("Color 1"), 7, "Color 2");
    odd.replace(odd.find("Spiders 0 0 0 0"), 15, "Spiders 5 1 0 0");
    odd.replace(odd.find("Filters 7"), 9, "Filters 9");
    SimulationParameters start;
    start.colorMode = ColorMode::Colour;
    start.spider1 = true;
    start.densityProfile = DensityProfileKind::Triangle;
    r = ParseParameterText(odd);
    ASSERT_TRUE(r.complete);
    p = Apply(r, start);
    EXPECT_EQ(p.colorMode, ColorMode::Colour);
    EXPECT_TRUE(p.spider1);
    EXPECT_TRUE(p.spider2);
    EXPECT_EQ(p.densityProfile, DensityProfileKind::Triangle);

    // Assignments come in file order, each as the control it goes to.
    r = ParseParameterText(factoryFile);
    ASSERT_EQ(r.assignments.size(), 12u + 1 + 12 + 1 + 4 + 1);
    EXPECT_EQ(r.assignments[0], (ParameterAssignment{ParameterAssignment::Kind::Text, "Edit1", "160", false}));
    EXPECT_EQ(r.assignments[12].control, "RadioButton1");
    EXPECT_EQ(r.assignments[13].control, "Edit33");
    EXPECT_EQ(r.assignments[16].control, "Edit20");
    EXPECT_EQ(r.assignments[17].control, "Edit5");
    EXPECT_EQ(r.assignments[18].control, "Edit10");
}

TEST(ParameterFile, MalformedFilesStopAtTheFirstUnreadableValue) {
    // Cut the factory file at every byte: never a crash, never more than what was read.
    const std::string full = factoryFile;
    for (size_t cut = 0; cut < full.size(); ++cut) {
        ParameterFileRead r = ParseParameterText(full.substr(0, cut));
        EXPECT_FALSE(r.complete && cut < full.size() - 3) << "cut at " << cut;
        EXPECT_LE(r.assignments.size(), 31u);
    }
    ParameterFileRead r = ParseParameterText(full.substr(0, full.find("BarWidth")));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.stoppedAtLine, 5);
    EXPECT_EQ(r.stoppedAtKey, "BarWidth");
    ASSERT_EQ(r.assignments.size(), 3u);
    SimulationParameters p = Apply(r);
    EXPECT_EQ(p.secondaryDiameter, 50);

    std::string bad = full;
    bad.replace(bad.find("Focal_length 1000"), 17, "Focal_length 1e3");
    r = ParseParameterText(bad);
    EXPECT_EQ(r.stoppedAtLine, 3);
    EXPECT_EQ(r.assignments.size(), 1u);

    bad = full;
    bad.replace(bad.find("Coefficient 1"), 13, "Coefficient one");
    r = ParseParameterText(bad);
    EXPECT_EQ(r.stoppedAtLine, 19);

    bad = full;
    bad.replace(bad.find("Aperture"), 8, std::string(101, 'K'));
    r = ParseParameterText(bad);
    EXPECT_EQ(r.stoppedAtLine, 2) << "a key longer than 100 bytes is malformed";
    bad = full;
    bad.replace(bad.find("Aperture"), 8, std::string(100, 'K'));
    EXPECT_TRUE(ParseParameterText(bad).complete);

    std::mt19937 rng(1);
    for (int k = 0; k < 200; ++k) {
        std::string junk(rng() % 600, '\0');
        for (char& c : junk) c = static_cast<char>(rng() % 256);
        ParameterFileRead g = ParseParameterText(junk);
        EXPECT_LE(g.assignments.size(), 31u);
    }
}

TEST(ParameterFile, MissingAndUnreadableFiles) {
    TempDir dir;
    ParameterFileRead r = ReadParameterFile(dir.File("absent.vl2"));
    EXPECT_FALSE(r.exists);
    EXPECT_TRUE(r.assignments.empty());

    r = ReadParameterFile(dir.File(""));  // a directory
    EXPECT_TRUE(r.exists);
    EXPECT_FALSE(r.complete);

    EXPECT_THROW(WriteParameterFile(dir.File("no/such/dir/x.vld"), SimulationParameters{}), std::runtime_error);
    // A failed write leaves an existing file as it was.
    const std::string target = dir.File("keep.vld");
    WriteAll(target, "old");
    std::filesystem::create_directory(target + ".part" + std::to_string(::getpid()));  // the write's scratch name taken
    EXPECT_THROW(WriteParameterFile(target, SimulationParameters{}), std::runtime_error);
    EXPECT_EQ(ReadAll(target), "old");
}

TEST(ParameterFile, ACoefficientWhoseTextWouldNotConvertBackIsUnreadable) {
    // The largest double is 1.7976931348623157e308; its 15-digit text "1.79769313486232E308"
    // rounds above it, as does that of every double from 1.7976931348623151e308 on (the
    // double nearest 1.797693134862315e308 lies just below the rounding point).
    // 1.797693134862315e308 still shows as a text that converts.
    const std::string full = factoryFile;
    auto withCoefficient = [&](const std::string& c) {
        std::string t = full;
        t.replace(t.find("Coefficient 1"), 13, "Coefficient " + c);
        return ParseParameterText(t);
    };
    for (const char* top : {"1.7976931348623157e308", "1.7976931348623152e308", "-1.7976931348623157e308"}) {
        const ParameterFileRead r = withCoefficient(top);
        EXPECT_FALSE(r.complete) << top;
        EXPECT_EQ(r.stoppedAtLine, 19) << top;
        EXPECT_EQ(r.stoppedAtKey, "Coefficient");
        EXPECT_EQ(r.assignments.size(), 25u) << "everything before line 19 stays read";
        EXPECT_NO_THROW(Apply(r));
    }
    const ParameterFileRead below = withCoefficient("1.797693134862315e308");
    ASSERT_TRUE(below.complete);
    const SimulationParameters p = Apply(below);
    EXPECT_EQ(p.densityCoefficient, 1.79769313486231e308);
    EXPECT_TRUE(ParseParameterText(FormatParameterFile(p)).complete) << "and it writes a file that reads again";
}

TEST(ParameterFile, SpecialFilesAreRefusedWithoutBlocking) {
    TempDir dir;
    testfiles::PipeWithWatchdog pipe(dir.File("pipe.vl2"));
    ASSERT_TRUE(pipe.Made());
    const struct {
        std::string path;
        const char* kind;
    } cases[] = {{pipe.Path(), "名前付きパイプ"}, {dir.File(""), "フォルダ"}, {"/dev/null", "デバイス"}};
    for (const auto& c : cases) {
        const ParameterFileRead r = ReadParameterFile(c.path);
        EXPECT_TRUE(r.exists) << c.path;
        EXPECT_FALSE(r.complete);
        EXPECT_TRUE(r.assignments.empty());
        EXPECT_NE(r.problem.find(c.kind), std::string::npos) << r.problem;
    }
    EXPECT_FALSE(pipe.Hung());
}

}  // namespace
}  // namespace velmora
