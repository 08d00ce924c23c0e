#include "DialogStyle.h"

#include <QFontDatabase>
#include <QApplication>
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
    static const bool haveTahoma = QFontDatabase::hasFamily(QStringLiteral("Tahoma"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    // Without it, a condensed face keeps texts about as wide as the layout expects.
    if (!haveTahoma) font.setStretch(QFont::Condensed);
    return font;
}

QFont WindowFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    if (!QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) font.setStretch(QFont::Condensed);
    return font;
}

}  // namespace dialogstyle
