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
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "files/Png.h"
#include "files/SaveDialog.h"
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
// How far the profile and the encircled energy are drawn, in units of lambda F: the core and
// its first rings, where the aberrations and the obstruction show.
constexpr double profileReachLambdaF = 10;
constexpr double energyReachLambdaF = 20;

QString BandName(const BandMeasurements& band) {
    return QCoreApplication::translate(analysisTableContext, BandCaption(band.name));
}

QColor BandColour(const BandMeasurements& band) {
    if (band.name == "red") return QColor(220, 0, 0);
    if (band.name == "green") return QColor(0, 140, 0);
    if (band.name == "blue") return QColor(0, 0, 230);
    return QColor(0, 0, 0);
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

// The end of a radius axis: `lambdaF` times lambda F of the widest band, but no further than
// the measured radii reach; 1 when there is nothing to show.
double RadiusReach(const Analysis& analysis, double lambdaF, std::vector<double> BandMeasurements::*radii) {
    double reach = 0, last = 0;
    for (const BandMeasurements& b : analysis.bands) {
        reach = std::max(reach, lambdaF * LambdaFUm(b));
        if (!(b.*radii).empty()) last = std::max(last, (b.*radii).back());
    }
    const double end = reach > 0 ? std::min(reach, last) : last;
    return end > 0 ? end : 1;
}

// The series' points become (x[i], y[i]) with x up to xMax; values below `floor` drawn at the
// floor, as a log axis cannot show zero. Points equal to the ones shown are left alone: the
// ideal curves stay the same while only the aberrations change, and replacing points makes
// the chart work out the line's path and outline again.
void SetPoints(QLineSeries* series, const std::vector<double>& x, const std::vector<double>& y, double xMax,
               double floor = -INFINITY) {
    QList<QPointF> points;
    const size_t n = std::min(x.size(), y.size());
    points.reserve(static_cast<qsizetype>(n));
    for (size_t i = 0; i < n && x[i] <= xMax; ++i) points.append(QPointF(x[i], std::max(y[i], floor)));
    const QList<QPointF> shown = series->points();
    const auto same = [](const QPointF& a, const QPointF& b) { return a.x() == b.x() && a.y() == b.y(); };
    if (std::equal(points.begin(), points.end(), shown.begin(), shown.end(), same)) return;
    series->replace(points);
}

// The axis spans [min, max] widened to round ends and ticks, as applyNiceNumbers makes them on a
// new axis: the rounding starts from the axis's tick count, which an earlier rounding changed.
void SetNiceRange(QValueAxis* axis, double min, double max) {
    QValueAxis fresh;
    fresh.setRange(min, max);
    fresh.applyNiceNumbers();
    axis->setRange(fresh.min(), fresh.max());
    axis->setTickCount(fresh.tickCount());
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
    chart->setMargins(QMargins(4, 4, 4, 4));
    view->setChart(chart);
    delete old;
    return chart;
}

// A plot that starts empty; its series and axes come with each result.
QChartView* MakeChart(const QString& name, const QString& title) {
    auto* view = new QChartView;
    view->chart()->setTitle(title);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(380, 300);
    return view;
}

}  // namespace

