// The main window while a calculation runs: stopping it with Esc or "中止", and the automatic
// mode that runs on every change.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <cstring>

#include "WindowTestSupport.h"
#include "app/RunController.h"
#include "core/RunThreads.h"
#include "pupil/Previews.h"
#include "ui/UserText.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"

namespace velmora {
namespace {

using testing::SamePicture;

class LiveWindow : public testing::WindowTest {
protected:
    void ClickButton(const char* name) { QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton); }
    // A white band of this many wavelengths: long enough to act on while it runs.
    void LongBand(int first, int last, int step) {
        for (auto [edit, value] : {std::pair{"Edit33", first}, {"Edit34", last}, {"Edit35", step}})
            Form().ApplyAssignment({ParameterAssignment::Kind::Text, edit, std::to_string(value), false});
    }
    bool WaitIdle() { return QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000); }
    QAction* Live() { return Form().findChild<QAction*>(QStringLiteral("L1")); }
    QString LiveMessage() { return Control<QLabel>("LiveMessage")->toolTip(); }
    // What the viewers show now, to compare with later.
    Picture24 Shown() { return windows->psf->Image3(); }
    PsfResultImages CoreRun() {
        CalculationRequest request;
        request.params = Form().Snapshot();
        RealMatrixHolder grid;
        grid.Allocate(gridSize, gridSize);
        return testing::RunWithPupilModel(request, grid.get()).images;
    }
    bool SameGrid(const RealMatrixHolder& copy) {
        for (int r = 0; r < gridSize; ++r)
            if (std::memcmp(copy[r], Form().WorkGrid()[r], sizeof(double) * gridSize) != 0) return false;
        return true;
    }
    void KeepGrid(RealMatrixHolder& copy) {
        copy.Allocate(gridSize, gridSize);
        for (int r = 0; r < gridSize; ++r) std::memcpy(copy[r], Form().WorkGrid()[r], sizeof(double) * gridSize);
    }
};

// Esc, then the stop button, each during a long run started by "計算開始": the click returns
// once the run has ended, and the viewers, the pupil grid and the panel are as before it.
TEST_F(LiveWindow, EscAndTheStopButtonEndARunAndKeepWhatWasShown) {
    Start();
    Form().show();
    ClickButton("Button1");  // a first result to keep
    const Picture24 before = Shown();
    const double focalRatio = Form().FocalRatio();
    RealMatrixHolder grid;
    KeepGrid(grid);
    auto* stop = Control<QPushButton>("StopButton");
    EXPECT_FALSE(stop->isVisible());

    LongBand(400, 1000, 1);
    ClickArrow(28, true);  // any result that got through would differ
    for (bool byEsc : {true, false}) {
        bool stopShown = false;
        bool spinIgnored = false;
        const int coma = UpDown(24)->Position();
        QTimer::singleShot(150, [&] {
            stopShown = stop->isVisible();
            ClickArrow(24, true);  // input to the other controls is ignored during the run
            spinIgnored = UpDown(24)->Position() == coma;
            if (byEsc) QTest::keyClick(Edit(2), Qt::Key_Escape);
            else QTest::mouseClick(stop, Qt::LeftButton);
        });
        ClickButton("Button1");
        EXPECT_FALSE(Form().CalculationRunning());
        EXPECT_TRUE(stopShown) << "the stop button shows while the run lasts";
        EXPECT_TRUE(spinIgnored);
        EXPECT_FALSE(stop->isVisible());
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_TRUE(SamePicture(Shown(), before)) << (byEsc ? "Esc" : "stop button");
        EXPECT_TRUE(SameGrid(grid));
        EXPECT_EQ(Form().FocalRatio(), focalRatio);
        EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 0);
    }
}

