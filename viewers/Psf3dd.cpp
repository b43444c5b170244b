#include "viewers/Psf3dd.h"

#include <QLayout>
#include <QMenuBar>
#include <QScrollBar>

#include "pupil/Controls.h"

namespace velmora {

TPSF3D::TPSF3D() {
    setObjectName(QStringLiteral("TPSF3D"));
    setWindowTitle(QStringLiteral("PSF3D"));
    auto* panel = new QWidget(this);
    panel->setFixedSize(465, 481);
    setCentralWidget(panel);
    image1_ = new PictureBox(panel, QStringLiteral("Image1"), 11, 8, 445, 400);
    image1_->SetPicture(Picture24(445, 400));
    auto* close = MakeButton(panel, QStringLiteral("Button4"), QStringLiteral("閉じる"), 104, 440, 65, 25);
    connect(close, &QPushButton::clicked, this, [this] { Button4Click(); });

    QGroupBox* group = MakeGroup(panel, QStringLiteral("GroupBox1"), QStringLiteral("Rotation"), 240, 410, 209, 65);
    auto* scrollBar = new QScrollBar(Qt::Horizontal, group);
    scrollBar->setObjectName(QStringLiteral("ScrollBar1"));
    scrollBar->setGeometry(16, 16, 121, 17);
    scrollBar->setRange(0, 359);
    scrollBar->setPageStep(5);
    scrollBar->setValue(30);
    MakeLabel(group, QStringLiteral("θ = 30°"), 57, 43, QStringLiteral("Label1"));
    MakeButton(group, QStringLiteral("Button1"), QStringLiteral(">"), 152, 16, 17, 17);
    MakeButton(group, QStringLiteral("Button2"), QStringLiteral(">>"), 152, 40, 17, 17);
    MakeButton(group, QStringLiteral("Button3"), QStringLiteral("||"), 176, 16, 17, 17);

    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->addAction(QStringLiteral("画像保存(&S)"));
    file->addSeparator();
    file->addAction(QStringLiteral("閉じる(&C)"), this, [this] { Button4Click(); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TPSF3D::Button4Click() { close(); }

}  // namespace velmora
