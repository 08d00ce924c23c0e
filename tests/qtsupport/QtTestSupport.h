// Helpers for the tests of windows: modal windows answered from a timer, answers played on
// real controls, and a scripted file chooser in place of the system's.
#pragma once

#include "FileChooser.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

namespace qtsupport {

// Answers the modal windows that open while it lives, one handler per window in order,
// and records each as shown (see Describe). A modal window left without a handler fails
// the test and is closed, so that a faulty test fails instead of hanging; so does a
// handler left unused.
class ModalScript {
public:
    using Handler = std::function<void(QWidget *)>;

    explicit ModalScript(std::vector<Handler> handlers = {});
    ~ModalScript();
    void Then(Handler handler) { handlers_.push_back(std::move(handler)); }
    const QStringList &Shown() const { return shown_; }

private:
    void Poll();

    QTimer timer_;
    std::deque<Handler> handlers_;
    QPointer<QWidget> last_;
    int activationTries_ = 0;
    QStringList shown_;
};

// A modal window as a line: "TITLE ICON: TEXT" for a message box, else its object name
// and the text of its caption label, if it has one.
QString Describe(QWidget *window);

// The title, text and icon of a message box, which is then closed with OK.
struct MessageSeen {
    QString title, text;
    int icon = -1;
};
ModalScript::Handler AcknowledgeMessage(MessageSeen &seen);

// Finds a child by object name; fails the running test when it is missing.
template <class T = QWidget>
T *Child(QWidget *window, const QString &name) {
    T *child = window ? window->findChild<T *>(name) : nullptr;
    if (!child) ADD_FAILURE() << "no child " << name.toStdString();
    return child;
}

// One way of answering a window, played in this order; empty parts do nothing.
struct Answer {
    bool tick = false;  // tick the "all files" box
    QString type = {};  // typed into the password box
    QString focus = {};  // the control to focus
    QString keys = {};   // a key sequence pressed on the focused control
    QString click = {};  // a push button by name, or "close": the close box
};
void Play(QWidget *window, const Answer &answer);
inline ModalScript::Handler Reply(Answer answer) {
    return [answer](QWidget *window) { Play(window, answer); };
}

// A chooser that plays back prepared answers (none left: cancelled) and records what it
// was asked.
class ScriptedChooser : public platform::FileChooser {
public:
    using Request = platform::FileRequest;
    std::deque<QString> openAnswers, saveAnswers, folderAnswers;
    std::vector<Request> openRequests, saveRequests;
    QStringList folderTitles;

    QString OpenFile(const Request &r) override { return Next(openAnswers, openRequests, r); }
    QString SaveFile(const Request &r) override { return Next(saveAnswers, saveRequests, r); }
    QString ChooseDirectory(const QString &title) override {
        return Next(folderAnswers, folderTitles, title);
    }
    // Records what was asked and plays the next answer.
    template <class Records, class Asked>
    static QString Next(std::deque<QString> &answers, Records &records, const Asked &asked) {
        records.push_back(asked);
        const QString answer = answers.empty() ? QString() : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
    // The buffer of a multiple choice: folder, NUL, each name, NUL, and one more NUL.
    static QString Multiple(const QString &folder, const QStringList &names) {
        return folder + QChar(0) + names.join(QChar(0)) + QChar(0) + QChar(0);
    }
};

}  // namespace qtsupport

// Readable texts in test failures.
inline void PrintTo(const QString &s, std::ostream *out) { *out << '"' << s.toStdString() << '"'; }
