#include "viewers/Psf1dd.h"

#include <QLayout>
#include <QMenuBar>
#include <algorithm>

#include "ui/SaveDialog.h"
#include "files/SaveTarget.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"
#include "ui/SpinButton.h"
#include "viewers/ArrowButton.h"
#include "viewers/Psf1.h"
#include "viewers/ScaleMarks.h"

namespace velmora {
namespace {

constexpr SpinRange magnificationRange{1, 100, 1};

// The micrometre ticks sit in the strip between the captions and the plots, in a smaller font.
constexpr int plotLefts[2] = {8, 304};
constexpr int axisTickTop = 21;
constexpr int axisTickPixels = 10;
constexpr int axisTickSpacing = 40;
// A plot column j shows scan line j, grid element j + 384: the grid centre is column 128.
constexpr int axisZeroColumn = resultSize / 2;

}  // namespace

TPSF1D::TPSF1D(const TPSF& source) : source_(source) {
    setObjectName(QStringLiteral("TPSF1D"));
    setWindowTitle(QStringLiteral("PSF1D"));
    auto* panel = new QWidget(this);
    panel->setFixedSize(600, 449);
    setCentralWidget(panel);
    MakeLabel(panel, tr("直線スケール"), 104, 8);
    MakeLabel(panel, tr("対数スケール"), 400, 8);
    image1_ = new PictureBox(panel, QStringLiteral("Image1"), 8, 32, profileWidth, profileHeight);
    image2_ = new PictureBox(panel, QStringLiteral("Image2"), 304, 32, profileWidth, profileHeight);

    const char* linearNames[5] = {"Label2", "Label3", "Label4", "Label6", "Label7"};
    for (int i = 0; i < 5; ++i)
        linearLabels_[i] = MakeLabel(panel, QString(), 272, 282 - 64 * i, QString::fromLatin1(linearNames[i]));
    for (int i = 0; i <= 8; ++i) {
        const QString caption = QString::number(i - 8) + QStringLiteral(".0");
        MakeLabel(panel, i == 8 ? QStringLiteral("0.0") : caption, i == 8 ? 570 : 564, 282 - 32 * i,
                  QStringLiteral("Label%1").arg(8 + i));
    }

    QFont tickFont = font();
    tickFont.setPixelSize(axisTickPixels);
    for (int plot = 0; plot < 2; ++plot) {
        // A line higher than the captions: "µ" comes from a fallback font whose line is taller.
        axisUnits_[plot] = MakeLabel(panel, tr("位置 (µm)"), plotLefts[plot] + 196, 7,
                                     QStringLiteral("AxisUnit%1").arg(plot + 1));
        for (int i = 0; i < maxAxisTicks; ++i) {
            QLabel* tick = MakeLabel(panel, QString(), plotLefts[plot], axisTickTop,
                                     QStringLiteral("AxisTick%1_%2").arg(plot + 1).arg(i + 1));
            tick->setFont(tickFont);
            axisTicks_[plot][i] = tick;
        }
    }

    QGroupBox* group = MakeGroup(panel, QStringLiteral("GroupBox1"), tr("断面位置"), 128, 296, 297, 145);
    label1_ = MakeLabel(group, tr("倍率 = 1"), 6, 36, QStringLiteral("Label1"));
    upDown1_ = new SpinButton(group, QStringLiteral("UpDown1"), magnificationRange, 1, 56, 24, 17, 33);
    connect(upDown1_, &SpinButton::clicked, this, [this] { UpDown1Click(); });
    label5_ = MakeLabel(group, QStringLiteral("X = 127"), 32, 80, QStringLiteral("Label5"));
    struct Move {
        const char* name;
        const char* caption;
        int x;
        void (TPSF1D::*handler)();
    };
    const Move moves[4] = {{"Button1", "<<", 16, &TPSF1D::Button1Click},
                           {"BitBtn4", "<", 32, &TPSF1D::BitBtn4Click},
                           {"BitBtn1", ">", 48, &TPSF1D::BitBtn1Click},
                           {"Button2", ">>", 64, &TPSF1D::Button2Click}};
    for (const Move& m : moves) {
        auto* button = MakeButton(group, QString::fromLatin1(m.name), QString::fromLatin1(m.caption), m.x, 104, 17, 25);
        FitArrowCaption(button);
        connect(button, &QPushButton::clicked, this, m.handler);
    }
    const char* channels[4] = {"ALL", "Red", "Green", "Blue"};
    void (TPSF1D::*radioHandlers[4])() = {&TPSF1D::RadioButton1Click, &TPSF1D::RadioButton2Click,
                                          &TPSF1D::RadioButton3Click, &TPSF1D::RadioButton4Click};
    for (int i = 0; i < 4; ++i) {
        radios_[i] = MakeRadio(group, QStringLiteral("RadioButton%1").arg(i + 1), QString::fromLatin1(channels[i]), 104,
                               32 + 24 * i, 56, 17);  // up to the thumbnail: "Green" needs it
        connect(radios_[i], &QRadioButton::clicked, this, radioHandlers[i]);
    }
    radios_[0]->setChecked(true);
    image3_ = new PictureBox(group, QStringLiteral("Image3"), 160, 10, thumbnailSize, thumbnailSize);
    image3_->SetPicture(Picture24(thumbnailSize, thumbnailSize));

    auto* close = MakeButton(panel, QStringLiteral("BitBtn5"), tr("閉じる"), 464, 408, 57, 25);
    connect(close, &QPushButton::clicked, this, &TPSF1D::BitBtn5Click);

    QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->addAction(tr("データ保存(&S)"), this, &TPSF1D::Save1Click)->setObjectName(QStringLiteral("Save1"));
    file->addSeparator();
    file->addAction(tr("閉じる(&C)"), this, &TPSF1D::Close1Click)->setObjectName(QStringLiteral("Close1"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    CentreOnScreen(this, sizeHint());
    Redraw();
}

void TPSF1D::SetThumbnail(const Picture24& display) {
    image3_->SetPicture(StretchPicture(display, thumbnailSize, thumbnailSize));
}

ProfileChannel TPSF1D::Channel() const {
    if (radios_[1]->isChecked()) return ProfileChannel::Red;
    if (radios_[2]->isChecked()) return ProfileChannel::Green;
    if (radios_[3]->isChecked()) return ProfileChannel::Blue;
    return ProfileChannel::All;
}

void TPSF1D::Redraw() {
    image3_->SetPicture(DrawThumbnail(source_.Image1()->Picture(), cutX_));
    const int k = upDown1_->Position();
    const ProfileSources sources{&source_.Image2(), &source_.Image3(), &source_.Image4()};
    ProfilePlots plots = DrawProfiles(sources, cutX_, k, source_.ColourMode(), Channel());
    image1_->SetPicture(plots.linear);
    image2_->SetPicture(plots.logarithmic);
    label5_->setText(QStringLiteral("X = %1").arg(cutX_));
    label5_->adjustSize();
    const double fractions[5] = {0, 0.25, 0.5, 0.75, 1};
    for (int i = 0; i < 5; ++i) {
        linearLabels_[i]->setText(QString::fromStdString(LinearAxisLabel(fractions[i], k)));
        linearLabels_[i]->adjustSize();
    }
    ShowAxis();
}

// The ticks follow the pitch of the result the plots were drawn from; none before a calculation.
void TPSF1D::ShowAxis() {
    const std::optional<PixelScale> scale = source_.Scale();
    const std::vector<AxisTick> ticks =
        scale ? AxisTicksFor(scale->um, resultSize, axisZeroColumn, axisTickSpacing, 0) : std::vector<AxisTick>{};
    for (int plot = 0; plot < 2; ++plot) {
        axisUnits_[plot]->setVisible(!ticks.empty());
        size_t shown = 0;
        for (const AxisTick& t : ticks) {
            if (shown == axisTicks_[plot].size()) break;
            QLabel* label = axisTicks_[plot][shown];
            label->setText(QString::fromStdString(RoundLengthText(t.valueUm)));
            label->adjustSize();
            // Centred over its column, and whole inside the plot's width or not at all.
            const int left = plotLefts[plot] + t.pixel - label->width() / 2;
            if (left < plotLefts[plot] || left + label->width() > plotLefts[plot] + resultSize) continue;
            label->move(left, axisTickTop);
            label->show();
            ++shown;
        }
        for (size_t i = shown; i < axisTicks_[plot].size(); ++i) axisTicks_[plot][i]->hide();
    }
}

// A step that would leave the image stops at its edge.
void TPSF1D::MoveCut(int step) {
    cutX_ = std::clamp(cutX_ + step, 0, profileColumns - 1);
    Redraw();
}

void TPSF1D::Button1Click() { MoveCut(-4); }
void TPSF1D::BitBtn4Click() { MoveCut(-1); }
void TPSF1D::BitBtn1Click() { MoveCut(1); }
void TPSF1D::Button2Click() { MoveCut(4); }

void TPSF1D::UpDown1Click() {
    label1_->setText(QStringLiteral("k = %1").arg(upDown1_->Position()));
    label1_->adjustSize();
    Redraw();
}

void TPSF1D::RadioButton1Click() { Redraw(); }
void TPSF1D::RadioButton2Click() { Redraw(); }
void TPSF1D::RadioButton3Click() { Redraw(); }
void TPSF1D::RadioButton4Click() { Redraw(); }

void TPSF1D::Save1Click() {
    const auto choice = Dialogs().SaveFile(this, tr("テキストデータ|*.txt"));
    if (!choice || choice->filterIndex != 1) return;
    // The column the plots show, read from the monochrome image (the green band in colour).
    const std::string text = ProfileText(source_.Image3(), cutX_);
    const std::string chosen = choice->path.toStdString();
    SaveToTarget(this, chosen, ChangeFileExt(chosen, ".txt"), text, ExistsQuestion, WriteFailureBox::Error);
}

void TPSF1D::BitBtn5Click() { close(); }
void TPSF1D::Close1Click() { close(); }

}  // namespace velmora
