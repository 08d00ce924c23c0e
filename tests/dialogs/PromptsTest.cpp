#include "QtTestSupport.h"
#include "frmOverwrite.h"
#include "frmPassword.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using qtsupport::Child;
using qtsupport::ModalScript;

namespace {

struct OverwriteOutcome {
    int response;
    bool applyToAll;
};

OverwriteOutcome RunOverwrite(const ModalScript::Handler &handler) {
    ModalScript script;
    script.Then(handler);
    frmOverwrite prompt;
    prompt.TheCaption(QStringLiteral("Do you want to overwrite readme.txt?"));
    prompt.exec();
    EXPECT_EQ(script.Answered(), 1);
    return {prompt.Response(), prompt.ApplyToAll()};
}

ModalScript::Handler Tick(bool ticked, const char *button) {
    return [ticked, button](QWidget *w) {
        Child<QCheckBox>(w, "chkAllFiles")->setChecked(ticked);
        qtsupport::Click(w, button);
    };
}

TEST(frmOverwrite, EveryWayOfClosingGivesItsAnswer) {
    struct Case {
        bool ticked;
        const char *button;
        int response;
        bool all;
    } cases[] = {
        {false, "cmdYes", 6, false}, {true, "cmdYes", 6, true},
        {false, "cmdNo", 7, false},  {true, "cmdNo", 7, true},
        {false, "cmdCancel", 2, true}, {true, "cmdCancel", 2, true},
    };
    for (const Case &c : cases) {
        const auto outcome = RunOverwrite(Tick(c.ticked, c.button));
        EXPECT_EQ(outcome.response, c.response) << c.button << c.ticked;
        EXPECT_EQ(outcome.applyToAll, c.all) << c.button << c.ticked;
    }
    // The close box, also with the box ticked.
    const auto closed = RunOverwrite([](QWidget *w) {
        Child<QCheckBox>(w, "chkAllFiles")->setChecked(true);
        w->close();
    });
    EXPECT_EQ(closed.response, 2);
    EXPECT_FALSE(closed.applyToAll);
}

TEST(frmOverwrite, KeyboardAnswers) {
    // Enter at once presses Yes, which has the focus.
    auto outcome = RunOverwrite([](QWidget *w) {
        EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(w, "cmdYes"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(outcome.response, 6);
    // With the focus on the check box Enter presses No, the default button.
    outcome = RunOverwrite([](QWidget *w) {
        auto *box = Child<QCheckBox>(w, "chkAllFiles");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(outcome.response, 7);
    // Esc is Cancel: "all files" too.
    outcome = RunOverwrite([](QWidget *w) {
        QTest::keyClick(Child<QWidget>(w, "cmdNo"), Qt::Key_Escape);
    });
    EXPECT_EQ(outcome.response, 2);
    EXPECT_TRUE(outcome.applyToAll);
    // Access keys: Alt+A ticks the box, Alt+N presses No.
    outcome = RunOverwrite([](QWidget *w) {
        QTest::keyClick(w, Qt::Key_A, Qt::AltModifier);
        QTest::keyClick(w, Qt::Key_N, Qt::AltModifier);
    });
    EXPECT_EQ(outcome.response, 7);
    EXPECT_TRUE(outcome.applyToAll);
    outcome = RunOverwrite([](QWidget *w) { QTest::keyClick(w, Qt::Key_Y, Qt::AltModifier); });
    EXPECT_EQ(outcome.response, 6);
    EXPECT_FALSE(outcome.applyToAll);
}

TEST(frmOverwrite, LayoutAndCaption) {
    frmOverwrite prompt;
    EXPECT_TRUE(Child<QPushButton>(&prompt, "cmdNo")->isDefault());
    const QString longName = QStringLiteral("Do you want to overwrite ") +
                             QString(300, QLatin1Char('x')) + QLatin1Char('?');
    prompt.TheCaption(longName);
    const QSize size = prompt.size();
    prompt.show();
    prompt.TheCaption(QStringLiteral("later"));  // the label keeps the first caption
    auto *label = Child<QLabel>(&prompt, "lblCaption");
    EXPECT_EQ(label->text(), longName);
    EXPECT_EQ(prompt.size(), size);
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("File Exists"));
    EXPECT_TRUE(prompt.windowFlags() & Qt::Tool);
    EXPECT_FALSE(prompt.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(prompt.minimumSize(), prompt.maximumSize());
    const int dpi = prompt.logicalDpiX();
    EXPECT_EQ(label->width(), (4995 * dpi + 720) / 1440);
    EXPECT_EQ(Child<QPushButton>(&prompt, "cmdYes")->nextInFocusChain(),
              Child<QPushButton>(&prompt, "cmdNo"));
    EXPECT_EQ(prompt.Response(), 2);
    EXPECT_FALSE(prompt.ApplyToAll());
    prompt.close();
}

struct PasswordOutcome {
    bool cancelled;
    QString password;
};

PasswordOutcome RunPassword(const ModalScript::Handler &handler) {
    ModalScript script;
    script.Then(handler);
    frmPassword prompt;
    prompt.exec();
    EXPECT_EQ(script.Answered(), 1);
    return {prompt.Cancelled(), prompt.Password()};
}

TEST(frmPassword, ValuesForEveryWayOfClosing) {
    auto outcome = RunPassword([](QWidget *w) { qtsupport::Click(w, "cmdOK"); });
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.password, QString());

    outcome = RunPassword([](QWidget *w) {
        auto *box = Child<QLineEdit>(w, "txtPass");
        EXPECT_TRUE(box->text().isEmpty());  // every prompt starts empty
        QTest::keyClicks(box, QStringLiteral("  se cret "));
        qtsupport::Click(w, "cmdOK");
    });
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.password, QStringLiteral("  se cret "));

    outcome = RunPassword([](QWidget *w) {
        QTest::keyClicks(Child<QLineEdit>(w, "txtPass"), QStringLiteral("typed"));
        qtsupport::Click(w, "cmdCancel");
    });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.password, QString());

    outcome = RunPassword([](QWidget *w) {
        QTest::keyClicks(Child<QLineEdit>(w, "txtPass"), QStringLiteral("typed"));
        w->close();
    });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.password, QString());
}

TEST(frmPassword, EnterAndEscInTheBoxDoNothing) {
    auto outcome = RunPassword([](QWidget *w) {
        auto *box = Child<QLineEdit>(w, "txtPass");
        EXPECT_EQ(QApplication::focusWidget(), box);
        EXPECT_EQ(box->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(box->testAttribute(Qt::WA_InputMethodEnabled));
        QTest::keyClicks(box, QStringLiteral("pw"));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible());
        // Enter on a focused button presses it; Esc on it does not.
        auto *cancel = Child<QPushButton>(w, "cmdCancel");
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible());
        auto *ok = Child<QPushButton>(w, "cmdOK");
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Return);
    });
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.password, QStringLiteral("pw"));
}

TEST(frmPassword, Layout) {
    frmPassword prompt;
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("Enter password for encrypted file(s)"));
    EXPECT_TRUE(prompt.windowFlags() & Qt::Tool);
    EXPECT_EQ(prompt.minimumSize(), prompt.maximumSize());
    auto *box = Child<QLineEdit>(&prompt, "txtPass");
    auto *ok = Child<QPushButton>(&prompt, "cmdOK");
    EXPECT_EQ(ok->text(), QStringLiteral("Ok"));
    EXPECT_EQ(box->nextInFocusChain(), ok);
    EXPECT_EQ(ok->nextInFocusChain(), Child<QPushButton>(&prompt, "cmdCancel"));
    EXPECT_GT(ok->x(), Child<QPushButton>(&prompt, "cmdCancel")->x());
    EXPECT_FALSE(ok->isDefault());
}

}  // namespace
