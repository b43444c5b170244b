#include "app/BatchCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <csignal>
#include <fitsio.h>
#include <map>
#include <nlohmann/json.hpp>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <cstring>
#include <cmath>
#include <sys/wait.h>
#include <unistd.h>

#include "SpecialFiles.h"
#include "app/BatchOutput.h"
#include "core/RunThreads.h"
#include "optics/StarTestPictures.h"
#include "files/ImageExport.h"
#include "pupil/PupilModel.h"
#include "files/Bmp.h"
#include "files/Jpeg.h"
#include "files/Png.h"
#include "files/ParameterFile.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::ReadAll;
using testing::WriteAll;
using namespace std::string_literals;

// A usage error: one line that names the problem, one that points at --help; not the help.
::testing::AssertionResult TwoLineUsageError(const std::string& text) {
    if (std::count(text.begin(), text.end(), '\n') != 2 || text.back() != '\n')
        return ::testing::AssertionFailure() << "not two lines";
    if (text.rfind("velmora1-batch: ", 0) != 0) return ::testing::AssertionFailure() << "no program name first";
    if (text.substr(text.find('\n') + 1) != "Try 'velmora1-batch --help' for more information.\n")
        return ::testing::AssertionFailure() << "no pointer at --help";
    return ::testing::AssertionSuccess();
}

class Batch : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return dir_.File(name); }
    // Runs the command with standard output and error apart; every report the run wrote is
    // checked against the schema.
    int Run(std::vector<std::string> args, const BatchEnvironment& env = {}) {
        std::ostringstream out, err;
        int status = RunBatchCommand(args, out, err, env);
        messages = err.str();
        output = out.str();
        if (status == 0) {
            for (size_t k = 0; k + 1 < args.size(); ++k) {
                if (args[k] == "--report" && args[k + 1] != "-" && std::filesystem::is_regular_file(args[k + 1])) {
                    EXPECT_TRUE(testing::ReportMeetsSchema(args[k + 1]));
                }
            }
        }
        if (status == 0 && std::find(args.begin(), args.end(), "--report") != args.end() && output.rfind("{", 0) == 0) {
            WriteAll(File("stdout-report.json"), output);
            EXPECT_TRUE(testing::ReportMeetsSchema(File("stdout-report.json")));
            std::filesystem::remove(File("stdout-report.json"));
        }
        return status;
    }
    bool Empty() const { return std::filesystem::is_empty(dir_.Path()); }
    std::vector<std::vector<double>> ReadIntensity(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::vector<std::vector<double>> rows;
        std::string line;
        while (std::getline(f, line)) {
            EXPECT_TRUE(!line.empty() && line.back() == '\r') << "CR LF line ends";
            std::istringstream in(line);
            std::vector<double> row;
            double v;
            while (in >> v) row.push_back(v);
            rows.push_back(row);
        }
        return rows;
    }

    std::string messages;
    std::string output;  // what the run wrote to standard output

private:
    testing::TempDir dir_{"velmora-batch"};
};

TEST_F(Batch, DefaultsWriteTheResultFiles) {
    ASSERT_EQ(Run({"--progress", "--display", File("d.bmp"), "--pupil", File("p.bmp"), "--intensity", File("i.txt")}), 0) << messages;
    EXPECT_NE(messages.find("wavelength 1 of 2: 600 nm"), std::string::npos);
    EXPECT_NE(messages.find("wavelength 2 of 2: 700 nm"), std::string::npos);

    auto rows = ReadIntensity(File("i.txt"));
    ASSERT_EQ(rows.size(), 256u);
    for (const auto& row : rows) ASSERT_EQ(row.size(), 256u);
    EXPECT_EQ(rows[128][128], 0.996094) << "red 255, green 0, blue 0 decodes as 255/256";
    EXPECT_EQ(rows[128][120], rows[128][136]);

    Picture24 display;
    std::string problem;
    ASSERT_TRUE(DecodeBmp(ReadAll(File("d.bmp")), display, problem)) << problem;
    EXPECT_EQ(display.width, 256);
    EXPECT_EQ(display.Red(128, 128), 255);
    EXPECT_TRUE(std::filesystem::exists(File("p.bmp")));

    // The same display picture as JPEG when the name says so.
    ASSERT_EQ(Run({"--display", File("d.jpg")}), 0) << messages;
    EXPECT_EQ(ReadAll(File("d.jpg")), EncodeJpeg(display, 70));
}

TEST_F(Batch, ColourWritesOneIntensityFilePerBand) {
    ASSERT_EQ(Run({"--color", "--coma-x", "0.3", "--intensity", File("c.txt"), "--progress"}), 0) << messages;
    EXPECT_NE(messages.find("wavelength 6 of 6: 700 nm"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(File("c.txt")));
    const double peaks[3] = {0.996094 * 0.479290, 0.996094 * 0.669421, 0.996094};
    const char* names[3] = {"c-red.txt", "c-green.txt", "c-blue.txt"};
    for (int b = 0; b < 3; ++b) {
        auto rows = ReadIntensity(File(names[b]));
        ASSERT_EQ(rows.size(), 256u) << names[b];
        double top = 0;
        for (const auto& row : rows)
            for (double v : row) top = std::max(top, v);
        EXPECT_NEAR(top, peaks[b], 2e-6) << names[b];
        EXPECT_NE(rows[128][124], rows[128][132]) << "coma is not symmetric about the centre";
    }
    EXPECT_EQ(InsertBeforeExtension("out", "-red"), "out-red");
    EXPECT_EQ(InsertBeforeExtension("a.b/out", "-red"), "a.b/out-red");
    EXPECT_EQ(InsertBeforeExtension("dir/.hidden", "-red"), "dir/.hidden-red");
    EXPECT_EQ(InsertBeforeExtension("x.y.txt", "-red"), "x.y-red.txt");
}

TEST_F(Batch, ParameterFileAndModeOverride) {
    SimulationParameters p;
    p.colorMode = ColorMode::Colour;
    p.whiteBand = {550, 550, 10};
    p.secondaryDiameter = 0;
    WriteParameterFile(File("set.vld"), p);
    ASSERT_EQ(Run({"--params", File("set.vld"), "--mono", "--intensity", File("m.txt"), "--progress"}), 0) << messages;
    EXPECT_NE(messages.find("wavelength 1 of 1: 550 nm"), std::string::npos);
}

TEST_F(Batch, UserFilterAndMaskSelectTheirProfiles) {
    // A filter that closes the outer half of the radius: a smaller pupil, a wider PSF.
    WriteAll(File("inner.uft"), "a b c d e f g 2 r t 0 1 1 0\n");
    ASSERT_EQ(Run({"--intensity", File("open.txt")}), 0) << messages;
    ASSERT_EQ(Run({"--user-filter", File("inner.uft"), "--intensity", File("inner.txt")}), 0) << messages;
    const auto open = ReadIntensity(File("open.txt"));
    const auto inner = ReadIntensity(File("inner.txt"));
    EXPECT_EQ(inner[128][128], 0.996094);
    EXPECT_GT(inner[128][131], open[128][131]) << "the core widens";

    // A white mask passes the pupil as no profile does.
    WriteAll(File("white.bmp"), EncodeBmp24(testing::GreyPicture(200, 200, 255)));
    ASSERT_EQ(Run({"--user-mask", File("white.bmp"), "--intensity", File("white.txt")}), 0) << messages;
    const auto masked = ReadIntensity(File("white.txt"));
    EXPECT_NEAR(masked[128][131], open[128][131], 2e-6);

    // Unreadable files stop before anything is calculated.
    WriteAll(File("bad.uft"), "too few words");
    EXPECT_EQ(Run({"--user-filter", File("bad.uft"), "--intensity", File("x.txt")}), 1);
    EXPECT_NE(messages.find("bad.uft"), std::string::npos) << messages;
    EXPECT_EQ(Run({"--user-mask", File("inner.uft"), "--intensity", File("x.txt")}), 1);
    EXPECT_NE(messages.find("inner.uft"), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(File("x.txt")));
}

TEST_F(Batch, BadOptionsAreUsageErrorsAndWriteNothing) {
    const std::vector<std::vector<std::string>> usage = {
        {"--bogus"},
        {"--focus"},
        {"--focus", "abc", "--display", File("d.bmp")},
        {"--focus", "inf", "--display", File("d.bmp")},
        {"--tilt-x", "nan", "--display", File("d.bmp")},
        {"--brightness", "0", "--display", File("d.bmp")},
        {"--brightness", "101", "--display", File("d.bmp")},
        {"--brightness", "5.5", "--display", File("d.bmp")},
        {"--display"},
        {"--user-filter"},
        {"--user-mask"},
        {"--seeing", "-0.5", "--display", File("d.bmp")},
        {"--seeing", "61", "--display", File("d.bmp")},
        {"--seeing", "2\"", "--display", File("d.bmp")},
        {"--double", "1,2,3,4", "--display", File("d.bmp")},
        {"--double", "-1", "--display", File("d.bmp")},
        {"--double", "2,0,16", "--display", File("d.bmp")},
        {"--pixel-size", "101", "--display", File("d.bmp")},
        {"--camera", File("c.fits")},
        {"--pixel-size", "4", "--camera", File("c.gif")},
    };
    for (const auto& args : usage) {
        EXPECT_EQ(Run(args), 2) << args[0];
        EXPECT_TRUE(TwoLineUsageError(messages)) << messages;
    }
    EXPECT_TRUE(Empty());
}

TEST_F(Batch, BadInputAndRefusedRunsWriteNothing) {
    EXPECT_EQ(Run({"--params", File("absent.vld"), "--display", File("d.bmp")}), 1);
    EXPECT_NE(messages.find("does not exist"), std::string::npos);

    WriteAll(File("half.vld"), "Velmora Data File\r\nAperture 100\r\nFocal_length x\r\n");
    EXPECT_EQ(Run({"--params", File("half.vld"), "--display", File("d.bmp")}), 1);
    EXPECT_NE(messages.find("line 3 (Focal_length)"), std::string::npos) << messages;

    SimulationParameters p;
    p.aperture = 0;
    WriteParameterFile(File("zero.vld"), p);
    EXPECT_EQ(Run({"--params", File("zero.vld"), "--display", File("d.bmp")}), 1);
    EXPECT_NE(messages.find("主鏡口径が 0 mm"), std::string::npos) << messages;

    p = {};
    p.whiteBand.step = 0;
    WriteParameterFile(File("step.vld"), p);
    EXPECT_EQ(Run({"--params", File("step.vld"), "--intensity", File("i.txt")}), 1);

    EXPECT_EQ(Run({"--color", "--pupil", File("p.bmp")}), 1);
    EXPECT_NE(messages.find("monochrome"), std::string::npos);

    EXPECT_EQ(Run({"--display", File("no/such/dir/d.bmp")}), 1);
    EXPECT_NE(messages.find("no/such/dir/d.bmp"), std::string::npos);

    for (const char* name : {"d.bmp", "i.txt", "p.bmp"}) EXPECT_FALSE(std::filesystem::exists(File(name))) << name;
}

TEST_F(Batch, HelpAndVersionAnswerOnStandardOutput) {
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand({"--help"}, out, err), 0);
    EXPECT_EQ(out.str().rfind("usage: velmora1-batch", 0), 0u) << out.str();
    EXPECT_NE(out.str().find("--wavelength-table"), std::string::npos);
    EXPECT_EQ(err.str(), "");

    std::ostringstream version, none;
    EXPECT_EQ(RunBatchCommand({"--version"}, version, none), 0);
    EXPECT_EQ(version.str(), "Velmora 1\nVersion 3.07\n");
    EXPECT_EQ(none.str(), "");
    EXPECT_TRUE(Empty());

    const std::string command = std::string(VELMORA_BATCH_BINARY) + " --help >" + File("help.txt") + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream help(File("help.txt"));
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(help)), {}), out.str());
}

