// Window shapes and fonts shared by the dialogs.
#pragma once

#include <QFont>
#include <QWidget>

namespace dialogstyle {

// A small caption bar with only a close box; the window keeps the given client size.
void MakeFixedToolWindow(QWidget &window, QSize clientSize);
// A single fixed border with a close box and no minimise or maximise box.
void MakeFixedWindow(QWidget &window, QSize clientSize);
// Places a top-level window in the middle of the screen it is on.
void CentreOnScreen(QWidget &window);
// Tahoma 8.25 pt, or a condensed face of the default font where Tahoma is missing.
QFont Tahoma();
// The windows' own default font, for which their twip layouts are made: 8.25 pt, with the
// same fallback as Tahoma().
QFont WindowFont();

}  // namespace dialogstyle
