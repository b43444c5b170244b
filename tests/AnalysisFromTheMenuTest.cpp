// The analysis window reached from the 結果 menu, fed by real runs: one window following every run
// and the automatic mode, its axes, its size, every plot text whole; the viewers' scale marks.
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "AnalysisWindowTestSupport.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/ScaleMarks.h"

namespace velmora::testing {
namespace {

TEST_F(AnalysisFromTheMenu, OneWindowFromTheResultMenuFollowsEveryCalculation) {
    Start();
    QStringList items;
    for (const QAction* a : Control<QMenu>("R1")->actions()) items << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    EXPECT_EQ(items.join(QLatin1Char(' ')), QStringLiteral("N11 N21 N7 - A1 T1 Camera1 L1"));
    EXPECT_EQ(Control<QAction>("A1")->text(), QStringLiteral("解析(&A)"));

    EXPECT_EQ(Window(), nullptr) << "made when first asked for";
    Choose("A1");
    ASSERT_NE(Window(), nullptr);
    TAnalysis* window = Window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("解析"));
    EXPECT_TRUE(In<QLabel>(*window, "NothingLabel")->isVisible());
    EXPECT_EQ(window->MeasureCount(), 0);

    // A clear pupil at one wavelength, 600 nm at f/6.25: lambda F = 3.75 um, and the Airy
    // pattern's FWHM is 1.029 lambda F = 3.859 um (Born and Wolf, 8.5.2); the pupil is sampled
    // on a grid, so 2 % as in the measurements' own tests.
    Edit(3)->setText(QStringLiteral("0"));
    Edit(33)->setText(QStringLiteral("600"));
    Edit(34)->setText(QStringLiteral("600"));
    Run();
    EXPECT_EQ(window->MeasureCount(), 1);
    EXPECT_FALSE(In<QLabel>(*window, "NothingLabel")->isVisible());
    EXPECT_EQ(window->TableText(), ExpectedTable());
    EXPECT_EQ(Cell(QStringLiteral("ストレール比")), "1.000") << "no aberration";
    EXPECT_NEAR(Cell(QStringLiteral("半値全幅 平均 (µm)")).toDouble(), 1.029 * 3.75, 0.02 * 3.859);
    EXPECT_EQ(Cell(QStringLiteral("平均波長 (nm)")), "600.0");

    Choose("A1");
    EXPECT_EQ(Window(), window) << "one instance";
    EXPECT_EQ(window->MeasureCount(), 1);

    // Coma: the open window follows, and its Strehl ratio falls.
    for (int k = 0; k < 3; ++k) ClickArrow(28, true);
    Run();
    EXPECT_EQ(window->MeasureCount(), 2);
    EXPECT_EQ(window->TableText(), ExpectedTable());
    EXPECT_LT(Cell(QStringLiteral("ストレール比")).toDouble(), 0.999);

    // Closed, it measures nothing until it is opened again, and then only the latest result.
    window->close();
    Run();
    ClickArrow(28, true);
    Run();
    EXPECT_EQ(window->MeasureCount(), 2);
    Choose("A1");
    EXPECT_EQ(window->MeasureCount(), 3);
    EXPECT_EQ(window->TableText(), ExpectedTable());

    QGuiApplication::clipboard()->clear();
    Press(*window, "CopyButton");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), ExpectedTable());
}

// In the automatic mode every spin click brings a result; an open analysis window gets its
// measurements made on the run's thread, after the picture, and never measures on its own:
// the window's thread stays free for the panel. A closed window gets none, and measures the
// latest result itself when it is opened again.
TEST_F(AnalysisFromTheMenu, AutomaticResultsComeMeasuredToAnOpenWindow) {
    Start();
    Choose("A1");
    TAnalysis* window = Window();
    Choose("L1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MeasureCount() == 1; }, 60000));
    for (int k = 2; k <= 3; ++k) {
        ClickArrow(28, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->MeasureCount() == k && !Form().CalculationRunning(); }, 60000));
        EXPECT_EQ(window->TableText(), ExpectedTable());
    }
    EXPECT_EQ(window->MeasuredHere(), 0);

    window->close();
    const int shown = Form().RunResultsShown();
    ClickArrow(28, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form().RunResultsShown() > shown && !Form().CalculationRunning(); }, 60000));
    EXPECT_EQ(window->MeasureCount(), 3);
    Choose("A1");
    EXPECT_EQ(window->MeasuredHere(), 1);
    EXPECT_EQ(window->TableText(), ExpectedTable());
}

