// The save pattern: extension replacement, the rename of the chosen file, the question.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "TestSupport.h"
#include "files/SaveTarget.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(ChangeFileExt, ReplacesOrAppendsTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(ChangeFileExt("/d/x.vl2", ".vld"), "/d/x.vld");
    EXPECT_EQ(ChangeFileExt("/d/x", ".vld"), "/d/x.vld");
    EXPECT_EQ(ChangeFileExt("/d/x.tar.gz", ".vld"), "/d/x.tar.vld");
    EXPECT_EQ(ChangeFileExt("/d.e/x", ".vld"), "/d.e/x.vld");
    EXPECT_EQ(ChangeFileExt("x.", ".bmp"), "x.bmp");
    EXPECT_EQ(ChangeFileExt("a.jpg", ".bmp"), "a.bmp");
    EXPECT_EQ(FileNameOnly("/d/e/x.vld"), "x.vld");
    EXPECT_EQ(FileNameOnly("x.vld"), "x.vld");
}

class SaveTargetTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return dir_.File(name); }
    void Write(const char* name, const char* text) const { testing::WriteAll(dir_.File(name), text); }
    std::string Read(const char* name) const { return testing::ReadAll(dir_.File(name)); }
    testing::TempDir dir_{"velmora-save"};
};

TEST_F(SaveTargetTest, NoFileAsksNothing) {
    int asked = 0;
    EXPECT_TRUE(PrepareSaveTarget(Path("a.vl2"), Path("a.vld"), [&](const std::string&) { return ++asked, false; }));
    EXPECT_EQ(asked, 0);
}

TEST_F(SaveTargetTest, TheChosenFileIsMovedToTheTargetAndTheQuestionNamesIt) {
    Write("x.vl2", "old");
    std::string named;
    EXPECT_FALSE(PrepareSaveTarget(Path("x.vl2"), Path("x.vld"), [&](const std::string& n) { return named = n, false; }));
    EXPECT_EQ(named, "x.vld");
    EXPECT_FALSE(fs::exists(Path("x.vl2")));
    EXPECT_EQ(Read("x.vld"), "old");
}

TEST_F(SaveTargetTest, AnExistingTargetKeepsBothFilesAndYesGoesAhead) {
    Write("x.vl2", "chosen");
    Write("x.vld", "target");
    EXPECT_TRUE(PrepareSaveTarget(Path("x.vl2"), Path("x.vld"), [](const std::string&) { return true; }));
    EXPECT_EQ(Read("x.vl2"), "chosen");
    EXPECT_EQ(Read("x.vld"), "target");
}

// Where a whole-file output goes, as QSaveFile would take the name.
class WriteTargetTest : public SaveTargetTest {};

TEST_F(WriteTargetTest, ANewNameOrARegularFileIsReplacedWhereItIs) {
    EXPECT_EQ(ResolveWriteTarget(Path("new.json")).kind, WriteKind::Replace);
    EXPECT_EQ(ResolveWriteTarget(Path("new.json")).file, Path("new.json"));
    Write("old.json", "x");
    const WriteTarget t = ResolveWriteTarget(Path("old.json"));
    EXPECT_EQ(t.kind, WriteKind::Replace);
    EXPECT_EQ(t.file, Path("old.json"));
    EXPECT_FALSE(t.followedLink);
}

TEST_F(WriteTargetTest, ALinkIsFollowedToTheFileItNames) {
    fs::create_directory(Path("real"));
    Write("real/target.fits", "old");
    fs::create_symlink("real/target.fits", Path("link.fits"));  // relative to the link's folder
    fs::create_symlink(Path("link.fits"), Path("chain.fits"));   // a link to a link
    for (const char* name : {"link.fits", "chain.fits"}) {
        const WriteTarget t = ResolveWriteTarget(Path(name));
        EXPECT_EQ(t.kind, WriteKind::Replace) << name;
        EXPECT_TRUE(t.followedLink) << name;
        EXPECT_EQ(fs::path(t.file), fs::canonical(Path("real/target.fits"))) << name;
    }
}

TEST_F(WriteTargetTest, ALinkToNothingMakesTheFileWhereItPoints) {
    fs::create_directory(Path("real"));
    fs::create_symlink("real/later.json", Path("dangling.json"));
    const WriteTarget t = ResolveWriteTarget(Path("dangling.json"));
    EXPECT_EQ(t.kind, WriteKind::Replace);
    EXPECT_TRUE(t.followedLink);
    EXPECT_EQ(t.file, dir_.Path().string() + "/real/later.json");
}

TEST_F(WriteTargetTest, ALinkLoopHasNoFile) {
    fs::create_symlink(Path("b"), Path("a"));
    fs::create_symlink(Path("a"), Path("b"));
    const WriteTarget t = ResolveWriteTarget(Path("a"));
    EXPECT_TRUE(t.followedLink);
    EXPECT_EQ(t.file, "");
}

TEST_F(WriteTargetTest, PipesAndDevicesAreWrittenDirectlyAndDashIsStandardOutput) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ResolveWriteTarget(Path("fifo")).kind, WriteKind::Direct);
    EXPECT_EQ(ResolveWriteTarget("/dev/null").kind, WriteKind::Direct);
    fs::create_symlink("/dev/null", Path("null-link"));
    EXPECT_EQ(ResolveWriteTarget(Path("null-link")).kind, WriteKind::Direct) << "a link to a device";
    EXPECT_EQ(ResolveWriteTarget(Path("null-link")).file, Path("null-link"));
    EXPECT_EQ(ResolveWriteTarget("-").kind, WriteKind::StandardOutput);
    EXPECT_EQ(ResolveWriteTarget("./-").kind, WriteKind::Replace) << "a file named - is spelt ./-";
}

TEST_F(WriteTargetTest, OurOwnOpenFilesAreWrittenThroughTheirDescriptors) {
    // Whatever standard output is (a file, a pipe, a terminal), /dev/stdout leads to it.
    const WriteTarget out = ResolveWriteTarget("/dev/stdout");
    EXPECT_EQ(out.kind, WriteKind::Direct);
    EXPECT_EQ(out.descriptor, 1);
    EXPECT_EQ(ResolveWriteTarget("/dev/stderr").descriptor, 2);
    EXPECT_EQ(ResolveWriteTarget("/proc/self/fd/2").descriptor, 2);
    fs::create_symlink("/dev/stdout", Path("my-stdout"));
    EXPECT_EQ(ResolveWriteTarget(Path("my-stdout")).descriptor, 1) << "through a link of one's own";
    Write("plain", "x");
    EXPECT_EQ(ResolveWriteTarget(Path("plain")).descriptor, -1);
}

}  // namespace
}  // namespace velmora
