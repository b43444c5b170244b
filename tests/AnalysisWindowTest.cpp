// The analysis window on its own, fed hand-made measurements: before any result, following results
// while open and measuring each one once, the table and its copy, the plots and their PNG files.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPlainTextEdit>
#include <algorithm>
#include <filesystem>

#include "AnalysisWindowTestSupport.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(AnalysisWindow, SaysThereIsNothingYetThenFollowsEachResultMeasuringItOnce) {
    Window().show();
    EXPECT_TRUE(ShowsNothing());
    EXPECT_TRUE(In<QLabel>("NothingLabel")->text().contains(QStringLiteral("まだ計算結果がありません")));
    EXPECT_EQ(Window().TableText(), QString());
    EXPECT_EQ(calls, 0);

    const auto first = Result(0.812);
    Window().ShowResult(first);
    EXPECT_FALSE(ShowsNothing());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Cell(QStringLiteral("ストレール比")), "0.812");
    Window().ShowResult(first);  // the same result again: nothing new to measure
    EXPECT_EQ(calls, 1);
    const auto second = Result(0.5);
    Window().ShowResult(second);
    EXPECT_EQ(calls, 2) << "an open window follows every result";
    EXPECT_EQ(Cell(QStringLiteral("ストレール比")), "0.500");

    // Hidden, it keeps only the latest result and measures that one when shown.
    Window().hide();
    Window().ShowResult(Result(0.7));
    Window().ShowResult(Result(0.9));
    EXPECT_EQ(calls, 2);
    Window().show();
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(Cell(QStringLiteral("ストレール比")), "0.900");
    Window().hide();
    Window().show();
    EXPECT_EQ(calls, 3) << "showing again does not measure again";
    EXPECT_EQ(Window().MeasureCount(), calls);
}

// The main window measures on another thread and lets the window's events run meanwhile: a
// result that arrives while one is measured is the one shown once the measuring returns,
// measured itself or with the numbers it came with, and nothing is measured twice over.
TEST(AnalysisWindowWhileMeasuring, ANewerResultArrivingMeanwhileIsTheOneShown) {
    auto result = [](double strehl) {
        auto full = std::make_shared<FullResult>();
        full->apertureMm = strehl * 1000;
        return std::shared_ptr<const FullResult>(full);
    };
    const auto first = result(0.3), second = result(0.6), third = result(0.9);
    struct Case {
        const char* name;
        std::shared_ptr<const Analysis> arrivesWith;  // the newer result's own measurements
        int calls;                                    // measure calls in all
    };
    for (const Case& c : {Case{"without its numbers", nullptr, 2},
                          Case{"with its numbers", std::make_shared<const Analysis>(testing::HandMade(0.9)), 1}}) {
        SCOPED_TRACE(c.name);
        int calls = 0;
        std::unique_ptr<TAnalysis> window;
        window = std::make_unique<TAnalysis>([&](const FullResult& full) {
            ++calls;
            // The first measuring takes a while; a newer result arrives during it.
            if (&full == first.get()) window->ShowResult(third, c.arrivesWith);
            return testing::HandMade(full.apertureMm / 1000);
        });
        window->show();
        window->ShowResult(first);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(window->MeasureCount(), 1) << "only the newest result reached the table";
        EXPECT_TRUE(window->TableText().contains(QStringLiteral("0.900"))) << window->TableText().toStdString();
        window->ShowResult(second);
        EXPECT_TRUE(window->TableText().contains(QStringLiteral("0.600")));
    }
}

TEST_F(AnalysisWindow, TableHasOneColumnPerBandAndCopiesAsTabSeparatedText) {
    Window().show();
    Window().ShowResult(Result(0.812));
    ASSERT_EQ(Table()->columnCount(), 1);
    EXPECT_EQ(Table()->horizontalHeaderItem(0)->text(), QStringLiteral("白色光"));
    EXPECT_EQ(Cell(QStringLiteral("画素ピッチ (µm)")), "0.5000");
    EXPECT_EQ(Cell(QStringLiteral("画素ピッチ (秒角)")), "0.08594");
    EXPECT_EQ(Cell(QStringLiteral("画素ピッチの幅 (%)")), "0.120");
    EXPECT_EQ(Cell(QStringLiteral("ピーク位置 x (µm)")), "0.000");
    EXPECT_EQ(Cell(QStringLiteral("半値全幅 平均 (µm)")), "4.529");
    // x in arcseconds from the band's own pitch: 4.5276 um x 0.08594 / 0.5.
    EXPECT_EQ(Cell(QStringLiteral("半値全幅 x (秒角)")), "0.7782");
    EXPECT_EQ(Cell(QStringLiteral("r50 (µm)")), "2.346");
    EXPECT_EQ(Cell(QStringLiteral("遮断周波数 (本/mm)")), "227.3");
    EXPECT_EQ(In<QPlainTextEdit>("Warnings")->toPlainText(), QStringLiteral("ありません。"));

    QGuiApplication::clipboard()->clear();
    Press("CopyButton");
    const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), Table()->rowCount() + 1);
    EXPECT_EQ(lines[0], QStringLiteral("項目\t白色光"));
    EXPECT_TRUE(lines.contains(QStringLiteral("ストレール比\t0.812")));
    EXPECT_TRUE(lines.contains(QStringLiteral("重心位置 y (µm)\t-0.500")));
    EXPECT_TRUE(lines.contains(QStringLiteral("r80 (µm)\t5.500")));

    // Colour: red, green and blue side by side, and in the copy.
    Window().ShowResult(Result(0.6, true));
    ASSERT_EQ(Table()->columnCount(), 3);
    EXPECT_EQ(Table()->horizontalHeaderItem(2)->text(), QStringLiteral("青"));
    Press("CopyButton");
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(QStringLiteral("項目\t赤\t緑\t青\n")));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("\nストレール比\t0.600\t0.600\t0.600\n")));
}

