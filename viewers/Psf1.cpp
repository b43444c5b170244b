#include "viewers/Psf1.h"

#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>

#include "ui/Controls.h"
#include "viewers/PictureExport.h"
#include "viewers/ResultRenderers.h"
#include "viewers/ScaleMarks.h"

namespace velmora {
namespace {

// The bar under the picture fits left of the brightness group, beside the close button's row.
constexpr int scaleBarLeft = 8;
constexpr int scaleBarTop = 262;
constexpr int scaleBarMaxPixels = 140;

// A bar as long as the widget, with end marks: one screen pixel per picture pixel.
class ScaleBarWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const int mid = height() / 2;
        painter.drawLine(0, mid, width() - 1, mid);
        painter.drawLine(0, 0, 0, height() - 1);
        painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
    }
};

}  // namespace

TPSF::TPSF(std::function<bool()> isColour) : isColour_(std::move(isColour)) {
    setObjectName(QStringLiteral("TPSF"));
    setWindowTitle(QStringLiteral("PSF2D"));
    auto* panel = new QWidget(this);
    panel->setFixedSize(260, 320);
    setCentralWidget(panel);
    image1_ = new PictureBox(panel, QStringLiteral("Image1"), 2, 2, resultSize, resultSize);
    image1_->SetPicture(Picture24(resultSize, resultSize));

    auto* close = MakeButton(panel, QStringLiteral("BitBtn1"), tr("閉じる(&C)"), 48, 288, 65, 25);
    connect(close, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    QGroupBox* group = MakeGroup(panel, QStringLiteral("GroupBox1"), QStringLiteral("Brightness"), 152, 260, 97, 57);
    scrollBar1_ = new QScrollBar(Qt::Horizontal, group);
    scrollBar1_->setObjectName(QStringLiteral("ScrollBar1"));
    scrollBar1_->setGeometry(16, 16, 65, 17);
    scrollBar1_->setRange(1, 100);
    scrollBar1_->setSingleStep(1);
    scrollBar1_->setValue(5);
    label1_ = MakeLabel(group, QStringLiteral("LEVEL = 5"), 19, 37, QStringLiteral("Label1"));
    connect(scrollBar1_, &QScrollBar::valueChanged, this, [this] { ScrollBar1Change(); });

    scaleBar_ = new ScaleBarWidget(panel);
    scaleBar_->setObjectName(QStringLiteral("ScaleBar"));
    scaleLabel_ = MakeLabel(panel, QString(), scaleBarLeft, scaleBarTop + 9, QStringLiteral("ScaleLabel"));
    ShowScaleBar();

    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->addAction(tr("保存(&S)"), this, [this] { Save1Click(); })->setObjectName(QStringLiteral("Save1"));
    file->addSeparator();
    file->addAction(tr("閉じる(&C)"), this, [this] { Close1Click(); })->setObjectName(QStringLiteral("Close1"));
    file->addAction(tr("FITS保存(&F)"), this, [this] { FitsSave1Click(); })->setObjectName(QStringLiteral("FitsSave1"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

int TPSF::BrightnessLevel() const { return scrollBar1_->value(); }

void TPSF::SetBrightnessLevel(int level) { scrollBar1_->setValue(level); }

void TPSF::ShowResult(const PsfResult& result) {
    PsfResultImages shown;
    shown.image2 = std::move(image2_);
    shown.image4 = std::move(image4_);
    KeepResultImages(result, shown);
    image1_->SetPicture(shown.display);
    image2_ = std::move(shown.image2);
    image3_ = std::move(shown.image3);
    image4_ = std::move(shown.image4);
    full_ = result.full;
    ShowScaleBar();
}

std::optional<PixelScale> TPSF::Scale() const {
    if (!full_) return std::nullopt;
    return ScaleOf(*full_);
}

void TPSF::ShowScaleBar() {
    const std::optional<PixelScale> scale = Scale();
    const ScaleBar bar = scale ? ScaleBarFor(scale->um, scale->arcsec, scaleBarMaxPixels) : ScaleBar{};
    scaleBar_->setVisible(bar.pixels > 0);
    scaleLabel_->setVisible(bar.pixels > 0);
    if (bar.pixels <= 0) return;
    scaleBar_->setGeometry(scaleBarLeft, scaleBarTop, bar.pixels, 7);
    scaleLabel_->setText(QString::fromStdString(RoundLengthText(bar.lengthUm)) + QStringLiteral(" µm (") +
                         QString::number(bar.lengthArcsec, 'g', 3) + QStringLiteral("″)"));
    scaleLabel_->adjustSize();
}

void TPSF::ScrollBar1Change() {
    label1_->setText(QStringLiteral("LEVEL = %1").arg(scrollBar1_->value()));
    label1_->adjustSize();
    image1_->SetPicture(DrawBrightness(image2_, image3_, image4_, scrollBar1_->value(), ColourMode()));
}

void TPSF::Save1Click() { SavePictureByDialog(this, image1_->Picture()); }

void TPSF::FitsSave1Click() { SaveFitsByDialog(this, full_.get()); }

void TPSF::BitBtn1Click() { close(); }

void TPSF::Close1Click() { close(); }

}  // namespace velmora
