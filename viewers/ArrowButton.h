// The viewers' arrow buttons ("<<", ">>", "||") are 17 pixels wide, made for a font whose "<" is
// half as wide as a kanji. Where the window font draws the pair wider than the space inside the
// bevel, the caption gets a smaller size of the same font instead of running over the frame.
#pragma once

#include <QFontMetrics>
#include <QPushButton>

namespace velmora {

inline void FitArrowCaption(QPushButton* button) {
    constexpr int bevel = 2;  // per side, as the standard styles draw it
    QFont font = button->font();
    int pixels = QFontInfo(font).pixelSize();
    while (pixels > 8 && QFontMetrics(font).tightBoundingRect(button->text()).width() > button->width() - 2 * bevel) {
        font.setPixelSize(--pixels);
        button->setFont(font);
    }
}

}  // namespace velmora
