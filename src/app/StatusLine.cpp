#include "StatusLine.h"

#include <QCoreApplication>
#include <QLabel>

bool StatusLine::Due() {
    if (clock_.isValid() && clock_.elapsed() < kIntervalMs) return false;
    clock_.start();
    return true;
}

void StatusLine::Show(const std::string &sMsg) {
    latest_ = sMsg;
    unshown_ = true;
    Tick();
}

void StatusLine::Tick() {
    if (!Due()) return;
    Flush();
    QCoreApplication::processEvents();
}

void StatusLine::Flush() {
    if (!unshown_) return;
    unshown_ = false;
    label_.setText(QString::fromStdString(latest_));
}
