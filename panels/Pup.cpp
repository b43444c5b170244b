#include "panels/Pup.h"

#include "ui/Controls.h"

namespace velmora {

TPupil::TPupil() {
    setObjectName(QStringLiteral("TPupil"));
    setWindowTitle(QStringLiteral("Pupil"));
    setFixedSize(260, 320);
    image1_ = new PictureBox(this, QStringLiteral("Image1"), 2, 2, 256, 256);
    image1_->SetPicture(Picture24(256, 256));
    auto* close = MakeButton(this, QStringLiteral("BitBtn1"), tr("閉じる(&C)"), 92, 280, 75, 25);
    connect(close, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

void TPupil::BitBtn1Click() { hide(); }

}  // namespace velmora
