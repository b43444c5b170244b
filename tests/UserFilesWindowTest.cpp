// The user filter and user mask commands, the mask window's information menu and the pupil
// distribution window, driven through the menus and the scripted dialogs.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "WindowTestSupport.h"
#include "files/Bmp.h"
#include "panels/Maskdisplay.h"
#include "pupil/Previews.h"
#include "panels/Pup.h"
#include "pupil/PupilDistribution.h"
#include "pupil/UserMaskStage.h"

namespace velmora::testing {
namespace {

class UserFiles : public WindowTest {
protected:
    bool Checked(const char* name) { return Control<QRadioButton>(name)->isChecked(); }
    const Picture24& Density() { return Control<PictureBox>("Image2")->Picture(); }
    TMaskDis& MaskDis() { return *windows->maskDis; }
    void Open(const std::string& name) {
        dialogs.files.push_back({QString::fromStdString((Dir() / name).string()), 1});
    }
    void MaskInfo(const char* action) {
        QAction* a = MaskDis().findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr);
        a->trigger();
    }
    QString LastMessage() { return dialogs.messages.empty() ? QString() : dialogs.messages.back().text; }
};

TEST_F(UserFiles, LoadingAFilterSelectsItAndTheDensityPreviewFollows) {
    Start();
    WriteAll(Dir() / "rings.uft", thirdsFilterFile);
    Open("rings.uft");
    Choose("U1");
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("ユーザフィルタ(*.uft)|*.uft|すべて(*.*)|*.*"));
    EXPECT_TRUE(dialogs.messages.empty()) << "no request to load a filter once one is loaded";
    EXPECT_TRUE(Checked("RadioButton8"));
    EXPECT_TRUE(Form().Filter().userFilterLoaded);
    EXPECT_EQ(Form().Filter().userFilterCount, 3);
    // 1 in the inner third, 0.5 in the middle third, 0 outside, on the preview's disc.
    EXPECT_EQ(Density().Green(80 + 10, 80), 255);
    EXPECT_EQ(Density().Green(80 + 40, 80), 127);
    EXPECT_EQ(Density().Green(80 + 70, 80), 0);

    // A second, shorter file with the kind already selected still redraws the preview.
    WriteAll(Dir() / "flat.uft", "a b c d e f g 1 x y 0 0.25");
    Open("flat.uft");
    Choose("U1");
    EXPECT_EQ(Density().Green(80 + 70, 80), 63);
    EXPECT_EQ(Form().Filter().userFilterTable[1], 0.5);