// A click on "中止" as the platform delivers it: to the window first, which hands it to the
// button under the pointer. The long run ends at once, and what was shown stays; a click
// elsewhere in the window meanwhile does nothing.
TEST_F(LiveWindow, TheStopButtonStopsARunClickedThroughTheWindow) {
    Start();
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    ClickButton("Button1");
    const int shown = Form().RunResultsShown();
    const Picture24 before = Shown();
    LongBand(400, 1000, 1);
    ClickArrow(28, true);
    auto* stop = Control<QPushButton>("StopButton");
    QWindow* window = Form().windowHandle();
    ASSERT_NE(window, nullptr);
    bool stillRunningAfterOtherClick = false;
    const int coma = UpDown(24)->Position();
    QTimer::singleShot(150, [&] {
        auto* up = UpDown(24)->findChild<QWidget*>(QStringLiteral("up"));
        QTest::mouseClick(window, Qt::LeftButton, {}, up->mapTo(&Form(), up->rect().center()));
        stillRunningAfterOtherClick = Form().CalculationRunning();
        QTest::mouseClick(window, Qt::LeftButton, {}, stop->mapTo(&Form(), stop->rect().center()));
    });
    ClickButton("Button1");
    EXPECT_TRUE(stillRunningAfterOtherClick);
    EXPECT_EQ(UpDown(24)->Position(), coma) << "other controls ignore clicks during the run";
    EXPECT_FALSE(Form().CalculationRunning());
    EXPECT_EQ(Form().RunResultsShown(), shown) << "the run went on to its end";
    EXPECT_TRUE(SamePicture(Shown(), before));
}

// While "計算開始" waits for its run, the window shows that it takes no input but "中止": the
// menus and the panel in their disabled colours, the busy pointer, a line that says why. All
// of it goes back as it was when the run ends, and no control was really disabled (that would
// take the focus from a box and run its handler mid-run).
TEST_F(LiveWindow, ARunShowsTheWindowBusyAndPutsItBack) {
    Start();
    Form().show();
    auto* menuBar = Form().findChild<QMenuBar*>();
    auto* group = Control<QWidget>("GroupBox1");
    auto* stop = Control<QPushButton>("StopButton");
    auto textColour = [](QWidget* w, QPalette::ColorGroup g) { return w->palette().color(g, QPalette::WindowText); };
    const QColor menuBefore = textColour(menuBar, QPalette::Active);
    const QColor groupBefore = textColour(group, QPalette::Active);
    ASSERT_NE(menuBefore, textColour(menuBar, QPalette::Disabled)) << "the style must tell the two apart";
    const QString messageBefore = LiveMessage();
    LongBand(400, 1000, 1);
    for (int run = 0; run < 2; ++run) {  // the second run as the first
        struct {
            QColor menu, group;
            Qt::CursorShape window = Qt::ArrowCursor, stop = Qt::BusyCursor;
            QString message;
            bool enabled = false;
        } during;
        QTimer::singleShot(150, [&] {
            during = {textColour(menuBar, QPalette::Active), textColour(group, QPalette::Active), Form().cursor().shape(),
                      stop->cursor().shape(), LiveMessage(), menuBar->isEnabled() && group->isEnabled()};
            QTest::keyClick(Edit(2), Qt::Key_Escape);
        });
        QTest::mouseClick(Control<QAbstractButton>("Button1"), Qt::LeftButton);
        EXPECT_EQ(during.menu, textColour(menuBar, QPalette::Disabled)) << run;
        EXPECT_EQ(during.group, textColour(group, QPalette::Disabled));
        EXPECT_EQ(during.window, Qt::BusyCursor) << run;
        EXPECT_EQ(during.stop, Qt::ArrowCursor) << "the stop button keeps the ordinary pointer";
        EXPECT_EQ(during.message, QStringLiteral("計算中です。「中止」または Esc で止められます。"));
        EXPECT_TRUE(during.enabled);

        EXPECT_EQ(textColour(menuBar, QPalette::Active), menuBefore);
        EXPECT_EQ(textColour(group, QPalette::Active), groupBefore);
        EXPECT_FALSE(menuBar->testAttribute(Qt::WA_SetPalette));
        EXPECT_EQ(Form().cursor().shape(), Qt::ArrowCursor);
        EXPECT_FALSE(stop->testAttribute(Qt::WA_SetCursor));
        EXPECT_EQ(LiveMessage(), messageBefore);
    }
}

