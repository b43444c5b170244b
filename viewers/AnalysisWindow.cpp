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

namespace velmora {
namespace {

// The log plot's floor: eight decades, as the profile viewer's logarithmic plot.
constexpr double profileFloor = 1e-8;
// How far the profile is drawn, in units of lambda F: the core and its first rings, where the
// aberrations and the obstruction show.
constexpr double profileReachLambdaF = 10;
// The encircled energy's reach, in r80 of the widest band, as the range box offers it; the
// first is the curve's own reach, so that it shows without the function.
constexpr double energyReachesR80[] = {3, 10, 30};
// The MTF cuts' markers: this many along the cut-off, on the x and y lines alike.
constexpr int mtfMarkerCount = 10;
constexpr int tableMinimumWidth = 300;
constexpr int referenceTableWidth = 480;

QString BandName(const BandMeasurements& band) {
    return QCoreApplication::translate(analysisTableContext, BandCaption(band.name));
}

QColor BandColour(const BandMeasurements& band) {
    if (band.name == "red") return QColor(220, 0, 0);
    if (band.name == "green") return QColor(0, 140, 0);
    if (band.name == "blue") return QColor(0, 0, 230);
    return QColor(0, 0, 0);
}

// The MTF cuts' colours: in monochrome blue along x and orange along y; in colour the band's
// colour along x and a lighter one along y.
QColor CutColour(const BandMeasurements& band, bool colour, bool alongY) {
    if (!colour) return alongY ? QColor(230, 110, 0) : QColor(0, 80, 200);
    const QColor c = BandColour(band);
    return alongY ? QColor((c.red() + 2 * 255) / 3, (c.green() + 2 * 255) / 3, (c.blue() + 2 * 255) / 3).darker(115) : c;
}

// The ideal's colour: grey in monochrome, the band's own in colour (drawn dashed or dotted).
QColor IdealColour(const BandMeasurements& band, bool colour) { return colour ? BandColour(band) : QColor(110, 110, 110); }

// The reference's colour: purple in monochrome, a lighter shade of the band's in colour; drawn
// dash-dotted, so that it reads apart from the measured (solid) and ideal (dashed, dotted) lines.
QColor ReferenceColour(const BandMeasurements& band, bool colour) {
    if (!colour) return QColor(160, 0, 170);
    const QColor c = BandColour(band);
    return QColor((2 * c.red() + 255) / 3, (2 * c.green() + 255) / 3, (2 * c.blue() + 255) / 3);
}

// lambda F of the band in micrometres: the MTF cut-off is 1 / (lambda F).
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

// The end of the profile's radius axis: `lambdaF` times lambda F of the widest band, but no
// further than the measured radii reach; 1 when there is nothing to show.
double ProfileReach(const Analysis& analysis) {
    double reach = 0, last = 0;
    for (const BandMeasurements& b : analysis.bands) {
        reach = std::max(reach, profileReachLambdaF * LambdaFUm(b));
        if (!b.radialRadiusUm.empty()) last = std::max(last, b.radialRadiusUm.back());
    }
    const double end = reach > 0 ? std::min(reach, last) : last;
    return end > 0 ? end : 1;
}

// The end of the encircled energy's axis: `timesR80` times the largest r80, no further than the
// grid's half width (where the function ends) nor, without the function, than the curve; 1 when
// there is nothing to show.
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

// The series' points become `points`. Points equal to the ones shown are left alone: the ideal
// curves stay the same while only the aberrations change, and replacing points makes the chart
// work out the line's path and outline again.
void Replace(QXYSeries* series, const QList<QPointF>& points) {
    const QList<QPointF> shown = series->points();
    const auto same = [](const QPointF& a, const QPointF& b) { return a.x() == b.x() && a.y() == b.y(); };
    if (std::equal(points.begin(), points.end(), shown.begin(), shown.end(), same)) return;
    series->replace(points);
}

// The series' points become (x[i], y[i]) with x up to xMax; values below `floor` drawn at the
// floor, as a log axis cannot show zero.
void SetPoints(QXYSeries* series, const std::vector<double>& x, const std::vector<double>& y, double xMax,
               double floor = -INFINITY) {
    QList<QPointF> points;
    const size_t n = std::min(x.size(), y.size());
    points.reserve(static_cast<qsizetype>(n));
    for (size_t i = 0; i < n && x[i] <= xMax; ++i) points.append(QPointF(x[i], std::max(y[i], floor)));
    Replace(series, points);
}

// An encircled-energy curve up to xMax: its samples `fraction` at the radii, and beyond them,
// where the range reaches further, the function at up to 100 radii more (pitch `um` or wider:
// the curve is smooth out there, and each value sums every ring of the transfer function).
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

// The step of 1, 2 or 5 times a power of ten that cuts `span` into about `parts` pieces.
double RoundStep(double span, double parts) {
    if (!(span > 0)) return 1;
    const double raw = span / parts;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * decade >= raw * 0.999) return m * decade;
    return 10 * decade;
}

// Enough decimals to tell the ticks of `step` apart.
QString LabelFormatFor(double step) {
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    return QStringLiteral("%.%1f").arg(decimals);
}

// The axis spans [0, max] widened to a round end, with ticks at round values (1, 2 or 5 times a
// power of ten) from zero.
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

// A new, empty chart in `view`, titled as the old one, which goes.
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

// A plot that starts empty; its series and axes come with each result.
QChartView* MakeChart(const QString& name, const QString& title, QSize minimum) {
    auto* view = new QChartView;
    view->chart()->setTitle(title);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(minimum);
    return view;
}

// The series' entry in the legend hidden (marks and markers that the lines' entries explain).
void HideFromLegend(QChart* chart, QAbstractSeries* series) {
    for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
}

}  // namespace

