#include "files/Maskdisplay.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>

#include "files/UserMaskFile.h"
#include "ui/Dialogs.h"

namespace velmora {

TMaskDis::TMaskDis(std::function<SimulationParameters()> parameters) : parameters_(std::move(parameters)) {
    setObjectName(QStringLiteral("TMaskDis"));
    setWindowTitle(QStringLiteral("MaskDis"));
    panel1_ = new QWidget(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFixedSize(maskDisplayInitialSize, maskDisplayInitialSize);
    setCentralWidget(panel1_);
    image1_ = new PictureBox(panel1_, QStringLiteral("Image1"), 0, 0, maskDisplayInitialSize, maskDisplayInitialSize);
    image1_->SetPicture(Picture24(maskDisplayInitialSize, maskDisplayInitialSize));

    QMenu* window = menuBar()->addMenu(tr("ウィンドウ(&W)"));
    window->addAction(tr("閉じる(&C)"), this, &TMaskDis::Close1Click)->setObjectName(QStringLiteral("Close1"));
    QMenu* info = menuBar()->addMenu(tr("情報(&I)"));
    info->addAction(tr("画像情報を見る(&C)"), this, &TMaskDis::C1Click)->setObjectName(QStringLiteral("C1"));
    info->addAction(tr("必要最小サイズ(&M)"), this, &TMaskDis::M1Click)->setObjectName(QStringLiteral("M1"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().x() + screen->geometry().width() / 2, y());
}

void TMaskDis::SetMaskPicture(const Picture24& picture) {
    panel1_->setFixedSize(picture.width, picture.height);
    image1_->setGeometry(0, 0, picture.width, picture.height);
    image1_->SetPicture(picture);
}

void TMaskDis::Close1Click() { hide(); }

void TMaskDis::C1Click() {
    const Picture24& mask = image1_->Picture();
    Dialogs().Information(this, tr("画像サイズは %1 x %2 です。").arg(mask.width).arg(mask.height));
}

void TMaskDis::M1Click() {
    RunGuarded(this, [&] {
        const SimulationParameters p = parameters_();
        const int n = MinimumMaskSize(p);
        if (n <= 0) {
            Dialogs().Warning(this, tr("口径・焦点距離・波長が正の値でないため、必要最小サイズを計算できません。"));
            return;
        }
        Dialogs().Information(this, tr("現在のパラメータでユーザマスクに必要な最小画像サイズは %1 x %1 です。").arg(n));
    });
}

}  // namespace velmora