TAnalysis::TAnalysis(Measure measure) : measure_(std::move(measure)) {
    setObjectName(QStringLiteral("TAnalysis"));
    setWindowTitle(tr("解析"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);

    nothingLabel_ = new QLabel(tr("まだ計算結果がありません。「計算開始」で計算すると、ここに測定値とグラフが表示されます。"));
    nothingLabel_->setObjectName(QStringLiteral("NothingLabel"));
    nothingLabel_->setAlignment(Qt::AlignCenter);
    outer->addWidget(nothingLabel_);

    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("Content"));
    outer->addWidget(content_);
    auto* grid = new QGridLayout(content_);

    // The table with its warnings down the left; the profile across the top right, the
    // encircled energy and the MTF side by side under it.
    auto* left = new QVBoxLayout;
    table_ = new QTableWidget;
    table_->setObjectName(QStringLiteral("MeasurementTable"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setMinimumWidth(380);
    left->addWidget(table_);
    auto* warningsCaption = new QLabel(tr("サンプリングの警告"));
    warningsCaption->setObjectName(QStringLiteral("WarningsCaption"));
    left->addWidget(warningsCaption);
    warnings_ = new QPlainTextEdit;
    warnings_->setObjectName(QStringLiteral("Warnings"));
    warnings_->setReadOnly(true);
    warnings_->setMaximumHeight(5 * warnings_->fontMetrics().height() + 12);
    left->addWidget(warnings_);
    auto* copy = new QPushButton(tr("コピー"));
    copy->setObjectName(QStringLiteral("CopyButton"));
    copy->setAutoDefault(false);
    copy->setToolTip(tr("表の数値をタブ区切りのテキストでクリップボードに写します"));
    connect(copy, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { CopyButtonClick(); }); });
    left->addWidget(copy, 0, Qt::AlignLeft);
    left->addStretch(1);
    grid->addLayout(left, 0, 0, 2, 1);

    // Each plot with its own PNG button right under it, so that which plot is saved is plain.
    struct PlotPlace {
        Plot plot;
        const char* chartName;
        const char* buttonName;
        QString title;
        int row, column, columnSpan;
    };
    const PlotPlace places[3] = {
        {ProfilePlot, "ProfileChart", "SaveProfileButton", tr("動径方向の強度分布 (対数)"), 0, 1, 2},
        {EncircledEnergyPlot, "EnergyChart", "SaveEnergyButton", tr("エンサークルドエネルギー"), 1, 1, 1},
        {MtfPlot, "MtfChart", "SaveMtfButton", tr("MTF"), 1, 2, 1},
    };
    for (const PlotPlace& p : places) {
        auto* column = new QVBoxLayout;
        charts_[p.plot] = MakeChart(QString::fromLatin1(p.chartName), p.title);
        column->addWidget(charts_[p.plot], 1);
        auto* save = new QPushButton(tr("PNG で保存"));
        save->setObjectName(QString::fromLatin1(p.buttonName));
        save->setAutoDefault(false);
        const Plot plot = p.plot;
        connect(save, &QPushButton::clicked, this, [this, plot] { RunGuarded(this, [this, plot] { SavePlotClick(plot); }); });
        column->addWidget(save, 0, Qt::AlignLeft);
        grid->addLayout(column, p.row, p.column, 1, p.columnSpan);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    ShowNothing();
    resize(1240, 740);
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
    Fill(*latestMeasured_);
    // Measurements are kept only until they are shown: the table and plots hold them now.
    latestMeasured_.reset();
}

void TAnalysis::ShowNothing() {
    measured_.reset();
    content_->hide();
    nothingLabel_->show();
}

void TAnalysis::AddLine(QChart* chart, PlotParts& parts, QAbstractAxis* y, QLineSeries* series) {
    chart->addSeries(series);
    series->attachAxis(parts.x);
    series->attachAxis(y);
    parts.series.push_back(series);
}

QChart* TAnalysis::ChartFor(Plot plot, const Analysis& analysis, bool arcseconds) {
    PlotParts& parts = plots_[plot];
    std::vector<std::string> bands = BandNames(analysis);
    if (parts.x && parts.bands == bands && parts.arcseconds == arcseconds) return nullptr;
    parts = PlotParts{std::move(bands), arcseconds, nullptr, nullptr, {}};
    return NewChart(charts_[plot]);
}

// The radii of the bottom axis as angles on the sky along the top, when the chart is made for
// them; its range follows the bottom axis's with each result.
void TAnalysis::AddArcsecondAxis(Plot plot, QChart* chart, const PixelScale& scale) {
    PlotParts& parts = plots_[plot];
    if (!parts.arcseconds) return;
    parts.top = new QValueAxis;
    parts.top->setTitleText(tr("半径 (秒角)"));
    FollowInArcseconds(plot, scale);
    chart->addAxis(parts.top, Qt::AlignTop);
}

void TAnalysis::FollowInArcseconds(Plot plot, const PixelScale& scale) {
    const PlotParts& parts = plots_[plot];
    if (!parts.top) return;
    const double arcsecPerUm = scale.arcsec / scale.um;
    parts.top->setRange(parts.x->min() * arcsecPerUm, parts.x->max() * arcsecPerUm);
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
    nothingLabel_->hide();
    content_->show();
}

// The cells keep their items from one result to the next and take the new text: a cell whose
// text stays is not redrawn, and only a change of the bands or rows adds or drops items. The
// columns are fitted to their text again only when some text changed, as fitting redraws the
// header.
void TAnalysis::FillTable(const Analysis& analysis) {
    const std::vector<AnalysisRow> rows = AnalysisRows(analysis);
    bool changed = table_->columnCount() != static_cast<int>(analysis.bands.size()) ||
                   table_->rowCount() != static_cast<int>(rows.size());
    table_->setColumnCount(static_cast<int>(analysis.bands.size()));
    table_->setRowCount(static_cast<int>(rows.size()));
    // The item's text, set only when it differs; a cell without an item gets a new one.
    auto put = [&changed](QTableWidgetItem* item, const QString& text, auto make) {
        if (item && item->text() == text) return;
        changed = true;
        if (item) item->setText(text);
        else make(new QTableWidgetItem(text));
    };
    for (int c = 0; c < table_->columnCount(); ++c)
        put(table_->horizontalHeaderItem(c), BandName(analysis.bands[c]),
            [&](QTableWidgetItem* item) { table_->setHorizontalHeaderItem(c, item); });
    for (int r = 0; r < table_->rowCount(); ++r) {
        put(table_->verticalHeaderItem(r), QCoreApplication::translate(analysisTableContext, rows[r].caption),
            [&](QTableWidgetItem* item) { table_->setVerticalHeaderItem(r, item); });
        for (int c = 0; c < table_->columnCount(); ++c)
            put(table_->item(r, c), QString::fromStdString(rows[r].values[c]), [&](QTableWidgetItem* item) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table_->setItem(r, c, item);
            });
    }
    if (!changed) return;
    table_->resizeColumnsToContents();
    // Every row in sight: the numbers are the point of the window.
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             table_->rowCount() * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth());
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
    const double reach = RadiusReach(analysis, profileReachLambdaF, &BandMeasurements::radialRadiusUm);
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
            const QString ideal = colour ? BandName(b) + QLatin1Char(' ') + tr("エアリー") : tr("理想 (エアリー)");
            for (QLineSeries* series : {Series(measured, BandColour(b), Qt::SolidLine),
                                        Series(ideal, colour ? BandColour(b) : Qt::gray, Qt::DashLine)}) {
                AddLine(chart, parts, y, series);
            }
        }
        AddArcsecondAxis(ProfilePlot, chart, analysis.scale);
    }
    SetNiceRange(parts.x, 0, reach);
    for (size_t i = 0; i < analysis.bands.size(); ++i) {
        const BandMeasurements& b = analysis.bands[i];
        SetPoints(parts.series[2 * i], b.radialRadiusUm, b.radialProfile, parts.x->max(), profileFloor);
        SetPoints(parts.series[2 * i + 1], b.radialRadiusUm, b.airyProfile, parts.x->max(), profileFloor);
    }
    FollowInArcseconds(ProfilePlot, analysis.scale);
}

