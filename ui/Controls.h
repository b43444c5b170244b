// Small helpers that place the standard controls at their design positions, so that every
// window reads like its design table: name, caption, left, top, width, height.
#pragma once

#include <QCheckBox>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace velmora {

inline QLabel* MakeLabel(QWidget* parent, const QString& caption, int x, int y, const QString& name = {}) {
    auto* label = new QLabel(caption, parent);
    if (!name.isEmpty()) label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

inline QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption, int x, int y, int w,
                               int h) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(x, y, w, h);
    button->setAutoDefault(false);
    return button;
}

inline QLineEdit* MakeEdit(QWidget* parent, const QString& name, const QString& text, int x, int y, int w,
                           int h = 21, bool readOnly = false) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, w, h);
    edit->setReadOnly(readOnly);
    return edit;
}

inline QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption, int x, int y, int w,
                            int h) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(name);
    group->setGeometry(x, y, w, h);
    return group;
}

inline QRadioButton* MakeRadio(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                               int w = 17, int h = 17) {
    auto* radio = new QRadioButton(caption, parent);
    radio->setObjectName(name);
    radio->setGeometry(x, y, w, h);
    return radio;
}

inline QCheckBox* MakeCheck(QWidget* parent, const QString& name, int x, int y, int w = 17, int h = 17) {
    auto* check = new QCheckBox(parent);
    check->setObjectName(name);
    check->setGeometry(x, y, w, h);
    return check;
}

// Moves a window of `size` to the middle of the screen.
inline void CentreOnScreen(QWidget* window, QSize size) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
    }
}

}  // namespace velmora
