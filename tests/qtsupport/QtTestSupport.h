// Helpers for the tests of windows: answering modal windows from a timer, and a scripted
// file chooser in place of the system's.
#pragma once

#include "FileChooser.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

namespace qtsupport {

// Answers the modal windows that open while it lives, one handler per window in order.
// A zero-delay timer looks for QApplication::activeModalWidget(); each new one is handed
// to the next handler. A modal window for which no handler is left is recorded as
// unexpected and closed, so that a faulty test fails instead of hanging.
class ModalScript {
public:
    using Handler = std::function<void(QWidget *)>;

    ModalScript();
    ~ModalScript();
    ModalScript &Then(Handler handler);

    int Answered() const { return answered_; }
    // Object names (or class names) of modal windows that found no handler.
    const QStringList &Unexpected() const { return unexpected_; }
    bool Done() const { return handlers_.empty(); }

private:
    void Poll();

    QTimer timer_;
    std::deque<Handler> handlers_;
    QPointer<QWidget> last_;
    int answered_ = 0;
    int activationTries_ = 0;
    QStringList unexpected_;
};

// Finds a child by object name; fails the running test when it is missing.
template <class T>
T *Child(QWidget *window, const char *name) {
    T *child = window ? window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    if (!child) ADD_FAILURE_AT(__FILE__, __LINE__) << "no child " << name;
    return child;
}

// Clicks a push button of a modal window by object name.
void Click(QWidget *window, const char *buttonName);
// The text and icon of a message box; the box is then closed with OK.
struct MessageSeen {
    QString title;
    QString text;
    int icon = -1;
};
ModalScript::Handler AcknowledgeMessage(MessageSeen &seen);

// A chooser that plays back prepared answers and records what it was asked.
class ScriptedChooser : public platform::FileChooser {
public:
    std::deque<QString> openAnswers, saveAnswers, folderAnswers;
    std::vector<platform::FileRequest> openRequests, saveRequests;
    QStringList folderTitles;

    QString OpenFile(const platform::FileRequest &request) override;
    QString SaveFile(const platform::FileRequest &request) override;
    QString ChooseDirectory(const QString &title) override;

    // The buffer of a multiple choice: folder, NUL, each name, NUL, and one more NUL.
    static QString Multiple(const QString &folder, const QStringList &names);
};

}  // namespace qtsupport

// Readable texts in test failures.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *out) {
    *out << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}
