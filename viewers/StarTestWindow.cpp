#include "viewers/StarTestWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/PictureBox.h"

namespace velmora {

TStarTest::TStarTest() {
    setObjectName(QStringLiteral("TStarTest"));
    setWindowTitle(tr("スターテスト"));

    auto* intraCaption = new QLabel(tr("焦点内"), this);
    intraCaption->setObjectName(QStringLiteral("IntraCaption"));
    auto* extraCaption = new QLabel(tr("焦点外"), this);
    extraCaption->setObjectName(QStringLiteral("ExtraCaption"));
    intra_ = new PictureBox(this, QStringLiteral("IntraImage"), 0, 0, starTestPictureSize, starTestPictureSize);
    extra_ = new PictureBox(this, QStringLiteral("ExtraImage"), 0, 0, starTestPictureSize, starTestPictureSize);
    for (PictureBox* box : {intra_, extra_}) box->setFixedSize(starTestPictureSize, starTestPictureSize);

    auto* defocusCaption = new QLabel(tr("デフォーカス (P-V, 波):"), this);
    defocusCaption->setObjectName(QStringLiteral("DefocusCaption"));
    defocus_ = new QSpinBox(this);
    defocus_->setObjectName(QStringLiteral("DefocusSpin"));
    defocus_->setRange(minimumDefocusWavesPv, maximumDefocusWavesPv);
    defocus_->setValue(defaultDefocusWavesPv);
    defocusCaption->setBuddy(defocus_);
    travel_ = new QLabel(this);
    travel_->setObjectName(QStringLiteral("TravelLabel"));
    scale_ = new QLabel(this);
    scale_->setObjectName(QStringLiteral("ScaleLabel"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusLabel"));
    status_->setWordWrap(true);

    auto* pictures = new QGridLayout;
    pictures->addWidget(intraCaption, 0, 0, Qt::AlignHCenter);
    pictures->addWidget(extraCaption, 0, 1, Qt::AlignHCenter);
    pictures->addWidget(intra_, 1, 0);
    pictures->addWidget(extra_, 1, 1);
    auto* controls = new QHBoxLayout;
    controls->addWidget(defocusCaption);
    controls->addWidget(defocus_);
    controls->addSpacing(16);
    controls->addWidget(travel_);
    controls->addStretch();
    auto* column = new QVBoxLayout(this);
    column->addLayout(pictures);
    column->addLayout(controls);
    column->addWidget(scale_);
    column->addWidget(status_);
    status_->setMinimumWidth(2 * starTestPictureSize);

    connect(defocus_, &QSpinBox::valueChanged, this, [this] { emit DefocusChanged(); });
    ShowNoResult();
}

int TStarTest::Defocus() const { return defocus_->value(); }

void TStarTest::ShowNoResult() {
    intra_->SetPicture(Picture24(starTestPictureSize, starTestPictureSize));
    extra_->SetPicture(Picture24(starTestPictureSize, starTestPictureSize));
    travel_->clear();
    scale_->clear();
    status_->setText(tr("計算結果がありません。計算するとスターテストを表示します。"));
}

void TStarTest::ShowComputing() { status_->setText(tr("計算中...")); }

void TStarTest::ShowResult(const StarTestResult& result) {
    const StarTestGeometry& g = result.geometry;
    travel_->setText(tr("フォーカサー移動量: ±%1 mm").arg(g.focuserTravelMm, 0, 'f', 3));
    if (!g.fits) {
        intra_->SetPicture(Picture24(starTestPictureSize, starTestPictureSize));
        extra_->SetPicture(Picture24(starTestPictureSize, starTestPictureSize));
        scale_->clear();
        status_->setText(tr("デフォーカスした像の直径 %1 µm が計算グリッドの幅 %2 µm に収まりません。デフォーカスを小さくしてください。")
                             .arg(g.discDiameterUm, 0, 'f', 0)
                             .arg(g.gridUm, 0, 'f', 0));
        return;
    }
    intra_->SetPicture(result.intraPicture);
    extra_->SetPicture(result.extraPicture);
    scale_->setText(tr("画像の幅 %1 µm（像の直径 8Ndλ = %2 µm、波長 %3 nm）")
                        .arg(g.pictureUm, 0, 'f', 1)
                        .arg(g.discDiameterUm, 0, 'f', 1)
                        .arg(g.referenceWavelengthNm, 0, 'f', 0));
    status_->clear();
}

void TStarTest::ShowMessage(const QString& text) {
    intra_->SetPicture(Picture24(starTestPictureSize, starTestPictureSize));
    extra_->SetPicture(Picture24(starTestPictureSize, starTestPictureSize));
    travel_->clear();
    scale_->clear();
    status_->setText(text);
}

}  // namespace velmora
