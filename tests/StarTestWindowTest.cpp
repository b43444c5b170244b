// The star test window, driven as a user does: opened from the 結果 menu, d typed into its
// spin, the automatic mode's runs followed; what it shows is the core's pair for the result on
// screen.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "WindowTestSupport.h"
#include "optics/StarTestPictures.h"
#include "viewers/StarTestWindow.h"

namespace velmora {
namespace {

using testing::SamePicture;

class StarTestWindow : public testing::WindowTest {
protected:
    TStarTest& Open() {
        Choose("T1");
        EXPECT_NE(windows->starTest, nullptr);
        EXPECT_TRUE(windows->starTest->isVisible());
        return *windows->starTest;
    }
    template <typename T>
    T* InWindow(const char* name) {
        return windows->starTest->findChild<T*>(QString::fromLatin1(name));
    }
    QString Text(const char* label) { return InWindow<QLabel>(label)->text(); }
    const Picture24& Intra() { return InWindow<PictureBox>("IntraImage")->Picture(); }
    const Picture24& Extra() { return InWindow<PictureBox>("ExtraImage")->Picture(); }
    void Calculate() { QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton); }
    bool WaitForPairs(int count) {
        return QTest::qWaitFor([&] { return Form().StarTestResultsShown() >= count; }, 60000);
    }
    bool WaitIdle() { return QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000); }
    // Types d into the spin and presses Enter, as a user does.
    void TypeDefocus(const QString& text) {
        QSpinBox* spin = InWindow<QSpinBox>("DefocusSpin");
        QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spin, text);
        QTest::keyClick(spin, Qt::Key_Return);
    }
    // The core's pair for what the panel holds now.
    StarTestResult CorePair(double d) {
        CalculationRequest request;
        request.params = Form().Snapshot();
        const PupilInputs in{&request.params, nullptr, nullptr, nullptr};
        return RunStarTest(
            request, [&](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(in, lambda, grid, bar); }, d);
    }
    void ExpectPair(const StarTestResult& pair) {
        EXPECT_TRUE(SamePicture(Intra(), pair.intraPicture));
        EXPECT_TRUE(SamePicture(Extra(), pair.extraPicture));
    }
};

const Picture24 dark(starTestPictureSize, starTestPictureSize);

TEST_F(StarTestWindow, OpensUnderTheResultsMenuAndWaitsForAResult) {
    Start();
    EXPECT_EQ(Control<QAction>("T1")->text(), QStringLiteral("スターテスト(&T)"));
    Open();
    EXPECT_EQ(Text("IntraCaption"), QStringLiteral("焦点内"));
    EXPECT_EQ(Text("ExtraCaption"), QStringLiteral("焦点外"));
    QSpinBox* spin = InWindow<QSpinBox>("DefocusSpin");
    EXPECT_EQ(spin->value(), 8);
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 20);
    EXPECT_EQ(Text("StatusLabel"), QStringLiteral("計算結果がありません。計算するとスターテストを表示します。"));
    EXPECT_TRUE(SamePicture(Intra(), dark));
    EXPECT_EQ(Form().StarTestResultsShown(), 0);
    // The first result brings the pair.
    Calculate();
    ASSERT_TRUE(WaitForPairs(1));
    ExpectPair(CorePair(8));
}

// The factory telescope, 160 mm at f/6.25 over 600 and 700 nm (mean 650 nm), at d = 8:
// travel 8 N^2 d lambda = 1.625 mm, disc 8 N d lambda = 260 um, picture 1.2 x 260 um.
TEST_F(StarTestWindow, ShowsThePairOfTheResultWithItsSizes) {
    Start();
    ClickArrow(28, true);  // some coma, so that the two sides differ
    Calculate();
    Open();
    ASSERT_TRUE(WaitForPairs(1));
    const StarTestResult pair = CorePair(8);
    ExpectPair(pair);
    EXPECT_FALSE(SamePicture(Intra(), Extra()));
    EXPECT_EQ(Text("TravelLabel"), QStringLiteral("フォーカサー移動量: ±1.625 mm"));
    EXPECT_EQ(Text("ScaleLabel"), QStringLiteral("画像の幅 312.0 µm（像の直径 8Ndλ = 260.0 µm、波長 650 nm）"));
    EXPECT_TRUE(Text("StatusLabel").isEmpty());
}

TEST_F(StarTestWindow, ANewDefocusComputesANewPairAndATooLargeDiscIsSaid) {
    Start();
    ClickArrow(28, true);
    Calculate();
    Open();
    ASSERT_TRUE(WaitForPairs(1));
    TypeDefocus(QStringLiteral("2"));
    ASSERT_TRUE(WaitForPairs(2));
    ExpectPair(CorePair(2));
    EXPECT_EQ(Text("TravelLabel"), QStringLiteral("フォーカサー移動量: ±0.406 mm"));
    // The arrow key steps it as the spin's arrows do.
    QTest::keyClick(InWindow<QSpinBox>("DefocusSpin"), Qt::Key_Up);
    ASSERT_TRUE(WaitForPairs(3));
    ExpectPair(CorePair(3));
    // 20 waves: a disc of 650 um in a grid of some 547 um.
    TypeDefocus(QStringLiteral("20"));
    ASSERT_TRUE(WaitForPairs(4));
    EXPECT_EQ(Text("StatusLabel"),
              QStringLiteral("デフォーカスした像の直径 650 µm が計算グリッドの幅 547 µm に収まりません。デフォーカスを小さくしてください。"));
    EXPECT_TRUE(SamePicture(Intra(), dark));
    EXPECT_TRUE(SamePicture(Extra(), dark));
    EXPECT_EQ(Text("TravelLabel"), QStringLiteral("フォーカサー移動量: ±4.063 mm"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StarTestWindow, FollowsTheAutomaticMode) {
    Start();
    Open();
    Control<QAction>("L1")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitForPairs(1));
    ExpectPair(CorePair(8));
    for (int k = 0; k < 2; ++k) {
        const int pairs = Form().StarTestResultsShown();
        ClickArrow(28, true);
        ASSERT_TRUE(WaitIdle());
        ASSERT_TRUE(WaitForPairs(pairs + 1));
        ExpectPair(CorePair(8));
    }
}

TEST_F(StarTestWindow, AClosedWindowComputesNothing) {
    Start();
    Open();
    windows->starTest->close();
    Calculate();
    QTest::qWait(100);
    EXPECT_EQ(Form().StarTestResultsShown(), 0);
}

}  // namespace
}  // namespace velmora