TAnalysis::TAnalysis(Measure measure) : measure_(std::move(measure)) {
    setObjectName(QStringLiteral("TAnalysis"));
    setWindowTitle(tr("解析"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 6, 6, 6);

    nothingLabel_ = new QLabel(tr("まだ計算結果がありません。「計算開始」で計算すると、ここに測定値とグラフが表示されます。"));
    nothingLabel_->setObjectName(QStringLiteral("NothingLabel"));
    nothingLabel_->setAlignment(Qt::AlignCenter);
    outer->addWidget(nothingLabel_);

    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("Content"));
    outer->addWidget(content_);
    auto* grid = new QGridLayout(content_);
    grid->setContentsMargins(0, 0, 0, 0);

    // The table with its warnings down the left; the profile and the through-focus curve side
    // by side at the top right, the encircled energy and the MTF side by side under them.
    auto* left = new QVBoxLayout;
    table_ = new QTableWidget;
    table_->setObjectName(QStringLiteral("MeasurementTable"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setMinimumWidth(tableMinimumWidth);
    left->addWidget(table_);
    auto* warningsCaption = new QLabel(tr("サンプリングの警告"));
    warningsCaption->setObjectName(QStringLiteral("WarningsCaption"));
    left->addWidget(warningsCaption);
    warnings_ = new QPlainTextEdit;
    warnings_->setObjectName(QStringLiteral("Warnings"));
    warnings_->setReadOnly(true);
    warnings_->setMaximumHeight(4 * warnings_->fontMetrics().height() + 12);
    left->addWidget(warnings_);
    auto* copy = new QPushButton(tr("コピー"));
    copy->setObjectName(QStringLiteral("CopyButton"));
    copy->setAutoDefault(false);
    copy->setToolTip(tr("表の数値をタブ区切りのテキストでクリップボードに写します"));
    connect(copy, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { CopyButtonClick(); }); });
    left->addWidget(copy, 0, Qt::AlignLeft);
    // One button that keeps the measurements shown as the reference and, while one is kept,
    // releases it: its caption says which it will do.
    keepReference_ = new QPushButton(tr("基準として保持(&K)"));
    keepReference_->setObjectName(QStringLiteral("KeepReferenceButton"));
    keepReference_->setAutoDefault(false);
    keepReference_->setToolTip(tr("表示中の測定値を基準として残し、以後の結果のグラフと表に並べて表示します"));
    connect(keepReference_, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { KeepReferenceClick(); }); });
    left->addWidget(keepReference_, 0, Qt::AlignLeft);
    // What the plots' "ideal" is, said once here rather than in every legend entry.
    auto* idealNote = new QLabel(tr("理想: 同じ瞳で収差のない場合"));
    idealNote->setObjectName(QStringLiteral("IdealNote"));
    idealNote->setToolTip(tr("副鏡の遮蔽、スパイダー、透過率分布とマスクはそのままに、収差だけを除いて同じ波長と重みで計算した像です。ストレール比はこの像のピークに対する比です。"));
    left->addWidget(idealNote);
    left->addStretch(1);
    grid->addLayout(left, 0, 0, 2, 1);

    // Each plot with its own PNG button right under it, so that which plot is saved is plain;
    // the encircled energy has its range box beside it.
    struct PlotPlace {
        Plot plot;
        const char* chartName;
        const char* buttonName;
        QString title;
        int row, column, columnSpan;
        QSize minimum;
    };
    const PlotPlace places[4] = {
        {ProfilePlot, "ProfileChart", "SaveProfileButton", tr("動径方向の強度分布 (対数)"), 0, 1, 1, QSize(370, 250)},
        {ThroughFocusPlot, "ThroughFocusChart", "SaveThroughFocusButton", tr("スルーフォーカス"), 0, 2, 1, QSize(370, 250)},
        {EncircledEnergyPlot, "EnergyChart", "SaveEnergyButton", tr("エンサークルドエネルギー"), 1, 1, 1, QSize(370, 285)},
        {MtfPlot, "MtfChart", "SaveMtfButton", tr("MTF"), 1, 2, 1, QSize(370, 285)},
    };
    for (const PlotPlace& p : places) {
        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        charts_[p.plot] = MakeChart(QString::fromLatin1(p.chartName), p.title, p.minimum);
        column->addWidget(charts_[p.plot], 1);
        auto* buttons = new QHBoxLayout;
        auto* save = new QPushButton(tr("PNG で保存"));
        save->setObjectName(QString::fromLatin1(p.buttonName));
        save->setAutoDefault(false);
        const Plot plot = p.plot;
        connect(save, &QPushButton::clicked, this, [this, plot] { RunGuarded(this, [this, plot] { SavePlotClick(plot); }); });
        buttons->addWidget(save);
        if (p.plot == EncircledEnergyPlot) {
            auto* caption = new QLabel(tr("表示範囲"));
            energyRange_ = new QComboBox;
            energyRange_->setObjectName(QStringLiteral("EnergyRangeBox"));
            for (double times : energyReachesR80) energyRange_->addItem(tr("r80 の %1 倍").arg(times));
            energyRange_->setToolTip(tr("横軸の範囲を r80 の何倍まで広げるか選びます"));
            caption->setBuddy(energyRange_);
            connect(energyRange_, &QComboBox::currentIndexChanged, this, [this] {
                if (shown_) FillEncircledEnergy(*shown_);
            });
            buttons->addSpacing(12);
            buttons->addWidget(caption);
            buttons->addWidget(energyRange_);
        }
        buttons->addStretch(1);
        column->addLayout(buttons);
        grid->addLayout(column, p.row, p.column, 1, p.columnSpan);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(0, 4);
    grid->setRowStretch(1, 5);
    ShowNothing();
    // Fits, with its frame, the part of a 1366 x 768 screen that the panels leave.
    resize(defaultSize);
    CentreOnScreen(this, size());
}

