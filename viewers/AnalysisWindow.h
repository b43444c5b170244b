// The analysis window: the measurements of the latest result as a table (one column per band),
// the sampling warnings, and four plots (radial profile, encircled energy with r50 and r80
// marked, MTF cuts along x and y, each beside the ideal of the same pupil without aberrations;
// the Strehl ratio through focus), with the table copied as text and each plot saved as PNG.
// A result's measurements can be kept as the reference: every plot then shows its curves beside
// the current ones, and the table a column for each of its bands, until it is released. It
// follows every result while it is open and measures each result at most once.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/Analysis.h"
#include "core/PsfCalculation.h"

class QAbstractAxis;
class QChart;
class QChartView;
class QComboBox;
class QXYSeries;
class QValueAxis;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace velmora {

class TAnalysis : public QMainWindow {
    Q_OBJECT
public:
    using Measure = std::function<Analysis(const FullResult&)>;
    enum Plot { ProfilePlot = 0, EncircledEnergyPlot = 1, MtfPlot = 2, ThroughFocusPlot = 3 };
    // The size it opens at: with its frame, within what a 1366 x 768 screen leaves for it.
    static constexpr QSize defaultSize{1200, 650};

    // `measure` turns a result into its measurements (the analysis itself, or a stand-in). It
    // may wait for them with the window's events going on (measured on another thread): a
    // result that arrives meanwhile is taken up once it returns.
    explicit TAnalysis(Measure measure);
    ~TAnalysis() override;

    // A new result: shown at once while the window is shown, otherwise kept (only the latest)
    // until the window is next shown. `measured`: its measurements, made elsewhere; without
    // them the window measures the result itself when it shows it, unless they follow (a
    // later call with the same result brings them), when it shows the last numbers till then.
    void ShowResult(std::shared_ptr<const FullResult> full, std::shared_ptr<const Analysis> measured = nullptr,
                    bool measurementsFollow = false);
    // How many results have been measured for the window since it was made, and how many of
    // them the window asked `measure` for.
    int MeasureCount() const { return measureCount_; }
    int MeasuredHere() const { return measuredHere_; }
    // The table as tab-separated lines: a header of band names, then one line per row.
    QString TableText() const;
    QChartView* Chart(Plot plot) const { return charts_[plot]; }

    void CopyButtonClick();
    void SavePlotClick(Plot plot);
    // Keeps the measurements shown as the reference, or releases the one kept.
    void KeepReferenceClick();
    bool HasReference() const { return reference_ != nullptr; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void MeasureLatest();
    void ShowNothing();
    void Fill(const Analysis& analysis);
    void FillTable(const Analysis& analysis);
    void FillProfile(const Analysis& analysis);
    void FillEncircledEnergy(const Analysis& analysis);
    void FillMtf(const Analysis& analysis);
    void FillThroughFocus(const Analysis& analysis);
    // A plot's chart and the parts each result updates in place. The chart is made anew only
    // when the bands or the presence of the arcsecond axis change: then the series and axes
    // differ in number, and a chart that had some of them removed left their axes on screen.
    struct PlotParts {
        std::vector<std::string> bands;  // the names of the bands the chart was made for
        bool arcseconds = false;         // whether it has the radii in arcseconds along the top
        QValueAxis* x = nullptr;
        QValueAxis* top = nullptr;
        std::vector<QXYSeries*> series;  // in the order of the bands, each band's lines together
        std::vector<std::string> referenceBands;  // the reference's bands the chart was made for
        std::vector<QXYSeries*> reference;        // their lines, after all the others
    };
    // The plot's chart ready for `analysis`: null when the one it has fits, else a new one
    // with no axes or series yet.
    QChart* ChartFor(Plot plot, const Analysis& analysis, bool arcseconds);
    // A new line of the plot, on its bottom axis and `y`, kept among its series.
    static void AddLine(QChart* chart, PlotParts& parts, QAbstractAxis* y, QXYSeries* series);
    // The same for a line of the reference, kept among its lines.
    static void AddReferenceLine(QChart* chart, PlotParts& parts, QAbstractAxis* y, QXYSeries* series);
    void AddReferenceLines(QChart* chart, PlotParts& parts, QAbstractAxis* y, int perBand);
    void AddArcsecondAxis(Plot plot, QChart* chart, const PixelScale& scale);
    void FollowInArcseconds(Plot plot, const PixelScale& scale);

    Measure measure_;
    std::shared_ptr<const FullResult> latest_;
    std::shared_ptr<const Analysis> latestMeasured_;  // latest_'s measurements, when they came with it
    bool latestMeasuredElsewhere_ = false;             // latest_'s measurements are on their way
    // Weak: a measured result the window no longer shows need not stay in memory for it.
    std::weak_ptr<const FullResult> measured_;
    std::shared_ptr<const Analysis> shown_;  // the measurements shown
    std::shared_ptr<const Analysis> reference_;  // the measurements kept for comparison
    int measureCount_ = 0;
    int measuredHere_ = 0;
    bool measuring_ = false;  // measure_ is under way (its events may bring a newer result)

    QLabel* nothingLabel_ = nullptr;
    QWidget* content_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPlainTextEdit* warnings_ = nullptr;
    std::array<QChartView*, 4> charts_{};
    QComboBox* energyRange_ = nullptr;  // how far the encircled energy's axis reaches
    QPushButton* keepReference_ = nullptr;
    std::array<PlotParts, 4> plots_{};
};

}  // namespace velmora
