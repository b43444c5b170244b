#include "panels/ZernikeWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/SaveDialog.h"
#include "files/SaveTarget.h"
#include "files/ZernikeFile.h"
#include "pupil/Previews.h"
#include "ui/Dialogs.h"
#include "ui/UserText.h"

namespace velmora {
namespace {

constexpr int indexColumn = 0;
constexpr int nameColumn = 1;
constexpr int coefficientColumn = 2;

QString ModeName(ZernikeMode mode) {
    if (const char* name = ZernikeModeName(mode)) return QCoreApplication::translate("Zernike", name);
    return QStringLiteral("n=%1, m=%2").arg(mode.n).arg(mode.m);
}

QString WavesText(double value) { return QString::fromStdString(PeakToValleyText(value)); }

}  // namespace

TZernike::TZernike() {
    setObjectName(QStringLiteral("TZernike"));
    setWindowTitle(tr("ゼルニケ係数"));

    ordering_ = new QComboBox(this);
    ordering_->setObjectName(QStringLiteral("OrderingBox"));
    ordering_->addItem(tr("Fringe (Z1〜Z37)"));
    ordering_->addItem(tr("ANSI Z80.28 (j = 0〜90, RMS 正規化)"));

    grid_ = new QTableWidget(0, 3, this);
    grid_->setObjectName(QStringLiteral("ZernikeGrid"));
    grid_->setHorizontalHeaderLabels({tr("番号"), tr("名前"), tr("係数 (λ)")});
    grid_->verticalHeader()->hide();
    // Rows as high as the text, so that most of the Fringe set shows at once.
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->horizontalHeader()->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
    grid_->setColumnWidth(indexColumn, 48);
    grid_->setColumnWidth(coefficientColumn, 110);
    grid_->setMinimumSize(360, 420);

    auto* load = new QPushButton(tr("読込"), this);
    load->setObjectName(QStringLiteral("LoadButton"));
    auto* save = new QPushButton(tr("保存"), this);
    save->setObjectName(QStringLiteral("SaveButton"));
    auto* zero = new QPushButton(tr("ゼロ"), this);
    zero->setObjectName(QStringLiteral("ZeroButton"));

    peakToValley_ = new QLabel(this);
    peakToValley_->setObjectName(QStringLiteral("PeakToValleyLabel"));
    rms_ = new QLabel(this);
    rms_->setObjectName(QStringLiteral("RmsLabel"));
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("MessageLabel"));
    message_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(load);
    buttons->addWidget(save);
    buttons->addWidget(zero);
    buttons->addStretch();
    auto* figures = new QHBoxLayout;
    figures->addWidget(new QLabel(tr("波面全体（パネル＋ゼルニケ）:"), this));
    figures->addWidget(peakToValley_);
    figures->addWidget(rms_);
    figures->addStretch();
    auto* column = new QVBoxLayout(this);
    column->addWidget(ordering_);
    column->addWidget(grid_);
    column->addLayout(figures);
    column->addWidget(message_);
    column->addLayout(buttons);

    FillTable();
    ShowFigures();
    connect(load, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { LoadButtonClick(); }); });
    connect(save, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { SaveButtonClick(); }); });
    connect(zero, &QPushButton::clicked, this, &TZernike::ZeroButtonClick);
    connect(ordering_, &QComboBox::currentIndexChanged, this, &TZernike::OrderingBoxChange);
    connect(grid_, &QTableWidget::cellChanged, this, &TZernike::GridCellChanged);
}

void TZernike::ShowPanelAberrations(const Aberrations& panel) {
    panel_ = panel;
    ShowFigures();
}

void TZernike::LoadButtonClick() {
    const auto choice = Dialogs().OpenFile(this, QCoreApplication::translate("ZernikeFile", zernikeDialogFilter));
    if (!choice) return;
    const std::string path = choice->path.toStdString();
    const ZernikeFileRead read = ReadZernikeFile(path);
    if (!read.ok) {
        const QString text = tr("%1 を読み込めませんでした（%2）。前の係数のままです。")
                                 .arg(QString::fromStdString(FileNameOnly(path)), Translated(read.reason));
        ShowMessage(text);
        Dialogs().Warning(this, text);
        return;
    }
    ShowMessage({});
    TakeSet(read.set);
}

