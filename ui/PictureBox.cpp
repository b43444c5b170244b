#include "ui/PictureBox.h"

#include <QPainter>

namespace velmora {

namespace {

// Rows of red, green, blue bytes and rows of blue, green, red bytes differ by one swap.
void CopySwappingRedAndBlue(const uint8_t* src, uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x) {
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
    }
}

}  // namespace

QImage ToQImage(const Picture24& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    for (int y = 0; y < picture.height; ++y) CopySwappingRedAndBlue(picture.ScanLine(y), image.scanLine(y), picture.width);
    return image;
}

Picture24 FromQImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    Picture24 picture(image.width(), image.height());
    for (int y = 0; y < picture.height; ++y) CopySwappingRedAndBlue(image.constScanLine(y), picture.ScanLine(y), picture.width);
    return picture;
}

PictureBox::PictureBox(QWidget* parent, const QString& name, int x, int y, int width, int height)
    : QWidget(parent) {
    setObjectName(name);
    setGeometry(x, y, width, height);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureBox::SetPicture(const Picture24& picture) {
    picture_ = picture;
    image_ = ToQImage(picture_);
    update();
}

void PictureBox::SetImage(const QImage& image) {
    picture_ = Picture24();
    image_ = image;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (stretch_)
        painter.drawImage(rect(), image_);
    else
        painter.drawImage(0, 0, image_);
}

}  // namespace velmora
