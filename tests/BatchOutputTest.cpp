// The files the batch command writes: pictures and intensity texts, all or nothing through failed
// renames and signals, names checked before the run, links, FIFOs, standard output, the star test.
#include "app/BatchOutput.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "BatchTestSupport.h"
#include "files/Bmp.h"
#include "files/ImageExport.h"
#include "files/Jpeg.h"
#include "files/ParameterFile.h"
#include "files/Png.h"
#include "optics/StarTestPictures.h"
#include "pupil/PupilModel.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::ReadAll;
using testing::WriteAll;
using namespace std::string_literals;

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

// At 20 waves the factory instrument's disc is 650 um across; its grid is some 547 um.
TEST_F(Batch, AStarTestDiscLargerThanTheGridIsRefused) {
    EXPECT_EQ(Run({"--defocus-pv", "20", "--intra", File("in.png"), "--report", File("r.json")}), 1);
    EXPECT_NE(messages.find("does not fit in the calculation grid"), std::string::npos) << messages;
    EXPECT_TRUE(Empty());
}

}  // namespace
}  // namespace velmora
