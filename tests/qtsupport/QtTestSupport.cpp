#include <gtest/gtest.h>

#include "QtTestSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace qtsupport {

ModalScript::ModalScript() {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

ModalScript::~ModalScript() {
    EXPECT_TRUE(unexpected_.isEmpty()) << "unanswered modal windows: "
                                       << unexpected_.join(QStringLiteral(", ")).toStdString();
}

ModalScript &ModalScript::Then(Handler handler) {
    handlers_.push_back(std::move(handler));
    return *this;
}

void ModalScript::Poll() {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == last_.data()) return;
    // Keyboard tests need the window active, with its focus widget set.
    if (!modal->isActiveWindow() && ++activationTries_ < 100) {
        modal->activateWindow();
        return;
    }
    activationTries_ = 0;
    last_ = modal;
    if (handlers_.empty()) {
        unexpected_ << (modal->objectName().isEmpty()
                            ? QString::fromLatin1(modal->metaObject()->className())
                            : modal->objectName());
        modal->close();
        return;
    }
    Handler handler = std::move(handlers_.front());
    handlers_.pop_front();
    ++answered_;
    handler(modal);
}

void Click(QWidget *window, const char *buttonName) {
    if (auto *button = Child<QPushButton>(window, buttonName)) button->click();
}

ModalScript::Handler AcknowledgeMessage(MessageSeen &seen) {
    return [&seen](QWidget *window) {
        auto *box = qobject_cast<QMessageBox *>(window);
        if (!box) {
            ADD_FAILURE() << "expected a message box, got "
                          << window->metaObject()->className();
            window->close();
            return;
        }
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    };
}

namespace {

QString Next(std::deque<QString> &answers) {
    if (answers.empty()) return QString();
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace

QString ScriptedChooser::OpenFile(const platform::FileRequest &request) {
    openRequests.push_back(request);
    return Next(openAnswers);
}

QString ScriptedChooser::SaveFile(const platform::FileRequest &request) {
    saveRequests.push_back(request);
    return Next(saveAnswers);
}

QString ScriptedChooser::ChooseDirectory(const QString &title) {
    folderTitles << title;
    return Next(folderAnswers);
}

QString ScriptedChooser::Multiple(const QString &folder, const QStringList &names) {
    QString buffer = folder + QChar(0);
    for (const QString &name : names) buffer += name + QChar(0);
    return buffer + QChar(0);
}

}  // namespace qtsupport
