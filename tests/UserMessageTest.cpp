// Messages built below the windows: the Japanese text they give is exactly the one the program
// has always shown (the batch command prints it), and the template a window translates fills
// its places in one pass.
#include "core/UserMessage.h"

#include <gtest/gtest.h>

#include "core/PsfCalculation.h"
#include "files/Bmp.h"
#include "files/FileWrite.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"

namespace velmora {
namespace {

TEST(UserMessage, PlacesAreFilledOnceInAnyOrder) {
    EXPECT_EQ(FillPlaces("%2 / %1 / %2", {"a", "b"}), "b / a / b");
    // A value holding a place marker stays as it is: a word of a user's file may be "%1".
    EXPECT_EQ(FillPlaces("「%1」と%2", {"%2", "x"}), "「%2」とx");
    // A place without a value, a lone percent and %0 are kept.
    EXPECT_EQ(FillPlaces("%1 %3 100% %0", {"v"}), "v %3 100% %0");
    EXPECT_EQ(FillPlaces("50%", {}), "50%");
}

TEST(UserMessage, NestedValuesGiveTheJapaneseText) {
    const UserMessage inner("Ctx", "%1 組目", {UserMessage::Value(3)});
    const UserMessage outer("Ctx", "%1「%2」", {inner, UserMessage::Value("abc")});
    EXPECT_EQ(outer.Text(), "3 組目「abc」");
    EXPECT_EQ(UserMessage::Value("%1").Text(), "%1");  // a plain value is never filled
    const MessageError e(outer);
    EXPECT_STREQ(e.what(), "3 組目「abc」");
    EXPECT_EQ(e.Message().args.size(), 2u);
}

// The exact Japanese wording of the messages whose text is put together from parts.
TEST(UserMessage, TheJapaneseMessagesAreUnchanged) {
    auto refusal = [](CalculationRequest rq) {
        try {
            RunPsfCalculation(rq, [](int, RealMatrix, const ProgressFn&) {}, nullptr, {});
        } catch (const CalculationError& e) {
            return std::string(e.what());
        }
        return std::string("not refused");
    };
    CalculationRequest rq;
    rq.params.colorMode = ColorMode::Colour;
    rq.params.redBand.step = 0;
    EXPECT_EQ(refusal(rq), "赤の波長ステップが 0 nm では計算が終わりません。ステップを 1 nm 以上にしてください。");
    rq = {};
    rq.params.aperture = 300;
    rq.params.focalLength = 100;
    EXPECT_EQ(refusal(rq), "波長 600 nm では瞳のサンプル数が 2750 になり、計算グリッド 1024 に収まりません。"
                           "焦点距離を長くするか口径を小さくするか、短い波長を外してください。");
    rq = {};
    rq.params.useWavelengthDependence = true;
    EXPECT_EQ(refusal(rq), "波長依存の表が 0 行しかありません（白色光の波長は 2 個）。「波長依存」で表を作り直してください。");

    UserFilter filter;
    EXPECT_EQ(ReadUserFilterText("a b c d e f g 2 x y 0 0.5 1 %1", filter).problem,
              "2 組目の2 番目の値「%1」は数値ではありません");
    EXPECT_EQ(ReadUserFilterText("a b c d e f g 3 x y 0 0.5", filter).problem,
              "データが 3 組に足りません（2 組目の1 番目の値がありません）");
    EXPECT_EQ(ReadUserFilterText("a b c d e f g 0", filter).problem, "データ数 N は 1 以上でなければなりません（0）");

    // A 9000 x 10 picture header: refused for its size before anything is read.
    std::string bmp = EncodeBmp24(Picture24(1, 1));
    bmp[18] = static_cast<char>(9000 & 0xFF);
    bmp[19] = static_cast<char>(9000 >> 8);
    bmp[22] = 10;
    Picture24 picture;
    std::string problem;
    EXPECT_FALSE(DecodeBmp(bmp, picture, problem, userMaskMaxSide));
    EXPECT_EQ(problem, "画像が大きすぎます（9000 x 10、最大 8192 x 8192）");
    UserMessage reason;
    EXPECT_FALSE(LoadUserMaskFile("/nonexistent/mask.bmp", picture, reason));
    EXPECT_EQ(reason.Text(), "ファイルがありません");  // the readers tell a missing file from an unopenable one

    try {
        WriteWholeFile("/nonexistent/dir/x.vld", "x");
        ADD_FAILURE() << "written";
    } catch (const MessageError& e) {
        EXPECT_STREQ(e.what(), "ファイル /nonexistent/dir/x.vld を書き込めませんでした（open: No such file or directory）。");
    }
}

}  // namespace
}  // namespace velmora