// Clicks that follow one another faster than the measurements: those of a result already
// replaced are left off for the next run (nobody would see them), never made on the window's
// thread instead, and the window ends with the measurements of the result on screen. When the
// next run is refused, the result on screen keeps its place, and its measurements are made.
TEST_F(AnalysisFromTheMenu, MeasurementsOfAReplacedResultAreLeftOffAndTheLastOnesShown) {
    Start();
    Choose("A1");
    TAnalysis* window = Window();
    Choose("L1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MeasureCount() == 1 && !Form().CalculationRunning(); }, 60000));
    for (int k = 0; k < 4; ++k) {
        const int shown = Form().RunResultsShown();
        ClickArrow(28, true);
        // The next click as soon as the picture is there, while its measurements are made.
        ASSERT_TRUE(QTest::qWaitFor([&] { return Form().RunResultsShown() > shown; }, 60000));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->TableText() == ExpectedTable(); }, 60000)) << window->TableText().toStdString();
    EXPECT_EQ(window->MeasuredHere(), 0);

    // Three bands take the measurements long enough for the refused run to start meanwhile.
    QTest::mouseClick(Control<QAbstractButton>("RadioButton2"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning() && window->TableText() == ExpectedTable(); }, 60000));
    const int shown = Form().RunResultsShown();
    ClickArrow(28, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form().RunResultsShown() > shown; }, 60000));
    const QString lastShown = ExpectedTable();
    Form().ApplyAssignment({ParameterAssignment::Kind::Text, "Edit2", "100", false});  // a pupil the grid cannot hold
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->TableText() == lastShown; }, 60000)) << window->TableText().toStdString();
    EXPECT_EQ(Form().RunResultsShown(), shown + 1);
}

TEST_F(AnalysisFromTheMenu, AWindowMadeAfterACalculationShowsIt) {
    Start();
    Run();
    Choose("A1");
    EXPECT_EQ(Window()->MeasureCount(), 1);
    EXPECT_EQ(Window()->TableText(), ExpectedTable());
    EXPECT_EQ(In<QPlainTextEdit>(*Window(), "Warnings")->toPlainText(), QStringLiteral("ありません。"));

    // 300 mm at f/2 and 400 nm: the PSF is sampled below Nyquist, and the window says so in the
    // measurements' own words.
    Edit(1)->setText(QStringLiteral("300"));
    Edit(2)->setText(QStringLiteral("600"));
    Edit(33)->setText(QStringLiteral("400"));
    Edit(34)->setText(QStringLiteral("400"));
    Run();
    const Analysis a = Analyse(*Form().LastFullResult());
    ASSERT_TRUE(a.Warns(SamplingWarning::BelowNyquist));
    QStringList sentences;
    for (const SamplingNote& w : a.warnings) sentences << QString::fromStdString(w.message.Text());
    EXPECT_EQ(In<QPlainTextEdit>(*Window(), "Warnings")->toPlainText(), sentences.join(QLatin1Char('\n')));

    // Colour: a column for each band.
    QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    Run();
    auto* table = In<QTableWidget>(*Window(), "MeasurementTable");
    ASSERT_EQ(table->columnCount(), 3);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("赤"));
    EXPECT_EQ(table->horizontalHeaderItem(2)->text(), QStringLiteral("青"));
    EXPECT_EQ(Window()->MeasureCount(), 3);
}