    // A bad file says so, names itself and keeps the table.
    WriteAll(Dir() / "bad.uft", "a b c d e f g 2 x y 0 1 0");
    Open("bad.uft");
    Choose("U1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "warning");
    EXPECT_TRUE(LastMessage().contains(QStringLiteral("bad.uft")));
    EXPECT_EQ(Form().Filter().userFilterCount, 1);
    EXPECT_EQ(Form().Filter().userFilterTable[0], 0.25);
}

TEST_F(UserFiles, AFilterLongerThanTheTableIsLoadedWithAWarningThatSaysSo) {
    Start();
    std::string text = "a b c d e f g 750 r t";
    for (int i = 0; i < 750; ++i) text += " 0 0.5";
    WriteAll(Dir() / "long.uft", text);
    Open("long.uft");
    Choose("U1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "warning");
    EXPECT_EQ(LastMessage(), QStringLiteral("ユーザフィルタ long.uft のデータ数 750 は上限の 500 を超えています。先頭の 500 組だけを使います。"));
    EXPECT_TRUE(Checked("RadioButton8")) << "the first 500 are in use";
    EXPECT_EQ(Form().Filter().userFilterCount, 500);
    EXPECT_EQ(Density().Green(80 + 70, 80), 127);
}

TEST_F(UserFiles, AFailedFirstLoadDoesNotSelectTheFilterAndCancelDoesNothing) {
    Start();
    dialogs.files.push_back({QString(), 1});
    Choose("U1");
    EXPECT_TRUE(dialogs.messages.empty());
    WriteAll(Dir() / "words.uft", "only some words");
    Open("words.uft");
    Choose("U1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(Checked("RadioButton7"));
    EXPECT_FALSE(Form().Filter().userFilterLoaded);
}

TEST_F(UserFiles, LoadingAMaskShowsItInItsWindowAndInThePreview) {
    Start();
    MaskInfo("C1");
    EXPECT_EQ(LastMessage(), QStringLiteral("画像サイズは 600 x 600 です。"));
    MaskInfo("M1");
    EXPECT_EQ(LastMessage(), QStringLiteral("現在のパラメータでユーザマスクに必要な最小画像サイズは 220 x 220 です。"));
    QTest::mouseClick(Control<QRadioButton>("RadioButton1"), Qt::LeftButton);  // monochrome
    MaskInfo("M1");
    EXPECT_EQ(LastMessage(), QStringLiteral("現在のパラメータでユーザマスクに必要な最小画像サイズは 220 x 220 です。"));
    dialogs.messages.clear();

    const Picture24 mask = GreyPicture(320, 300, [](int x, int y) { return x + y; });
    WriteAll(Dir() / "mask.bmp", EncodeBmp24(mask));
    Open("mask.bmp");
    Choose("I1");
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("BMP(*.bmp)|*.bmp"));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(Checked("RadioButton6"));
    EXPECT_TRUE(Form().UserMaskLoaded());
    EXPECT_TRUE(SamePicture(MaskDis().MaskPicture(), mask));
    EXPECT_EQ(MaskDis().findChild<QWidget*>(QStringLiteral("Panel1"))->size(), QSize(320, 300));
    MaskInfo("C1");
    EXPECT_EQ(LastMessage(), QStringLiteral("画像サイズは 320 x 300 です。"));

    // The preview: the mask at half size, top-left, with the two axis lines over it.
    const Picture24 copy = MaskPreviewCopy(mask);
    EXPECT_EQ(Density().Green(50, 40), copy.Green(50, 40));
    EXPECT_EQ(Density().Green(120, 155), 0) << "below the 150 rows of the half-size mask";
    EXPECT_NEAR(Density().Green(50, 40), 181, 1) << "pixels 100..101 x 80..81 averaged";
    EXPECT_EQ(Density().Green(0, 50), 192) << "axis";

    Choose("M1");
    EXPECT_TRUE(MaskDis().isVisible());
    MaskInfo("Close1");
    EXPECT_FALSE(MaskDis().isVisible());

    // The calculation samples the mask picture.
    QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
    EXPECT_TRUE(dialogs.messages.size() == 1u) << "only the size message";
}

TEST_F(UserFiles, MasksOfOtherDepthsAreConvertedAndUnreadableOnesChangeNothing) {
    Start();
    WriteAll(Dir() / "broken.bmp", "BM not really");
    Open("broken.bmp");
    Choose("I1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "error");
    EXPECT_TRUE(LastMessage().contains(QStringLiteral("broken.bmp")));
    EXPECT_FALSE(Form().UserMaskLoaded());
    EXPECT_TRUE(Checked("RadioButton7"));
    EXPECT_EQ(MaskDis().MaskPicture().width, 600);
    dialogs.messages.clear();

    // An 8-bit grey bitmap: 2 x 1, palette index = grey.
    std::string bmp = "BM";
    auto put = [&](uint32_t v, int n) {
        for (int k = 0; k < n; ++k) bmp.push_back(static_cast<char>((v >> (8 * k)) & 255));
    };
    put(54 + 1024 + 4, 4);
    put(0, 4);
    put(54 + 1024, 4);
    put(40, 4);
    put(2, 4);
    put(1, 4);
    put(1, 2);
    put(8, 2);
    for (int k = 0; k < 6; ++k) put(0, 4);
    for (uint32_t k = 0; k < 256; ++k) put(k * 0x010101, 4);
    put(0x0000C840, 4);  // pixels 64 and 200, padding
    WriteAll(Dir() / "grey8.bmp", bmp);
    Open("grey8.bmp");
    Choose("I1");
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(MaskDis().MaskPicture().width, 2);
    EXPECT_EQ(MaskDis().MaskPicture().Red(0, 0), 64);
    EXPECT_EQ(MaskDis().MaskPicture().Blue(1, 0), 200);
    EXPECT_TRUE(Form().UserMaskLoaded());
}

TEST_F(UserFiles, PupilWindowShowsThePupilAtThe550nmScale) {
    Start();
    Choose("D1");
    TPupil& pupil = *windows->pupil;
    EXPECT_TRUE(pupil.isVisible());
    const Picture24& shown = pupil.Image1()->Picture();
    EXPECT_EQ(shown.Green(47, 128), 0);
    EXPECT_EQ(shown.Green(48, 128), 127);
    EXPECT_EQ(shown.Green(207, 128), 255);
    EXPECT_EQ(shown.Green(128, 128), 0) << "the secondary";
    EXPECT_EQ(shown.Green(128 + 26, 128), 255);
    EXPECT_EQ(Form().WorkGrid()[432][512], 0.5) << "the pupil is in the calculation grid";
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 0);

    // With a mask loaded and the mask kind chosen, the window shows the mask before any run.
    const Picture24 half = GreyPicture(320, 320, [](int x, int) { return x < 160 ? 255 : 0; });
    WriteAll(Dir() / "half.bmp", EncodeBmp24(half));
    Open("half.bmp");
    Choose("I1");
    Choose("D1");
    EXPECT_GT(pupil.Image1()->Picture().Green(128 - 40, 128), 250);
    EXPECT_EQ(pupil.Image1()->Picture().Green(128 + 40, 128), 0);
    QTest::mouseClick(pupil.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    EXPECT_FALSE(pupil.isVisible());
}

TEST_F(UserFiles, AMaskLargerThanTheScreenIsShownInAScrollAreaThatFitsTheScreen) {
    Start();
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    QScrollArea* area = MaskDis().findChild<QScrollArea*>(QStringLiteral("MaskScroll"));
    ASSERT_NE(area, nullptr);
    auto shown = [&] {
        MaskDis().show();
        QCoreApplication::processEvents();
        return area->viewport()->size();
    };

    // A mask that fits is shown whole, without scroll bars.
    WriteAll(Dir() / "small.bmp", EncodeBmp24(GreyPicture(320, 300, [](int x, int y) { return x + y; })));
    Open("small.bmp");
    Choose("I1");
    EXPECT_EQ(shown(), QSize(320, 300));
    EXPECT_FALSE(area->horizontalScrollBar()->isVisible());

    const int side = std::max(screen.width(), screen.height()) + 500;
    WriteAll(Dir() / "large.bmp", EncodeBmp24(GreyPicture(side, side, [](int x, int y) { return x + y; })));
    Open("large.bmp");
    Choose("I1");
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().text.toStdString();
    EXPECT_EQ(MaskDis().findChild<QWidget*>(QStringLiteral("Panel1"))->size(), QSize(side, side)) << "at its own size";
    EXPECT_TRUE(MaskDis().Mask().IsGrey()) << "a grey mask is kept one byte a pixel";
    EXPECT_TRUE(MaskDis().Mask().colour.empty());
    shown();
    EXPECT_LE(MaskDis().width(), screen.width());
    EXPECT_LE(MaskDis().height(), screen.height());
    EXPECT_TRUE(area->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(area->verticalScrollBar()->isVisible());
    EXPECT_EQ(area->horizontalScrollBar()->maximum(), side - area->viewport()->width());
    MaskInfo("C1");
    EXPECT_EQ(LastMessage(), QStringLiteral("画像サイズは %1 x %1 です。").arg(side));
}

}  // namespace
}  // namespace velmora::testing