TEST_F(AnalysisWindow, PlotsCarryTheMeasuredAndIdealCurvesWithUnits) {
    Window().show();
    Window().ShowResult(Result(0.8));
    auto seriesOf = [&](TAnalysis::Plot p) { return Window().Chart(p)->chart()->series(); };
    auto axisTitles = [&](TAnalysis::Plot p) {
        QStringList t;
        for (const QAbstractAxis* a : Window().Chart(p)->chart()->axes()) t << a->titleText();
        return t.join(QLatin1Char('|'));
    };
    ASSERT_EQ(seriesOf(TAnalysis::ProfilePlot).size(), 2);  // measured and ideal
    EXPECT_EQ(seriesOf(TAnalysis::EncircledEnergyPlot).size(), 4);  // measured, ideal, r50 and r80 marks
    EXPECT_EQ(seriesOf(TAnalysis::MtfPlot).size(), 6);  // x, y, the ideal's x and y, markers on x and y
    EXPECT_TRUE(axisTitles(TAnalysis::ProfilePlot).contains(QStringLiteral("(µm)")));
    EXPECT_TRUE(axisTitles(TAnalysis::ProfilePlot).contains(QStringLiteral("(秒角)")));
    EXPECT_TRUE(axisTitles(TAnalysis::MtfPlot).contains(QStringLiteral("(本/mm)")));
    // The profile shows the core and rings, ten lambda F = 44 um (the axis rounded to 50), and
    // never a zero on its log axis.
    auto* profile = static_cast<QLineSeries*>(seriesOf(TAnalysis::ProfilePlot)[0]);
    ASSERT_GT(profile->count(), 50);
    EXPECT_NEAR(profile->at(profile->count() - 1).x(), 50, 0.5);
    for (const QPointF& p : profile->points()) ASSERT_GT(p.y(), 0);
    EXPECT_DOUBLE_EQ(profile->at(0).y(), 0.8);

    Window().ShowResult(Result(0.8, true));
    EXPECT_EQ(seriesOf(TAnalysis::ProfilePlot).size(), 6);
    EXPECT_EQ(seriesOf(TAnalysis::MtfPlot).size(), 18);
    EXPECT_EQ(Window().Chart(TAnalysis::MtfPlot)->chart()->axes().size(), 2) << "old axes removed";
}

// Everything a plot shows, as text: its axes in order with their places, titles, ranges and
// ticks; its lines with their names, pens, axes and points; its legend.
std::string PlotText(const QChart& chart) {
    QStringList out;
    const QList<QAbstractAxis*> axes = chart.axes();
    for (const QAbstractAxis* a : axes) {
        out << QStringLiteral("axis %1 %2 visible=%3").arg(a->alignment().toInt()).arg(a->titleText()).arg(int(a->isVisible()));
        if (auto* v = qobject_cast<const QValueAxis*>(a))
            out << QStringLiteral(" %1..%2 ticks %3").arg(v->min(), 0, 'g', 17).arg(v->max(), 0, 'g', 17).arg(v->tickCount());
        if (auto* l = qobject_cast<const QLogValueAxis*>(a))
            out << QStringLiteral(" log %1..%2 %3").arg(l->min()).arg(l->max()).arg(l->labelFormat());
    }
    for (QAbstractSeries* s : chart.series()) {
        auto* line = static_cast<QXYSeries*>(s);
        out << QStringLiteral("series %1 %2 %3 %4").arg(line->name(), line->pen().color().name()).arg(int(line->pen().style())).arg(line->pen().widthF());
        for (const QAbstractAxis* a : line->attachedAxes()) out << QStringLiteral(" on axis %1").arg(axes.indexOf(a));
        for (const QPointF& p : line->points()) out << QStringLiteral(" %1,%2").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17);
    }
    out << QStringLiteral("legend %1 markers %2").arg(int(chart.legend()->isVisible())).arg(chart.legend()->markers().size());
    return out.join(QLatin1Char('\n')).toStdString();
}

