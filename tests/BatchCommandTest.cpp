// The batch command's command line: its options and their usage errors, help and version, and the
// inputs it reads or refuses: parameter files, filters, masks, wavelength tables, Zernike terms.
#include "app/BatchCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>

#include "BatchTestSupport.h"
#include "SpecialFiles.h"
#include "core/RunThreads.h"
#include "files/Bmp.h"
#include "files/ParameterFile.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::ReadAll;
using testing::WriteAll;

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

TEST_F(Batch, AParametersDocumentWithAFaultNamesTheKey) {
    WriteAll(File("bad.json"), R"({"schema": "velmora1-report/1", "parameters": {"focal_length_mm": "long"}})");
    EXPECT_EQ(Run({"--params", File("bad.json"), "--intensity", File("i.txt")}), 1);
    EXPECT_NE(messages.find("parameters.focal_length_mm: a whole number is needed"), std::string::npos) << messages;
    WriteAll(File("broken.json"), "{\"aperture_mm\": ");
    EXPECT_EQ(Run({"--params", File("broken.json"), "--intensity", File("i.txt")}), 1);
    EXPECT_NE(messages.find("not JSON"), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(File("i.txt")));
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

}  // namespace
}  // namespace velmora
