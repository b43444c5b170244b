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
    if (measured_.lock() == latest_ || latestMeasuredElsewhere_ || measuring_) return;
    while (!latestMeasured_) {
        // Held: a newer result may replace the latest while the measurements are made.
        const std::shared_ptr<const FullResult> held = latest_;
        measuring_ = true;
        std::shared_ptr<const Analysis> made;
        try {
            made = std::make_shared<const Analysis>(measure_(*held));
        } catch (...) {
            measuring_ = false;
            throw;
        }
        measuring_ = false;
        ++measuredHere_;
        if (!latest_) {
            ShowNothing();
            return;
        }
        if (measured_.lock() == latest_ || latestMeasuredElsewhere_) return;
        // A newer result that came meanwhile, with its measurements or without, goes instead.
        if (latest_ == held) latestMeasured_ = std::move(made);
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


}  // namespace velmora
