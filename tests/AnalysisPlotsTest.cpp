// The analysis window's curves: real runs against their ideals, the r50 and r80 marks, the MTF
// cuts; the through-focus plot and the kept reference, hand-made and after real runs.
#include <QComboBox>
#include <QLegend>
#include <QLegendMarker>
#include <QRadioButton>
#include <algorithm>
#include <tuple>
#include <vector>

#include "AnalysisWindowTestSupport.h"

namespace velmora::testing {
namespace {

// The default pupil (a 50 mm secondary in 160 mm) over two wavelengths, without aberrations,
// lies exactly on its ideal in every plot, and its Strehl ratio is 1.
TEST_F(AnalysisPlots, AnUnaberratedObstructedRunLiesOnItsIdeal) {
    Start();
    RunAndOpen();
    EXPECT_EQ(Cell(QStringLiteral("ストレール比")), "1.000");
    EXPECT_EQ(Cell(QStringLiteral("平均波長 (nm)")), "650.0") << "600 and 700 nm";
    const std::pair<int, int> pairs[3][2] = {{{0, 1}, {0, 1}}, {{0, 1}, {0, 1}}, {{0, 2}, {1, 3}}};
    for (TAnalysis::Plot plot : {TAnalysis::ProfilePlot, TAnalysis::EncircledEnergyPlot, TAnalysis::MtfPlot}) {
        for (auto [measured, ideal] : pairs[plot]) {
            SCOPED_TRACE(Line(plot, ideal)->name().toStdString());
            ASSERT_GT(Line(plot, measured)->count(), 10);
            EXPECT_EQ(Line(plot, measured)->points(), Line(plot, ideal)->points());
        }
    }
    EXPECT_EQ(Line(TAnalysis::ProfilePlot, 1)->name(), QStringLiteral("理想"));
}

// With coma the ideal stays that of the same pupil: the curves an unaberrated run draws as its
// own, and they lie above the aberrated MTF.
TEST_F(AnalysisPlots, AnAberratedRunsIdealIsTheSameRunWithoutAberrations) {
    Start();
    for (int k = 0; k < 20; ++k) ClickArrow(28, true);
    RunAndOpen();
    EXPECT_LT(Cell(QStringLiteral("ストレール比")).toDouble(), 0.9);
    const QList<QPointF> idealProfile = Line(TAnalysis::ProfilePlot, 1)->points();
    const QList<QPointF> idealEnergy = Line(TAnalysis::EncircledEnergyPlot, 1)->points();
    const QList<QPointF> idealX = Line(TAnalysis::MtfPlot, 2)->points(), idealY = Line(TAnalysis::MtfPlot, 3)->points();
    const QList<QPointF> mtfX = Line(TAnalysis::MtfPlot, 0)->points();
    ASSERT_EQ(mtfX.size(), idealX.size());
    EXPECT_LT(mtfX[mtfX.size() / 4].y(), idealX[idealX.size() / 4].y() - 0.05);

    for (int k = 0; k < 20; ++k) ClickArrow(28, false);
    RunAndOpen();
    EXPECT_EQ(Cell(QStringLiteral("ストレール比")), "1.000");
    EXPECT_EQ(Line(TAnalysis::ProfilePlot, 0)->points(), idealProfile);
    EXPECT_EQ(Line(TAnalysis::MtfPlot, 0)->points(), idealX);
    EXPECT_EQ(Line(TAnalysis::MtfPlot, 1)->points(), idealY);
    // The energy axis may end elsewhere (three r80 of another pattern): the common radii agree.
    const QList<QPointF> energy = Line(TAnalysis::EncircledEnergyPlot, 0)->points();
    const qsizetype common = std::min(energy.size(), idealEnergy.size());
    ASSERT_GT(common, 10);
    EXPECT_EQ(energy.mid(0, common), idealEnergy.mid(0, common));
}

// A window opened after an aberrated run measures the result itself, with the same ideal the
// run's own measurements would have had.
TEST_F(AnalysisPlots, AWindowOpenedAfterAnAberratedRunShowsItsIdeal) {
    Start();
    for (int k = 0; k < 15; ++k) ClickArrow(28, true);
    Run();
    Choose("A1");
    QCoreApplication::processEvents();
    EXPECT_EQ(Window()->MeasuredHere(), 1);
    const QList<QPointF> idealX = Line(TAnalysis::MtfPlot, 2)->points();
    const QList<QPointF> idealProfile = Line(TAnalysis::ProfilePlot, 1)->points();
    ASSERT_GT(idealX.size(), 10);
    EXPECT_NE(Line(TAnalysis::MtfPlot, 0)->points(), idealX) << "coma lowers the measured MTF";

    Window()->close();
    for (int k = 0; k < 15; ++k) ClickArrow(28, false);
    RunAndOpen();
    EXPECT_EQ(Line(TAnalysis::MtfPlot, 0)->points(), idealX);
    EXPECT_EQ(Line(TAnalysis::ProfilePlot, 0)->points(), idealProfile);
}

// The energy plot spans three r80 (rounded up to a 1-2-5 tick), marks r50 and r80 where the
// table says, and the range box widens it to ten r80, the curves following to its end.
TEST_F(AnalysisPlots, EncircledEnergySpansThreeR80WithR50AndR80Marked) {
    Start();
    for (int k = 0; k < 10; ++k) ClickArrow(28, true);
    RunAndOpen();
    const double r50 = Cell(QStringLiteral("r50 (µm)")).toDouble(), r80 = Cell(QStringLiteral("r80 (µm)")).toDouble();
    QValueAxis* x = Axis(TAnalysis::EncircledEnergyPlot, Qt::AlignBottom);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->min(), 0);
    EXPECT_GE(x->max(), 3 * r80 - 0.001);
    EXPECT_LT(x->max(), 4.5 * r80) << "rounded up by less than half the span";
    // The marks: across from the level to the radius, then down to the axis (table: 3 decimals).
    for (auto [name, r, level] : {std::tuple{"r50Mark", r50, 0.5}, std::tuple{"r80Mark", r80, 0.8}}) {
        SCOPED_TRACE(name);
        QXYSeries* mark = Mark(name);
        ASSERT_EQ(mark->count(), 3);
        EXPECT_EQ(mark->at(0), QPointF(0, level));
        EXPECT_NEAR(mark->at(1).x(), r, 0.0005);
        EXPECT_EQ(mark->at(1).y(), level);
        EXPECT_EQ(mark->at(2).y(), 0);
        EXPECT_TRUE(mark->pointLabelsVisible());
        EXPECT_EQ(mark->pointLabelsFormat(), QString::fromLatin1(name).left(3));
        EXPECT_TRUE(mark->pointConfiguration(1).value(QXYSeries::PointConfiguration::LabelVisibility).toBool()) << "at the corner";
        EXPECT_FALSE(mark->pointConfiguration(0).value(QXYSeries::PointConfiguration::LabelVisibility).toBool());
    }
    // The measured curve crosses its levels at the marks.
    const QList<QPointF> curve = Line(TAnalysis::EncircledEnergyPlot, 0)->points();
    const auto at = [&](double radius) {
        return std::lower_bound(curve.begin(), curve.end(), radius, [](const QPointF& p, double v) { return p.x() < v; })->y();
    };
    EXPECT_NEAR(at(r80), 0.8, 0.02);