// The end of a run long gone, delivered while the next one lasts (as a queued end can be, and
// the next task may lie where the last one lay): it touches nothing, the running run goes on
// until Esc ends it, and what was shown stays.
TEST_F(LiveWindow, AStaleEndNeverTakesOverTheRunningRun) {
    Start();
    Form().show();
    ClickButton("Button1");
    const quint64 stale = Form().RunSerial();
    const int shown = Form().RunResultsShown();
    const Picture24 before = Shown();
    LongBand(400, 1000, 1);
    ClickArrow(28, true);
    bool runningAfterStaleEnd = false, serialMoved = false;
    QTimer::singleShot(150, [&] {
        serialMoved = Form().RunSerial() == stale + 1;
        Form().Runs().TakeEnd(stale);
        runningAfterStaleEnd = Form().CalculationRunning();
        QTest::keyClick(Edit(2), Qt::Key_Escape);
    });
    ClickButton("Button1");
    EXPECT_TRUE(serialMoved);
    EXPECT_TRUE(runningAfterStaleEnd) << "the stale end took the run over";
    EXPECT_FALSE(Form().CalculationRunning());
    EXPECT_EQ(Form().RunResultsShown(), shown) << "the stopped run showed nothing";
    EXPECT_TRUE(SamePicture(Shown(), before));
    EXPECT_TRUE(dialogs.messages.empty());
}

// Three spin clicks while an automatic run lasts: the run gives way, and one result follows,
// computed from the values after the last click.
TEST_F(LiveWindow, ChangesDuringAnAutomaticRunEndInOneResultFromTheLastValues) {
    Start();
    ASSERT_NE(Live(), nullptr);
    EXPECT_FALSE(Live()->isChecked()) << "off at start";
    // 101 wavelengths, whose run outlasts the clicks by far; ThreadSanitizer makes every
    // wavelength some fifty times slower, so 21 last longer there than 101 do here.
#if defined(__SANITIZE_THREAD__)
    LongBand(400, 800, 20);
#else
    LongBand(400, 800, 4);
#endif
    Live()->trigger();
    ASSERT_TRUE(Live()->isChecked());
    EXPECT_TRUE(Form().CalculationRunning()) << "turning it on runs at once";
    for (int k = 0; k < 3; ++k) ClickArrow(28, true);
    EXPECT_EQ(UpDown(28)->Position(), 3) << "the panel takes input during an automatic run";
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Form().RunResultsShown(), 1);
    EXPECT_TRUE(SamePicture(Shown(), CoreRun().image3));
    EXPECT_TRUE(dialogs.messages.empty());

    // Off: a change starts nothing.
    Live()->trigger();
    EXPECT_FALSE(Live()->isChecked());
    ClickArrow(28, true);
    EXPECT_FALSE(Form().CalculationRunning());
    QTest::qWait(50);
    EXPECT_EQ(Form().RunResultsShown(), 1);
}

// In the automatic mode a spin's wavefront previews are drawn after its run has started: by the
// time the click returns they show the new values, as without the mode, and the run used them.
TEST_F(LiveWindow, AutomaticSpinClicksStillRedrawTheWavefrontPreviews) {
    Start();
    Live()->trigger();
    ASSERT_TRUE(WaitIdle());
    for (const auto& [spin, up] : {std::pair{28, true}, {24, true}, {32, true}, {28, false}}) {
        ClickArrow(spin, up);
        const Aberrations a = AberrationsInWaves(Form().Snapshot());
        double pv = 0;
        EXPECT_TRUE(SamePicture(Control<PictureBox>("Image4")->Picture(), DrawPupilFunctionPreview(a, UpDown(32)->Position(), pv)))
            << "UpDown" << spin;
        EXPECT_EQ(Control<QLabel>("Label40")->text().toStdString(), PeakToValleyText(pv));
        EXPECT_TRUE(SamePicture(Control<PictureBox>("Image5")->Picture(), DrawInterferencePreview(a))) << "UpDown" << spin;
        ASSERT_TRUE(WaitIdle());
        EXPECT_TRUE(SamePicture(Shown(), CoreRun().image3)) << "UpDown" << spin;
    }
}

