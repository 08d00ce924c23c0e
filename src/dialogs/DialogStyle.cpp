#include "DialogStyle.h"

#include <QGuiApplication>
#include <QScreen>

namespace dialogstyle {

void MakeFixedToolWindow(QWidget &window, QSize clientSize) {
    window.setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    window.setFixedSize(clientSize);
}

void MakeFixedWindow(QWidget &window, QSize clientSize) {
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window.setFixedSize(clientSize);
}

void CentreOnScreen(QWidget &window) {
    QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

QFont Tahoma() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    return font;
}

}  // namespace dialogstyle
