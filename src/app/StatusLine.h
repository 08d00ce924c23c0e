// The main window's status line while work runs on the UI thread. Engine messages can come
// thousands a second; painting each one and running the window's events after each would
// cost more than the work. So a message is shown, and pending events run, at most every
// kIntervalMs; the messages between are only kept, and Flush shows the last one at once.
#pragma once

#include <QElapsedTimer>

#include <string>

class QLabel;

class StatusLine {
public:
    static constexpr qint64 kIntervalMs = 100;

    explicit StatusLine(QLabel &label) : label_(label) {}

    // Keeps sMsg as the latest message; shows it and runs pending events when due.
    void Show(const std::string &sMsg);
    // Runs pending events when due, so the window stays responsive during silent work.
    void Tick();
    // Shows the latest message now, if it is not shown yet.
    void Flush();

private:
    bool Due();

    QLabel &label_;
    std::string latest_;
    bool unshown_ = false;
    QElapsedTimer clock_;
};
