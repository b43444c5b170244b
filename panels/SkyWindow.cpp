#include "panels/SkyWindow.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/NumberText.h"
#include "ui/NumberField.h"
#include "imaging/Camera.h"
#include "imaging/Sky.h"

namespace velmora {
namespace {

QString Number(double value) { return QString::fromStdString(FormatGeneral(value)); }

}  // namespace

TSky::TSky() {
    setObjectName(QStringLiteral("TSky"));
    setWindowTitle(tr("大気とカメラ"));

    auto* group = new QGroupBox(tr("大気とカメラ"), this);
    group->setObjectName(QStringLiteral("SkyGroup"));
    auto edit = [group](const char* name) {
        auto* e = new QLineEdit(group);
        e->setObjectName(QString::fromLatin1(name));
        e->setFixedWidth(90);
        return e;
    };
    seeing_ = edit("SeeingEdit");
    separation_ = edit("SeparationEdit");
    positionAngle_ = edit("PositionAngleEdit");
    deltaMag_ = edit("DeltaMagEdit");
    pixel_ = edit("PixelEdit");
    auto* grid = new QGridLayout(group);
    const struct {
        QString caption;
        QLineEdit* edit;
        QString note;
    } rows[] = {
        {tr("シーイング(″)"), seeing_, tr("500 nm での半値幅、0 は大気なし")},
        {tr("伴星の離角(″)"), separation_, tr("0 は単星")},
        {tr("伴星の位置角(°)"), positionAngle_, tr("x 軸から y 軸へ")},
        {tr("伴星の等級差"), deltaMag_, tr("0 から 15")},
        {tr("カメラの画素(µm)"), pixel_, tr("0 はカメラなし")},
    };
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(new QLabel(r.caption, group), row, 0);
        grid->addWidget(r.edit, row, 1);
        grid->addWidget(new QLabel(r.note, group), row, 2);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("MessageLabel"));
    message_->setWordWrap(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(group);
    column->addWidget(message_);
    column->addStretch();
    setMinimumWidth(420);

    ShowValues();
    connect(seeing_, &QLineEdit::textChanged, this, &TSky::SeeingEditChange);
    connect(separation_, &QLineEdit::textChanged, this, &TSky::SeparationEditChange);
    connect(positionAngle_, &QLineEdit::textChanged, this, &TSky::PositionAngleEditChange);
    connect(deltaMag_, &QLineEdit::textChanged, this, &TSky::DeltaMagEditChange);
    connect(pixel_, &QLineEdit::textChanged, this, &TSky::PixelEditChange);
}

void TSky::SetInputs(const SkyAndCamera& inputs) {
    message_->clear();
    Take(inputs);
    ShowValues();
}

void TSky::SeeingEditChange() {
    SkyAndCamera in = inputs_;
    if (TakeValue(seeing_, &in.sky.seeingArcsec, 0, maximumSeeingArcsec, tr("シーイング"))) Take(in);
}

void TSky::SeparationEditChange() {
    SkyAndCamera in = inputs_;
    if (TakeValue(separation_, &in.sky.companion.separationArcsec, 0, maximumSeparationArcsec, tr("伴星の離角"))) Take(in);
}

void TSky::PositionAngleEditChange() {
    SkyAndCamera in = inputs_;
    if (TakeValue(positionAngle_, &in.sky.companion.positionAngleDeg, -360, 360, tr("伴星の位置角"))) Take(in);
}

void TSky::DeltaMagEditChange() {
    SkyAndCamera in = inputs_;
    if (TakeValue(deltaMag_, &in.sky.companion.deltaMag, 0, maximumDeltaMag, tr("伴星の等級差"))) Take(in);
}

void TSky::PixelEditChange() {
    SkyAndCamera in = inputs_;
    if (TakeValue(pixel_, &in.pixelUm, 0, maximumCameraPixelUm, tr("カメラの画素"))) Take(in);
}

// Nothing is taken while the window fills its own boxes.
bool TSky::TakeValue(QLineEdit* edit, double* field, double lo, double hi, const QString& what) {
    return !filling_ && TakeNumberField(edit, lo, hi, what, *field, message_);
}

void TSky::Take(const SkyAndCamera& inputs) {
    const bool sky = !(inputs.sky == inputs_.sky);
    const bool camera = inputs.pixelUm != inputs_.pixelUm;
    inputs_ = inputs;
    if (sky) emit SkyChanged();
    if (camera) emit CameraChanged();
}

void TSky::ShowValues() {
    filling_ = true;
    seeing_->setText(Number(inputs_.sky.seeingArcsec));
    separation_->setText(Number(inputs_.sky.companion.separationArcsec));
    positionAngle_->setText(Number(inputs_.sky.companion.positionAngleDeg));
    deltaMag_->setText(Number(inputs_.sky.companion.deltaMag));
    pixel_->setText(Number(inputs_.pixelUm));
    filling_ = false;
    message_->clear();
}

}  // namespace velmora
