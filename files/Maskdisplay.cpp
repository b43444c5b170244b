#include "files/Maskdisplay.h"

#include <QLayout>
#include <QMenuBar>

namespace velmora {

TMaskDis::TMaskDis() {
    setObjectName(QStringLiteral("TMaskDis"));
    setWindowTitle(QStringLiteral("MaskDis"));
    panel1_ = new QWidget(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFixedSize(maskDisplayInitialSize, maskDisplayInitialSize);
    setCentralWidget(panel1_);
    image1_ = new PictureBox(panel1_, QStringLiteral("Image1"), 0, 0, maskDisplayInitialSize, maskDisplayInitialSize);
    image1_->SetPicture(Picture24(maskDisplayInitialSize, maskDisplayInitialSize));

    QMenu* window = menuBar()->addMenu(QStringLiteral("ウィンドウ(&W)"));
    window->addAction(QStringLiteral("閉じる(&C)"), this, [this] { Close1Click(); });
    QMenu* info = menuBar()->addMenu(QStringLiteral("情報(&I)"));
    info->addAction(QStringLiteral("画像情報を見る(&C)"));
    info->addAction(QStringLiteral("必要最小サイズ(&M)"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TMaskDis::SetMaskPicture(const Picture24& picture) {
    panel1_->setFixedSize(picture.width, picture.height);
    image1_->setGeometry(0, 0, picture.width, picture.height);
    image1_->SetPicture(picture);
}

void TMaskDis::Close1Click() { hide(); }

}  // namespace velmora
