#include "QtTestSupport.h"
#include "TestSupport.h"
#include "cZip.h"
#include "frmEncryption.h"
#include "frmOverwrite.h"
#include "frmPassword.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using qtsupport::Answer;
using qtsupport::Child;

// Each row of prompts.txt: a prompt shown modally, answered, and what it hands on.
TEST(Prompts, AnswersFramesAndControls) {
    for (const auto &cells : testsupport::ReadTable(TESK_TEST_DATA "/prompts.txt", "|")) {
        QStringList row;
        for (const std::string &cell : cells) row << QString::fromStdString(cell);
        SCOPED_TRACE(row.join('|').toStdString());
        const bool overwrite = row.value(0) == QStringLiteral("overwrite");
        const QString typed = row.value(2).mid(1).chopped(row.value(2).isEmpty() ? 0 : 1);
        const Answer answer{row.value(1) == "yes", typed, row.value(3), row.value(4), row.value(5)};
        frmOverwrite overwritePrompt;
        frmPassword passwordPrompt;
        QDialog &prompt = overwrite ? static_cast<QDialog &>(overwritePrompt) : passwordPrompt;
        overwritePrompt.TheCaption(QStringLiteral("Do you want to overwrite readme.txt?"));
        qtsupport::ModalScript script({[&](QWidget *w) {
            EXPECT_EQ(w->focusWidget(), Child(w, overwrite ? "cmdYes" : "txtPass"));
            qtsupport::Play(w, answer);
        }});
        prompt.exec();
        EXPECT_EQ(overwrite ? QString::number(overwritePrompt.Response()) +
                                  (overwritePrompt.ApplyToAll() ? " all" : "")
                            : (passwordPrompt.Cancelled() ? "cancelled \"" : "ok \"") +
                                  passwordPrompt.Password() + '"',
                  row.value(6));
    }

    // The prompts' frames and controls; the overwrite prompt shows its first caption in full
    // and keeps its size.
    cZip zip;
    std::string password;
    frmOverwrite overwrite;
    frmPassword passwordPrompt;
    frmEncryption settings(zip, password);
    const std::tuple<QWidget *, const char *, bool> windows[] = {
        {&overwrite, "File Exists", true}, {&settings, "Settings", false},
        {&passwordPrompt, "Enter password for encrypted file(s)", true}};
    for (const auto &[window, title, tool] : windows) {
        EXPECT_EQ(window->windowTitle(), QString::fromLatin1(title));
        EXPECT_EQ(window->minimumSize(), window->maximumSize());
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMinMaxButtonsHint);
        EXPECT_EQ((window->windowFlags() & Qt::Tool) == Qt::Tool, tool) << title;
    }
    auto *ok = Child<QPushButton>(&passwordPrompt, "cmdOK");
    auto *box = Child<QLineEdit>(&passwordPrompt, "txtPass");
    EXPECT_EQ(ok->text(), QStringLiteral("Ok"));
    EXPECT_EQ(box->nextInFocusChain(), ok);
    EXPECT_EQ(ok->nextInFocusChain(), Child(&passwordPrompt, "cmdCancel"));
    EXPECT_GT(ok->x(), Child(&passwordPrompt, "cmdCancel")->x());
    EXPECT_EQ(std::tuple(ok->isDefault(), Child<QPushButton>(&overwrite, "cmdNo")->isDefault(),
                         box->echoMode(), box->testAttribute(Qt::WA_InputMethodEnabled)),
              std::tuple(false, true, QLineEdit::Password, false));
    EXPECT_EQ(Child(&overwrite, "cmdYes")->nextInFocusChain(), Child(&overwrite, "cmdNo"));

    const QString caption = "Do you want to overwrite " + QString(300, 'x') + '?';
    overwrite.TheCaption(caption);
    const QSize size = overwrite.size();
    overwrite.show();
    overwrite.TheCaption(QStringLiteral("later"));
    auto *label = Child<QLabel>(&overwrite, "lblCaption");
    EXPECT_EQ(label->text(), caption);
    EXPECT_EQ(overwrite.size(), size);
    EXPECT_EQ(label->width(), (4995 * overwrite.logicalDpiX() + 720) / 1440);
    overwrite.close();
}