void TAnalysis::FillEncircledEnergy(const Analysis& analysis) {
    PlotParts& parts = plots_[EncircledEnergyPlot];
    const double reach = RadiusReach(analysis, energyReachLambdaF, &BandMeasurements::eeRadiusUm);
    if (QChart* chart = ChartFor(EncircledEnergyPlot, analysis, HasArcseconds(analysis.scale))) {
        parts.x = ValueAxis(tr("半径 (µm)"), 0, reach);
        auto* y = ValueAxis(tr("全エネルギーに対する割合"), 0, 1);
        chart->addAxis(parts.x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        const bool colour = analysis.bands.size() > 1;
        for (const BandMeasurements& b : analysis.bands) {
            QLineSeries* series = Series(colour ? BandName(b) : tr("計算"), BandColour(b), Qt::SolidLine);
            AddLine(chart, parts, y, series);
        }
        AddArcsecondAxis(EncircledEnergyPlot, chart, analysis.scale);
        chart->legend()->setVisible(colour);
    }
    SetNiceRange(parts.x, 0, reach);
    for (size_t i = 0; i < analysis.bands.size(); ++i)
        SetPoints(parts.series[i], analysis.bands[i].eeRadiusUm, analysis.bands[i].eeFraction, parts.x->max());
    FollowInArcseconds(EncircledEnergyPlot, analysis.scale);
}

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
            const QString prefix = colour ? BandName(b) + QLatin1Char(' ') : QString();
            const QColor idealColour = colour ? BandColour(b) : QColor(Qt::gray);
            for (QLineSeries* series : {Series(prefix + tr("x 方向"), BandColour(b), Qt::SolidLine),
                                        Series(prefix + tr("y 方向"), BandColour(b), Qt::DashLine),
                                        Series(prefix + tr("理想 (遮蔽なし)"), idealColour, Qt::DotLine)}) {
                AddLine(chart, parts, y, series);
            }
        }
    }
    SetNiceRange(parts.x, 0, reach);
    for (size_t i = 0; i < analysis.bands.size(); ++i) {
        const BandMeasurements& b = analysis.bands[i];
        size_t k = 3 * i;
        for (const std::vector<double>* values : {&b.mtfX, &b.mtfY, &b.mtfIdeal})
            SetPoints(parts.series[k++], b.mtfFreqCycPerMm, *values, parts.x->max());
    }
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