TEST_F(AnalysisFromTheMenu, TheViewersShowTheScaleOfTheResult) {
    Start();
    TPSF& psf = *windows->psf;
    TPSF1D& profile = *windows->psf1d;
    psf.show();
    EXPECT_FALSE(In<QWidget>(psf, "ScaleBar")->isVisible()) << "no scale before a calculation";
    EXPECT_FALSE(In<QLabel>(psf, "ScaleLabel")->isVisible());
    Choose("N11");
    Press(profile, "BitBtn1");
    EXPECT_FALSE(In<QLabel>(profile, "AxisTick1_1")->isVisible());
    EXPECT_FALSE(In<QLabel>(profile, "AxisUnit1")->isVisible());
    Press(profile, "BitBtn4");

    Run();
    const PixelScale scale = ScaleOf(*Form().LastFullResult());
    QWidget* bar = In<QWidget>(psf, "ScaleBar");
    ASSERT_TRUE(bar->isVisible());
    // "<length> um (<angle>″)": the length is the bar's pixels times the pitch, to half a pixel.
    const QStringList parts = In<QLabel>(psf, "ScaleLabel")->text().split(QLatin1Char(' '));
    ASSERT_EQ(parts.size(), 3) << In<QLabel>(psf, "ScaleLabel")->text().toStdString();
    EXPECT_EQ(parts[1], QStringLiteral("µm"));
    const double lengthUm = parts[0].toDouble();
    EXPECT_NEAR(bar->width() * scale.um, lengthUm, scale.um / 2);
    EXPECT_LE(bar->width(), 140);
    EXPECT_GT(bar->width(), 140 / 2.5) << "the longest round length that fits";
    const double arcsec = parts[2].mid(1, parts[2].size() - 3).toDouble();
    EXPECT_NEAR(arcsec, lengthUm / scale.um * scale.arcsec, 0.005 * arcsec);
    EXPECT_EQ(bar->y(), 262);
    EXPECT_GE(bar->y(), psf.Image1()->geometry().bottom()) << "under the picture";

    // The profile plots take the new pitch with their next redraw; each tick's label is centred
    // over the plot column of its distance from the grid centre (column 128).
    Press(profile, "BitBtn1");
    EXPECT_TRUE(In<QLabel>(profile, "AxisUnit1")->isVisible());
    EXPECT_EQ(In<QLabel>(profile, "AxisUnit2")->text(), QStringLiteral("位置 (µm)"));
    int ticks = 0;
    bool zero = false;
    for (int plot = 1; plot <= 2; ++plot) {
        const int left = plot == 1 ? 8 : 304;
        for (int i = 1; i <= 9; ++i) {
            QLabel* tick = profile.findChild<QLabel*>(QStringLiteral("AxisTick%1_%2").arg(plot).arg(i));
            ASSERT_NE(tick, nullptr);
            if (!tick->isVisible()) continue;
            ++ticks;
            bool number = false;
            const double um = tick->text().toDouble(&number);
            ASSERT_TRUE(number) << tick->text().toStdString();
            zero = zero || um == 0;
            const double column = 128 + um / scale.um;
            EXPECT_NEAR(tick->x() + tick->width() / 2.0, left + column, 1.0) << tick->text().toStdString();
            EXPECT_GE(tick->x(), left);
            EXPECT_LE(tick->x() + tick->width(), left + 256);
        }
    }
    EXPECT_TRUE(zero);
    EXPECT_GE(ticks, 2 * 3);
}

// Every radius and frequency axis ticks at round values; the arcseconds along the top tick at
// round angles of their own from zero and draw no second grid.
TEST_F(AnalysisPlots, AxesTickAtRoundValues) {
    Start();
    for (int k = 0; k < 10; ++k) ClickArrow(28, true);
    RunAndOpen();
    for (TAnalysis::Plot plot : {TAnalysis::ProfilePlot, TAnalysis::EncircledEnergyPlot, TAnalysis::MtfPlot}) {
        SCOPED_TRACE(plot);
        QValueAxis* bottom = Axis(plot, Qt::AlignBottom);
        ASSERT_NE(bottom, nullptr);
        const double step = (bottom->max() - bottom->min()) / (bottom->tickCount() - 1);
        EXPECT_TRUE(OneTwoFive(step)) << step;
        EXPECT_GE(bottom->tickCount(), 3);
        QValueAxis* top = Axis(plot, Qt::AlignTop);
        if (plot == TAnalysis::MtfPlot) {
            EXPECT_EQ(top, nullptr);
            continue;
        }
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->tickType(), QValueAxis::TicksDynamic);
        EXPECT_EQ(top->tickAnchor(), 0);
        EXPECT_TRUE(OneTwoFive(top->tickInterval())) << top->tickInterval();
        const double ticks = (top->max() - top->min()) / top->tickInterval();
        EXPECT_GE(ticks, 2);
        EXPECT_LE(ticks, 10);
        EXPECT_FALSE(top->isGridLineVisible());
        EXPECT_FALSE(top->isMinorGridLineVisible());
        EXPECT_TRUE(bottom->isGridLineVisible());
    }
}

