#include "panels/Abberation.h"

#include <QGuiApplication>
#include <algorithm>
#include <QHeaderView>
#include <QScreen>
#include <QTableWidget>

#include "core/NumberText.h"
#include "ui/Dialogs.h"
#include "ui/Controls.h"

namespace velmora {

TAbbr::TAbbr() {
    setObjectName(QStringLiteral("TAbbr"));
    setWindowTitle(tr("波面収差"));
    setFixedSize(210, 336);

    MakeLabel(this, tr("波長[nm]"), 18, 8);
    MakeLabel(this, tr("球面収差"), 78, 8);
    MakeLabel(this, tr("フォーカス"), 134, 8);

    grid_ = new QTableWidget(0, 3, this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    grid_->setGeometry(15, 26, 180, 225);
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setMinimumSectionSize(10);
    grid_->verticalHeader()->setMinimumSectionSize(10);
    for (int c = 0; c < 3; ++c) grid_->setColumnWidth(c, 58);
    grid_->verticalHeader()->setDefaultSectionSize(18);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(grid_, &QTableWidget::cellClicked, this, [this](int row, int column) { StringGrid1SelectCell(column, row); });
    connect(grid_, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { StringGrid1SelectCell(column, row); });

    MakeLabel(this, tr("入力値"), 18, 266);
    input_ = MakeEdit(this, QStringLiteral("Edit1"), QStringLiteral("0.0"), 70, 262, 81);

    auto* close = MakeButton(this, QStringLiteral("BitBtn1"), tr("閉じる"), 67, 298, 75, 25);
    connect(close, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize s = screen->size();
        move(s.width() / 2 - width() / 2 + 100, s.height() / 2 - height() / 2);
    }
}

bool TAbbr::BuildRows(const WavelengthBand& band) {
    if (band.step < 1) {
        Dialogs().Warning(this, tr("波長間隔が %1 nm のため表を作れません。波長間隔を 1 nm 以上にしてください。")
                                    .arg(band.step));
        return false;
    }
    const long long count = band.min > band.max ? 0 : WavelengthCount(band);
    if (count > maxDependenceRows) {
        Dialogs().Warning(this, tr("波長の数が多すぎるため表を作れません（%1 行）。波長範囲か波長間隔を見直してください。")
                                    .arg(count));
        return false;
    }
    grid_->clearContents();
    grid_->setRowCount(static_cast<int>(count));
    for (int k = 0; k < count; ++k) {
        const long long lambda = band.min + static_cast<long long>(k) * band.step;
        grid_->setItem(k, 0, new QTableWidgetItem(QString::number(lambda)));
        grid_->setItem(k, 1, new QTableWidgetItem(QString::fromStdString(FormatFixed(0, 2))));
        grid_->setItem(k, 2, new QTableWidgetItem(QString::fromStdString(FormatFixed(0, 2))));
    }
    emit RowsChanged();
    return true;
}

std::vector<WavelengthDependenceRow> TAbbr::Rows() const {
    std::vector<WavelengthDependenceRow> rows;
    for (int k = 0; k < grid_->rowCount(); ++k) {
        auto text = [&](int column) {
            const QTableWidgetItem* item = grid_->item(k, column);
            return item ? item->text().toStdString() : std::string();
        };
        rows.push_back({text(1), text(2)});
    }
    return rows;
}

std::vector<std::string> TAbbr::WavelengthTexts() const {
    std::vector<std::string> texts;
    for (int k = 0; k < grid_->rowCount(); ++k) {
        const QTableWidgetItem* item = grid_->item(k, 0);
        texts.push_back(item ? item->text().toStdString() : std::string());
    }
    return texts;
}

void TAbbr::SetRows(const std::vector<std::string>& wavelengths, const std::vector<WavelengthDependenceRow>& rows) {
    const size_t count = std::min<size_t>(std::max(wavelengths.size(), rows.size()), maxDependenceRows);
    grid_->clearContents();
    grid_->setRowCount(static_cast<int>(count));
    for (size_t k = 0; k < count; ++k) {
        const int r = static_cast<int>(k);
        grid_->setItem(r, 0, new QTableWidgetItem(k < wavelengths.size() ? QString::fromStdString(wavelengths[k]) : QString()));
        grid_->setItem(r, 1, new QTableWidgetItem(k < rows.size() ? QString::fromStdString(rows[k].spherical) : QString()));
        grid_->setItem(r, 2, new QTableWidgetItem(k < rows.size() ? QString::fromStdString(rows[k].focus) : QString()));
    }
    emit RowsChanged();
}

void TAbbr::StringGrid1SelectCell(int column, int row) {
    if (column < 1 || column > 2 || row < 0 || row >= grid_->rowCount()) return;
    QTableWidgetItem* item = grid_->item(row, column);
    if (!item) grid_->setItem(row, column, item = new QTableWidgetItem);
    if (item->text() == input_->text()) return;
    item->setText(input_->text());
    emit RowsChanged();
}

void TAbbr::BitBtn1Click() { hide(); }

}  // namespace velmora
