// The save pattern: extension replacement, the rename of the chosen file, the question.
#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace velmora
