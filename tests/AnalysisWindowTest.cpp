// The analysis window and the physical scale marks, driven as a user drives them: the window
// before any result, following results while open and measuring each one once, the table and
// its copy, the plots and their PNG files; the round lengths and axis ticks of the viewers.
#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QTranslator>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QScatterSeries>
#include <QComboBox>
#include <QLegendMarker>
#include <QLogValueAxis>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QValueAxis>
#include <cmath>
#include <tuple>

#include "WindowTestSupport.h"
#include "optics/ThroughFocus.h"
#include "viewers/AnalysisTable.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/ScaleMarks.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

// A band as the measurements would give it for a clear pupil at 550 nm and f/8, with the
// profile, energy and MTF curves of the ideal pattern so that the plots have something real.
BandMeasurements HandMadeBand(const std::string& name, double strehl) {
    BandMeasurements b;
    b.name = name;
    b.wavelengthsNm = {550};
    b.weights = {1};
    b.meanWavelengthNm = 550;
    b.scale = {0.5, 0.08594, 0.0012};
    b.strehl = strehl;
    b.rmsWavefrontWaves = 0.0712;
    b.marechalStrehl = 0.8185;
    b.peakXUm = -0.0001;  // rounds to 0.000, not -0.000
    b.peakYUm = 0;
    b.centroidXUm = 1.25;
    b.centroidYUm = -0.5;
    b.fwhmXUm = 4.5276;
    b.fwhmYUm = 4.5304;
    b.fwhmUm = 4.529;
    b.fwhmArcsec = 0.7785;
    b.r50Um = 2.3456;
    b.r80Um = 5.5;
    b.cutoffCycPerMm = 1000 / (0.55 * 8);  // 1 / (lambda F)
    b.idealKnown = true;
    const double lambdaF = 0.55 * 8;
    for (int r = 0; r < 512; ++r) {
        const double um = r * b.scale.um;
        b.eeRadiusUm.push_back(um);
        const double v = M_PI * um / lambdaF;
        const double j0 = std::cyl_bessel_j(0.0, v), j1 = std::cyl_bessel_j(1.0, v);
        b.eeFraction.push_back(1 - j0 * j0 - j1 * j1);  // Rayleigh's encircled energy
        b.radialRadiusUm.push_back(um);
        const double airy = r == 0 ? 1 : std::pow(2 * j1 / v, 2);
        b.idealProfile.push_back(airy);
        b.idealEeFraction.push_back(b.eeFraction.back());
        b.radialProfile.push_back(strehl * airy);
    }
    for (int k = 0; k <= 256; ++k) {
        const double nu = k / 256.0;
        b.mtfNu.push_back(nu);
        b.mtfFreqCycPerMm.push_back(nu * b.cutoffCycPerMm);
        const double ideal = nu < 1 ? 2 / M_PI * (std::acos(nu) - nu * std::sqrt(1 - nu * nu)) : 0;
        b.mtfIdeal.push_back(ideal);
        b.mtfIdealY.push_back(ideal);
        b.mtfX.push_back(ideal * strehl);
        b.mtfY.push_back(ideal * strehl * 0.99);
    }
    return b;
}

Analysis HandMade(double strehl, bool colour = false) {
    Analysis a;
    a.mode = colour ? ColorMode::Colour : ColorMode::Monochrome;
    a.scale = {0.5, 0.08594, 0.0012};
    if (colour) {
        for (const char* name : {"red", "green", "blue"}) a.bands.push_back(HandMadeBand(name, strehl));
    } else {
        a.bands.push_back(HandMadeBand("white", strehl));
    }
    return a;
}