// With its frame (a title bar of at most 40 px and 4 px borders) it fits a 1366 x 768 screen
// less its panels: 1300 x 700 at most, also at its smallest; its plots grow with it.
TEST_F(AnalysisPlots, TheWindowFitsASmallScreenAndItsPlotsFollowItsSize) {
    Start();
    RunAndOpen();
    for (int colour = 0; colour < 2; ++colour) {
        if (colour) {
            QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
            RunAndOpen();
        }
        const QSize opened = Window()->size();
        EXPECT_LE(opened.width() + 8, 1300);
        EXPECT_LE(opened.height() + 44, 700);
        const QSize smallest = Window()->minimumSizeHint();
        EXPECT_LE(smallest.width(), opened.width());
        EXPECT_LE(smallest.height(), opened.height());
    }
    const QSize before = Window()->Chart(TAnalysis::MtfPlot)->size();
    Window()->resize(Window()->size() + QSize(100, 60));
    QCoreApplication::processEvents();
    const QSize after = Window()->Chart(TAnalysis::MtfPlot)->size();
    EXPECT_GT(after.width(), before.width());
    EXPECT_GT(after.height(), before.height());
}

// The viewers' scale marks, worked out by hand.
TEST(ScaleMarks, RoundLengthsAndTicks) {
    EXPECT_EQ(RoundLengthBelow(140), 100);
    EXPECT_EQ(RoundLengthBelow(99.9), 50);
    EXPECT_EQ(RoundLengthBelow(20), 20);
    EXPECT_DOUBLE_EQ(RoundLengthBelow(0.3), 0.2);
    EXPECT_EQ(RoundLengthBelow(0), 0);
    EXPECT_EQ(RoundLengthBelow(NAN), 0);
    EXPECT_EQ(RoundLengthText(0.2), "0.2");
    EXPECT_EQ(RoundLengthText(50), "50");

    // 0.429 um a pixel, at most 140 pixels: 60 um does not fit, 50 um is 117 pixels.
    const ScaleBar bar = ScaleBarFor(0.429, 0.0737, 140);
    EXPECT_EQ(bar.lengthUm, 50);
    EXPECT_EQ(bar.pixels, 117);
    EXPECT_NEAR(bar.lengthArcsec, 50 / 0.429 * 0.0737, 1e-12);
    EXPECT_EQ(ScaleBarFor(0, 0, 140).pixels, 0);

    // 0.5 um a pixel, ticks 50 pixels (25 um) apart at least: the smallest round step of 25 um
    // or more is 50 um, 100 pixels; -100 um would lie left of the plot.
    const std::vector<AxisTick> ticks = AxisTicksFor(0.5, 256, 128, 50, 10);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ticks[0].valueUm, -50);
    EXPECT_EQ(ticks[0].pixel, 28);
    EXPECT_EQ(ticks[1].valueUm, 0);
    EXPECT_EQ(ticks[1].pixel, 128);
    EXPECT_EQ(ticks[2].pixel, 228);
    // 0.2 um a pixel: 10 um steps are exactly 50 pixels, and the ends keep their margin.
    const std::vector<AxisTick> fine = AxisTicksFor(0.2, 256, 128, 50, 10);
    ASSERT_EQ(fine.size(), 5u);
    EXPECT_EQ(fine.front().valueUm, -20);
    EXPECT_EQ(fine.front().pixel, 28);
    EXPECT_EQ(fine.back().pixel, 228);
    EXPECT_TRUE(AxisTicksFor(0, 256, 128, 50, 10).empty());
}

}  // namespace
}  // namespace velmora::testing