TAnalysis::~TAnalysis() = default;

void TAnalysis::ShowResult(std::shared_ptr<const FullResult> full, std::shared_ptr<const Analysis> measured,
                           bool measurementsFollow) {
    latest_ = std::move(full);
    latestMeasured_ = latest_ ? std::move(measured) : nullptr;
    latestMeasuredElsewhere_ = latest_ && !latestMeasured_ && measurementsFollow;
    if (isVisible()) MeasureLatest();
}

void TAnalysis::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    MeasureLatest();
}

void TAnalysis::MeasureLatest() {
    if (!latest_) {
        ShowNothing();
        return;
    }
    if (measured_.lock() == latest_ || latestMeasuredElsewhere_) return;
    if (!latestMeasured_) {
        latestMeasured_ = std::make_shared<const Analysis>(measure_(*latest_));
        ++measuredHere_;
    }
    measured_ = latest_;
    ++measureCount_;
    // The measurements shown stay for the range box, which reads the encircled energy again.
    shown_ = std::move(latestMeasured_);
    Fill(*shown_);
}

void TAnalysis::ShowNothing() {
    measured_.reset();
    shown_.reset();
    content_->hide();
    nothingLabel_->show();
    keepReference_->setEnabled(reference_ != nullptr);
}

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

void TAnalysis::Fill(const Analysis& analysis) {
    FillTable(analysis);
    QStringList lines;
    for (const SamplingNote& w : analysis.warnings) lines << Translated(w.message);
    // Set only when it changes: setting the text lays the document out anew and redraws it.
    const QString warnings = lines.isEmpty() ? tr("ありません。") : lines.join(QLatin1Char('\n'));
    if (warnings_->toPlainText() != warnings) warnings_->setPlainText(warnings);
    FillProfile(analysis);
    FillEncircledEnergy(analysis);
    FillMtf(analysis);
    FillThroughFocus(analysis);
    keepReference_->setEnabled(true);
    nothingLabel_->hide();
    content_->show();
}

