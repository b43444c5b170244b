#include "app/BatchCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <csignal>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SpecialFiles.h"
#include "app/BatchOutput.h"
#include "files/Bmp.h"
#include "files/Jpeg.h"
#include "files/ParameterFile.h"

namespace velmora {
namespace {

class Batch : public testing::Test {
protected:
    Batch() {
        dir_ = std::filesystem::temp_directory_path() / ("velmora-batch-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }
    ~Batch() override { std::filesystem::remove_all(dir_); }

    std::string File(const std::string& name) const { return (dir_ / name).string(); }
    int Run(std::vector<std::string> args) {
        std::ostringstream err;
        int status = RunBatchCommand(args, err);
        messages = err.str();
        return status;
    }
    bool Empty() const { return std::filesystem::is_empty(dir_); }
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

private:
    std::filesystem::path dir_;
};

TEST_F(Batch, DefaultsWriteTheResultFiles) {
    ASSERT_EQ(Run({"--display", File("d.bmp"), "--pupil", File("p.bmp"), "--intensity", File("i.txt")}), 0) << messages;
    EXPECT_NE(messages.find("wavelength 1 of 2: 600 nm"), std::string::npos);
    EXPECT_NE(messages.find("wavelength 2 of 2: 700 nm"), std::string::npos);

    auto rows = ReadIntensity(File("i.txt"));
    ASSERT_EQ(rows.size(), 256u);
    for (const auto& row : rows) ASSERT_EQ(row.size(), 256u);
    EXPECT_EQ(rows[128][128], 0.996094) << "red 255, green 0, blue 0 decodes as 255/256";
    EXPECT_EQ(rows[128][120], rows[128][136]);

    std::ifstream f(File("d.bmp"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), {});
    Picture24 display;
    std::string problem;
    ASSERT_TRUE(DecodeBmp(bytes, display, problem)) << problem;
    EXPECT_EQ(display.width, 256);
    EXPECT_EQ(display.Red(128, 128), 255);
    EXPECT_TRUE(std::filesystem::exists(File("p.bmp")));

    // The same display picture as JPEG when the name says so.
    ASSERT_EQ(Run({"--display", File("d.jpg")}), 0) << messages;
    std::ifstream j(File("d.jpg"), std::ios::binary);
    const std::string jpeg((std::istreambuf_iterator<char>(j)), {});
    EXPECT_EQ(jpeg, EncodeJpeg(display, 70));
}

TEST_F(Batch, ColourWritesOneIntensityFilePerBand) {
    ASSERT_EQ(Run({"--color", "--coma-x", "0.3", "--intensity", File("c.txt")}), 0) << messages;
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
    ASSERT_EQ(Run({"--params", File("set.vld"), "--mono", "--intensity", File("m.txt")}), 0) << messages;
    EXPECT_NE(messages.find("wavelength 1 of 1: 550 nm"), std::string::npos);
}

TEST_F(Batch, UserFilterAndMaskSelectTheirProfiles) {
    // A filter that closes the outer half of the radius: a smaller pupil, a wider PSF.
    { std::ofstream(File("inner.uft"), std::ios::binary) << "a b c d e f g 2 r t 0 1 1 0\n"; }
    ASSERT_EQ(Run({"--intensity", File("open.txt")}), 0) << messages;
    ASSERT_EQ(Run({"--user-filter", File("inner.uft"), "--intensity", File("inner.txt")}), 0) << messages;
    const auto open = ReadIntensity(File("open.txt"));
    const auto inner = ReadIntensity(File("inner.txt"));
    EXPECT_EQ(inner[128][128], 0.996094);
    EXPECT_GT(inner[128][131], open[128][131]) << "the core widens";

    // A white mask passes the pupil as no profile does.
    Picture24 white(200, 200);
    std::fill(white.bgr.begin(), white.bgr.end(), 255);
    { std::ofstream(File("white.bmp"), std::ios::binary) << EncodeBmp24(white); }
    ASSERT_EQ(Run({"--user-mask", File("white.bmp"), "--intensity", File("white.txt")}), 0) << messages;
    const auto masked = ReadIntensity(File("white.txt"));
    EXPECT_NEAR(masked[128][131], open[128][131], 2e-6);

    // Unreadable files stop before anything is calculated.
    { std::ofstream(File("bad.uft"), std::ios::binary) << "too few words"; }
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
    };
    for (const auto& args : usage) {
        EXPECT_EQ(Run(args), 2) << args[0];
        EXPECT_NE(messages.find("usage: velmora1-batch"), std::string::npos);
    }
    EXPECT_TRUE(Empty());
}

TEST_F(Batch, BadInputAndRefusedRunsWriteNothing) {
    EXPECT_EQ(Run({"--params", File("absent.vld"), "--display", File("d.bmp")}), 1);
    EXPECT_NE(messages.find("does not exist"), std::string::npos);

    { std::ofstream(File("half.vld"), std::ios::binary) << "Velmora Data File\r\nAperture 100\r\nFocal_length x\r\n"; }
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

}  // namespace
}  // namespace velmora