    auto* range = In<QComboBox>(*Window(), "EnergyRangeBox");
    EXPECT_EQ(range->currentText(), QStringLiteral("r80 の 3 倍"));
    range->setFocus();
    QTest::keyClick(range, Qt::Key_Down);
    EXPECT_EQ(range->currentText(), QStringLiteral("r80 の 10 倍"));
    EXPECT_GE(x->max(), 10 * r80 - 0.001);
    for (int line : {0, 1}) {
        SCOPED_TRACE(line);
        const QList<QPointF> wide = Line(TAnalysis::EncircledEnergyPlot, line)->points();
        ASSERT_FALSE(wide.isEmpty());
        EXPECT_GT(wide.back().x(), x->max() - x->max() / 100) << "to the axis's end";
        EXPECT_GT(wide.back().y(), 0.9);
    }
}

// Along x and along y: their own colours and marker shapes, in the plot and in the legend,
// in monochrome and in colour.
TEST_F(AnalysisPlots, MtfCutsDifferInColourAndMarker) {
    Start();
    for (int k = 0; k < 10; ++k) ClickArrow(28, true);
    RunAndOpen();
    struct Pair {
        QString x, y;
    };
    for (int colour = 0; colour < 2; ++colour) {
        if (colour) {
            QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
            RunAndOpen();
        }
        const std::vector<Pair> pairs = colour ? std::vector<Pair>{{QStringLiteral("赤 x"), QStringLiteral("赤 y")},
                                                                    {QStringLiteral("青 x"), QStringLiteral("青 y")}}
                                               : std::vector<Pair>{{QStringLiteral("x 方向"), QStringLiteral("y 方向")}};
        for (const Pair& p : pairs) {
            SCOPED_TRACE(p.x.toStdString());
            QXYSeries* x = Named(TAnalysis::MtfPlot, p.x);
            QXYSeries* y = Named(TAnalysis::MtfPlot, p.y);
            ASSERT_TRUE(x && y);
            EXPECT_NE(x->pen().color(), y->pen().color());
            EXPECT_NE(x->pen().style(), y->pen().style());
            QLegendMarker* xEntry = Chart(TAnalysis::MtfPlot).legend()->markers(x)[0];
            QLegendMarker* yEntry = Chart(TAnalysis::MtfPlot).legend()->markers(y)[0];
            EXPECT_TRUE(xEntry->isVisible() && yEntry->isVisible());
            EXPECT_NE(xEntry->shape(), yEntry->shape());
            EXPECT_NE(xEntry->brush().color(), yEntry->brush().color());
            // On the curves: markers of the legend's shapes, in the lines' colours.
            std::vector<QScatterSeries*> markers;
            for (QAbstractSeries* s : Chart(TAnalysis::MtfPlot).series())
                if (auto* m = qobject_cast<QScatterSeries*>(s); m && (m->name() == p.x || m->name() == p.y)) markers.push_back(m);
            ASSERT_EQ(markers.size(), 2u);
            EXPECT_NE(markers[0]->markerShape(), markers[1]->markerShape());
            EXPECT_EQ(markers[0]->color(), x->pen().color());
            EXPECT_EQ(markers[1]->color(), y->pen().color());
            EXPECT_GE(markers[0]->count(), 5);
        }
    }
}

// The stand-in's measurements with a through-focus curve: the defocus law of a clear pupil
// scaled to the Strehl ratio, and a depth of focus of 100 um times it.
Analysis WithThroughFocus(Analysis a) {
    for (BandMeasurements& b : a.bands) {
        b.focusDefocusWavesPv = ThroughFocusDefocus();
        for (double d : b.focusDefocusWavesPv)
            b.focusStrehl.push_back(b.strehl * (d == 0 ? 1 : std::pow(std::sin(M_PI * d) / (M_PI * d), 2)));
        b.depthOfFocusUm = 100 * b.strehl;
    }
    return a;
}

// Every line of a plot with this legend name.
QList<QXYSeries*> LinesNamed(QChartView* view, const QString& name) {
    QList<QXYSeries*> lines;
    for (QAbstractSeries* s : view->chart()->series())
        if (s->name() == name) lines << static_cast<QXYSeries*>(s);
    return lines;
}

constexpr TAnalysis::Plot allPlots[] = {TAnalysis::ProfilePlot, TAnalysis::EncircledEnergyPlot, TAnalysis::MtfPlot,
                                        TAnalysis::ThroughFocusPlot};

// "Keep as reference": the measurements shown stay in a column of their own and as a curve in
// every plot while later results come, until the same button, its caption turned to "release",
// lets them go.
TEST_F(AnalysisWindow, AKeptReferenceStaysBesideEachResultUntilReleased) {
    window_ = std::make_unique<TAnalysis>([this](const FullResult& full) {
        ++calls;
        return WithThroughFocus(HandMade(full.apertureMm / 1000, full.mode == ColorMode::Colour));
    });
    Window().show();
    auto* keep = In<QPushButton>("KeepReferenceButton");
    EXPECT_EQ(keep->text(), QStringLiteral("基準として保持(&K)"));
    EXPECT_FALSE(keep->isEnabled()) << "nothing to keep yet";
    Window().ShowResult(Result(0.9));
    EXPECT_TRUE(keep->isEnabled());
    for (TAnalysis::Plot plot : allPlots) EXPECT_TRUE(LinesNamed(Window().Chart(plot), QStringLiteral("基準")).isEmpty());

    Press("KeepReferenceButton");
    EXPECT_TRUE(Window().HasReference());
    EXPECT_EQ(keep->text(), QStringLiteral("基準を解除(&K)"));
    Window().ShowResult(Result(0.6));
    ASSERT_EQ(Table()->columnCount(), 2);
    EXPECT_EQ(Table()->horizontalHeaderItem(1)->text(), QStringLiteral("白色光 (基準)"));
    EXPECT_EQ(Cell(QStringLiteral("ストレール比"), 0), "0.600");
    EXPECT_EQ(Cell(QStringLiteral("ストレール比"), 1), "0.900");
    EXPECT_EQ(Cell(QStringLiteral("焦点深度 (µm)"), 0), "60.0");
    EXPECT_EQ(Cell(QStringLiteral("焦点深度 (µm)"), 1), "90.0");
    EXPECT_TRUE(Window().TableText().startsWith(QStringLiteral("項目\t白色光\t白色光 (基準)\n")));
    EXPECT_TRUE(Window().TableText().contains(QStringLiteral("\nストレール比\t0.600\t0.900\n")));

    // Each plot: the reference's curve (its values at the first point are its Strehl ratio times
    // the ideal's there: 1 for the profile and the MTF, the law's 1 at best focus) beside the
    // result's, in a style of its own.
    struct Expect {
        TAnalysis::Plot plot;
        int at;  // the point where both curves are their Strehl ratios
    };
    for (const Expect& e : {Expect{TAnalysis::ProfilePlot, 0}, Expect{TAnalysis::MtfPlot, 0}, Expect{TAnalysis::ThroughFocusPlot, 20}}) {
        SCOPED_TRACE(e.plot);
        const QList<QXYSeries*> reference = LinesNamed(Window().Chart(e.plot), QStringLiteral("基準"));
        ASSERT_FALSE(reference.isEmpty());
        ASSERT_GT(reference[0]->count(), e.at);
        EXPECT_DOUBLE_EQ(reference[0]->at(e.at).y(), 0.9);
        EXPECT_EQ(reference[0]->pen().style(), Qt::DashDotLine);
        const QString measured = e.plot == TAnalysis::MtfPlot ? QStringLiteral("x 方向") : QStringLiteral("計算");
        const QList<QXYSeries*> current = LinesNamed(Window().Chart(e.plot), measured);
        ASSERT_FALSE(current.isEmpty());
        EXPECT_DOUBLE_EQ(current[0]->at(e.at).y(), 0.6);
    }
    const QList<QXYSeries*> energy = LinesNamed(Window().Chart(TAnalysis::EncircledEnergyPlot), QStringLiteral("基準"));
    ASSERT_EQ(energy.size(), 1);
    EXPECT_EQ(energy[0]->points(), LinesNamed(Window().Chart(TAnalysis::EncircledEnergyPlot), QStringLiteral("計算"))[0]->points())
        << "the stand-in's energy does not depend on the Strehl ratio";

    // A colour result beside the kept monochrome one.
    Window().ShowResult(Result(0.5, true));
    ASSERT_EQ(Table()->columnCount(), 4);
    EXPECT_EQ(Table()->horizontalHeaderItem(3)->text(), QStringLiteral("白色光 (基準)"));
    EXPECT_EQ(Cell(QStringLiteral("ストレール比"), 3), "0.900");
    EXPECT_EQ(LinesNamed(Window().Chart(TAnalysis::ThroughFocusPlot), QStringLiteral("基準")).size(), 1);

    // Released: the result alone again.
    Press("KeepReferenceButton");
    EXPECT_FALSE(Window().HasReference());
    EXPECT_EQ(keep->text(), QStringLiteral("基準として保持(&K)"));
    EXPECT_EQ(Table()->columnCount(), 3);
    for (TAnalysis::Plot plot : allPlots) EXPECT_TRUE(LinesNamed(Window().Chart(plot), QStringLiteral("基準")).isEmpty()) << plot;
    EXPECT_EQ(calls, 3);
}

// The depth of focus is a row only where some column has it: a result measured without its
// through-focus curve has none, and beside a reference that has one it shows "-".
TEST_F(AnalysisWindow, TheDepthOfFocusRowOnlyWhereSomeColumnHasIt) {
    const QString depth = QStringLiteral("焦点深度 (µm)");
    window_ = std::make_unique<TAnalysis>([](const FullResult& full) {
        const Analysis a = HandMade(full.apertureMm / 1000);
        return full.apertureMm >= 500 ? WithThroughFocus(a) : a;  // curves from a Strehl ratio of 0.5
    });
    auto rows = [&] {
        QStringList captions;
        for (int r = 0; r < Table()->rowCount(); ++r) captions << Table()->verticalHeaderItem(r)->text();
        return captions;
    };
    Window().show();
    Window().ShowResult(Result(0.4));
    EXPECT_FALSE(rows().contains(depth));
    EXPECT_EQ(Window().TableText().count(QLatin1Char('\n')), Table()->rowCount() + 1);
    Press("KeepReferenceButton");
    Window().ShowResult(Result(0.7));
    ASSERT_EQ(rows().count(depth), 1);
    EXPECT_EQ(Cell(depth, 0), "70.0");
    EXPECT_EQ(Cell(depth, 1), "-");
    Press("KeepReferenceButton");
    Press("KeepReferenceButton");  // 0.7 kept, with its curve
    Window().ShowResult(Result(0.3));
    ASSERT_EQ(rows().count(depth), 1) << "the reference's row stays";
    EXPECT_EQ(Cell(depth, 0), "-");
    EXPECT_EQ(Cell(depth, 1), "70.0");
    EXPECT_TRUE(LinesNamed(Window().Chart(TAnalysis::ThroughFocusPlot), QStringLiteral("計算"))[0]->points().isEmpty());
    EXPECT_EQ(LinesNamed(Window().Chart(TAnalysis::ThroughFocusPlot), QStringLiteral("基準"))[0]->count(), 41);
    EXPECT_EQ(LinesNamed(Window().Chart(TAnalysis::ThroughFocusPlot), QStringLiteral("0.8"))[0]->count(), 2)
        << "the level the reference's depth is read at";
    Press("KeepReferenceButton");
    EXPECT_EQ(LinesNamed(Window().Chart(TAnalysis::ThroughFocusPlot), QStringLiteral("0.8"))[0]->count(), 0);
}

// The through-focus plot of a real run: 41 points from -1 to +1 wave with best focus, the
// run's Strehl ratio, in the middle, the 0.8 level across, and the depth of focus in the table.
// Then "what does my secondary cost": a clear pupil kept, the 50 mm secondary run beside it.
TEST_F(AnalysisPlots, ThroughFocusFollowsTheRunAndAReferenceShowsWhatASecondaryCosts) {
    Start();
    Edit(3)->setText(QStringLiteral("0"));
    RunAndOpen();
    QXYSeries* curve = Named(TAnalysis::ThroughFocusPlot, QStringLiteral("計算"));
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->count(), 41);
    EXPECT_DOUBLE_EQ(curve->at(0).x(), -1);
    EXPECT_DOUBLE_EQ(curve->at(40).x(), 1);
    EXPECT_EQ(QString::number(curve->at(20).y(), 'f', 3), Cell(QStringLiteral("ストレール比")));
    for (int k = 0; k < 20; ++k) EXPECT_NEAR(curve->at(k).y(), curve->at(40 - k).y(), 1e-9) << k;
    QXYSeries* level = nullptr;
    for (QAbstractSeries* s : Chart(TAnalysis::ThroughFocusPlot).series())
        if (s->objectName() == QStringLiteral("DepthOfFocusLevel")) level = static_cast<QXYSeries*>(s);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->points(), (QList<QPointF>{{-1, 0.8}, {1, 0.8}}));
    QValueAxis* bottom = Axis(TAnalysis::ThroughFocusPlot, Qt::AlignBottom);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->min(), -1);
    EXPECT_EQ(bottom->max(), 1);
    EXPECT_TRUE(OneTwoFive((bottom->max() - bottom->min()) / (bottom->tickCount() - 1)));
    // A clear pupil at 600 and 700 nm, f/6.25: where (sin(pi a) / (pi a))^2 = 0.8, a = 0.2568
    // (Born & Wolf, 8.8.1), so 2 x 0.2568 waves of 8 F^2 lambda at the mean 650 nm: 104.3 um,
    // to the 3 % the measurements' own test allows.
    const double clearDepth = Cell(QStringLiteral("焦点深度 (µm)")).toDouble();
    EXPECT_NEAR(clearDepth, 8 * 6.25 * 6.25 * 2 * 0.2568 * 0.65, 0.03 * 104.3);

    Press(*Window(), "KeepReferenceButton");
    Edit(3)->setText(QStringLiteral("50"));
    RunAndOpen();
    auto* table = In<QTableWidget>(*Window(), "MeasurementTable");
    ASSERT_EQ(table->columnCount(), 2);
    auto cell = [&](const QString& caption, int column) {
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->verticalHeaderItem(r)->text() == caption) return table->item(r, column)->text();
        return QString();
    };
    EXPECT_EQ(cell(QStringLiteral("焦点深度 (µm)"), 1).toDouble(), clearDepth);
    // The obstruction moves light from the core to the rings: the profile and the MTF at middle
    // frequencies lie below the clear pupil's kept curves, and the depth of focus grows.
    EXPECT_GT(cell(QStringLiteral("焦点深度 (µm)"), 0).toDouble(), clearDepth);
    for (TAnalysis::Plot plot : allPlots) {
        SCOPED_TRACE(plot);
        const QList<QXYSeries*> kept = LinesNamed(Window()->Chart(plot), QStringLiteral("基準"));
        ASSERT_FALSE(kept.isEmpty());
        EXPECT_GT(kept[0]->count(), 10);
        const QString measured = plot == TAnalysis::MtfPlot ? QStringLiteral("x 方向") : QStringLiteral("計算");
        EXPECT_NE(kept[0]->points(), Named(plot, measured)->points());
    }
    const QList<QXYSeries*> keptMtf = LinesNamed(Window()->Chart(TAnalysis::MtfPlot), QStringLiteral("基準"));
    QXYSeries* mtf = Named(TAnalysis::MtfPlot, QStringLiteral("x 方向"));
    const int middle = static_cast<int>(mtf->count() * 0.3);
    EXPECT_LT(mtf->at(middle).y(), keptMtf[0]->at(middle).y() - 0.02);
}