// The cells keep their items from one result to the next and take the new text: a cell whose
// text stays is not redrawn, and only a change of the bands or rows adds or drops items. The
// columns are fitted to their text again only when some text changed, as fitting redraws the
// header.
void TAnalysis::FillTable(const Analysis& analysis) {
    std::vector<AnalysisRow> rows = AnalysisRows(analysis);
    QStringList headers;
    for (const BandMeasurements& b : analysis.bands) headers << BandName(b);
    // The reference's bands in columns of their own after the result's, row by row under the
    // same caption; a row only one of them has shows "-" in the other's columns.
    if (reference_) {
        const std::vector<AnalysisRow> kept = AnalysisRows(*reference_);
        const size_t width = reference_->bands.size();
        for (const BandMeasurements& b : reference_->bands) headers << tr("%1 (基準)").arg(BandName(b));
        auto same = [](const AnalysisRow& row, const char* caption) { return std::strcmp(row.caption, caption) == 0; };
        for (const AnalysisRow& k : kept)
            if (std::none_of(rows.begin(), rows.end(), [&](const AnalysisRow& r) { return same(r, k.caption); }))
                rows.push_back({k.caption, std::vector<std::string>(analysis.bands.size(), "-")});
        for (AnalysisRow& row : rows) {
            const auto match = std::find_if(kept.begin(), kept.end(), [&](const AnalysisRow& k) { return same(k, row.caption); });
            const std::vector<std::string> values = match != kept.end() ? match->values : std::vector<std::string>(width, "-");
            row.values.insert(row.values.end(), values.begin(), values.end());
        }
    }
    bool changed = table_->columnCount() != static_cast<int>(headers.size()) ||
                   table_->rowCount() != static_cast<int>(rows.size());
    table_->setColumnCount(static_cast<int>(headers.size()));
    table_->setRowCount(static_cast<int>(rows.size()));
    // The item's text, set only when it differs; a cell without an item gets a new one.
    auto put = [&changed](QTableWidgetItem* item, const QString& text, auto make) {
        if (item && item->text() == text) return;
        changed = true;
        if (item) item->setText(text);
        else make(new QTableWidgetItem(text));
    };
    for (int c = 0; c < table_->columnCount(); ++c)
        put(table_->horizontalHeaderItem(c), headers[c],
            [&](QTableWidgetItem* item) { table_->setHorizontalHeaderItem(c, item); });
    for (int r = 0; r < table_->rowCount(); ++r) {
        put(table_->verticalHeaderItem(r), QCoreApplication::translate(analysisTableContext, rows[r].caption),
            [&](QTableWidgetItem* item) { table_->setVerticalHeaderItem(r, item); });
        for (int c = 0; c < table_->columnCount(); ++c)
            // Numbers stand as they are; a word (a double star's verdict) is translated.
            put(table_->item(r, c), QCoreApplication::translate(analysisTableContext, rows[r].values[c].c_str()), [&](QTableWidgetItem* item) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table_->setItem(r, c, item);
            });
    }
    if (!changed) return;
    table_->resizeColumnsToContents();
    // Every column in sight as well, without a scroll bar across.
    int width = table_->verticalHeader()->sizeHint().width() + 2 * table_->frameWidth() +
                table_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table_);
    for (int c = 0; c < table_->columnCount(); ++c) width += table_->columnWidth(c);
    // With a reference's columns beside a colour result's, up to twice as many: the table
    // scrolls across beyond referenceTableWidth rather than push the window off a small screen.
    const bool across = reference_ && width > referenceTableWidth;
    table_->setMinimumWidth(std::max(tableMinimumWidth, across ? referenceTableWidth : width));
    // Every row in sight: the numbers are the point of the window (above the scroll bar across,
    // when there is one).
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             table_->rowCount() * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth() +
                             (across ? table_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table_) : 0));
}

QString TAnalysis::TableText() const {
    if (content_->isHidden()) return QString();
    QStringList header{tr("項目")};
    for (int c = 0; c < table_->columnCount(); ++c) header << table_->horizontalHeaderItem(c)->text();
    QStringList lines{header.join(QLatin1Char('\t'))};
    for (int r = 0; r < table_->rowCount(); ++r) {
        QStringList cells{table_->verticalHeaderItem(r)->text()};
        for (int c = 0; c < table_->columnCount(); ++c) cells << table_->item(r, c)->text();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
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