// The plots keep their charts from one result to the next while the bands stay the same: after
// monochrome, colour, monochrome again and one more monochrome result, each plot (and the
// table) shows the last result alone, as a window that saw only that result shows it, with
// nothing left of the colour lines or their axes, nor of the earlier ranges.
TEST_F(AnalysisWindow, PlotsShowOnlyTheCurrentResultAfterTheBandsChangeBackAndForth) {
    Window().show();
    Window().ShowResult(Result(0.8));
    Window().ShowResult(Result(0.6, true));
    Window().ShowResult(Result(0.5));
    // The last result, on the same monochrome charts, at twice the cut-off and another pitch
    // in arcseconds: new axis ranges and tick counts, and other points.
    Analysis last = HandMade(0.4);
    last.scale.arcsec = 0.1;
    BandMeasurements& band = last.bands[0];
    band.cutoffCycPerMm *= 2;
    for (double& f : band.mtfFreqCycPerMm) f *= 2;
    Window().ShowResult(Result(0.4), std::make_shared<const Analysis>(last));
    QCoreApplication::processEvents();

    TAnalysis fresh([](const FullResult&) { return Analysis(); });
    fresh.show();
    fresh.ShowResult(Result(0.4), std::make_shared<const Analysis>(last));
    EXPECT_EQ(Window().TableText().toStdString(), fresh.TableText().toStdString()) << "one column, the last numbers";
    const std::pair<TAnalysis::Plot, int> plots[3] = {
        {TAnalysis::ProfilePlot, 2}, {TAnalysis::EncircledEnergyPlot, 4}, {TAnalysis::MtfPlot, 6}};
    for (auto [plot, lines] : plots) {
        const QChart& chart = *Window().Chart(plot)->chart();
        EXPECT_EQ(PlotText(chart), PlotText(*fresh.Chart(plot)->chart())) << plot;
        // And on screen: no axis or line of an earlier chart lingers in the picture.
        EXPECT_EQ(Window().Chart(plot)->grab().toImage(), fresh.Chart(plot)->grab().toImage()) << plot;
        ASSERT_EQ(chart.series().size(), lines) << plot;
        EXPECT_EQ(chart.legend()->markers().size(), lines) << plot;
        EXPECT_EQ(chart.axes().size(), plot == TAnalysis::MtfPlot ? 2 : 3) << plot;
        for (QAbstractSeries* s : chart.series()) EXPECT_EQ(s->attachedAxes().size(), 2) << plot;
    }

    // The points are the last measurements, up to the rounded ends of the axes: 2.2 um lambda F
    // gives the profile 22 um (an axis to 25), and r80 = 5.5 um the energy 16.5 um (to 20).
    auto line = [&](TAnalysis::Plot plot, int i) { return static_cast<QXYSeries*>(Window().Chart(plot)->chart()->series()[i]); };
    auto bottom = [&](TAnalysis::Plot plot) {
        return static_cast<QValueAxis*>(Window().Chart(plot)->chart()->axes(Qt::Horizontal, line(plot, 0))[0]);
    };
    ASSERT_EQ(bottom(TAnalysis::ProfilePlot)->max(), 25);
    ASSERT_EQ(bottom(TAnalysis::EncircledEnergyPlot)->max(), 20);
    ASSERT_EQ(line(TAnalysis::ProfilePlot, 0)->count(), 51);  // 0 to 25 um by 0.5 um
    ASSERT_EQ(line(TAnalysis::EncircledEnergyPlot, 0)->count(), 41);
    for (int i = 0; i < 51; ++i) {
        EXPECT_EQ(line(TAnalysis::ProfilePlot, 0)->at(i), QPointF(band.radialRadiusUm[i], std::max(band.radialProfile[i], 1e-8)));
        EXPECT_EQ(line(TAnalysis::ProfilePlot, 1)->at(i), QPointF(band.radialRadiusUm[i], std::max(band.idealProfile[i], 1e-8)));
    }
    for (int i = 0; i < 41; ++i) {
        EXPECT_EQ(line(TAnalysis::EncircledEnergyPlot, 0)->at(i), QPointF(band.eeRadiusUm[i], band.eeFraction[i]));
        EXPECT_EQ(line(TAnalysis::EncircledEnergyPlot, 1)->at(i), QPointF(band.eeRadiusUm[i], band.idealEeFraction[i]));
    }
    ASSERT_EQ(line(TAnalysis::MtfPlot, 0)->count(), static_cast<int>(band.mtfX.size()));
    for (size_t k = 0; k < band.mtfX.size(); ++k) {
        EXPECT_EQ(line(TAnalysis::MtfPlot, 0)->at(k), QPointF(band.mtfFreqCycPerMm[k], band.mtfX[k]));
        EXPECT_EQ(line(TAnalysis::MtfPlot, 1)->at(k), QPointF(band.mtfFreqCycPerMm[k], band.mtfY[k]));
        EXPECT_EQ(line(TAnalysis::MtfPlot, 2)->at(k), QPointF(band.mtfFreqCycPerMm[k], band.mtfIdeal[k]));
        EXPECT_EQ(line(TAnalysis::MtfPlot, 3)->at(k), QPointF(band.mtfFreqCycPerMm[k], band.mtfIdealY[k]));
    }
    // The arcseconds along the top follow the radii at the new pitch: 25 um is 5 arcseconds.
    auto* top = static_cast<QValueAxis*>(Window().Chart(TAnalysis::ProfilePlot)->chart()->axes(Qt::Horizontal)[1]);
    EXPECT_EQ(top->titleText(), QStringLiteral("半径 (秒角)"));
    EXPECT_DOUBLE_EQ(top->max(), 5);
}

