#include "viewers/Psf1dd.h"

#include <QLayout>
#include <QMenuBar>

#include "pupil/Controls.h"

namespace velmora {

Picture24 StretchPicture(const Picture24& source, int width, int height) {
    Picture24 target(width, height);
    if (source.empty()) return target;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(static_cast<long long>(x) * source.width / width);
            const int sy = static_cast<int>(static_cast<long long>(y) * source.height / height);
            target.SetPixel(x, y, source.Red(sx, sy), source.Green(sx, sy), source.Blue(sx, sy));
        }
    return target;
}

TPSF1D::TPSF1D() {
    setObjectName(QStringLiteral("TPSF1D"));
    setWindowTitle(QStringLiteral("PSF1D"));
    auto* panel = new QWidget(this);
    panel->setFixedSize(600, 449);
    setCentralWidget(panel);
    MakeLabel(panel, QStringLiteral("直線スケール"), 104, 8);
    MakeLabel(panel, QStringLiteral("対数スケール"), 400, 8);
    image1_ = new PictureBox(panel, QStringLiteral("Image1"), 8, 32, 256, 257);
    image1_->SetPicture(Picture24(256, 257));
    image2_ = new PictureBox(panel, QStringLiteral("Image2"), 304, 32, 256, 257);
    image2_->SetPicture(Picture24(256, 257));
    QGroupBox* group = MakeGroup(panel, QStringLiteral("GroupBox1"), QStringLiteral("断面位置"), 128, 296, 297, 145);
    image3_ = new PictureBox(group, QStringLiteral("Image3"), 160, 10, thumbnailSize, thumbnailSize);
    image3_->SetPicture(Picture24(thumbnailSize, thumbnailSize));
    auto* close = MakeButton(panel, QStringLiteral("BitBtn2"), QStringLiteral("閉じる"), 464, 408, 57, 25);
    connect(close, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->addAction(QStringLiteral("データ保存(&S)"));
    file->addSeparator();
    file->addAction(QStringLiteral("閉じる(&C)"), this, [this] { BitBtn2Click(); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TPSF1D::SetThumbnail(const Picture24& display) {
    image3_->SetPicture(StretchPicture(display, thumbnailSize, thumbnailSize));
}

void TPSF1D::BitBtn2Click() { close(); }

}  // namespace velmora
