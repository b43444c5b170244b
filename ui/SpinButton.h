// The spin button of the panels: a pair of arrows holding a 16-bit position within a range.
// A click on an arrow moves the position by the increment (held to the range) and emits
// `clicked`; setting the position from code emits nothing.
#pragma once

#include <QWidget>
#include <cstdint>

#include "core/SimulationParameters.h"

class QToolButton;

namespace velmora {

class SpinButton : public QWidget {
    Q_OBJECT
public:
    SpinButton(QWidget* parent, const QString& name, SpinRange range, int position, int x, int y,
               int width = 15, int height = 21);

    int Position() const { return position_; }
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Increment() const { return increment_; }
    void SetPosition(int position);  // held to the range; no click
    void SetMax(int max);            // the position follows into the new range

    // What a click on the up (true) or down arrow does.
    void Step(bool up);

signals:
    // An arrow was clicked (also at the end of the range, where the position stays).
    void clicked(bool up);

private:
    QToolButton* up_;
    QToolButton* down_;
    int16_t position_ = 0;
    int min_;
    int max_;
    int increment_;
};

}  // namespace velmora
