#include "app/Verform.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui/Controls.h"

namespace velmora {

TVer::TVer() {
    setObjectName(QStringLiteral("TVer"));
    setWindowTitle(QStringLiteral("Version"));
    setFixedSize(249, 153);
    QLabel* name = MakeLabel(this, QStringLiteral("Velmora 1 "), 72, 24, QStringLiteral("Label1"));
    QFont font = name->font();
    font.setPixelSize(16);
    font.setBold(true);
    font.setItalic(true);
    name->setFont(font);
    name->adjustSize();
    MakeLabel(this, QStringLiteral("Version 3.07"), 72, 48, QStringLiteral("Label2"));
    QPushButton* ok = MakeButton(this, QStringLiteral("Button1"), QStringLiteral("OK"), 88, 112, 73, 25);
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
    // Bottom-right corner at the centre of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize s = screen->size();
        move(s.width() / 2 - width(), s.height() / 2 - height());
    }
}

void TVer::Button1Click() { close(); }

}  // namespace velmora
