// An image control: shows a 24-bit picture at its own pixel size, or stretched to the control
// when asked, the way the windows' image controls hold their pictures.
#pragma once

#include <QImage>
#include <QWidget>

#include "core/Picture24.h"

namespace velmora {

QImage ToQImage(const Picture24& picture);
Picture24 FromQImage(const QImage& image);  // any depth; converted to 24 bits

class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget* parent, const QString& name, int x, int y, int width, int height);

    const Picture24& Picture() const { return picture_; }
    void SetPicture(const Picture24& picture);
    // Shows an image of any format without keeping a 24-bit copy (Picture() is then empty).
    void SetImage(const QImage& image);
    void SetStretch(bool stretch) { stretch_ = stretch; update(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Picture24 picture_;
    QImage image_;
    bool stretch_ = false;
};

}  // namespace velmora