// The stand-in measurement reads the Strehl ratio to report from the result's aperture, so that
// each result has its own numbers; it counts its calls.
class AnalysisWindow : public WindowTest {
protected:
    TAnalysis& Window() {
        if (!window_)
            window_ = std::make_unique<TAnalysis>([this](const FullResult& full) {
                ++calls;
                return HandMade(full.apertureMm / 1000, full.mode == ColorMode::Colour);
            });
        return *window_;
    }
    static std::shared_ptr<const FullResult> Result(double strehl, bool colour = false) {
        auto full = std::make_shared<FullResult>();
        full->apertureMm = strehl * 1000;
        full->mode = colour ? ColorMode::Colour : ColorMode::Monochrome;
        return full;
    }
    template <typename T>
    T* In(const char* name) {
        T* w = Window().findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTableWidget* Table() { return In<QTableWidget>("MeasurementTable"); }
    // The table cell in the row with this caption.
    QString Cell(const QString& caption, int column = 0) {
        for (int r = 0; r < Table()->rowCount(); ++r)
            if (Table()->verticalHeaderItem(r)->text() == caption) return Table()->item(r, column)->text();
        ADD_FAILURE() << "no row " << caption.toStdString();
        return {};
    }
    void Press(const char* name) { QTest::mouseClick(In<QPushButton>(name), Qt::LeftButton); }
    bool ShowsNothing() { return In<QLabel>("NothingLabel")->isVisible() && !In<QWidget>("Content")->isVisible(); }

    int calls = 0;
    std::unique_ptr<TAnalysis> window_;

    void TearDown() override {
        window_.reset();
        WindowTest::TearDown();
    }
};

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

// The window reached from the main menu, fed by real calculations.
class AnalysisFromTheMenu : public WindowTest {
protected:
    TAnalysis* Window() { return windows->analysis.get(); }
    template <typename T>
    T* In(QWidget& window, const char* name) {
        T* w = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Press(QWidget& window, const char* name) { QTest::mouseClick(In<QPushButton>(window, name), Qt::LeftButton); }
    void Run() {
        QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
        ASSERT_TRUE(dialogs.messages.empty());
    }
    // The table the window should show for the last result, measured here on its own, with its
    // through-focus curve from the panel's pupils (no filter or mask in these tests).
    QString ExpectedTable() {
        Analysis a = Analyse(*Form().LastFullResult());
        const SimulationParameters p = Form().Snapshot();
        const PupilInputs in{&p, nullptr, nullptr, nullptr};
        AddThroughFocus(a, *Form().LastFullResult(),
                        [&](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(in, lambda, grid, bar); });
        QString header = QStringLiteral("項目");
        for (const BandMeasurements& band : a.bands)
            header += QLatin1Char('\t') + QCoreApplication::translate(analysisTableContext, BandCaption(band.name));
        QStringList lines{header};
        for (const AnalysisRow& row : AnalysisRows(a)) {
            QString line = QString::fromUtf8(row.caption);
            for (const std::string& value : row.values) line += QLatin1Char('\t') + QString::fromStdString(value);
            lines << line;
        }
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    QString Cell(const QString& caption) {
        auto* table = In<QTableWidget>(*Window(), "MeasurementTable");
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->verticalHeaderItem(r)->text() == caption) return table->item(r, 0)->text();
        ADD_FAILURE() << "no row " << caption.toStdString();
        return {};
    }
};

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

// The viewers' scale marks, worked out by hand.
// The plots as the user reads them, after runs made from the main window.
class AnalysisPlots : public AnalysisFromTheMenu {
protected:
    QChart& Chart(TAnalysis::Plot plot) { return *Window()->Chart(plot)->chart(); }
    QXYSeries* Line(TAnalysis::Plot plot, int i) { return static_cast<QXYSeries*>(Chart(plot).series().at(i)); }
    QXYSeries* Named(TAnalysis::Plot plot, const QString& name) {
        for (QAbstractSeries* s : Chart(plot).series())
            if (s->name() == name && !qobject_cast<QScatterSeries*>(s)) return static_cast<QXYSeries*>(s);
        ADD_FAILURE() << "no line " << name.toStdString();
        return nullptr;
    }
    QValueAxis* Axis(TAnalysis::Plot plot, Qt::Alignment where) {
        for (QAbstractAxis* a : Chart(plot).axes())
            if (a->alignment() == where) return qobject_cast<QValueAxis*>(a);
        return nullptr;
    }
    QXYSeries* Mark(const char* name) {
        auto* mark = Window()->Chart(TAnalysis::EncircledEnergyPlot)->chart()->findChild<QXYSeries*>(QString::fromLatin1(name));
        if (!mark)
            for (QAbstractSeries* s : Chart(TAnalysis::EncircledEnergyPlot).series())
                if (s->objectName() == QString::fromLatin1(name)) mark = static_cast<QXYSeries*>(s);
        EXPECT_NE(mark, nullptr) << name;
        return mark;
    }
    // Runs the calculation and opens the window (or lets the open one follow).
    void RunAndOpen() {
        Run();
        Choose("A1");
        QCoreApplication::processEvents();
    }
};

// The texts of a plot drawn shortened ("Radius (..."): what Qt Charts does to an axis title, a
// tick label or a legend entry that has no room.
QStringList CutTexts(QChartView* view) {
    QStringList cut;
    for (QGraphicsItem* item : view->scene()->items()) {
        QString text;
        if (auto* t = dynamic_cast<QGraphicsTextItem*>(item)) text = t->toPlainText();
        else if (auto* s = dynamic_cast<QGraphicsSimpleTextItem*>(item)) text = s->text();
        if (item->isVisible() && (text.endsWith(QStringLiteral("...")) || text.endsWith(QChar(0x2026)))) cut << text;
    }
    return cut;
}

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

// 1, 2 or 5 times a power of ten.
bool OneTwoFive(double step) {
    const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double m = step / decade;
    return std::abs(m - 1) < 1e-6 || std::abs(m - 2) < 1e-6 || std::abs(m - 5) < 1e-6;
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

// No text of a plot is shortened, in Japanese and in English, monochrome and colour, at the
// size the window opens at and at its smallest.
TEST_F(AnalysisPlots, NoPlotTextIsCutOffInEitherLanguage) {
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/velmora1_en.qm")));
    for (bool inEnglish : {false, true}) {
        SCOPED_TRACE(inEnglish ? "English" : "Japanese");
        if (inEnglish) QCoreApplication::installTranslator(&english);
        Start();
        for (int k = 0; k < 10; ++k) ClickArrow(28, true);
        RunAndOpen();
        for (bool colour : {false, true}) {
            if (colour) {
                QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
                RunAndOpen();
            }
            for (QSize size : {TAnalysis::defaultSize, Window()->minimumSizeHint()}) {
                Window()->resize(size);
                QCoreApplication::processEvents();
                for (TAnalysis::Plot plot : {TAnalysis::ProfilePlot, TAnalysis::EncircledEnergyPlot, TAnalysis::MtfPlot}) {
                    EXPECT_EQ(CutTexts(Window()->Chart(plot)).join(QStringLiteral(" | ")).toStdString(), "")
                        << (colour ? "colour" : "monochrome") << " at " << size.width() << " x " << size.height() << ", plot " << plot;
                }
            }
        }
        // The check sees a cut when there is one: the MTF plot squeezed to a stamp.
        Window()->Chart(TAnalysis::MtfPlot)->setFixedSize(150, 150);
        QCoreApplication::processEvents();
        EXPECT_FALSE(CutTexts(Window()->Chart(TAnalysis::MtfPlot)).isEmpty());
        windows.reset();
        if (inEnglish) QCoreApplication::removeTranslator(&english);
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

// The through-focus plot and the reference's lines, like the other plots, keep every text whole
// in both languages, in monochrome and colour, at the size the window opens at and at its
// smallest.
TEST_F(AnalysisPlots, NoTextOfTheNewPlotOrTheReferenceIsCutOff) {
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/velmora1_en.qm")));
    for (bool inEnglish : {false, true}) {
        SCOPED_TRACE(inEnglish ? "English" : "Japanese");
        if (inEnglish) QCoreApplication::installTranslator(&english);
        Start();
        for (int k = 0; k < 10; ++k) ClickArrow(28, true);
        RunAndOpen();
        Press(*Window(), "KeepReferenceButton");
        EXPECT_EQ(In<QPushButton>(*Window(), "KeepReferenceButton")->text(),
                  inEnglish ? QStringLiteral("Release the &kept reference") : QStringLiteral("基準を解除(&K)"));
        for (bool colour : {false, true}) {
            if (colour) {
                QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
                RunAndOpen();
                // A colour reference too: three bands' reference lines in the legends.
                Press(*Window(), "KeepReferenceButton");
                Press(*Window(), "KeepReferenceButton");
            }
            // Still within a 1366 x 768 screen less its panels, with its frame, as without one.
            EXPECT_LE(Window()->minimumSizeHint().width() + 8, 1300);
            EXPECT_LE(Window()->minimumSizeHint().height() + 44, 700);
            for (QSize size : {TAnalysis::defaultSize, Window()->minimumSizeHint()}) {
                Window()->resize(size);
                QCoreApplication::processEvents();
                for (TAnalysis::Plot plot : allPlots) {
                    EXPECT_EQ(CutTexts(Window()->Chart(plot)).join(QStringLiteral(" | ")).toStdString(), "")
                        << (colour ? "colour" : "monochrome") << " at " << size.width() << " x " << size.height() << ", plot " << plot;
                }
            }
        }
        windows.reset();
        if (inEnglish) QCoreApplication::removeTranslator(&english);
    }
}

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
