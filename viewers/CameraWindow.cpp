#include "viewers/CameraWindow.h"

#include <QImage>
#include <QLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {
namespace {

QString Fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

}  // namespace

TCamera::TCamera() {
    setObjectName(QStringLiteral("TCamera"));
    setWindowTitle(tr("カメラ像"));
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("CameraPicture"));
    picture_->setFixedSize(pictureSide, pictureSide);
    picture_->setAlignment(Qt::AlignCenter);
    figures_ = new QWidget(this);
    figures_->setObjectName(QStringLiteral("CameraFigures"));
    new QVBoxLayout(figures_);
    figures_->layout()->setContentsMargins(0, 0, 0, 0);
    auto* column = new QVBoxLayout(this);
    column->addWidget(picture_, 0, Qt::AlignHCenter);
    column->addWidget(figures_);
    column->addStretch();
    ShowNone(tr("「大気とカメラ」で画素の大きさを入れ、計算してください。"));
}

QString TCamera::Verdict(CameraSampling verdict) const {
    switch (verdict) {
    case CameraSampling::Under: return tr("アンダーサンプリング（半値幅あたり 2 画素未満）");
    case CameraSampling::Over: return tr("オーバーサンプリング（半値幅あたり 5 画素超）");
    default: return tr("適正なサンプリング（半値幅あたり 2〜5 画素）");
    }
}

void TCamera::ShowNone(const QString& why) {
    QPixmap blank(pictureSide, pictureSide);
    blank.fill(Qt::black);
    picture_->setPixmap(blank);
    ShowLines({why});
}

QString TCamera::FiguresText() const {
    QStringList lines;
    for (const QLabel* l : lines_) lines << l->text();
    return lines.join(QStringLiteral("\n"));
}

void TCamera::ShowLines(const QStringList& lines) {
    while (lines_.size() > static_cast<size_t>(lines.size())) {
        delete lines_.back();
        lines_.pop_back();
    }
    while (lines_.size() < static_cast<size_t>(lines.size())) {
        auto* label = new QLabel(figures_);
        label->setObjectName(QStringLiteral("CameraLine%1").arg(lines_.size() + 1));
        figures_->layout()->addWidget(label);
        lines_.push_back(label);
    }
    for (int k = 0; k < lines.size(); ++k) lines_[static_cast<size_t>(k)]->setText(lines[k]);
    // The window grows to hold longer figures (a top-level window keeps the size it was shown
    // at).
    layout()->activate();
    resize(size().expandedTo(sizeHint()));
}

void TCamera::ShowImages(const std::vector<CameraImage>& images, const std::vector<std::string>& bandNames) {
    if (images.empty() || images.front().size == 0) {
        ShowNone(tr("この結果にはカメラ像がありません。"));
        return;
    }
    // The bands in red, green, blue order make a colour picture; one band a grey one.
    const Picture24 all = CameraPicture(images);
    const int size = all.width;
    const int shown = std::min(size, shownPixels);
    const int first = size / 2 - shown / 2;
    const int cell = std::max(1, pictureSide / shown);
    QImage image(shown * cell, shown * cell, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int y = 0; y < shown; ++y)
        for (int x = 0; x < shown; ++x) {
            const uint8_t* px = all.ScanLine(first + y) + 3 * (first + x);
            painter.fillRect(x * cell, y * cell, cell, cell, QColor(px[2], px[1], px[0]));
        }
    // The pixel grid, where the squares are large enough to show it.
    if (cell >= 5) {
        painter.setPen(QColor(70, 70, 70));
        for (int k = 0; k <= shown; ++k) {
            painter.drawLine(k * cell, 0, k * cell, shown * cell);
            painter.drawLine(0, k * cell, shown * cell, k * cell);
        }
    }
    painter.end();
    picture_->setPixmap(QPixmap::fromImage(image));

    QStringList lines;
    const CameraImage& c = images.front();
    lines << tr("画素 %1 µm = %2″/画素").arg(Fixed(c.pixelUm, 2), Fixed(c.pixelArcsec, 3));
    lines << tr("中央 %1 × %1 画素を表示").arg(shown);
    for (size_t k = 0; k < images.size(); ++k) {
        const CameraImage& b = images[k];
        const QString name = images.size() > 1 && k < bandNames.size() ? QString::fromStdString(bandNames[k]) + QStringLiteral(": ")
                                                                         : QString();
        lines << name + tr("半値幅 %1 画素（星像 %2 画素）").arg(Fixed(b.fwhmPx, 2), Fixed(b.samplesPerFwhm, 2));
        lines << QStringLiteral("  ") + Verdict(b.verdict);
    }
    ShowLines(lines);
}

}  // namespace velmora
