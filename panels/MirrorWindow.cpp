#include "panels/MirrorWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/NumberText.h"
#include "ui/NumberField.h"

namespace velmora {
namespace {

QString Number(double value) { return QString::fromStdString(FormatGeneral(value)); }

}  // namespace

TMirror::TMirror() {
    setObjectName(QStringLiteral("TMirror"));
    setWindowTitle(tr("主鏡と視野"));

    auto* group = new QGroupBox(tr("主鏡と視野"), this);
    group->setObjectName(QStringLiteral("MirrorGroup"));
    check_ = new QCheckBox(tr("主鏡の収差を加える"), group);
    check_->setObjectName(QStringLiteral("MirrorCheck"));
    auto edit = [group](const char* name) {
        auto* e = new QLineEdit(group);
        e->setObjectName(QString::fromLatin1(name));
        e->setFixedWidth(90);
        return e;
    };
    conic_ = edit("ConicEdit");
    fieldAngle_ = edit("FieldAngleEdit");
    azimuth_ = edit("AzimuthEdit");
    auto* grid = new QGridLayout(group);
    grid->addWidget(check_, 0, 0, 1, 3);
    const struct {
        QString caption;
        QLineEdit* edit;
        QString unit;
        const char* name;
    } rows[] = {
        {tr("円錐定数 K"), conic_, tr("(0 球面, -1 放物面)"), "ConicLabel"},
        {tr("視野角"), fieldAngle_, tr("分角"), "FieldAngleLabel"},
        {tr("方位角"), azimuth_, tr("度 (x 軸から y 軸へ)"), "AzimuthLabel"},
    };
    int row = 1;
    for (const auto& r : rows) {
        auto* caption = new QLabel(r.caption, group);
        caption->setObjectName(QString::fromLatin1(r.name));
        grid->addWidget(caption, row, 0);
        grid->addWidget(r.edit, row, 1);
        grid->addWidget(new QLabel(r.unit, group), row, 2);
        ++row;
    }
    grid->setColumnStretch(2, 1);

    terms_ = new QLabel(this);
    terms_->setObjectName(QStringLiteral("MirrorTermsLabel"));
    terms_->setWordWrap(true);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("MessageLabel"));
    message_->setWordWrap(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(group);
    column->addWidget(terms_);
    column->addWidget(message_);
    column->addStretch();
    setMinimumWidth(380);

    ShowValues();
    ShowTerms({}, 0);
    connect(check_, &QCheckBox::clicked, this, &TMirror::MirrorCheckClick);
    connect(conic_, &QLineEdit::textChanged, this, &TMirror::ConicEditChange);
    connect(fieldAngle_, &QLineEdit::textChanged, this, &TMirror::FieldAngleEditChange);
    connect(azimuth_, &QLineEdit::textChanged, this, &TMirror::AzimuthEditChange);
}

void TMirror::SetMirror(const MirrorAndField& mirror) {
    message_->clear();
    Take(mirror);
    ShowValues();
}

void TMirror::ShowTerms(const ZernikeSet& terms, double lambdaNm) {
    if (!mirror_.on) {
        terms_->setText(tr("切: 波面に何も加えません。"));
        return;
    }
    QStringList parts;
    for (const auto& [index, waves] : terms.coefficients)
        parts << QStringLiteral("Z%1 %2").arg(index).arg(QString::number(waves, 'f', 4));
    if (parts.isEmpty()) parts << tr("収差なし");
    terms_->setText(tr("Fringe 項 (%1 nm, 波): %2").arg(Number(lambdaNm), parts.join(QStringLiteral(", "))));
}

void TMirror::MirrorCheckClick() {
    MirrorAndField m = mirror_;
    m.on = check_->isChecked();
    Take(m);
}

void TMirror::ConicEditChange() {
    TakeValue(conic_, &MirrorAndField::conic, -maximumConicMagnitude, maximumConicMagnitude, tr("円錐定数"));
}

void TMirror::FieldAngleEditChange() {
    TakeValue(fieldAngle_, &MirrorAndField::fieldArcmin, 0, maximumFieldArcmin, tr("視野角"));
}

void TMirror::AzimuthEditChange() {
    TakeValue(azimuth_, &MirrorAndField::azimuthDeg, -maximumAzimuthMagnitude, maximumAzimuthMagnitude, tr("方位角"));
}

void TMirror::TakeValue(QLineEdit* edit, double MirrorAndField::*field, double lo, double hi, const QString& what) {
    if (filling_) return;
    MirrorAndField m = mirror_;
    if (TakeNumberField(edit, lo, hi, what, m.*field, message_)) Take(m);
}

void TMirror::Take(const MirrorAndField& mirror) {
    // Values typed while the box is off change no wavefront: no previews, no automatic run.
    const bool changesWavefront = mirror.on != mirror_.on || (mirror.on && !(mirror == mirror_));
    mirror_ = mirror;
    if (changesWavefront) emit MirrorChanged();
}

void TMirror::ShowValues() {
    filling_ = true;
    check_->setChecked(mirror_.on);
    conic_->setText(Number(mirror_.conic));
    fieldAngle_->setText(Number(mirror_.fieldArcmin));
    azimuth_->setText(Number(mirror_.azimuthDeg));
    filling_ = false;
}

}  // namespace velmora
