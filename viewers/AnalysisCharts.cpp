#include "viewers/AnalysisCharts.h"

#include <QCoreApplication>
#include <QLegend>
#include <QLegendMarker>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "viewers/AnalysisTable.h"

namespace velmora::analysisplots {

QString BandName(const BandMeasurements& band) {
    return QCoreApplication::translate(analysisTableContext, BandCaption(band.name));
}

QColor BandColour(const BandMeasurements& band) {
    if (band.name == "red") return QColor(220, 0, 0);
    if (band.name == "green") return QColor(0, 140, 0);
    if (band.name == "blue") return QColor(0, 0, 230);
    return QColor(0, 0, 0);
}

QColor CutColour(const BandMeasurements& band, bool colour, bool alongY) {
    if (!colour) return alongY ? QColor(230, 110, 0) : QColor(0, 80, 200);
    const QColor c = BandColour(band);
    return alongY ? QColor((c.red() + 2 * 255) / 3, (c.green() + 2 * 255) / 3, (c.blue() + 2 * 255) / 3).darker(115) : c;
}

QColor IdealColour(const BandMeasurements& band, bool colour) { return colour ? BandColour(band) : QColor(110, 110, 110); }

QColor ReferenceColour(const BandMeasurements& band, bool colour) {
    if (!colour) return QColor(160, 0, 170);
    const QColor c = BandColour(band);
    return QColor((2 * c.red() + 255) / 3, (2 * c.green() + 255) / 3, (2 * c.blue() + 255) / 3);
}

double LambdaFUm(const BandMeasurements& band) { return band.cutoffCycPerMm > 0 ? 1000 / band.cutoffCycPerMm : 0; }

QLineSeries* Series(const QString& name, QColor colour, Qt::PenStyle style) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(style == Qt::SolidLine ? 1.5 : 1.2);
    pen.setStyle(style);
    series->setPen(pen);
    return series;
}

double ProfileReach(const Analysis& analysis) {
    double reach = 0, last = 0;
    for (const BandMeasurements& b : analysis.bands) {
        reach = std::max(reach, profileReachLambdaF * LambdaFUm(b));
        if (!b.radialRadiusUm.empty()) last = std::max(last, b.radialRadiusUm.back());
    }
    const double end = reach > 0 ? std::min(reach, last) : last;
    return end > 0 ? end : 1;
}

double EnergyReach(const Analysis& analysis, double timesR80) {
    double reach = 0, last = 0;
    for (const BandMeasurements& b : analysis.bands) {
        reach = std::max(reach, timesR80 * b.r80Um);
        const double curveEnd = b.eeRadiusUm.empty() ? 0 : b.eeRadiusUm.back();
        last = std::max(last, b.encircledEnergy ? (gridSize / 2 - 1) * b.scale.um : curveEnd);
    }
    const double end = reach > 0 ? std::min(reach, last) : last;
    return end > 0 ? end : 1;
}

void Replace(QXYSeries* series, const QList<QPointF>& points) {
    const QList<QPointF> shown = series->points();
    const auto same = [](const QPointF& a, const QPointF& b) { return a.x() == b.x() && a.y() == b.y(); };
    if (std::equal(points.begin(), points.end(), shown.begin(), shown.end(), same)) return;
    series->replace(points);
}

void SetPoints(QXYSeries* series, const std::vector<double>& x, const std::vector<double>& y, double xMax,
               double floor) {
    QList<QPointF> points;
    const size_t n = std::min(x.size(), y.size());
    points.reserve(static_cast<qsizetype>(n));
    for (size_t i = 0; i < n && x[i] <= xMax; ++i) points.append(QPointF(x[i], std::max(y[i], floor)));
    Replace(series, points);
}

void SetEnergyPoints(QXYSeries* series, const std::vector<double>& radii, const std::vector<double>& fraction,
                     const EncircledEnergy* function, double um, double xMax) {
    QList<QPointF> points;
    const size_t n = std::min(radii.size(), fraction.size());
    for (size_t i = 0; i < n && radii[i] <= xMax; ++i) points.append(QPointF(radii[i], fraction[i]));
    if (function && um > 0 && n > 0 && radii[n - 1] < xMax) {
        const double from = radii[n - 1];
        const double step = std::max(um, (xMax - from) / 100);
        for (double r = from + step; r <= xMax + 1e-9 * xMax; r += step) points.append(QPointF(r, (*function)(r / um)));
    }
    Replace(series, points);
}

double RoundStep(double span, double parts) {
    if (!(span > 0)) return 1;
    const double raw = span / parts;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * decade >= raw * 0.999) return m * decade;
    return 10 * decade;
}

QString LabelFormatFor(double step) {
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    return QStringLiteral("%.%1f").arg(decimals);
}

void SetNiceRange(QValueAxis* axis, double min, double max) {
    const double step = RoundStep(max - min, 5);
    const double lo = std::floor(min / step + 1e-9) * step;
    const double hi = std::ceil(max / step - 1e-9) * step;
    // Each set only when it changes: a change lays the chart out and draws it again.
    const double end = hi > lo ? hi : lo + step;
    if (axis->min() != lo || axis->max() != end) axis->setRange(lo, end);
    const int ticks = static_cast<int>(std::lround((end - lo) / step)) + 1;
    if (axis->tickCount() != ticks) axis->setTickCount(ticks);
    const QString format = LabelFormatFor(step);
    if (axis->labelFormat() != format) axis->setLabelFormat(format);
}

QValueAxis* ValueAxis(const QString& title, double min, double max) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    SetNiceRange(axis, min, max);
    return axis;
}

bool HasArcseconds(const PixelScale& scale) { return scale.um > 0 && scale.arcsec > 0; }

std::vector<std::string> BandNames(const Analysis& analysis) {
    std::vector<std::string> names;
    for (const BandMeasurements& b : analysis.bands) names.push_back(b.name);
    return names;
}

QChart* NewChart(QChartView* view) {
    QChart* old = view->chart();
    auto* chart = new QChart;
    chart->setTitle(old->title());
    chart->legend()->setAlignment(Qt::AlignRight);
    // Each entry drawn as its line (solid, dashed, dotted), not as a square of its colour.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    chart->setMargins(QMargins(2, 2, 2, 2));
    view->setChart(chart);
    delete old;
    return chart;
}

QChartView* MakeChart(const QString& name, const QString& title, QSize minimum) {
    auto* view = new QChartView;
    view->chart()->setTitle(title);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(minimum);
    return view;
}

void HideFromLegend(QChart* chart, QAbstractSeries* series) {
    for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
}

}  // namespace velmora::analysisplots
