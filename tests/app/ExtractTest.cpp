#include "AppTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTreeView>

using namespace apptest;
using qtsupport::Child;
using qtsupport::ModalScript;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

#define REQUIRE_ENGINES() \
    if (!RealUnzipEngine()) GTEST_SKIP() << "the unzip engine beside the tests is a placeholder"

class ExtractTest : public MainWindowTest {
protected:
    // An archive of a.txt, b.txt, c.txt and sub/d.txt, opened; a destination where a, b
    // and c already exist with the content "old".
    void SetUpArchiveAndDestination() {
        MakeZip(tmp / "three.zip",
                {{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}, {"sub/d.txt", "d"}});
        for (const char *name : {"a.txt", "b.txt", "c.txt"})
            WriteFile(tmp.path() / "out" / name, "old");
        OpenArchive(Path("three.zip"));
        ASSERT_EQ(Rows()->rowCount(), 4);
        chooser.folderAnswers.push_back(Path("out"));
    }
    std::string Content(const char *name) { return ReadFile(tmp.path() / "out" / name); }

    ModalScript::Handler Answer(const char *button, bool all) {
        return AnswerOverwrite(questions, button, all);
    }
    void ExpectDoneAndClosed(const qtsupport::MessageSeen &seen) {
        EXPECT_EQ(seen.title, QStringLiteral("Tesk"));
        EXPECT_EQ(seen.text, QStringLiteral("Done"));
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
        EXPECT_EQ(Rows()->rowCount(), 0);
        EXPECT_EQ(CompressList()->count(), 0);
        EXPECT_TRUE(StoredArchivePath().isEmpty());
        EXPECT_FALSE(StatusLine().isEmpty());
        EXPECT_EQ(ReadFile(tmp.path() / "out/sub/d.txt"), "d");
    }

    QStringList questions;
};

TEST_F(ExtractTest, YesAndNoAskAgainForTheNextFile) {
    REQUIRE_ENGINES();
    SetUpArchiveAndDestination();
    qtsupport::MessageSeen seen;
    ModalScript script;
    script.Then(Answer("cmdYes", false)).Then(Answer("cmdNo", false)).Then(Answer("cmdYes", false))
        .Then(qtsupport::AcknowledgeMessage(seen));
    Trigger("mnuExtract");
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(chooser.folderTitles, QStringList{QStringLiteral("Choose destination")});
    EXPECT_EQ(questions, QStringList({"Do you want to overwrite a.txt?",
                                      "Do you want to overwrite b.txt?",
                                      "Do you want to overwrite c.txt?"}));
    EXPECT_EQ(Content("a.txt"), "new a");
    EXPECT_EQ(Content("b.txt"), "old");
    EXPECT_EQ(Content("c.txt"), "new c");
    ExpectDoneAndClosed(seen);
}

TEST_F(ExtractTest, NothingHappensWithoutAnOpenArchive) {
    ModalScript noMessages;
    Trigger("mnuExtract");
    EXPECT_TRUE(chooser.folderTitles.isEmpty());
}

class PasswordExtractTest : public MainWindowTest {
protected:
    void SetUp() override {
        if (!RealUnzipEngine()) GTEST_SKIP() << "the unzip engine beside the tests is a placeholder";
        if (!testsupport::HaveTool("zip")) GTEST_SKIP() << "zip is missing";
        WriteFile(tmp.path() / "src/notes.txt", "secret notes");
        ASSERT_EQ(testsupport::Run("cd " + testsupport::ShellQuote(tmp / "src") +
                                   " && zip -q -P pw12 ../enc.zip notes.txt").exitCode, 0);
        OpenArchive(Path("enc.zip"));
        chooser.folderAnswers.push_back(Path("out"));
    }

    // Runs Extract with the password prompt, shown prompts times, handled by answer;
    // returns the message box.
    qtsupport::MessageSeen Extract(const ModalScript::Handler &answer, int prompts = 1) {
        qtsupport::MessageSeen seen;
        ModalScript script;
        for (int i = 0; i < prompts; ++i)
            script.Then([answer](QWidget *w) {
                EXPECT_EQ(w->objectName(), QStringLiteral("frmPassword"));
                answer(w);
            });
        script.Then(qtsupport::AcknowledgeMessage(seen));
        Trigger("mnuExtract");
        EXPECT_TRUE(script.Done());
        return seen;
    }
    bool Extracted() { return std::filesystem::exists(tmp.path() / "out/notes.txt"); }
};

TEST_F(PasswordExtractTest, RightPasswordExtracts) {
    const auto seen = Extract([](QWidget *w) {
        Child<QLineEdit>(w, "txtPass")->setText(QStringLiteral("pw12"));
        qtsupport::Click(w, "cmdOK");
    });
    EXPECT_EQ(seen.text, QStringLiteral("Done"));
    EXPECT_EQ(ReadFile(tmp.path() / "out/notes.txt"), "secret notes");
}

// A refused or wrong password is an engine failure: the box says so, with the error icon.
TEST_F(PasswordExtractTest, CancelCloseBoxAndWrongPasswordReportFailure) {
    // A refusal ends the asking; a wrong password is asked for again, three times in all.
    const std::pair<ModalScript::Handler, int> answers[] = {
        {[](QWidget *w) { qtsupport::Click(w, "cmdCancel"); }, 1},
        {[](QWidget *w) { w->close(); }, 1},
        {[](QWidget *w) {
             Child<QLineEdit>(w, "txtPass")->setText(QStringLiteral("wrong"));
             qtsupport::Click(w, "cmdOK");
         },
         3},
    };
    for (const auto &[answer, prompts] : answers) {
        if (Rows()->rowCount() == 0) {
            OpenArchive(Path("enc.zip"));
            chooser.folderAnswers.push_back(Path("out"));
        }
        const auto seen = Extract(answer, prompts);
        EXPECT_EQ(seen.text, QStringLiteral("Extracting failed!"));
        EXPECT_EQ(seen.icon, QMessageBox::Critical);
        EXPECT_FALSE(Extracted());
        EXPECT_TRUE(StoredArchivePath().isEmpty());
    }
}

}  // namespace