// No text of any plot is shortened, without a kept reference and with one (its lines in the
// legends), at the size the window opens at and at its smallest: one row per language and mode.
class PlotTexts : public AnalysisPlots, public ::testing::WithParamInterface<LanguageAndMode> {
protected:
    void ExpectNoTextCut(const char* reference) {
        for (QSize size : {TAnalysis::defaultSize, Window()->minimumSizeHint()}) {
            Window()->resize(size);
            QCoreApplication::processEvents();
            for (TAnalysis::Plot plot : allPlots)
                EXPECT_EQ(CutTexts(Window()->Chart(plot)).join(QStringLiteral(" | ")).toStdString(), "")
                    << reference << ", at " << size.width() << " x " << size.height() << ", plot " << plot;
        }
    }
};

TEST_P(PlotTexts, NoTextIsCutOffWithOrWithoutAReference) {
    const LanguageAndMode& row = GetParam();
    const EnglishForScope language(row.english);
    Start();
    for (int k = 0; k < 10; ++k) ClickArrow(28, true);
    if (row.colour) QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    RunAndOpen();
    ExpectNoTextCut("without a reference");

    Press(*Window(), "KeepReferenceButton");
    EXPECT_EQ(In<QPushButton>(*Window(), "KeepReferenceButton")->text(),
              row.english ? QStringLiteral("Release the &kept reference") : QStringLiteral("基準を解除(&K)"));
    // Still within a 1366 x 768 screen less its panels, with its frame, as without one.
    EXPECT_LE(Window()->minimumSizeHint().width() + 8, 1300);
    EXPECT_LE(Window()->minimumSizeHint().height() + 44, 700);
    ExpectNoTextCut("with a reference");

    // The check sees a cut when there is one: the MTF plot squeezed to a stamp.
    Window()->Chart(TAnalysis::MtfPlot)->setFixedSize(150, 150);
    QCoreApplication::processEvents();
    EXPECT_FALSE(CutTexts(Window()->Chart(TAnalysis::MtfPlot)).isEmpty());
    windows.reset();
}

INSTANTIATE_TEST_SUITE_P(LanguagesAndModes, PlotTexts, ::testing::ValuesIn(languagesAndModes), LanguageAndModeName);

}  // namespace
}  // namespace velmora::testing