void TZernike::SaveButtonClick() {
    const auto choice = Dialogs().SaveFile(this, QCoreApplication::translate("ZernikeFile", zernikeDialogFilter));
    if (!choice) return;
    const std::string chosen = choice->path.toStdString();
    SaveToTarget(this, chosen, ChangeFileExt(chosen, zernikeExtension), ZernikeFileText(set_), ExistsQuestion,
                 WriteFailureBox::Warning);
}

void TZernike::ZeroButtonClick() {
    ShowMessage({});
    TakeSet(ZernikeSet{set_.ordering, {}});
}

void TZernike::OrderingBoxChange(int item) {
    const ZernikeOrdering ordering = item == 1 ? ZernikeOrdering::Ansi : ZernikeOrdering::Fringe;
    if (filling_ || ordering == set_.ordering) return;
    // The same wavefront in the other ordering; ANSI terms the Fringe set lacks are lost, and
    // the user says first whether that is wanted.
    std::vector<int> uncovered;
    ZernikeSet converted = ConvertZernikeSet(set_, ordering, &uncovered);
    if (!uncovered.empty() &&
        !Dialogs().Confirm(this, tr("%1 個の項は Fringe の並びにないため失われます。切り替えますか？").arg(uncovered.size()))) {
        filling_ = true;
        ordering_->setCurrentIndex(set_.ordering == ZernikeOrdering::Ansi ? 1 : 0);
        filling_ = false;
        return;
    }
    TakeSet(std::move(converted));
}

void TZernike::GridCellChanged(int row, int column) {
    if (filling_ || column != coefficientColumn) return;
    const int index = FirstZernikeIndex(set_.ordering) + row;
    const QString typed = grid_->item(row, column)->text();
    double value = 0;
    if (!ParseZernikeCoefficient(typed.toStdString(), value)) {
        ShowMessage(tr("%1 番の係数「%2」は使えません。-%3 から %3 までの数値（波）を入れてください。前の値のままです。")
                        .arg(index)
                        .arg(typed)
                        .arg(zernikeCoefficientLimit));
        FillTable();
        return;
    }
    ShowMessage({});
    ZernikeSet set = set_;
    if (value == 0) set.coefficients.erase(index);
    else set.coefficients[index] = value;
    TakeSet(std::move(set));
}

void TZernike::TakeSet(ZernikeSet set) {
    set_ = std::move(set);
    ZernikeWavefront wavefront(set_);
    filling_ = true;
    ordering_->setCurrentIndex(set_.ordering == ZernikeOrdering::Ansi ? 1 : 0);
    filling_ = false;
    FillTable();
    const bool changed = !(wavefront == wavefront_);
    wavefront_ = std::move(wavefront);
    ShowFigures();
    if (changed) emit CoefficientsChanged();
}

void TZernike::FillTable() {
    filling_ = true;
    const int first = FirstZernikeIndex(set_.ordering);
    const int last = LastZernikeIndex(set_.ordering);
    grid_->setRowCount(last - first + 1);
    for (int index = first; index <= last; ++index) {
        const int row = index - first;
        auto cell = [&](int column, const QString& text, bool editable) {
            QTableWidgetItem* item = grid_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                grid_->setItem(row, column, item);
            }
            item->setText(text);
            item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                    : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        };
        const auto found = set_.coefficients.find(index);
        const double c = found == set_.coefficients.end() ? 0.0 : found->second;
        cell(indexColumn, QString::number(index), false);
        cell(nameColumn, ModeName(ZernikeModeOf(set_.ordering, index)), false);
        cell(coefficientColumn, QString::fromStdString(ZernikeCoefficientText(c)), true);
    }
    filling_ = false;
}

void TZernike::ShowFigures() {
    Aberrations whole = panel_;
    whole.zernike = wavefront_;
    const WavefrontFigures figures = MeasureWavefront(whole);
    peakToValley_->setText(QStringLiteral("P-V ") + WavesText(figures.peakToValley));
    rms_->setText(QStringLiteral("RMS ") + WavesText(figures.rms));
}

void TZernike::ShowMessage(const QString& text) { message_->setText(text); }

}  // namespace velmora
