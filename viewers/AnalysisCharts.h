// The analysis window's chart pieces: its ranges and reaches, the bands' colours, series and
// axes with round ticks. Qt Charts only; used by the window's table and plots.
#pragma once

#include <QChart>
#include <QChartView>
#include <QColor>
#include <QLineSeries>
#include <QString>
#include <QValueAxis>
#include <QXYSeries>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/Analysis.h"

namespace velmora::analysisplots {

// The log plot's floor: eight decades, as the profile viewer's logarithmic plot.
inline constexpr double profileFloor = 1e-8;
// How far the profile is drawn, in units of lambda F: the core and its first rings, where the
// aberrations and the obstruction show.
inline constexpr double profileReachLambdaF = 10;
// The encircled energy's reach, in r80 of the widest band, as the range box offers it; the
// first is the curve's own reach, so that it shows without the function.
inline constexpr double energyReachesR80[] = {3, 10, 30};
// The MTF cuts' markers: this many along the cut-off, on the x and y lines alike.
inline constexpr int mtfMarkerCount = 10;
inline constexpr int tableMinimumWidth = 300;
inline constexpr int referenceTableWidth = 480;

QString BandName(const BandMeasurements& band);
QColor BandColour(const BandMeasurements& band);
// The MTF cuts' colours: in monochrome blue along x and orange along y; in colour the band's
// colour along x and a lighter one along y.
QColor CutColour(const BandMeasurements& band, bool colour, bool alongY);
// The ideal's colour: grey in monochrome, the band's own in colour (drawn dashed or dotted).
QColor IdealColour(const BandMeasurements& band, bool colour);
// The reference's colour: purple in monochrome, a lighter shade of the band's in colour; drawn
// dash-dotted, so that it reads apart from the measured (solid) and ideal (dashed, dotted) lines.
QColor ReferenceColour(const BandMeasurements& band, bool colour);
// lambda F of the band in micrometres: the MTF cut-off is 1 / (lambda F).
double LambdaFUm(const BandMeasurements& band);
QLineSeries* Series(const QString& name, QColor colour, Qt::PenStyle style);
// The end of the profile's radius axis: `lambdaF` times lambda F of the widest band, but no
// further than the measured radii reach; 1 when there is nothing to show.
double ProfileReach(const Analysis& analysis);
// The end of the encircled energy's axis: `timesR80` times the largest r80, no further than the
// grid's half width (where the function ends) nor, without the function, than the curve; 1 when
// there is nothing to show.
double EnergyReach(const Analysis& analysis, double timesR80);
// The series' points become `points`. Points equal to the ones shown are left alone: the ideal
// curves stay the same while only the aberrations change, and replacing points makes the chart
// work out the line's path and outline again.
void Replace(QXYSeries* series, const QList<QPointF>& points);
// The series' points become (x[i], y[i]) with x up to xMax; values below `floor` drawn at the
// floor, as a log axis cannot show zero.
void SetPoints(QXYSeries* series, const std::vector<double>& x, const std::vector<double>& y, double xMax,
               double floor = -INFINITY);
// An encircled-energy curve up to xMax: its samples `fraction` at the radii, and beyond them,
// where the range reaches further, the function at up to 100 radii more (pitch `um` or wider:
// the curve is smooth out there, and each value sums every ring of the transfer function).
void SetEnergyPoints(QXYSeries* series, const std::vector<double>& radii, const std::vector<double>& fraction,
                     const EncircledEnergy* function, double um, double xMax);
// The step of 1, 2 or 5 times a power of ten that cuts `span` into about `parts` pieces.
double RoundStep(double span, double parts);
// Enough decimals to tell the ticks of `step` apart.
QString LabelFormatFor(double step);
// The axis spans [0, max] widened to a round end, with ticks at round values (1, 2 or 5 times a
// power of ten) from zero.
void SetNiceRange(QValueAxis* axis, double min, double max);
QValueAxis* ValueAxis(const QString& title, double min, double max);
bool HasArcseconds(const PixelScale& scale);
std::vector<std::string> BandNames(const Analysis& analysis);
// A new, empty chart in `view`, titled as the old one, which goes.
QChart* NewChart(QChartView* view);
// A plot that starts empty; its series and axes come with each result.
QChartView* MakeChart(const QString& name, const QString& title, QSize minimum);
// The series' entry in the legend hidden (marks and markers that the lines' entries explain).
void HideFromLegend(QChart* chart, QAbstractSeries* series);

}  // namespace velmora::analysisplots