TEST_F(LiveWindow, TurningTheModeOffStopsTheRunningOne) {
    Start();
    LongBand(400, 1000, 1);
    Live()->trigger();
    ASSERT_TRUE(Form().CalculationRunning());
    Live()->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Form().RunResultsShown(), 0);
    EXPECT_EQ(Shown().Red(128, 128), 0) << "nothing was shown";
}

// VELMORA_THREADS beyond the machine: the run uses what the hardware runs at once and says so
// in the line under the bar, for the manual and the automatic runs alike.
TEST_F(LiveWindow, AThreadCountBeyondTheMachineIsLoweredAndSaid) {
    const char* saved = std::getenv("VELMORA_THREADS");
    const std::string keep = saved ? saved : "";
    setenv("VELMORA_THREADS", "1000", 1);
    Start();
    Form().show();
    ClickButton("Button1");
    ASSERT_TRUE(WaitIdle());
    const RunThreads expected = RunThreadsFor(1000, Form().Snapshot());
    EXPECT_LT(expected.threads, 1000);
    EXPECT_EQ(LiveMessage(), Translated(RunThreadsMessage(expected, true)));
    EXPECT_TRUE(LiveMessage().startsWith(QStringLiteral("スレッド数を 1000 から "))) << LiveMessage().toStdString();
    Live()->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(LiveMessage().startsWith(QStringLiteral("スレッド数を 1000 から "))) << "an automatic run keeps the line";
    EXPECT_TRUE(dialogs.messages.empty());
    if (saved) setenv("VELMORA_THREADS", keep.c_str(), 1);
    else unsetenv("VELMORA_THREADS");
}

// A refused run and a text that does not convert: their message in the line under the bar, no
// box, and the last good result stays.
TEST_F(LiveWindow, ARefusedAutomaticRunTellsWhyInItsLineAndKeepsTheResult) {
    Start();
    Live()->trigger();
    ASSERT_TRUE(WaitIdle());
    const Picture24 good = Shown();
    EXPECT_EQ(good.Red(128, 128), 255);
    EXPECT_TRUE(LiveMessage().isEmpty());

    Type(1, QStringLiteral("0"));  // aperture 0: the run refuses
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(LiveMessage().contains(QStringLiteral("主鏡口径")));
    EXPECT_TRUE(SamePicture(Shown(), good));

    Type(1, QStringLiteral("160"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(LiveMessage().isEmpty()) << "a run that went through clears the line";

    // A focal length that is no number: its message in the line too, not a box per keystroke.
    Type(2, QStringLiteral("x"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(LiveMessage().isEmpty());
    EXPECT_TRUE(SamePicture(Shown(), good));

    // Without the mode the panel answers such a text with its box, as it always has.
    Live()->trigger();
    Type(2, QStringLiteral("y"));
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

// An open 1D viewer redraws its plots from every automatic result; "計算開始" leaves them to the
// viewer's own controls, as before.
TEST_F(LiveWindow, AnOpenProfileViewerFollowsTheAutomaticRuns) {
    Start();
    Control<QAction>("N11")->trigger();
    TPSF1D& profile = *windows->psf1d;
    const Picture24 empty = profile.Image1()->Picture();

    ClickButton("Button1");
    EXPECT_TRUE(SamePicture(profile.Image1()->Picture(), empty));

    Live()->trigger();
    ASSERT_TRUE(WaitIdle());
    const Picture24 first = profile.Image1()->Picture();
    EXPECT_FALSE(SamePicture(first, empty));

    ClickArrow(28, true);  // coma: the peak moves and so does the cut's profile
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(SamePicture(profile.Image1()->Picture(), first));
}

}  // namespace
}  // namespace velmora