TEST_F(Batch, ThePictureFormatFollowsTheOutputName) {
    ASSERT_EQ(Run({"--coma-x", "0.3", "--display", File("d.bmp"), "--pupil", File("p.bmp")}), 0) << messages;
    ASSERT_EQ(Run({"--coma-x", "0.3", "--display", File("d.png"), "--pupil", File("P.PNG")}), 0) << messages;
    ASSERT_EQ(Run({"--coma-x", "0.3", "--display", File("d.jpeg")}), 0) << messages;
    auto bytes = [&](const char* name) {
        std::ifstream f(File(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), {});
    };
    Picture24 display, pupil;
    std::string problem;
    ASSERT_TRUE(DecodeBmp(bytes("d.bmp"), display, problem)) << problem;
    ASSERT_TRUE(DecodeBmp(bytes("p.bmp"), pupil, problem)) << problem;
    EXPECT_EQ(bytes("d.png"), EncodePng(display));
    EXPECT_EQ(bytes("P.PNG"), EncodePng(pupil));
    EXPECT_EQ(bytes("d.jpeg"), EncodeJpeg(display, 70));
    EXPECT_EQ(bytes("d.png").substr(1, 3), "PNG");

    // Any other name is a usage error that lists what is known, before anything is calculated.
    for (const char* name : {"d.gif", "d", "d.png.txt", "dir.png/d"}) {
        EXPECT_EQ(Run({"--display", File(name)}), 2) << name;
        EXPECT_NE(messages.find(".bmp, .jpg, .jpeg, .png"), std::string::npos) << messages;
        EXPECT_EQ(messages.find("wavelength 1"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(File(name)));
    }
    EXPECT_EQ(Run({"--pupil", File("p.tiff")}), 2);
    EXPECT_NE(messages.find("--pupil"), std::string::npos) << messages;
}

TEST_F(Batch, AWavelengthTableGivesEachWavelengthItsOwnSphericalAndFocus) {
    auto write = [&](const char* name, const std::string& text) { std::ofstream(File(name), std::ios::binary) << text; };
    // The default band is 600 and 700 nm. Rows equal to a uniform setting give that setting's
    // result exactly; the other aberrations still come from the options.
    write("same.txt", "# wavelength spherical focus\n600 0.5 0.25\n\n  700\t0.5 0.25\r\n");
    ASSERT_EQ(Run({"--coma-x", "0.3", "--spherical", "0.5", "--focus", "0.25", "--intensity", File("uniform.txt")}), 0) << messages;
    ASSERT_EQ(Run({"--coma-x", "0.3", "--wavelength-table", File("same.txt"), "--intensity", File("table.txt")}), 0) << messages;
    EXPECT_EQ(ReadIntensity(File("table.txt")), ReadIntensity(File("uniform.txt")));
    EXPECT_EQ(messages.find("warning"), std::string::npos) << messages;

    // Different rows give a result that is neither uniform one.
    write("mixed.txt", "600 0 0\n700 0.5 0.25\n");
    ASSERT_EQ(Run({"--coma-x", "0.3", "--wavelength-table", File("mixed.txt"), "--intensity", File("mixed-out.txt")}), 0);
    ASSERT_EQ(Run({"--coma-x", "0.3", "--intensity", File("none.txt")}), 0);
    const auto mixed = ReadIntensity(File("mixed-out.txt"));
    EXPECT_NE(mixed, ReadIntensity(File("uniform.txt")));
    EXPECT_NE(mixed, ReadIntensity(File("none.txt")));

    // Rows are matched by position; a wavelength that is not the band's is said, not refused.
    write("shifted.txt", "650 0.5 0.25\n700 0.5 0.25\n");
    ASSERT_EQ(Run({"--coma-x", "0.3", "--wavelength-table", File("shifted.txt"), "--intensity", File("shifted-out.txt")}), 0);
    EXPECT_NE(messages.find("warning: line 1"), std::string::npos) << messages;
    EXPECT_NE(messages.find("600 nm"), std::string::npos) << messages;
    EXPECT_EQ(ReadIntensity(File("shifted-out.txt")), ReadIntensity(File("uniform.txt")));
}

TEST_F(Batch, AWavelengthTableTheRunCannotUseIsRefusedWithTheWindowsMessages) {
    auto write = [&](const char* name, const std::string& text) { std::ofstream(File(name), std::ios::binary) << text; };
    write("short.txt", "# only one\n600 0 0\n");
    EXPECT_EQ(Run({"--wavelength-table", File("short.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("波長依存の表が 1 行しかありません（白色光の波長は 2 個）"), std::string::npos) << messages;

    write("cell.txt", "600 0 0\n700 half 0\n");
    EXPECT_EQ(Run({"--wavelength-table", File("cell.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("波長依存の表の 2 行目: 'half'"), std::string::npos) << messages;

    write("missing.txt", "600 0 0\n700 0\n");
    EXPECT_EQ(Run({"--wavelength-table", File("missing.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("波長依存の表の 2 行目: ''"), std::string::npos) << messages;

    // Values beyond the options' ranges are refused as the options are, before anything runs.
    write("huge.txt", "600 1e308 0\n700 1e308 0\n");
    EXPECT_EQ(Run({"--wavelength-table", File("huge.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("波長依存の表の 1 行目の球面収差 1e308 は範囲外です"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("wavelength 1 of"), std::string::npos) << "nothing is computed";
    write("far.txt", "600 0 0\n700 0 -11\n");
    EXPECT_EQ(Run({"--wavelength-table", File("far.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("2 行目のフォーカス -11 は範囲外です"), std::string::npos) << messages;
    // A table saved with a byte-order mark reads as without it.
    write("bom.txt", "\xEF\xBB\xBF""600 0 0\r\n700 0 0\r\n");
    EXPECT_EQ(Run({"--wavelength-table", File("bom.txt")}), 0) << messages;
    EXPECT_EQ(messages.find("warning"), std::string::npos) << messages;

    write("wide.txt", "600 0 0 0\n700 0 0\n");
    EXPECT_EQ(Run({"--wavelength-table", File("wide.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("line 1 has 4 values"), std::string::npos) << messages;

    EXPECT_EQ(Run({"--wavelength-table", File("absent.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("absent.txt"), std::string::npos) << messages;
    EXPECT_EQ(Run({"--color", "--wavelength-table", File("short.txt"), "--intensity", File("o.txt")}), 1);
    EXPECT_NE(messages.find("monochrome"), std::string::npos) << messages;
    EXPECT_EQ(Run({"--wavelength-table"}), 2);
    EXPECT_FALSE(std::filesystem::exists(File("o.txt")));
}

TEST_F(Batch, AUserFilterLongerThanTheTableIsCutWithAWarning) {
    // 600 entries: the first 500 open, the rest closed. Only the first 500 are used, so the
    // pupil is as open as with a 500-entry file of ones, and the cut is said.
    std::string text = "a b c d e f g 600 r t";
    for (int i = 0; i < 600; ++i) text += i < 500 ? " 0 1" : " 0 0";
    std::string five = "a b c d e f g 500 r t";
    for (int i = 0; i < 500; ++i) five += " 0 1";
    { std::ofstream(File("long.uft"), std::ios::binary) << text; }
    { std::ofstream(File("full.uft"), std::ios::binary) << five; }
    ASSERT_EQ(Run({"--user-filter", File("long.uft"), "--intensity", File("long.txt")}), 0) << messages;
    EXPECT_NE(messages.find("warning: user filter '" + File("long.uft") + "' has 600 entries; only the first 500 are used"),
              std::string::npos)
        << messages;
    ASSERT_EQ(Run({"--user-filter", File("full.uft"), "--intensity", File("full.txt")}), 0) << messages;
    EXPECT_EQ(messages.find("warning"), std::string::npos) << messages;
    EXPECT_EQ(ReadIntensity(File("long.txt")), ReadIntensity(File("full.txt")));
}

TEST_F(Batch, TheInstalledCommandEndToEnd) {
    const std::string command = std::string(VELMORA_BATCH_BINARY) + " --intensity " + File("e.txt") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadIntensity(File("e.txt"))[128][128], 0.996094);
    const std::string bad = std::string(VELMORA_BATCH_BINARY) + " --nonsense >/dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 2);
}

TEST_F(Batch, ACoefficientAtTheTopOfTheDoubleRangeIsBadInputNotACrash) {
    std::string text = FormatParameterFile(SimulationParameters{});
    text.replace(text.find("Coefficient 1"), 13, "Coefficient 1.7976931348623157e308");
    { std::ofstream(File("top.vld"), std::ios::binary) << text; }
    EXPECT_EQ(Run({"--params", File("top.vld"), "--display", File("d.bmp")}), 1);
    EXPECT_NE(messages.find("line 19 (Coefficient)"), std::string::npos) << messages;
    // The program itself, whose end by an escaping exception would be status 134.
    const std::string command = std::string(VELMORA_BATCH_BINARY) + " --params " + File("top.vld") + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(std::filesystem::exists(File("d.bmp")));
}

TEST_F(Batch, PipesFoldersAndDevicesAsInputsAreRefusedWithoutHanging) {
    testfiles::PipeWithWatchdog pipe(File("pipe"));
    ASSERT_TRUE(pipe.Made());
    std::filesystem::create_directory(File("folder"));
    const struct {
        std::string path;
        const char* kind;
    } inputs[] = {{pipe.Path(), "名前付きパイプ"}, {File("folder"), "フォルダ"}, {"/dev/zero", "デバイス"}};
    for (const char* option : {"--params", "--user-filter", "--user-mask"})
        for (const auto& in : inputs) {
            EXPECT_EQ(Run({option, in.path, "--intensity", File("i.txt")}), 1) << option << " " << in.path;
            EXPECT_NE(messages.find(in.kind), std::string::npos) << option << ": " << messages;
            EXPECT_NE(messages.find(in.path), std::string::npos) << messages;
        }
    EXPECT_FALSE(pipe.Hung()) << "a reader blocked in open() until the watchdog let it go";
    EXPECT_FALSE(std::filesystem::exists(File("i.txt")));
}

// The wavelength table is opened as every other input is: a pipe is refused, not waited on.
TEST_F(Batch, AWavelengthTablePipeOrDeviceIsRefusedWithoutHanging) {
    testfiles::PipeWithWatchdog pipe(File("table-pipe"));
    ASSERT_TRUE(pipe.Made());
    EXPECT_EQ(Run({"--wavelength-table", pipe.Path(), "--intensity", File("i.txt")}), 1);
    EXPECT_NE(messages.find("named pipe"), std::string::npos) << messages;
    EXPECT_EQ(Run({"--wavelength-table", "/dev/zero", "--intensity", File("i.txt")}), 1);
    EXPECT_NE(messages.find("device"), std::string::npos) << messages;
    EXPECT_FALSE(pipe.Hung()) << "the reader blocked in open() until the watchdog let it go";
    EXPECT_FALSE(std::filesystem::exists(File("i.txt")));
}

TEST_F(Batch, AberrationsBeyondThePanelRangesAreUsageErrors) {
    const std::vector<std::vector<std::string>> beyond = {
        {"--focus", "1e308"}, {"--focus", "-10.001"}, {"--spherical", "1.5"}, {"--astigmatism-m", "-2"},
        {"--astigmatism-s", "1.01"}, {"--coma-x", "3"}, {"--coma-y", "-1e9"}, {"--tilt-x", "1.0001"}, {"--tilt-y", "-7"},
    };
    for (auto args : beyond) {
        args.insert(args.end(), {"--display", File("d.bmp")});
        EXPECT_EQ(Run(args), 2) << args[0] << " " << args[1];
        const std::string range = args[0] == "--focus" ? "from -10 to 10" : "from -1 to 1";
        EXPECT_NE(messages.find(args[0] + " takes waves " + range), std::string::npos) << messages;
    }
    EXPECT_TRUE(Empty());
    // The ends of the ranges are the panel's own limits and run.
    EXPECT_EQ(Run({"--focus", "-10", "--tilt-y", "1", "--intensity", File("edge.txt")}), 0) << messages;
}

// Outputs of the run, and the scratch files a write could leave beside them.
std::vector<std::string> Listing(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Batch, OutputIsAllOrNothing) {
    // The second output cannot be written: the first is not left behind, and an older file
    // under its name keeps its content.
    { std::ofstream(File("d.bmp"), std::ios::binary) << "old picture"; }
    EXPECT_EQ(Run({"--display", File("d.bmp"), "--intensity", File("no/dir/i.txt")}), 1);
    EXPECT_NE(messages.find("no/dir/i.txt"), std::string::npos) << messages;
    EXPECT_EQ(Listing(File("")), std::vector<std::string>{"d.bmp"});
    std::ifstream f(File("d.bmp"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), "old picture");
}

TEST_F(Batch, AFullFileSystemLeavesNoOutput) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const std::string disk = File("disk");
    std::filesystem::create_directory(disk);
    // 300 KiB: the 197 KB display picture fits, the 256 x 256 intensity text (about 500 KB) not.
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=300k") != 0) GTEST_SKIP() << "tmpfs cannot be mounted here";
    const int status = Run({"--display", disk + "/d.bmp", "--intensity", disk + "/i.txt"});
    const std::vector<std::string> left = Listing(disk);
    ::umount(disk.c_str());
    EXPECT_EQ(status, 1);
    EXPECT_NE(messages.find("i.txt"), std::string::npos) << messages;
    EXPECT_TRUE(left.empty()) << left.front();
}

// In a child process: writes two outputs and is sent `signal` once the first temporary file
// is complete. Returns the child's wait status.
int InterruptedWrite(const std::string& dir, int signal) {
    const pid_t child = ::fork();
    if (child == 0) {
        BatchOutput output;
        output.Add(dir + "/a.bmp", std::string(100000, 'a'));
        output.Add(dir + "/b.txt", std::string(100000, 'b'));
        output.afterTemporaryWritten = [signal](const std::string&) { ::kill(::getpid(), signal); };
        try {
            output.Commit();
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST_F(Batch, SignalsDuringTheWriteRemoveTheTemporaryFiles) {
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        const int status = InterruptedWrite(File(""), signal);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), code);
        EXPECT_TRUE(Empty()) << Listing(File("")).front();
    }
    // The handlers are the command's only while it writes.
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}


TEST_F(Batch, OutputNamesAreCheckedBeforeAnythingIsComputed) {
    // Each case leaves the user's files as they were, byte for byte, and computes nothing.
    std::filesystem::create_directory(File("adir"));
    WriteAll(File("keep.json"), "keep\n");
    WriteAll(File("x"), "old x\0with a zero"s);
    WriteAll(File("plain"), "a file, not a folder");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--report", File("keep.json"), "--fits", File("adir")}, 1, "出力ファイル " + File("adir") + " はフォルダです"},
        {{"--report", File("keep.json"), "--fits", File("adir") + "/"}, 1, "はフォルダです"},
        {{"--report", File("keep.json"), "--fits", File("adir") + "/.."}, 1, "はフォルダです"},
        {{"--report", File("x"), "--fits", File("x")}, 2, "--report and --fits name the same file"},
        {{"--report", File("x"), "--fits", File("adir") + "/../x"}, 2, "name the same file '" + File("adir") + "/../x'"},
        {{"--color", "--display", File("i-green.bmp"), "--intensity", File("i.bmp")}, 2, "--display and --intensity name the same file"},
        {{"--report", File("keep.json"), "--fits", File("no/dir/f.fits")}, 1,
         "出力ファイル " + File("no/dir/f.fits") + " のフォルダ " + File("no/dir") + " がありません"},
        {{"--report", File("keep.json"), "--fits", File("plain") + "/f.fits"}, 1, " の " + File("plain") + " はフォルダではありません"},
        {{"--report", File("keep.json"), "--fits", ""}, 2, "--fits needs a file name"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), c.status) << c.args[1] << " " << c.args[3] << "\n" << messages;
        EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
        EXPECT_EQ(messages.find("wavelength 1 of"), std::string::npos) << "nothing is computed: " << messages;
        EXPECT_EQ(ReadAll(File("keep.json")), "keep\n");
        EXPECT_EQ(ReadAll(File("x")), "old x\0with a zero"s);
        EXPECT_EQ(Listing(File("")), (std::vector<std::string>{"adir", "keep.json", "plain", "x"}));
        EXPECT_TRUE(std::filesystem::is_empty(File("adir")));
    }
    if (::geteuid() != 0) {
        std::filesystem::create_directory(File("locked"));
        std::filesystem::permissions(File("locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_EQ(Run({"--report", File("locked/r.json")}), 1);
        EXPECT_NE(messages.find("のフォルダ " + File("locked") + " に書き込めません"), std::string::npos) << messages;
        std::filesystem::permissions(File("locked"), std::filesystem::perms::owner_all);
    }
}

TEST_F(Batch, AThreadCountBeyondTheMachineIsCappedAndSaidAndOneTooLargeToHoldIsAUsageError) {
    // The default band has two wavelengths: a thousand threads run as the capped count, with
    // one line saying to what and why, and the same bits.
    ASSERT_EQ(Run({"--threads", "1", "--intensity", File("one.txt")}), 0) << messages;
    EXPECT_EQ(messages.find("スレッド数"), std::string::npos) << "no line when nothing is lowered";
    ASSERT_EQ(Run({"--threads", "1000", "--intensity", File("many.txt")}), 0) << messages;
    const RunThreads capped = RunThreadsFor(1000, SimulationParameters{});
    const std::string line = "velmora1-batch: " + RunThreadsMessage(capped, true).Text() + "\n";
    EXPECT_EQ(messages.find(line), 0u) << messages;
    EXPECT_EQ(messages.find("スレッド数", line.size()), std::string::npos) << "one line";
    EXPECT_EQ(ReadIntensity(File("many.txt")), ReadIntensity(File("one.txt")));

    for (const char* huge : {"10000000000", "2147483648", "99999999999999999999999"}) {
        EXPECT_EQ(Run({"--threads", huge, "--intensity", File("huge.txt")}), 2) << huge;
        EXPECT_NE(messages.find(std::string("--threads '") + huge + "' is too large a number"), std::string::npos) << messages;
    }
    EXPECT_FALSE(std::filesystem::exists(File("huge.txt")));
    EXPECT_EQ(Run({"--threads", "-3"}), 2);
    EXPECT_NE(messages.find("takes a whole number of 1 or more, not '-3'"), std::string::npos) << messages;
}

// Old contents of outputs, and outputs that were not there ("" = absent).
using Contents = std::map<std::string, std::string>;

void Prepare(const std::string& dir, const Contents& old) {
    for (const auto& [name, bytes] : old)
        if (!bytes.empty()) WriteAll(dir + "/" + name, bytes);
}

void ExpectContents(const std::string& dir, const Contents& expected) {
    std::vector<std::string> present;
    for (const auto& [name, bytes] : expected) {
        if (bytes.empty()) {
            EXPECT_FALSE(std::filesystem::exists(dir + "/" + name)) << name;
        } else {
            EXPECT_EQ(ReadAll(dir + "/" + name), bytes) << name;
            present.push_back(name);
        }
    }
    EXPECT_EQ(Listing(dir), present) << "no temporary or backup file is left";
}

TEST_F(Batch, AFailedRenameGivesEveryOutputItsOldContentBack) {
    // The k-th rename fails (its temporary taken away): the outputs renamed before it get their
    // old files back, an output that did not exist goes again, and the message names the file.
    const Contents old = {{"a.bmp", "old a\r\n"}, {"b.txt", ""}, {"c.json", "old c"}, {"d.fits", std::string(5000, 'd')}};
    const std::vector<std::string> order = {"a.bmp", "b.txt", "c.json", "d.fits"};
    for (size_t failing = 1; failing < order.size(); ++failing) {
        const std::string dir = File("round" + std::to_string(failing));
        std::filesystem::create_directory(dir);
        Prepare(dir, old);
        BatchOutput output;
        for (const std::string& name : order) output.Add(dir + "/" + name, "new " + name);
        std::vector<std::string> temporaries;
        output.afterTemporaryWritten = [&](const std::string& t) { temporaries.push_back(t); };
        output.betweenRenames = [&](size_t renamed) {
            if (renamed == failing) std::filesystem::remove(temporaries[failing]);
        };
        try {
            output.Commit();
            ADD_FAILURE() << "the commit did not fail";
        } catch (const MessageError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(dir + "/" + order[failing]), std::string::npos) << text;
            EXPECT_NE(text.find("rename: No such file or directory"), std::string::npos) << text;
            EXPECT_NE(text.find("出力ファイルはどれも元のままです"), std::string::npos) << text;
        }
        ExpectContents(dir, old);
    }
    // Without a failure every output is new and the backups are gone.
    const std::string dir = File("whole");
    std::filesystem::create_directory(dir);
    Prepare(dir, old);
    BatchOutput output;
    Contents expected;
    for (const std::string& name : order) {
        output.Add(dir + "/" + name, "new " + name);
        expected[name] = "new " + name;
    }
    output.Commit();
    ExpectContents(dir, expected);

    // A file that happens to have the backup's name is someone's: it stays, and nothing is
    // written.
    const std::string other = File("other");
    std::filesystem::create_directory(other);
    const std::string foreign = "r.json.keep" + std::to_string(::getpid());
    const Contents before = {{"f.fits", "old fits"}, {"r.json", "old report"}, {foreign, "not ours"}};
    Prepare(other, before);
    BatchOutput blocked;
    blocked.Add(other + "/f.fits", "new fits");
    blocked.Add(other + "/r.json", "new report");
    EXPECT_THROW(blocked.Commit(), MessageError);
    ExpectContents(other, before);
}

// In a child process: commits two outputs and stops after the first rename until the parent
// has sent `signal` (from outside, as a shell would) and lets it go on. Returns the wait status.
int SignalBetweenRenames(const std::string& dir, int signal) {
    int toParent[2], toChild[2];
    if (::pipe(toParent) != 0 || ::pipe(toChild) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        BatchOutput output;
        output.Add(dir + "/r.json", "new report");
        output.Add(dir + "/f.fits", "new fits");
        output.betweenRenames = [&](size_t) {
            char c = 'p';
            if (::write(toParent[1], &c, 1) != 1 || ::read(toChild[0], &c, 1) != 1) ::_exit(99);
        };
        try {
            output.Commit();
        } catch (...) {
            ::_exit(98);
        }
        ::_exit(0);
    }
    char c = 0;
    if (::read(toParent[0], &c, 1) == 1) {
        ::kill(child, signal);
        c = 'g';
        if (::write(toChild[1], &c, 1) != 1) ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
    return status;
}

TEST_F(Batch, ASignalDuringTheRenamesTakesEffectOnceAllAreNew) {
    // Before the renames a signal leaves the old files; between them it waits until the last.
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        const std::string dir = File("sig" + std::to_string(signal));
        std::filesystem::create_directory(dir);
        const Contents old = {{"f.fits", "old fits"}, {"r.json", "old report"}};
        Prepare(dir, old);
        int status = InterruptedWrite(dir, signal);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), code);
        ExpectContents(dir, old);

        status = SignalBetweenRenames(dir, signal);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), code) << "the signal still ends the command, after the renames";
        ExpectContents(dir, {{"f.fits", "new fits"}, {"r.json", "new report"}});
    }
}
}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// An independent reading of a FITS file through CFITSIO's own reader.
struct FitsImage {
    std::map<std::string, double> numbers;
    std::string extname;
    long naxis1 = 0, naxis2 = 0;
    int bitpix = 0, naxis = 0;
    std::vector<double> pixels;  // NAXIS1 fastest
    double At(int x, int y) const { return pixels[static_cast<size_t>(y) * naxis1 + x]; }
};

std::vector<FitsImage> ReadFits(const std::string& path) {
    std::vector<FitsImage> hdus;
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status)) {
        ADD_FAILURE() << "CFITSIO cannot open " << path << ": status " << status;
        return hdus;
    }
    int count = 0;
    fits_get_num_hdus(f, &count, &status);
    for (int k = 1; k <= count && !status; ++k) {
        fits_movabs_hdu(f, k, nullptr, &status);
        FitsImage h;
        fits_get_img_param(f, 2, &h.bitpix, &h.naxis, &h.naxis1, &status);
        long axes[2] = {0, 0};
        fits_get_img_size(f, 2, axes, &status);
        h.naxis1 = axes[0];
        h.naxis2 = axes[1];
        for (const char* key : {"APERTURE", "FOCALLEN", "SECONDRY", "FOCRATIO", "PIXSCLUM", "PIXELSCL", "WAVEMIN", "WAVEMAX",
                                "WAVESTEP", "NWAVES", "STREHL", "SPHERICL", "FOCUS", "ASTIGM", "ASTIGS", "COMAX", "COMAY",
                                "TILTX", "TILTY"}) {
            double v = 0;
            int s = 0;
            if (!fits_read_key(f, TDOUBLE, key, &v, nullptr, &s)) h.numbers[key] = v;
        }
        char name[FLEN_VALUE] = {};
        int s = 0;
        if (!fits_read_key(f, TSTRING, "EXTNAME", name, nullptr, &s)) h.extname = name;
        if (h.naxis == 2) {
            h.pixels.resize(static_cast<size_t>(h.naxis1) * h.naxis2);
            long first[2] = {1, 1};
            fits_read_pix(f, TDOUBLE, first, static_cast<LONGLONG>(h.pixels.size()), nullptr, h.pixels.data(), nullptr,
                          &status);
        }
        hdus.push_back(std::move(h));
    }
    EXPECT_EQ(status, 0) << "CFITSIO read failed";
    fits_close_file(f, &status);
    return hdus;
}

// The intensity text holds trunc(I x 16711680) / 16777216 with 6 significant digits.
::testing::AssertionResult SameWindow(const FitsImage& image, const std::vector<std::vector<double>>& rows) {
    int differing = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double coded = std::trunc(image.At(x + 384, y + 384) * 16711680) / 16777216;
            if (std::fabs(coded - rows[y][x]) > 5e-6 * coded + 1e-12) ++differing;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " pixels differ from the intensity file";
}

TEST_F(Batch, ReportAndFitsAgreeWithTheIntensityFile) {
    ASSERT_EQ(Run({"--coma-x", "0.2", "--intensity", File("i.txt"), "--report", File("r.json"), "--fits", File("f.fits")}), 0)
        << messages;
    const auto rows = ReadIntensity(File("i.txt"));
    ASSERT_EQ(rows.size(), 256u);

    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    // parse() sorts the keys; the file's own order is checked on its text.
    EXPECT_EQ(report["mode"], "mono");
    EXPECT_TRUE(report["warnings"].is_array() && report["warnings"].empty());
    const std::string text = ReadAll(File("r.json"));
    EXPECT_LT(text.find("\"mode\""), text.find("\"pixel_um\""));
    EXPECT_LT(text.find("\"pixel_um_spread\""), text.find("\"bands\""));
    EXPECT_LT(text.find("\"bands\""), text.find("\"warnings\""));
    // Default run: 600 nm with P = 146 and 700 nm with P = 125 at F = 6.25; the pitch
    // lambda F P / 1024 is 0.534668 and 0.534058 um.
    const double p600 = 0.6 * 6.25 * 146 / 1024, p700 = 0.7 * 6.25 * 125 / 1024;
    EXPECT_NEAR(report["pixel_um"].get<double>(), (p600 + p700) / 2, 1e-12);
    EXPECT_NEAR(report["pixel_um_spread"].get<double>(), (p600 - p700) / ((p600 + p700) / 2), 1e-12);
    // The same spread under its right name, and in micrometres.
    EXPECT_EQ(report["pixel_spread_ratio"], report["pixel_um_spread"]);
    EXPECT_NEAR(report["pixel_um_range"].get<double>(), p600 - p700, 1e-15);
    const nlohmann::json& white = report["bands"]["white"];
    EXPECT_EQ(white["wavelengths_nm"], nlohmann::json({600, 700}));
    for (const char* key : {"strehl", "rms_wavefront_waves", "marechal_strehl", "peak_x_um", "peak_y_um", "centroid_x_um",
                            "centroid_y_um", "fwhm_x_um", "fwhm_y_um", "fwhm_um", "fwhm_arcsec", "r50_um", "r80_um",
                            "cutoff_cyc_per_mm"})
        EXPECT_TRUE(white[key].is_number()) << key;
    // The encircled-energy curve at whole radii in samples, out to three times r80 at least.
    ASSERT_EQ(white["ee"]["fraction"].size(), white["ee"]["r_um"].size());
    EXPECT_GE(white["ee"]["r_um"].back().get<double>(), 3 * white["r80_um"].get<double>() - 0.54);
    for (const char* key : {"freq_cyc_per_mm", "nu", "x", "y", "ideal"}) EXPECT_EQ(white["mtf"][key].size(), 512u) << key;

    // The brightest pixel of the intensity file is where the report puts the peak.
    int bx = 0, by = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            if (rows[y][x] > rows[by][bx]) bx = x, by = y;
    const double pixel = report["pixel_um"].get<double>();
    EXPECT_NEAR(white["peak_x_um"].get<double>() / pixel, bx - 128, 1e-9);
    EXPECT_NEAR(white["peak_y_um"].get<double>() / pixel, by - 128, 1e-9);

    const std::vector<FitsImage> fits = ReadFits(File("f.fits"));
    ASSERT_EQ(fits.size(), 1u);
    const FitsImage& image = fits[0];
    EXPECT_EQ(image.bitpix, -64);
    EXPECT_EQ(image.naxis1, 1024);
    EXPECT_EQ(image.naxis2, 1024);
    EXPECT_TRUE(SameWindow(image, rows)) << "NAXIS1 is the picture's x";
    EXPECT_EQ(image.numbers.at("APERTURE"), 160);
    EXPECT_EQ(image.numbers.at("FOCALLEN"), 1000);
    EXPECT_EQ(image.numbers.at("SECONDRY"), 50);
    EXPECT_EQ(image.numbers.at("FOCRATIO"), 6.25);
    EXPECT_EQ(image.numbers.at("WAVEMIN"), 600);
    EXPECT_EQ(image.numbers.at("WAVEMAX"), 700);
    EXPECT_EQ(image.numbers.at("WAVESTEP"), 100);
    EXPECT_EQ(image.numbers.at("NWAVES"), 2);
    EXPECT_EQ(image.numbers.at("COMAX"), 0.2);
    EXPECT_EQ(image.numbers.at("FOCUS"), 0);
    EXPECT_NEAR(image.numbers.at("STREHL"), white["strehl"].get<double>(), 1e-13);
    EXPECT_NEAR(image.numbers.at("PIXSCLUM"), pixel, 1e-13);
    EXPECT_NEAR(image.numbers.at("PIXELSCL"), report["pixel_arcsec"].get<double>(), 1e-13);
}

TEST_F(Batch, ColourFitsHasOneExtensionPerBand) {
    ASSERT_EQ(Run({"--color", "--coma-x", "0.3", "--intensity", File("c.txt"), "--fits", File("c.fits"), "--report",
                   File("c.json")}),
              0)
        << messages;
    const std::vector<FitsImage> fits = ReadFits(File("c.fits"));
    ASSERT_EQ(fits.size(), 4u);
    EXPECT_EQ(fits[0].naxis, 0) << "the primary HDU holds only the instrument";
    EXPECT_EQ(fits[0].numbers.at("APERTURE"), 160);
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("c.json")));
    EXPECT_EQ(report["mode"], "color");
    const char* names[3] = {"RED", "GREEN", "BLUE"};
    const char* files[3] = {"c-red.txt", "c-green.txt", "c-blue.txt"};
    const char* bands[3] = {"red", "green", "blue"};
    const double waveMin[3] = {600, 500, 400};
    for (int b = 0; b < 3; ++b) {
        SCOPED_TRACE(names[b]);
        const FitsImage& image = fits[static_cast<size_t>(b) + 1];
        EXPECT_EQ(image.extname, names[b]);
        EXPECT_EQ(image.numbers.at("WAVEMIN"), waveMin[b]);
        EXPECT_EQ(image.numbers.at("COMAX"), 0.3);
        EXPECT_NEAR(image.numbers.at("STREHL"), report["bands"][bands[b]]["strehl"].get<double>(), 1e-13);
        EXPECT_TRUE(SameWindow(image, ReadIntensity(File(files[b]))));
    }
}

TEST_F(Batch, FitsNamesTheFirstWavelengthsAberrationsWhenATableVariesThem) {
    WriteAll(File("table.txt"), "600 0.1 0.2\n700 0.3 0.4\n");
    ASSERT_EQ(Run({"--wavelength-table", File("table.txt"), "--fits", File("t.fits")}), 0) << messages;
    const std::vector<FitsImage> fits = ReadFits(File("t.fits"));
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_EQ(fits[0].numbers.at("SPHERICL"), 0.1);
    EXPECT_EQ(fits[0].numbers.at("FOCUS"), 0.2);
    EXPECT_NE(ReadAll(File("t.fits")).find("vary with wavelength"), std::string::npos);
}

TEST_F(Batch, ARefusedRunWritesNoReportAndNoFits) {
    SimulationParameters p;
    p.aperture = 0;
    WriteParameterFile(File("zero.vld"), p);
    EXPECT_EQ(Run({"--params", File("zero.vld"), "--report", File("r.json"), "--fits", File("f.fits")}), 1);
    EXPECT_FALSE(std::filesystem::exists(File("r.json")));
    EXPECT_FALSE(std::filesystem::exists(File("f.fits")));
    // A FITS name that cannot be written takes the report with it.
    EXPECT_EQ(Run({"--report", File("r.json"), "--fits", File("no/such/f.fits")}), 1);
    EXPECT_FALSE(std::filesystem::exists(File("r.json")));
}

TEST_F(Batch, ThreadsChooseHowManyWavelengthsRunAtOnceAndNeverTheResult) {
    for (const char* bad : {"0", "-1", "abc", "2.5", ""}) {
        EXPECT_EQ(Run({"--threads", bad, "--display", File("d.bmp")}), 2) << '"' << bad << '"';
        EXPECT_NE(messages.find("--threads takes a whole number of 1 or more"), std::string::npos) << messages;
    }
    EXPECT_EQ(Run({"--threads"}), 2);
    EXPECT_TRUE(Empty());

    const std::vector<std::string> colour = {"--color", "--coma-x", "0.3"};
    auto run = [&](const char* threads, const std::string& name) {
        std::vector<std::string> args = colour;
        for (const std::string& a : {std::string("--threads"), std::string(threads), std::string("--intensity"),
                                     File(name + ".txt"), std::string("--display"), File(name + ".bmp")})
            args.push_back(a);
        EXPECT_EQ(Run(args), 0) << messages;
    };
    run("1", "one");
    run("3", "three");
    for (const char* band : {"-red", "-green", "-blue"})
        EXPECT_EQ(ReadAll(File(std::string("three") + band + ".txt")), ReadAll(File(std::string("one") + band + ".txt")))
            << band;
    EXPECT_EQ(ReadAll(File("three.bmp")), ReadAll(File("one.bmp")));
}

// Every card of one HDU as CFITSIO reads it: keyword -> value text (strings without quotes),
// and the COMMENT texts in order.
struct FitsHeader {
    std::map<std::string, std::string> values;
    std::vector<std::string> comments;
    double Number(const std::string& key) const {
        const auto it = values.find(key);
        return it == values.end() ? std::nan("") : std::stod(it->second);
    }
};

FitsHeader ReadHeader(const std::string& path, int hdu) {
    FitsHeader h;
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status)) {
        ADD_FAILURE() << "CFITSIO cannot open " << path;
        return h;
    }
    fits_movabs_hdu(f, hdu, nullptr, &status);
    int count = 0;
    fits_get_hdrspace(f, &count, nullptr, &status);
    for (int k = 1; k <= count && !status; ++k) {
        char key[FLEN_KEYWORD] = {}, value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
        fits_read_keyn(f, k, key, value, comment, &status);
        if (std::string(key) == "COMMENT") {
            h.comments.push_back(comment);
            continue;
        }
        std::string v = value;
        if (v.size() >= 2 && v.front() == '\'') {
            char unquoted[FLEN_VALUE] = {};
            int s2 = 0;
            fits_read_key(f, TSTRING, key, unquoted, nullptr, &s2);
            v = unquoted;
        }
        h.values[key] = v;
    }
    EXPECT_EQ(status, 0);
    fits_close_file(f, &status);
    return h;
}

// The header's own conventions: 80-character cards of printable ASCII in blocks of 2880 bytes,
// keyword names of at most 8 upper-case letters, digits, '-' or '_', an END card.
::testing::AssertionResult FollowsTheCardConventions(const std::string& bytes) {
    if (bytes.size() % 2880 != 0) return ::testing::AssertionFailure() << "not whole 2880-byte blocks";
    bool ended = false;
    for (size_t at = 0; at + 80 <= bytes.size() && !ended; at += 80) {
        const std::string card = bytes.substr(at, 80);
        for (char c : card)
            if (c < 0x20 || c > 0x7e) return ::testing::AssertionFailure() << "card " << at / 80 << " is not printable ASCII";
        const std::string key = card.substr(0, 8);
        for (char c : key)
            if (!(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' ||
                  c == '_' || c == ' '))
                return ::testing::AssertionFailure() << "keyword '" << key << "'";
        if (key == "END     ") ended = true;
        else if (card.substr(8, 2) != "= " && key != "COMMENT " && key != "HISTORY " && key != "        ")
            return ::testing::AssertionFailure() << "card without '= ': " << card;
    }
    return ended ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "no END card";
}

TEST_F(Batch, FitsHasAWorldCoordinateSystemOfOffsetsFromTheCentre) {
    ASSERT_EQ(Run({"--fits", File("f.fits"), "--report", File("r.json")}), 0) << messages;
    const FitsHeader h = ReadHeader(File("f.fits"), 1);
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    EXPECT_EQ(h.values.at("CTYPE1"), "XOFFSET");
    EXPECT_EQ(h.values.at("CTYPE2"), "YOFFSET");
    EXPECT_EQ(h.values.at("CUNIT1"), "arcsec");
    EXPECT_EQ(h.values.at("CUNIT2"), "arcsec");
    EXPECT_EQ(h.Number("WCSAXES"), 2);
    // The pixel scale is the report's (one band: the band's pitch is the run's).
    EXPECT_NEAR(h.Number("CDELT1"), report["pixel_arcsec"].get<double>(), 1e-14);
    EXPECT_EQ(h.Number("CDELT2"), h.Number("CDELT1"));
    // FITS counts pixels from 1: the world coordinate of 0-based index i is
    // CRVAL + CDELT (i + 1 - CRPIX), which is 0 at index 512, the PSF's centre.
    for (const char* axis : {"1", "2"}) {
        const double at512 = h.Number(std::string("CRVAL") + axis) +
                             h.Number(std::string("CDELT") + axis) * (512 + 1 - h.Number(std::string("CRPIX") + axis));
        EXPECT_EQ(at512, 0) << axis;
    }
    const std::vector<FitsImage> image = ReadFits(File("f.fits"));
    ASSERT_EQ(image.size(), 1u);
    EXPECT_EQ(image[0].At(512, 512), 1) << "the unaberrated peak at the reference pixel";
}

TEST_F(Batch, FitsSaysWhatItHoldsWhoMadeItAndAtWhichWavelengths) {
    ASSERT_EQ(Run({"--band", "500:600:50", "--aperture", "200", "--fits", File("f.fits"), "--report", File("r.json")}), 0)
        << messages;
    const FitsHeader h = ReadHeader(File("f.fits"), 1);
    const nlohmann::json white = nlohmann::json::parse(ReadAll(File("r.json")))["bands"]["white"];
    EXPECT_EQ(h.values.count("BUNIT"), 1u);
    EXPECT_EQ(h.values.at("NORMALIZ"), "PEAK");
    EXPECT_EQ(h.Number("DATAMAX"), 1);
    EXPECT_EQ(h.values.at("ORIGIN"), "Velmora1");
    EXPECT_EQ(h.values.at("CREATOR"), "velmora1-batch 3.07");
    EXPECT_EQ(h.values.at("PROGVERS"), "3.07");
    // DATE: the UTC time of writing, as the standard writes it.
    ASSERT_EQ(h.values.at("DATE").size(), 19u) << h.values.at("DATE");
    EXPECT_EQ(h.values.at("DATE")[4], '-');
    EXPECT_EQ(h.values.at("DATE")[10], 'T');
    // The wavelengths in metres with the weights the report gives, their weighted mean.
    EXPECT_EQ(h.Number("NWAVES"), 3);
    double sum = 0, weighted = 0;
    for (int k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 1);
        const double lambda = (500 + 50 * k) * 1e-9;
        const double weight = white["weights"][static_cast<size_t>(k)].get<double>();
        // The header holds 15 significant digits: a relative 1e-14 is the printing, no more.
        EXPECT_NEAR(h.Number("WAVE" + n), lambda, 1e-14 * lambda) << n;
        EXPECT_NEAR(h.Number("WGHT" + n), weight, 1e-14 * weight) << n;
        sum += weight;
        weighted += weight * lambda;
    }
    EXPECT_EQ(h.values.count("WAVE4"), 0u);
    EXPECT_NEAR(h.Number("WAVELEN"), weighted / sum, 1e-14 * weighted / sum);
    // lambda / D as an angle: 206264.806 arcsec per radian, D = 0.2 m.
    EXPECT_NEAR(h.Number("DIFFLMT"), weighted / sum / 0.2 * 206264.80624709636, 1e-12);
    EXPECT_EQ(h.Number("APERTURE"), 200);
    EXPECT_TRUE(FollowsTheCardConventions(ReadAll(File("f.fits"))));
}

TEST_F(Batch, ColourFitsBandsShareOneScaleAndSaySo) {
    ASSERT_EQ(Run({"--color", "--fits", File("c.fits")}), 0) << messages;
    const FitsHeader primary = ReadHeader(File("c.fits"), 1);
    EXPECT_EQ(primary.values.at("CREATOR"), "velmora1-batch 3.07");
    double brightest = 0;
    for (int hdu = 2; hdu <= 4; ++hdu) {
        const FitsHeader h = ReadHeader(File("c.fits"), hdu);
        EXPECT_EQ(h.values.at("NORMALIZ"), "BRIGHTEST BAND PEAK") << hdu;
        EXPECT_EQ(h.values.at("CTYPE1"), "XOFFSET") << hdu;
        EXPECT_EQ(h.Number("CRPIX1"), 513) << hdu;
        brightest = std::max(brightest, h.Number("DATAMAX"));
        EXPECT_LE(h.Number("DATAMAX"), 1) << hdu;
    }
    EXPECT_EQ(brightest, 1);
    EXPECT_TRUE(FollowsTheCardConventions(ReadAll(File("c.fits"))));
}

// 300 mm at 400 mm focal length: about 690 pupil samples at 600 nm, more than half the grid,
// so the PSF is aliased and the analysis warns.
const std::vector<std::string> aliased = {"--aperture", "300", "--focal-length", "400"};

// The default pupil (160 mm f/6.25, 50 mm secondary, no vanes) has an on-axis intensity near
// focus of (sin(pi a e) / (pi a e))^2 with e = 1 - eps^2, eps the obstruction ratio: the annulus
// spans u = rho^2 from eps^2 to 1 (Born & Wolf, Principles of Optics, 8.8.1, with the
// integral taken over the annulus), so its depth of focus is that of a clear pupil over e.
TEST_F(Batch, ThroughFocusAddsTheCurveAndTheDepthOfFocusPerBand) {
    ASSERT_EQ(Run({"--report", File("plain.json"), "--threads", "1"}), 0) << messages;
    ASSERT_EQ(Run({"--report", File("focus.json"), "--through-focus", "--threads", "1"}), 0) << messages;
    const nlohmann::json plain = nlohmann::json::parse(ReadAll(File("plain.json")));
    nlohmann::json focus = nlohmann::json::parse(ReadAll(File("focus.json")));
    EXPECT_FALSE(plain["bands"]["white"].contains("through_focus"));
    const nlohmann::json curve = focus["bands"]["white"]["through_focus"];
    ASSERT_EQ(curve["defocus_waves_pv"].size(), 41u);
    ASSERT_EQ(curve["strehl"].size(), 41u);
    EXPECT_DOUBLE_EQ(curve["defocus_waves_pv"][0].get<double>(), -1);
    EXPECT_DOUBLE_EQ(curve["defocus_waves_pv"][40].get<double>(), 1);
    EXPECT_NEAR(curve["strehl"][20].get<double>(), focus["bands"]["white"]["strehl"].get<double>(), 1e-9);
    for (size_t k = 0; k < 20; ++k)
        EXPECT_NEAR(curve["strehl"][k].get<double>(), curve["strehl"][40 - k].get<double>(), 1e-9) << k;
    const double pi = 3.14159265358979323846;
    double lo = 0, hi = 0.5;  // where (sin(pi a) / (pi a))^2 falls to 0.8, by bisection
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (std::pow(std::sin(pi * mid) / (pi * mid), 2) >= 0.8 ? lo : hi) = mid;
    }
    const double eps = 50.0 / 160, f = 1000.0 / 160;
    const double expected = 8 * f * f * (2 * lo / (1 - eps * eps)) * 0.650;
    // 4 %: the interpolation between points 0.05 wave apart, the sampled rims of mirror and
    // secondary, and the two wavelengths' own pupils against the mean wavelength's.
    EXPECT_NEAR(curve["depth_of_focus_um"].get<double>(), expected, 0.04 * expected);
    // Nothing else of the report changes.
    focus["bands"]["white"].erase("through_focus");
    EXPECT_EQ(focus, plain);

    ASSERT_EQ(Run({"--color", "--report", File("colour.json"), "--through-focus", "--threads", "1"}), 0) << messages;
    const nlohmann::json colour = nlohmann::json::parse(ReadAll(File("colour.json")));
    for (const char* band : {"red", "green", "blue"}) {
        const nlohmann::json& b = colour["bands"][band];
        ASSERT_TRUE(b.contains("through_focus")) << band;
        EXPECT_NEAR(b["through_focus"]["strehl"][20].get<double>(), b["strehl"].get<double>(), 1e-9) << band;
        EXPECT_GT(b["through_focus"]["depth_of_focus_um"].get<double>(), 0) << band;
    }

    EXPECT_EQ(Run({"--through-focus", "--fits", File("never.fits")}), 2);
    EXPECT_TRUE(TwoLineUsageError(messages)) << messages;
    EXPECT_NE(messages.find("--through-focus adds to the report"), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(File("never.fits")));
}

TEST_F(Batch, SamplingWarningsGoToStandardErrorTheReportAndTheFitsHeader) {
    std::vector<std::string> args = aliased;
    args.insert(args.end(), {"--report", File("r.json"), "--fits", File("f.fits")});
    ASSERT_EQ(Run(args), 0) << messages;
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    ASSERT_FALSE(report["warnings"].empty());
    for (const auto& w : report["warnings"])
        EXPECT_NE(messages.find("velmora1-batch: warning: " + w.get<std::string>()), std::string::npos) << messages;
    EXPECT_NE(messages.find("ナイキスト"), std::string::npos) << "in Japanese by default";
    const FitsHeader h = ReadHeader(File("f.fits"), 1);
    std::string comments;
    for (const std::string& c : h.comments) comments += c;
    EXPECT_NE(comments.find("WARNING:"), std::string::npos) << comments;
    EXPECT_NE(comments.find("Nyquist"), std::string::npos) << "FITS headers are ASCII: English";
    EXPECT_TRUE(FollowsTheCardConventions(ReadAll(File("f.fits"))));

    // In English when asked for; nothing with --quiet; the exit status stays 0.
    args.push_back("--lang=en");
    ASSERT_EQ(Run(args), 0) << messages;
    EXPECT_NE(messages.find("velmora1-batch: warning: "), std::string::npos) << messages;
    EXPECT_NE(messages.find("Nyquist"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("ナイキスト"), std::string::npos) << messages;
    args.push_back("-q");
    ASSERT_EQ(Run(args), 0);
    EXPECT_EQ(messages, "");

    // Said also when no output holds the measurements.
    std::vector<std::string> picture = aliased;
    picture.insert(picture.end(), {"--display", File("d.png")});
    ASSERT_EQ(Run(picture), 0);
    EXPECT_NE(messages.find("velmora1-batch: warning: "), std::string::npos) << messages;
}

TEST_F(Batch, EnglishMessagesFromTheOptionOrTheEnvironment) {
    const std::vector<std::string> missing = {"--report", File("no/such/r.json")};
    ASSERT_EQ(Run(missing), 1);
    EXPECT_NE(messages.find("のフォルダ"), std::string::npos) << messages;
    std::vector<std::string> english = missing;
    english.insert(english.end(), {"--lang", "en"});
    ASSERT_EQ(Run(english), 1);
    EXPECT_NE(messages.find("The folder " + File("no/such") + " of the output " + File("no/such/r.json") + " does not exist."),
              std::string::npos)
        << messages;
    BatchEnvironment env;
    env.language = "EN";
    ASSERT_EQ(Run(missing, env), 1);
    EXPECT_NE(messages.find("does not exist."), std::string::npos) << messages;
    // The option wins over the environment.
    english.back() = "ja";
    ASSERT_EQ(Run(english, env), 1);
    EXPECT_NE(messages.find("のフォルダ"), std::string::npos) << messages;
    // A run refused by the calculation, in English.
    ASSERT_EQ(Run({"--aperture", "0", "--lang", "en", "--intensity", File("i.txt")}), 1);
    EXPECT_EQ(messages.find("主鏡口径"), std::string::npos) << messages;
}

TEST_F(Batch, UsageErrorsAreTwoLinesAndStatusTwo) {
    const std::vector<std::vector<std::string>> usage = {
        {"--bogus"},
        {"--focus"},
        {"--aperture", "301"},
        {"--aperture", "-1"},
        {"--focal-length", "99"},
        {"--focal-length", "30001"},
        {"--secondary", "101"},
        {"--aperture", "16.5"},
        {"--wavelength", "349"},
        {"--wavelength", "1101"},
        {"--wavelength", "600", "--color"},
        {"--band", "600:500:10"},
        {"--band", "300:500:10"},
        {"--band", "500:600:0"},
        {"--band", "500:600:401"},
        {"--band", "500:600"},
        {"--band", "500:600:10:1"},
        {"--band", "500:600:10", "--wavelength", "550"},
        {"--lang", "fr"},
        {"--mono", "--color"},
        {"--quiet", "--progress"},
        {"--report", "-", "--fits", "-"},
        {"--color", "--intensity", "-"},
        {"unexpected"},
    };
    for (const auto& args : usage) {
        EXPECT_EQ(Run(args), 2) << args[0];
        EXPECT_TRUE(TwoLineUsageError(messages)) << args[0] << ":\n" << messages;
        EXPECT_EQ(output, "");
    }
    Run({"--aperture", "301"});
    EXPECT_EQ(messages.rfind("velmora1-batch: --aperture takes a whole number of mm from 0 to 300, not '301'\n", 0), 0u)
        << messages;
    Run({"--report", "-", "--fits", "-"});
    EXPECT_NE(messages.find("--report and --fits name the same file '-'"), std::string::npos) << messages;
    EXPECT_TRUE(Empty());
}

TEST_F(Batch, OptionsTakeTheirValuesWithOrWithoutAnEqualsSign) {
    ASSERT_EQ(Run({"--focus=0.5", "--coma-x=-0.25", "--intensity=" + File("equals.txt")}), 0) << messages;
    ASSERT_EQ(Run({"--focus", "0.5", "--coma-x", "-0.25", "--intensity", File("spaced.txt")}), 0) << messages;
    EXPECT_EQ(ReadAll(File("equals.txt")), ReadAll(File("spaced.txt")));
    ASSERT_EQ(Run({"--intensity", File("none.txt")}), 0) << messages;
    EXPECT_NE(ReadAll(File("equals.txt")), ReadAll(File("none.txt")));
}

TEST_F(Batch, TheDirectOptionsSetTheTelescopeAndTheBand) {
    ASSERT_EQ(Run({"--aperture", "200", "--focal-length", "1600", "--secondary", "0", "--wavelength", "550", "--report",
                   File("one.json")}),
              0)
        << messages;
    const nlohmann::json one = nlohmann::json::parse(ReadAll(File("one.json")));
    EXPECT_EQ(one["mode"], "mono");
    EXPECT_EQ(one["bands"]["white"]["wavelengths_nm"], nlohmann::json({550}));
    EXPECT_EQ(one["parameters"]["aperture_mm"], 200);
    EXPECT_EQ(one["parameters"]["focal_length_mm"], 1600);
    EXPECT_EQ(one["parameters"]["secondary_mm"], 0);
    // A clear aperture gives the Airy pattern: Strehl 1 at focus.
    EXPECT_NEAR(one["bands"]["white"]["strehl"].get<double>(), 1, 1e-9);

    // The band replaces a parameter file's colour mode with a monochrome one.
    SimulationParameters p;
    p.colorMode = ColorMode::Colour;
    WriteParameterFile(File("colour.vld"), p);
    ASSERT_EQ(Run({"--params", File("colour.vld"), "--band", "400:460:30", "--report", File("band.json")}), 0) << messages;
    const nlohmann::json band = nlohmann::json::parse(ReadAll(File("band.json")));
    EXPECT_EQ(band["mode"], "mono");
    EXPECT_EQ(band["bands"]["white"]["wavelengths_nm"], nlohmann::json({400, 430, 460}));
}

TEST_F(Batch, StandardOutputCarriesOnlyWhatWasAskedFor) {
    // Nothing for file outputs, the report alone for --report -.
    ASSERT_EQ(Run({"--intensity", File("i.txt")}), 0) << messages;
    EXPECT_EQ(output, "");
    ASSERT_EQ(Run({"--report", "-", "--report", File("r.json")}), 0) << messages;  // the last one counts
    EXPECT_EQ(output, "");
    ASSERT_EQ(Run({"--report", "-", "--intensity", File("i.txt")}), 0) << messages;
    EXPECT_EQ(output, ReadAll(File("r.json"))) << "the same report, byte for byte";
    EXPECT_FALSE(std::filesystem::exists(File("-")));
    EXPECT_FALSE(std::filesystem::exists("-")) << "no file named - in the working folder";
    ASSERT_EQ(Run({"--intensity", "-"}), 0) << messages;
    EXPECT_EQ(output, ReadAll(File("i.txt")));
    ASSERT_EQ(Run({"--fits", "-"}), 0) << messages;
    EXPECT_EQ(output.rfind("SIMPLE  =", 0), 0u);
    EXPECT_EQ(output.size() % 2880, 0u);
    // /dev/stdout is standard output too, and names the same file as -.
    ASSERT_EQ(Run({"--report", "/dev/stdout"}), 0) << messages;
    EXPECT_EQ(output, ReadAll(File("r.json")));
    EXPECT_EQ(Run({"--report", "/dev/stdout", "--fits", "-"}), 2);
    // A file named - is still possible, spelt ./- or with its folder.
    ASSERT_EQ(Run({"--report", File("-")}), 0) << messages;
    EXPECT_TRUE(std::filesystem::is_regular_file(File("-")));
}

TEST_F(Batch, ProgressIsOneUpdatingLineOnATerminalAndNothingElsewhere) {
    ASSERT_EQ(Run({"--intensity", File("i.txt")}), 0);
    EXPECT_EQ(messages, "") << "not a terminal";
    BatchEnvironment terminal;
    terminal.errorIsTerminal = true;
    ASSERT_EQ(Run({"--intensity", File("i.txt")}, terminal), 0);
    EXPECT_EQ(messages, "\rwavelength 1 of 2: 600 nm\x1b[K\rwavelength 2 of 2: 700 nm\x1b[K\r\x1b[K");
    ASSERT_EQ(Run({"--intensity", File("i.txt"), "-q"}, terminal), 0);
    EXPECT_EQ(messages, "");
    ASSERT_EQ(Run({"--intensity", File("i.txt"), "--progress"}), 0);
    EXPECT_EQ(messages, "wavelength 1 of 2: 600 nm\nwavelength 2 of 2: 700 nm\n");
}

TEST_F(Batch, ALinkedOutputReplacesItsTargetAndStays) {
    std::filesystem::create_directory(File("archive"));
    WriteAll(File("archive/run.json"), "old report");
    WriteAll(File("archive/run.fits"), "old fits");
    std::filesystem::create_symlink("archive/run.json", File("latest.json"));
    std::filesystem::create_symlink(File("archive/run.fits"), File("latest.fits"));
    std::filesystem::create_symlink("archive/new.txt", File("dangling.txt"));
    ASSERT_EQ(Run({"--report", File("latest.json"), "--fits", File("latest.fits"), "--intensity", File("dangling.txt")}), 0)
        << messages;
    for (const char* link : {"latest.json", "latest.fits", "dangling.txt"})
        EXPECT_TRUE(std::filesystem::is_symlink(File(link))) << link << " is still a link";
    EXPECT_EQ(ReadAll(File("archive/run.json")).rfind("{", 0), 0u);
    EXPECT_EQ(ReadAll(File("archive/run.fits")).rfind("SIMPLE", 0), 0u);
    EXPECT_EQ(ReadIntensity(File("archive/new.txt")).size(), 256u) << "made where the link points";
    EXPECT_EQ(Listing(File("archive")), (std::vector<std::string>{"new.txt", "run.fits", "run.json"}))
        << "no temporary or backup file left";
    // A link and its target named by two outputs are one file.
    EXPECT_EQ(Run({"--report", File("latest.json"), "--intensity", File("archive/run.json")}), 2);
    EXPECT_NE(messages.find("name the same file"), std::string::npos) << messages;
    // A link that leads nowhere is refused before anything is computed.
    std::filesystem::create_symlink(File("loop-b"), File("loop-a"));
    std::filesystem::create_symlink(File("loop-a"), File("loop-b"));
    EXPECT_EQ(Run({"--report", File("loop-a"), "--lang", "en"}), 1);
    EXPECT_NE(messages.find("cannot be followed"), std::string::npos) << messages;
}

TEST_F(Batch, AFifoOutputIsWrittenDirectly) {
    const std::string fifo = File("report.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadAll(fifo); });
    const int status = Run({"--report", fifo, "--intensity", File("i.txt")});
    reader.join();
    ASSERT_EQ(status, 0) << messages;
    const nlohmann::json report = nlohmann::json::parse(received);
    EXPECT_EQ(report["schema"], "velmora1-report/1");
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO is still a FIFO";
    EXPECT_EQ(Listing(File("")), (std::vector<std::string>{"i.txt", "report.fifo"}));
    // A device takes the bytes and stays a device.
    ASSERT_EQ(Run({"--fits", "/dev/null"}), 0) << messages;
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// A Zernike file adds its terms to the coefficients: Fringe Z4, Z7 and Z9 are the panel's focus,
// coma X and spherical to the bit, so the file and the options give the same intensity; a file
// that is not one is refused with its line, before anything is computed.
TEST_F(Batch, ZernikeTermsAddToTheCoefficients) {
    WriteAll(File("same.zer"), "# Fringe, as the panel\n4 0.5\n7 -0.12\n9 0.21\n");
    ASSERT_EQ(Run({"--zernike", File("same.zer"), "--fits", File("z.fits"), "--threads", "1"}), 0) << messages;
    ASSERT_EQ(Run({"--focus", "0.5", "--coma-x", "-0.12", "--spherical", "0.21", "--fits", File("p.fits"), "--threads", "1"}), 0)
        << messages;
    const std::vector<FitsImage> z = ReadFits(File("z.fits")), p = ReadFits(File("p.fits"));
    ASSERT_EQ(z.size(), 1u);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(std::memcmp(z[0].pixels.data(), p[0].pixels.data(), p[0].pixels.size() * sizeof(double)), 0);

    WriteAll(File("bad.zer"), "4 0.5\n4 0.25\n");
    EXPECT_EQ(Run({"--zernike", File("bad.zer"), "--fits", File("never.fits")}), 1);
    EXPECT_NE(messages.find("bad.zer"), std::string::npos) << messages;
    EXPECT_NE(messages.find("2"), std::string::npos) << "the line is named: " << messages;
    EXPECT_FALSE(std::filesystem::exists(File("never.fits")));
}

TEST_F(Batch, AReportRepeatsItsRunBitForBit) {
    WriteAll(File("inner.uft"), "a b c d e f g 3 r t 0 1 0.6 1 1 0\n");
    WriteAll(File("table.txt"), "500 0.05 0.5\n550 -0.1 0.25\n600 0.15 -0.3\n");
    WriteAll(File("mirror.zer"), "ordering ansi\n12 0.031\n7 -0.02\n");
    const std::vector<std::string> first = {
        "--aperture", "180", "--focal-length", "1500", "--secondary", "40", "--band", "500:600:50", "--coma-x", "0.21",
        "--tilt-y", "-0.13", "--astigmatism-m", "0.07", "--brightness", "9", "--user-filter", File("inner.uft"),
        "--wavelength-table", File("table.txt"), "--zernike", File("mirror.zer"), "--seeing", "0.8", "--threads", "2"};
    auto with = [&](std::vector<std::string> args, const std::string& tag) {
        args.insert(args.end(), {"--report", File(tag + ".json"), "--fits", File(tag + ".fits"), "--intensity",
                                 File(tag + ".txt"), "--display", File(tag + ".png")});
        return args;
    };
    ASSERT_EQ(Run(with(first, "a")), 0) << messages;
    // Rerun from the report, and from its parameters alone, on another thread count.
    ASSERT_EQ(Run(with({"--params", File("a.json"), "--threads", "1"}, "b")), 0) << messages;
    const nlohmann::json parameters = nlohmann::json::parse(ReadAll(File("a.json")))["parameters"];
    WriteAll(File("bare.json"), parameters.dump());
    ASSERT_EQ(Run(with({"--params", File("bare.json")}, "c")), 0) << messages;
    const std::vector<FitsImage> a = ReadFits(File("a.fits"));
    ASSERT_EQ(a.size(), 1u);
    for (const char* tag : {"b", "c"}) {
        SCOPED_TRACE(tag);
        const std::vector<FitsImage> other = ReadFits(File(std::string(tag) + ".fits"));
        ASSERT_EQ(other.size(), 1u);
        ASSERT_EQ(other[0].pixels.size(), a[0].pixels.size());
        EXPECT_EQ(std::memcmp(other[0].pixels.data(), a[0].pixels.data(), a[0].pixels.size() * sizeof(double)), 0)
            << "the same intensity bits";
        EXPECT_EQ(ReadAll(File(std::string(tag) + ".txt")), ReadAll(File("a.txt")));
        EXPECT_EQ(ReadAll(File(std::string(tag) + ".png")), ReadAll(File("a.png"))) << "the brightness came along";
        nlohmann::json again = nlohmann::json::parse(ReadAll(File(std::string(tag) + ".json")));
        EXPECT_EQ(again["parameters"], parameters);
        EXPECT_EQ(again["bands"], nlohmann::json::parse(ReadAll(File("a.json")))["bands"]);
    }
    // The echo holds what the run was made of.
    EXPECT_EQ(parameters["user_filter_file"], File("inner.uft"));
    EXPECT_EQ(parameters["density"]["profile"], "user_filter");
    EXPECT_EQ(parameters["wavelength_table"]["rows"].size(), 3u);
    EXPECT_EQ(parameters["aberrations_waves"]["coma_x"], 0.21);
    EXPECT_EQ(parameters["brightness"], 9);
    EXPECT_EQ(parameters["zernike"], nlohmann::json::parse(R"({"ordering": "ansi", "waves": {"7": -0.02, "12": 0.031}})"));
    EXPECT_EQ(parameters["seeing_arcsec"], 0.8);
    EXPECT_FALSE(parameters.contains("threads"));
    // An option given with the report changes only itself.
    ASSERT_EQ(Run({"--params", File("a.json"), "--coma-x", "0", "--report", File("d.json")}), 0) << messages;
    const nlohmann::json changed = nlohmann::json::parse(ReadAll(File("d.json")))["parameters"];
    EXPECT_EQ(changed["aberrations_waves"]["coma_x"], 0.0);
    EXPECT_EQ(changed["aberrations_waves"]["tilt_y"], -0.13);
    EXPECT_EQ(changed["aperture_mm"], 180);
}

TEST_F(Batch, AParametersDocumentWithAFaultNamesTheKey) {
    WriteAll(File("bad.json"), R"({"schema": "velmora1-report/1", "parameters": {"focal_length_mm": "long"}})");
    EXPECT_EQ(Run({"--params", File("bad.json"), "--intensity", File("i.txt")}), 1);
    EXPECT_NE(messages.find("parameters.focal_length_mm: a whole number is needed"), std::string::npos) << messages;
    WriteAll(File("broken.json"), "{\"aperture_mm\": ");
    EXPECT_EQ(Run({"--params", File("broken.json"), "--intensity", File("i.txt")}), 1);
    EXPECT_NE(messages.find("not JSON"), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(File("i.txt")));
}

// The star test: --intra and --extra write the pair's pictures (the pair computed from the
// run's own request), --defocus-pv sets d, and only then does the report hold "star_test".
TEST_F(Batch, StarTestPicturesAreThePairOfTheRunsRequest) {
    ASSERT_EQ(Run({"--spherical", "0.2", "--intra", File("in.bmp"), "--extra", File("ex.png"), "--report", File("r.json")}), 0)
        << messages;
    Picture24 intra;
    std::string problem;
    ASSERT_TRUE(DecodeBmp(ReadAll(File("in.bmp")), intra, problem)) << problem;
    CalculationRequest rq;
    rq.aberrations = Aberrations{};
    rq.aberrations->spherical = 0.2;
    const PupilInputs in{&rq.params, nullptr, nullptr, nullptr};
    const StarTestResult pair = RunStarTest(
        rq, [&](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(in, lambda, grid, bar); }, 8);
    EXPECT_TRUE(testing::SamePicture(intra, pair.intraPicture));
    EXPECT_EQ(ReadAll(File("ex.png")), EncodeImage(pair.extraPicture, ImageFormat::Png));
    EXPECT_FALSE(testing::SamePicture(pair.intraPicture, pair.extraPicture));

    // Factory instrument: 160 mm at f/6.25, 600 and 700 nm (mean 650 nm), d = 8:
    // travel 8 N^2 d lambda = 8 x 39.0625 x 8 x 0.65e-3 mm, picture 1.2 x 8 N d lambda.
    const nlohmann::json star = nlohmann::json::parse(ReadAll(File("r.json")))["star_test"];
    EXPECT_EQ(star["defocus_waves_pv"], 8.0);
    EXPECT_NEAR(star["focuser_travel_mm"].get<double>(), 1.625, 1e-12);
    EXPECT_NEAR(star["picture_um"].get<double>(), 312, 1e-9);
}

TEST_F(Batch, TheReportHoldsTheStarTestOnlyWhenAskedFor) {
    ASSERT_EQ(Run({"--report", File("plain.json")}), 0) << messages;
    EXPECT_FALSE(nlohmann::json::parse(ReadAll(File("plain.json"))).contains("star_test"));
    // --defocus-pv alone: the sizes, without computing the pictures.
    ASSERT_EQ(Run({"--defocus-pv", "2.5", "--report", File("d.json")}), 0) << messages;
    const nlohmann::json star = nlohmann::json::parse(ReadAll(File("d.json")))["star_test"];
    EXPECT_EQ(star["defocus_waves_pv"], 2.5);
    EXPECT_NEAR(star["focuser_travel_mm"].get<double>(), 1.625 * 2.5 / 8, 1e-12);
    // The report repeats its run: the star test is an output, not an input.
    ASSERT_EQ(Run({"--params", File("d.json"), "--report", File("again.json")}), 0) << messages;
    EXPECT_EQ(ReadAll(File("again.json")), ReadAll(File("plain.json")));
}

TEST_F(Batch, StarTestOptionsOutOfRangeAreUsageErrorsAndWriteNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"--defocus-pv", "0"},   {"--defocus-pv", "-1"},         {"--defocus-pv", "20.5"},
        {"--defocus-pv", "abc"}, {"--defocus-pv", "nan"},        {"--intra", File("i.txt")},
        {"--extra", File("e")},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c;
        args.insert(args.end(), {"--report", File("r.json")});
        EXPECT_EQ(Run(args), 2) << c[0] << " " << c[1];
        EXPECT_TRUE(TwoLineUsageError(messages)) << messages;
        EXPECT_TRUE(Empty()) << c[0] << " " << c[1];
    }
}

// At 20 waves the factory instrument's disc is 650 um across; its grid is some 547 um.
TEST_F(Batch, AStarTestDiscLargerThanTheGridIsRefused) {
    EXPECT_EQ(Run({"--defocus-pv", "20", "--intra", File("in.png"), "--report", File("r.json")}), 1);
    EXPECT_NE(messages.find("does not fit in the calculation grid"), std::string::npos) << messages;
    EXPECT_TRUE(Empty());
}

}  // namespace
// The sky, a companion and a camera reach every output: the report's bands, the FITS file's
// scene extension and header, the camera's own FITS file with its axes; without them the
// report holds none of their keys.
TEST_F(Batch, ASkyACompanionAndACameraReachEveryOutput) {
    ASSERT_EQ(Run({"--seeing", "1.2", "--double", "2,90,0.5", "--pixel-size", "3.8", "--camera", File("c.fits"), "--report",
                   File("r.json"), "--fits", File("f.fits")}),
              0)
        << messages;
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    const nlohmann::json& white = report["bands"]["white"];
    EXPECT_EQ(white["double"]["separation_arcsec"], 2.0);
    EXPECT_EQ(white["double"]["position_angle_deg"], 90.0);
    EXPECT_EQ(white["double"]["delta_mag"], 0.5);
    EXPECT_TRUE(white["double"]["resolved"].get<bool>());
    EXPECT_LT(white["double"]["dip_ratio"].get<double>(), 1.0);
    // 3.8 um at 1000 mm is 3.8e-6 rad.
    EXPECT_NEAR(white["camera"]["pixel_arcsec"].get<double>(), 3.8e-6 * 180 / 3.14159265358979323846 * 3600, 1e-12);
    EXPECT_NEAR(white["camera"]["samples_per_fwhm"].get<double>(), white["fwhm_um"].get<double>() / 3.8, 1e-12);
    EXPECT_EQ(report["parameters"]["seeing_arcsec"], 1.2);
    EXPECT_EQ(report["parameters"]["camera_pixel_um"], 3.8);
    EXPECT_EQ(report["parameters"]["double_star"]["separation_arcsec"], 2.0);

    const std::vector<FitsImage> fits = ReadFits(File("f.fits"));
    ASSERT_EQ(fits.size(), 2u);
    EXPECT_EQ(fits[1].extname, "SCENE");
    EXPECT_EQ(*std::max_element(fits[1].pixels.begin(), fits[1].pixels.end()), 1.0) << "the scene's own peak";
    for (int hdu : {1, 2}) EXPECT_EQ(ReadHeader(File("f.fits"), hdu).Number("SEEING"), 1.2) << hdu;
    EXPECT_EQ(ReadHeader(File("f.fits"), 2).Number("COMPSEP"), 2);

    const std::vector<FitsImage> camera = ReadFits(File("c.fits"));
    ASSERT_EQ(camera.size(), 1u);
    const FitsHeader h = ReadHeader(File("c.fits"), 1);
    EXPECT_EQ(camera[0].naxis1 % 2, 1);
    EXPECT_EQ(h.Number("CRPIX1"), camera[0].naxis1 / 2 + 1);
    EXPECT_NEAR(h.Number("CDELT1"), white["camera"]["pixel_arcsec"].get<double>(), 1e-12);
    double sum = 0;
    for (double v : camera[0].pixels) sum += v;
    EXPECT_NEAR(sum, 1, 1e-12) << "every pixel's share of the light";

    ASSERT_EQ(Run({"--pixel-size", "3.8", "--camera", File("c.png")}), 0) << messages;
    EXPECT_EQ(ReadAll(File("c.png")).substr(1, 3), "PNG");
    ASSERT_EQ(Run({"--report", File("plain.json")}), 0) << messages;
    const std::string plain = ReadAll(File("plain.json"));
    for (const char* key : {"\"double\"", "\"camera\"", "seeing_arcsec", "double_star", "camera_pixel_um"})
        EXPECT_EQ(plain.find(key), std::string::npos) << key;

    // A pixel finer than half a sample (the factory set-up's 0.267 um at 600 nm) is refused before
    // the run, with the wavelength's limit, and nothing is written: its image would have needed
    // 24 GB.
    EXPECT_EQ(Run({"--pixel-size", "0.01", "--camera", File("fine.png"), "--report", File("fine.json")}), 1);
    EXPECT_NE(messages.find("0.01"), std::string::npos) << messages;
    EXPECT_NE(messages.find("600"), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(File("fine.png")));
    EXPECT_FALSE(std::filesystem::exists(File("fine.json")));
}

}  // namespace velmora
