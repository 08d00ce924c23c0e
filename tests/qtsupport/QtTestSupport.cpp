#include "QtTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPushButton>
#include <QTest>

namespace qtsupport {

ModalScript::ModalScript(std::vector<Handler> handlers)
    : handlers_(handlers.begin(), handlers.end()) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

ModalScript::~ModalScript() {
    EXPECT_TRUE(handlers_.empty()) << handlers_.size() << " answers left; shown: "
                                   << shown_.join(QStringLiteral(" | ")).toStdString();
}

void ModalScript::Poll() {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == last_.data()) return;
    // Keyboard answers need the window active, with its focus widget set.
    if (!modal->isActiveWindow() && ++activationTries_ < 100) {
        modal->activateWindow();
        return;
    }
    activationTries_ = 0;
    last_ = modal;
    shown_ << Describe(modal);
    if (handlers_.empty()) {
        ADD_FAILURE() << "unanswered window: " << shown_.last().toStdString();
        modal->close();
        return;
    }
    Handler handler = std::move(handlers_.front());
    handlers_.pop_front();
    handler(modal);
}

QString Describe(QWidget *window) {
    if (auto *box = qobject_cast<QMessageBox *>(window))
        return QStringLiteral("%1 %2: %3").arg(box->windowTitle(),
            QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(box->icon()), box->text());
    auto *caption = window->findChild<QLabel *>(QStringLiteral("lblCaption"));
    return window->objectName() + (caption ? QStringLiteral(": ") + caption->text() : QString());
}

ModalScript::Handler AcknowledgeMessage(MessageSeen &seen) {
    return [&seen](QWidget *window) {
        auto *box = qobject_cast<QMessageBox *>(window);
        ASSERT_NE(box, nullptr) << "not a message box: " << Describe(window).toStdString();
        seen = {box->windowTitle(), box->text(), box->icon()};
        box->button(QMessageBox::Ok)->click();
    };
}

void Play(QWidget *window, const Answer &answer) {
    if (answer.tick) Child<QCheckBox>(window, "chkAllFiles")->setChecked(true);
    if (!answer.type.isEmpty()) QTest::keyClicks(Child(window, "txtPass"), answer.type);
    if (!answer.focus.isEmpty()) Child(window, answer.focus)->setFocus();
    if (!answer.keys.isEmpty())
        QTest::keySequence(window->focusWidget() ? window->focusWidget() : window,
                           QKeySequence(answer.keys));
    if (answer.click.isEmpty()) return;
    // Keys meant to do nothing have left the window open.
    EXPECT_TRUE(window->isVisible()) << "closed before " << answer.click.toStdString();
    if (answer.click == QStringLiteral("close"))
        window->close();
    else
        Child<QPushButton>(window, answer.click)->click();
}

}  // namespace qtsupport
