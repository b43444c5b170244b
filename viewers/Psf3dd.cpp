#include "viewers/Psf3dd.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QScrollBar>
#include <QTimer>

#include "ui/Controls.h"
#include "viewers/ArrowButton.h"
#include "viewers/PictureExport.h"
#include "viewers/Psf1.h"
#include "viewers/ResultRenderers.h"

namespace velmora {
namespace {

constexpr int openingAngle = 30;

}  // namespace

TPSF3D::TPSF3D(const TPSF& source) : source_(source) {
    setObjectName(QStringLiteral("TPSF3D"));
    setWindowTitle(QStringLiteral("PSF3D"));
    auto* panel = new QWidget(this);
    panel->setFixedSize(465, 481);
    setCentralWidget(panel);
    image1_ = new PictureBox(panel, QStringLiteral("Image1"), 11, 8, reliefWidth, reliefHeight);
    image1_->SetPicture(Picture24(reliefWidth, reliefHeight));
    auto* close = MakeButton(panel, QStringLiteral("BitBtn1"), tr("閉じる"), 104, 440, 65, 25);
    connect(close, &QPushButton::clicked, this, &TPSF3D::BitBtn1Click);

    QGroupBox* group = MakeGroup(panel, QStringLiteral("GroupBox1"), QStringLiteral("Rotation"), 240, 410, 209, 65);
    scrollBar1_ = new QScrollBar(Qt::Horizontal, group);
    scrollBar1_->setObjectName(QStringLiteral("ScrollBar1"));
    scrollBar1_->setGeometry(16, 16, 121, 17);
    scrollBar1_->setRange(0, 359);
    scrollBar1_->setSingleStep(1);
    scrollBar1_->setPageStep(5);
    scrollBar1_->setValue(openingAngle);
    connect(scrollBar1_, &QScrollBar::valueChanged, this, &TPSF3D::ScrollBar1Change);
    label1_ = MakeLabel(group, QStringLiteral("θ = 30°"), 57, 43, QStringLiteral("Label1"));
    auto* slow = MakeButton(group, QStringLiteral("Button1"), QStringLiteral(">"), 152, 16, 17, 17);
    auto* fast = MakeButton(group, QStringLiteral("Button2"), QStringLiteral(">>"), 152, 40, 17, 17);
    auto* stop = MakeButton(group, QStringLiteral("Button3"), QStringLiteral("||"), 176, 16, 17, 17);
    for (QPushButton* arrow : {slow, fast, stop}) FitArrowCaption(arrow);
    connect(slow, &QPushButton::clicked, this, &TPSF3D::Button1Click);
    connect(fast, &QPushButton::clicked, this, &TPSF3D::Button2Click);
    connect(stop, &QPushButton::clicked, this, &TPSF3D::Button3Click);

    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->addAction(tr("画像保存(&S)"), this, &TPSF3D::S1Click)->setObjectName(QStringLiteral("S1"));
    file->addSeparator();
    file->addAction(tr("閉じる(&C)"), this, &TPSF3D::Close1Click)->setObjectName(QStringLiteral("Close1"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    CentreOnScreen(this, sizeHint());

    // The timer runs for the window's whole life; in mode 0 its ticks do nothing.
    timer1_ = new QTimer(this);
    timer1_->setInterval(100);
    connect(timer1_, &QTimer::timeout, this, &TPSF3D::Timer1Timer);
    timer1_->start();
}

void TPSF3D::ShowResult(const PsfResult& result) {
    if (result.mode == ColorMode::Monochrome) image2_ = result.images.pupil;
}

int TPSF3D::Angle() const { return scrollBar1_->value(); }

void TPSF3D::Redraw() {
    const int theta = scrollBar1_->value();
    image1_->SetPicture(DrawRelief(source_.Image3(), theta));
    label1_->setText(QStringLiteral("θ = %1°").arg(theta));
    label1_->adjustSize();
}

// Sets the angle; the scroll bar's change handler redraws when it moves, otherwise this does.
void TPSF3D::TurnTo(int theta) {
    if (scrollBar1_->value() == theta) Redraw();
    else scrollBar1_->setValue(theta);
}

void TPSF3D::Open() {
    TurnTo(openingAngle);
    show();
}

void TPSF3D::ScrollBar1Change() { Redraw(); }

void TPSF3D::Button1Click() { animationMode_ = 1; }
void TPSF3D::Button2Click() { animationMode_ = 5; }
void TPSF3D::Button3Click() { animationMode_ = 0; }

void TPSF3D::Timer1Timer() {
    if (animationMode_ == 0) return;
    TurnTo(NextAnimationAngle(scrollBar1_->value(), animationMode_));
}

void TPSF3D::S1Click() { SavePictureByDialog(this, image1_->Picture()); }

void TPSF3D::BitBtn1Click() { close(); }
void TPSF3D::Close1Click() { close(); }

void TPSF3D::closeEvent(QCloseEvent* event) {
    animationMode_ = 0;
    QMainWindow::closeEvent(event);
}

}  // namespace velmora
