#include "panels/Maskdisplay.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <cstring>

#include "files/UserMaskFile.h"
#include "ui/Dialogs.h"

namespace velmora {

TMaskDis::TMaskDis(std::function<SimulationParameters()> parameters) : parameters_(std::move(parameters)) {
    setObjectName(QStringLiteral("TMaskDis"));
    setWindowTitle(QStringLiteral("MaskDis"));
    // A mask may be 8192 pixels a side: it is shown at its own size in a scroll area.
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("MaskScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    panel1_ = new QWidget;
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFixedSize(maskDisplayInitialSize, maskDisplayInitialSize);
    scroll_->setWidget(panel1_);
    FitScrollArea(maskDisplayInitialSize, maskDisplayInitialSize);
    setCentralWidget(scroll_);
    image1_ = new PictureBox(panel1_, QStringLiteral("Image1"), 0, 0, maskDisplayInitialSize, maskDisplayInitialSize);
    SetMaskPicture(Picture24(maskDisplayInitialSize, maskDisplayInitialSize));

    QMenu* window = menuBar()->addMenu(tr("ウィンドウ(&W)"));
    window->addAction(tr("閉じる(&C)"), this, &TMaskDis::Close1Click)->setObjectName(QStringLiteral("Close1"));
    QMenu* info = menuBar()->addMenu(tr("情報(&I)"));
    info->addAction(tr("画像情報を見る(&C)"), this, &TMaskDis::C1Click)->setObjectName(QStringLiteral("C1"));
    info->addAction(tr("必要最小サイズ(&M)"), this, &TMaskDis::M1Click)->setObjectName(QStringLiteral("M1"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().x() + screen->geometry().width() / 2, y());
}

void TMaskDis::FitScrollArea(int width, int height) {
    QSize room(width, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // Room for the frame, the title and the menu bar of the window around the area.
        const QSize available = screen->availableGeometry().size() - QSize(40, 100);
        room = room.boundedTo(available.expandedTo(QSize(100, 100)));
    }
    scroll_->setFixedSize(room);
}

void TMaskDis::SetMaskPicture(const Picture24& picture) {
    mask_ = std::make_shared<const LoadedMask>(LoadedMask::From(picture));
    const LoadedMask& mask = *mask_;
    FitScrollArea(mask.width, mask.height);
    panel1_->setFixedSize(mask.width, mask.height);
    image1_->setGeometry(0, 0, mask.width, mask.height);
    if (!mask.IsGrey()) {
        image1_->SetPicture(mask.colour);
        return;
    }
    // A grey mask is shown from an 8-bit image: no 24-bit copy of a large mask is kept.
    QImage image(mask.width, mask.height, QImage::Format_Grayscale8);
    for (int y = 0; y < mask.height; ++y) std::memcpy(image.scanLine(y), mask.GreyLine(y), static_cast<size_t>(mask.width));
    image1_->SetImage(image);
}

void TMaskDis::Close1Click() { hide(); }

void TMaskDis::C1Click() {
    Dialogs().Information(this, tr("画像サイズは %1 x %2 です。").arg(mask_->width).arg(mask_->height));
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
