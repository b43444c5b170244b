#include "ui/SpinButton.h"

#include <QToolButton>
#include <algorithm>

namespace velmora {

SpinButton::SpinButton(QWidget* parent, const QString& name, SpinRange range, int position, int x, int y,
                       int width, int height)
    : QWidget(parent), min_(range.min), max_(range.max), increment_(range.increment) {
    setObjectName(name);
    setGeometry(x, y, width, height);
    up_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("up"));
    up_->setArrowType(Qt::UpArrow);
    up_->setGeometry(0, 0, width, height / 2);
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setObjectName(QStringLiteral("down"));
    down_->setArrowType(Qt::DownArrow);
    down_->setGeometry(0, height / 2, width, height - height / 2);
    down_->setAutoRepeat(true);
    connect(up_, &QToolButton::clicked, this, [this] { Step(true); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(false); });
    SetPosition(position);
}

void SpinButton::SetPosition(int position) {
    position_ = static_cast<int16_t>(std::clamp(position, std::max(min_, -32768), std::min(max_, 32767)));
}

void SpinButton::SetMax(int max) {
    max_ = std::max(max, min_);
    SetPosition(position_);
}

void SpinButton::Step(bool up) {
    SetPosition(position_ + (up ? increment_ : -increment_));
    emit clicked(up);
}

}  // namespace velmora
