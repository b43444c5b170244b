// What the analysis window's test programs share: hand-made measurements of a clear pupil, the
// window on its own fed with them, the window reached from the main menu and its plots, and the
// checks of a plot's ticks and texts.
#pragma once

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QValueAxis>
#include <cmath>
#include <memory>
#include <string>

#include "WindowTestSupport.h"
#include "optics/ThroughFocus.h"
#include "viewers/AnalysisTable.h"
#include "viewers/AnalysisWindow.h"

namespace velmora::testing {

// A band as the measurements would give it for a clear pupil at 550 nm and f/8, with the
// profile, energy and MTF curves of the ideal pattern so that the plots have something real.
inline BandMeasurements HandMadeBand(const std::string& name, double strehl) {
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

inline Analysis HandMade(double strehl, bool colour = false) {
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
inline QStringList CutTexts(QChartView* view) {
    QStringList cut;
    for (QGraphicsItem* item : view->scene()->items()) {
        QString text;
        if (auto* t = dynamic_cast<QGraphicsTextItem*>(item)) text = t->toPlainText();
        else if (auto* s = dynamic_cast<QGraphicsSimpleTextItem*>(item)) text = s->text();
        if (item->isVisible() && (text.endsWith(QStringLiteral("...")) || text.endsWith(QChar(0x2026)))) cut << text;
    }
    return cut;
}

// 1, 2 or 5 times a power of ten.
inline bool OneTwoFive(double step) {
    const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double m = step / decade;
    return std::abs(m - 1) < 1e-6 || std::abs(m - 2) < 1e-6 || std::abs(m - 5) < 1e-6;
}

}  // namespace velmora::testing
