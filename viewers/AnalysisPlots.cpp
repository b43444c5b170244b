// The analysis window's plots: the profile, the encircled energy, the MTF cuts and the Strehl
// ratio through focus, each with the ideal's and the reference's lines.
#include "viewers/AnalysisWindow.h"

#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QScatterSeries>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLegendMarker>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "optics/ThroughFocus.h"
#include "files/Png.h"
#include "ui/SaveDialog.h"
#include "files/SaveTarget.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"
#include "ui/PictureBox.h"
#include "ui/UserText.h"
#include "viewers/AnalysisTable.h"


#include "viewers/AnalysisCharts.h"

namespace velmora {

using namespace analysisplots;

void TAnalysis::AddLine(QChart* chart, PlotParts& parts, QAbstractAxis* y, QXYSeries* series) {
    chart->addSeries(series);
    series->attachAxis(parts.x);
    series->attachAxis(y);
    parts.series.push_back(series);
}

void TAnalysis::AddReferenceLine(QChart* chart, PlotParts& parts, QAbstractAxis* y, QXYSeries* series) {
    AddLine(chart, parts, y, series);
    parts.series.pop_back();
    parts.reference.push_back(series);
}

QChart* TAnalysis::ChartFor(Plot plot, const Analysis& analysis, bool arcseconds) {
    PlotParts& parts = plots_[plot];
    std::vector<std::string> bands = BandNames(analysis);
    std::vector<std::string> referenceBands = reference_ ? BandNames(*reference_) : std::vector<std::string>{};
    if (parts.x && parts.bands == bands && parts.arcseconds == arcseconds && parts.referenceBands == referenceBands)
        return nullptr;
    parts = PlotParts{std::move(bands), arcseconds, nullptr, nullptr, {}, std::move(referenceBands), {}};
    return NewChart(charts_[plot]);
}

// The radii of the bottom axis as angles on the sky along the top, when the chart is made for
// them; its range follows the bottom axis's with each result. Its ticks fall on round angles
// of their own, so it draws no grid: the bottom axis's lines are the plot's.
void TAnalysis::AddArcsecondAxis(Plot plot, QChart* chart, const PixelScale& scale) {
    PlotParts& parts = plots_[plot];
    if (!parts.arcseconds) return;
    parts.top = new QValueAxis;
    parts.top->setTitleText(tr("半径 (秒角)"));
    parts.top->setGridLineVisible(false);
    parts.top->setMinorGridLineVisible(false);
    parts.top->setTickType(QValueAxis::TicksDynamic);
    parts.top->setTickAnchor(0);
    FollowInArcseconds(plot, scale);
    chart->addAxis(parts.top, Qt::AlignTop);
}

void TAnalysis::FollowInArcseconds(Plot plot, const PixelScale& scale) {
    const PlotParts& parts = plots_[plot];
    if (!parts.top) return;
    const double arcsecPerUm = scale.arcsec / scale.um;
    const double lo = parts.x->min() * arcsecPerUm, hi = parts.x->max() * arcsecPerUm;
    const double step = RoundStep(hi - lo, 5);
    if (parts.top->min() != lo || parts.top->max() != hi) parts.top->setRange(lo, hi);
    if (parts.top->tickInterval() != step) parts.top->setTickInterval(step);
    const QString format = LabelFormatFor(step);
    if (parts.top->labelFormat() != format) parts.top->setLabelFormat(format);
}

void TAnalysis::FillProfile(const Analysis& analysis) {
    PlotParts& parts = plots_[ProfilePlot];
    const double reach = ProfileReach(analysis);
    if (QChart* chart = ChartFor(ProfilePlot, analysis, HasArcseconds(analysis.scale))) {
        const bool colour = analysis.bands.size() > 1;
        parts.x = ValueAxis(tr("半径 (µm)"), 0, reach);
        auto* y = new QLogValueAxis;
        y->setTitleText(tr("ピークに対する強度"));
        y->setBase(10);
        y->setRange(profileFloor, 1);
        y->setLabelFormat(QStringLiteral("%.0e"));
        y->setMinorTickCount(0);
        chart->addAxis(parts.x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (const BandMeasurements& b : analysis.bands) {
            const QString measured = colour ? BandName(b) : tr("計算");
            const QString ideal = colour ? tr("%1 理想").arg(BandName(b)) : tr("理想");
            AddLine(chart, parts, y, Series(measured, BandColour(b), Qt::SolidLine));
            AddLine(chart, parts, y, Series(ideal, IdealColour(b, colour), Qt::DashLine));
        }
        AddReferenceLines(chart, parts, y, 1);
        AddArcsecondAxis(ProfilePlot, chart, analysis.scale);
    }
    SetNiceRange(parts.x, 0, reach);
    for (size_t i = 0; i < analysis.bands.size(); ++i) {
        const BandMeasurements& b = analysis.bands[i];
        SetPoints(parts.series[2 * i], b.radialRadiusUm, b.radialProfile, parts.x->max(), profileFloor);
        SetPoints(parts.series[2 * i + 1], b.radialRadiusUm, b.idealProfile, parts.x->max(), profileFloor);
    }
    for (size_t i = 0; reference_ && i < reference_->bands.size(); ++i) {
        const BandMeasurements& b = reference_->bands[i];
        SetPoints(parts.reference[i], b.radialRadiusUm, b.radialProfile, parts.x->max(), profileFloor);
    }
    FollowInArcseconds(ProfilePlot, analysis.scale);
}

// Per band: the measured curve, the ideal's, and the marks of r50 and r80 (a line from the
// level across to the radius and down to the axis, labelled at the corner).
void TAnalysis::FillEncircledEnergy(const Analysis& analysis) {
    PlotParts& parts = plots_[EncircledEnergyPlot];
    const int choice = std::max(0, energyRange_->currentIndex());
    const double reach = EnergyReach(analysis, energyReachesR80[choice]);
    if (QChart* chart = ChartFor(EncircledEnergyPlot, analysis, HasArcseconds(analysis.scale))) {
        parts.x = ValueAxis(tr("半径 (µm)"), 0, reach);
        auto* y = ValueAxis(tr("全エネルギーに対する割合"), 0, 1);
        chart->addAxis(parts.x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        const bool colour = analysis.bands.size() > 1;
        for (const BandMeasurements& b : analysis.bands) {
            AddLine(chart, parts, y, Series(colour ? BandName(b) : tr("計算"), BandColour(b), Qt::SolidLine));
            AddLine(chart, parts, y,
                    Series(colour ? tr("%1 理想").arg(BandName(b)) : tr("理想"), IdealColour(b, colour), Qt::DashLine));
            for (const char* level : {"r50", "r80"}) {
                QLineSeries* mark = Series(QString::fromLatin1(level), BandColour(b), Qt::DotLine);
                mark->setObjectName(QStringLiteral("%1Mark").arg(QString::fromLatin1(level)));
                mark->setPointLabelsFormat(QString::fromLatin1(level));
                mark->setPointLabelsColor(BandColour(b));
                mark->setPointLabelsClipping(false);
                AddLine(chart, parts, y, mark);
                HideFromLegend(chart, mark);
            }
        }
        AddReferenceLines(chart, parts, y, 1);
        AddArcsecondAxis(EncircledEnergyPlot, chart, analysis.scale);
    }
    // r80 changes with every result of the automatic mode: the axis keeps its end while that
    // still reaches the range and is less than half as long again, so that the plot does not
    // jump (nor is laid out anew) at each step.
    if (!(parts.x->min() == 0 && parts.x->max() >= reach && parts.x->max() < 1.5 * reach)) SetNiceRange(parts.x, 0, reach);
    for (size_t i = 0; i < analysis.bands.size(); ++i) {
        const BandMeasurements& b = analysis.bands[i];
        QXYSeries* const* lines = &parts.series[4 * i];
        SetEnergyPoints(lines[0], b.eeRadiusUm, b.eeFraction, b.encircledEnergy.get(), b.scale.um, parts.x->max());
        SetEnergyPoints(lines[1], b.eeRadiusUm, b.idealEeFraction, b.idealEncircledEnergy.get(), b.scale.um, parts.x->max());
        const std::pair<double, double> marks[2] = {{b.r50Um, 0.5}, {b.r80Um, 0.8}};
        for (int k = 0; k < 2; ++k) {
            const auto [r, level] = marks[k];
            QXYSeries* mark = lines[2 + k];
            Replace(mark, r > 0 && r <= parts.x->max() ? QList<QPointF>{{0, level}, {r, level}, {r, 0}} : QList<QPointF>{});
            // Only the corner carries the label, and only in monochrome: three bands' labels
            // would fall on one another.
            const bool labelled = mark->count() == 3 && analysis.bands.size() == 1;
            if (mark->pointLabelsVisible() != labelled) mark->setPointLabelsVisible(labelled);
            for (int point = 0; point < mark->count(); ++point) {
                const QVariant shown = mark->pointConfiguration(point).value(QXYSeries::PointConfiguration::LabelVisibility);
                if (!shown.isValid() || shown.toBool() != (labelled && point == 1))
                    mark->setPointConfiguration(point, QXYSeries::PointConfiguration::LabelVisibility, labelled && point == 1);
            }
        }
    }
    for (size_t i = 0; reference_ && i < reference_->bands.size(); ++i) {
        const BandMeasurements& b = reference_->bands[i];
        SetEnergyPoints(parts.reference[i], b.eeRadiusUm, b.eeFraction, b.encircledEnergy.get(), b.scale.um, parts.x->max());
    }
    FollowInArcseconds(EncircledEnergyPlot, analysis.scale);
}

// Per band: the x and y cuts (each its own colour, line and marker shape), and the ideal's cuts
// dotted, one entry in the legend for both.
void TAnalysis::FillMtf(const Analysis& analysis) {
    PlotParts& parts = plots_[MtfPlot];
    double cutoff = 0;
    for (const BandMeasurements& b : analysis.bands) cutoff = std::max(cutoff, b.cutoffCycPerMm);
    const double reach = cutoff > 0 ? cutoff : 1;
    if (QChart* chart = ChartFor(MtfPlot, analysis, false)) {
        parts.x = ValueAxis(tr("空間周波数 (本/mm)"), 0, reach);
        auto* y = ValueAxis(tr("MTF"), 0, 1);
        chart->addAxis(parts.x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        const bool colour = analysis.bands.size() > 1;
        for (const BandMeasurements& b : analysis.bands) {
            // In colour, the band's name with the cut's letter, to keep the legend narrow.
            const QString alongX = colour ? BandName(b) + QStringLiteral(" x") : tr("x 方向");
            const QString alongY = colour ? BandName(b) + QStringLiteral(" y") : tr("y 方向");
            QLineSeries* x = Series(alongX, CutColour(b, colour, false), Qt::SolidLine);
            QLineSeries* yCut = Series(alongY, CutColour(b, colour, true), Qt::DashLine);
            const QString ideal = colour ? tr("%1 理想").arg(BandName(b)) : tr("理想");
            QLineSeries* idealX = Series(ideal, IdealColour(b, colour), Qt::DotLine);
            QLineSeries* idealY = Series(ideal, IdealColour(b, colour), Qt::DotLine);
            for (QLineSeries* line : {x, yCut, idealX, idealY}) AddLine(chart, parts, y, line);
            chart->legend()->markers(x)[0]->setShape(QLegend::MarkerShapeCircle);
            chart->legend()->markers(yCut)[0]->setShape(QLegend::MarkerShapeRotatedRectangle);
            HideFromLegend(chart, idealY);
            // The markers along the cuts, in the legend's shapes.
            for (QLineSeries* line : {x, yCut}) {
                auto* markers = new QScatterSeries;
                markers->setName(line->name());
                markers->setMarkerShape(line == x ? QScatterSeries::MarkerShapeCircle : QScatterSeries::MarkerShapeRotatedRectangle);
                markers->setMarkerSize(7);
                markers->setColor(line->pen().color());
                markers->setBorderColor(line->pen().color());
                AddLine(chart, parts, y, markers);
                HideFromLegend(chart, markers);
            }
        }
        AddReferenceLines(chart, parts, y, 2);
    }
    SetNiceRange(parts.x, 0, reach);
    for (size_t i = 0; i < analysis.bands.size(); ++i) {
        const BandMeasurements& b = analysis.bands[i];
        QXYSeries* const* lines = &parts.series[6 * i];
        const std::vector<double>* values[4] = {&b.mtfX, &b.mtfY, &b.mtfIdeal, &b.mtfIdealY};
        for (int k = 0; k < 4; ++k) SetPoints(lines[k], b.mtfFreqCycPerMm, *values[k], parts.x->max());
        // Markers every tenth of the band's cut-off, x and y at staggered places.
        for (int k = 0; k < 2; ++k) {
            QList<QPointF> marks;
            const QList<QPointF> line = lines[k]->points();
            if (!line.isEmpty() && b.cutoffCycPerMm > 0) {
                const double step = b.cutoffCycPerMm / mtfMarkerCount;
                for (double f = step * (k == 0 ? 0.5 : 1.0); f < b.cutoffCycPerMm && f <= line.back().x(); f += step) {
                    const auto at = std::lower_bound(line.begin(), line.end(), f,
                                                     [](const QPointF& p, double v) { return p.x() < v; });
                    if (at != line.end()) marks.append(*at);
                }
            }
            Replace(lines[4 + k], marks);
        }
    }
    for (size_t i = 0; reference_ && i < reference_->bands.size(); ++i) {
        const BandMeasurements& b = reference_->bands[i];
        SetPoints(parts.reference[2 * i], b.mtfFreqCycPerMm, b.mtfX, parts.x->max());
        SetPoints(parts.reference[2 * i + 1], b.mtfFreqCycPerMm, b.mtfY, parts.x->max());
    }
}

// Per band: the Strehl ratio against the defocus, with the level 0.8 that bounds the depth of
// focus drawn across (when some curve, the result's or the reference's, is there).
void TAnalysis::FillThroughFocus(const Analysis& analysis) {
    PlotParts& parts = plots_[ThroughFocusPlot];
    const double reach = throughFocusSteps * throughFocusStepWaves;
    if (QChart* chart = ChartFor(ThroughFocusPlot, analysis, false)) {
        parts.x = ValueAxis(tr("デフォーカス (波長 P-V)"), -reach, reach);
        auto* y = ValueAxis(tr("ストレール比"), 0, 1);
        chart->addAxis(parts.x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        const bool colour = analysis.bands.size() > 1;
        for (const BandMeasurements& b : analysis.bands)
            AddLine(chart, parts, y, Series(colour ? BandName(b) : tr("計算"), BandColour(b), Qt::SolidLine));
        QLineSeries* level = Series(QStringLiteral("0.8"), QColor(110, 110, 110), Qt::DotLine);
        level->setObjectName(QStringLiteral("DepthOfFocusLevel"));
        AddLine(chart, parts, y, level);
        HideFromLegend(chart, level);
        AddReferenceLines(chart, parts, y, 1);
    }
    SetNiceRange(parts.x, -reach, reach);
    bool curves = false;
    for (size_t i = 0; i < analysis.bands.size(); ++i) {
        const BandMeasurements& b = analysis.bands[i];
        SetPoints(parts.series[i], b.focusDefocusWavesPv, b.focusStrehl, parts.x->max());
        curves = curves || !b.focusStrehl.empty();
    }
    for (size_t i = 0; reference_ && i < reference_->bands.size(); ++i) {
        const BandMeasurements& b = reference_->bands[i];
        SetPoints(parts.reference[i], b.focusDefocusWavesPv, b.focusStrehl, parts.x->max());
        curves = curves || !b.focusStrehl.empty();
    }
    Replace(parts.series[analysis.bands.size()],
            curves ? QList<QPointF>{{-reach, depthOfFocusLevel}, {reach, depthOfFocusLevel}} : QList<QPointF>{});
}

// The reference's lines of a plot: `perBand` for each of its bands (the first in the legend as
// "基準", or the band's name with it in colour; the others, as the MTF's y cut, not).
void TAnalysis::AddReferenceLines(QChart* chart, PlotParts& parts, QAbstractAxis* y, int perBand) {
    if (!reference_) return;
    const bool colour = reference_->bands.size() > 1;
    for (const BandMeasurements& b : reference_->bands) {
        const QString name = colour ? tr("%1 基準").arg(BandName(b)) : tr("基準");
        for (int k = 0; k < perBand; ++k) {
            QLineSeries* line = Series(name, ReferenceColour(b, colour), k == 0 ? Qt::DashDotLine : Qt::DashDotDotLine);
            line->setObjectName(QStringLiteral("ReferenceLine"));
            AddReferenceLine(chart, parts, y, line);
            if (k > 0) HideFromLegend(chart, line);
        }
    }
}

void TAnalysis::KeepReferenceClick() {
    if (reference_) {
        reference_.reset();
    } else {
        if (!shown_) return;
        reference_ = shown_;
    }
    keepReference_->setText(reference_ ? tr("基準を解除(&K)") : tr("基準として保持(&K)"));
    if (shown_) Fill(*shown_);
}

void TAnalysis::CopyButtonClick() { QGuiApplication::clipboard()->setText(TableText()); }

void TAnalysis::SavePlotClick(Plot plot) {
    const auto choice = Dialogs().SaveFile(this, QStringLiteral("PNG(*.png)|*.png"));
    if (!choice) return;
    const std::string chosen = choice->path.toStdString();
    const std::string bytes = EncodePng(FromQImage(charts_[plot]->grab().toImage()));
    SaveToTarget(this, chosen, ChangeFileExt(chosen, ".png"), bytes, ExistsQuestion, WriteFailureBox::Error);
}


}  // namespace velmora