// From one result to the next the energy axis keeps its end while that still spans three r80
// and is less than half as long again; otherwise it ends at three r80 rounded up to a tick.
TEST_F(AnalysisWindow, EnergyAxisFollowsR80WithoutJumpingAtEachResult) {
    Window().show();
    struct Step {
        double r80;
        double axisEnd;
    };
    const Step steps[] = {
        {5.5, 20},   // 16.5 um: rounded up to 20
        {6.0, 20},   // 18 um: 20 still spans it and is less than 27
        {4.5, 20},   // 13.5 um: 20 is less than 20.25
        {4.0, 15},   // 12 um: 20 is half as long again, so 15
        {7.0, 25},   // 21 um: 15 no longer spans it
    };
    double strehl = 0.5;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.r80);
        Analysis a = HandMade(strehl);
        a.bands[0].r80Um = step.r80;
        strehl += 0.01;  // another result
        Window().ShowResult(Result(strehl), std::make_shared<const Analysis>(a));
        auto* x = static_cast<QValueAxis*>(Window().Chart(TAnalysis::EncircledEnergyPlot)->chart()->axes(Qt::Horizontal)[0]);
        EXPECT_EQ(x->max(), step.axisEnd);
    }
}

TEST_F(AnalysisWindow, EachPlotSavesAsPngAndARefusedTargetLeavesNothing) {
    Window().show();
    Window().ShowResult(Result(0.8));
    dialogs.files.push_back({QString::fromStdString((Dir() / "profile.dat").string()), 1});
    Press("SaveProfileButton");
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("PNG(*.png)|*.png"));
    EXPECT_FALSE(fs::exists(Dir() / "profile.dat"));
    QImage saved;
    ASSERT_TRUE(saved.loadFromData(QByteArray::fromStdString(ReadAll(Dir() / "profile.png")), "PNG"));
    EXPECT_EQ(saved.size(), Window().Chart(TAnalysis::ProfilePlot)->size());
    EXPECT_TRUE(dialogs.messages.empty());

    dialogs.files.push_back({QString::fromStdString((Dir() / "mtf").string()), 1});
    Press("SaveMtfButton");
    ASSERT_TRUE(saved.loadFromData(QByteArray::fromStdString(ReadAll(Dir() / "mtf.png")), "PNG"));
    EXPECT_EQ(saved.size(), Window().Chart(TAnalysis::MtfPlot)->size());

    // An existing target and No: the old bytes stay.
    WriteAll(Dir() / "ee.png", "old");
    dialogs.files.push_back({QString::fromStdString((Dir() / "ee.png").string()), 1});
    Press("SaveEnergyButton");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("ee.png が既に存在しています。　上書きしますか？"));
    EXPECT_EQ(ReadAll(Dir() / "ee.png"), "old");
    dialogs.messages.clear();

    // A place that cannot be written: the error box, and no file or temporary left behind.
    dialogs.files.push_back({QString::fromStdString((Dir() / "missing" / "ee.png").string()), 1});
    Press("SaveEnergyButton");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "error");
    EXPECT_FALSE(fs::exists(Dir() / "missing"));
    // Cancel writes nothing.
    dialogs.files.push_back({QString(), 1});
    Press("SaveMtfButton");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Dir())) ++files;
    EXPECT_EQ(files, 3) << "profile.png, mtf.png and ee.png only";
}

}  // namespace
}  // namespace velmora::testing
