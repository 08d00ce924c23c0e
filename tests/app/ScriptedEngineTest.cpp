// The main window against the scripted stand-in of the unzip engine: what the window hands
// back to the engine for every answer of its prompts, and how it reports the engine's
// result, byte for byte.
// Before any Qt header: the stand-ins' header uses the word "slots".
#include "FakeEngines.h"

#include "AppTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QTreeView>

#include <cstring>

using namespace apptest;
using qtsupport::Child;
using qtsupport::ModalScript;

namespace {

class ScriptedEngineTest : public MainWindowTest {
protected:
    void SetUp() override { fake::Unzip() = fake::UnzipEngine{}; }
    void TearDown() override { fake::Unzip() = fake::UnzipEngine{}; }

    // Opens an archive whose listing reports two entries, the first of 3 GiB.
    void OpenListing() {
        fake::Unzip().script = [](const fake::UnzipCall &call) {
            const auto &cb = call.callbacks;
            cb.EntryCallback(2684354560ull, 3221225472ull, 83, 2004, 3, 5, 9, 7, 0,
                             "images/disk.iso", "Deflated", 0x1234, UZ_ENTRY_ENCRYPTED);
            // 33 bytes packed: not 27, as 55% of 50 would give.
            cb.EntryCallback(33, 50, 66, 2004, 3, 5, 14, 7, 31, "notes.txt", "Deflated", 1, 0);
            return 0;
        };
        OpenArchive(QStringLiteral("/archives/sample.zip"));
    }
};

TEST_F(ScriptedEngineTest, ListingShowsTrueLargeSizesAndPlus) {
    OpenListing();
    ASSERT_EQ(fake::Unzip().calls.size(), 1u);
    EXPECT_EQ(fake::Unzip().calls[0].options.ListOnly, 1);
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("disk.iso+"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("3221225472"));
    EXPECT_EQ(Cell(0, 2), QStringLiteral("2684354560"));
    EXPECT_EQ(Cell(1, 2), QStringLiteral("33"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("2004-03-05 09:07"));
    EXPECT_EQ(Cell(0, 4), QStringLiteral("images"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("notes.txt"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("2004-03-05 14:07"));
    EXPECT_EQ(Cell(1, 4), QString());
}

// Every answer of the overwrite prompt, as the engine receives it: Cancel and the close
// box answer for every later file, ticked or not.
TEST_F(ScriptedEngineTest, OverwriteReplyCodes) {
    OpenListing();
    std::vector<int32_t> replies;
    fake::Unzip().script = [&replies](const fake::UnzipCall &call) {
        for (int i = 0; i < 6; ++i) replies.push_back(call.callbacks.ReplaceCallback("dir/readme.txt"));
        return 0;
    };
    QStringList questions;
    auto answer = [&questions](const char *button, bool all) {
        return AnswerOverwrite(questions, button, all);
    };
    qtsupport::MessageSeen seen;
    ModalScript script;
    script.Then(answer("cmdYes", false)).Then(answer("cmdYes", true))
        .Then(answer("cmdNo", false)).Then(answer("cmdNo", true))
        .Then(answer("cmdCancel", false)).Then(answer(nullptr, false))
        .Then(qtsupport::AcknowledgeMessage(seen));
    chooser.folderAnswers.push_back(QStringLiteral("/dest"));
    Trigger("mnuExtract");
    EXPECT_EQ(replies, (std::vector<int32_t>{102, 103, 100, 104, 104, 104}));
    EXPECT_EQ(questions.value(0), QStringLiteral("Do you want to overwrite dir/readme.txt?"));
    EXPECT_EQ(seen.text, QStringLiteral("Done"));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

// What the extraction sets, and the prompts' password answers as the engine receives them.
TEST_F(ScriptedEngineTest, ExtractOptionsAndPasswordAnswers) {
    OpenListing();
    struct Reply {
        int32_t result;
        std::string buffer;
    };
    std::vector<Reply> replies;
    bool menusEnabledDuringCall = true;
    fake::Unzip().script = [&](const fake::UnzipCall &call) {
        menusEnabledDuringCall = window.menuBar()->isEnabled();
        for (int i = 0; i < 3; ++i) {
            if (i > 0) call.callbacks.PrintCallback("notes.txt: incorrect password", 29);
            char buffer[UZ_PASSWORD_BUFFER] = {};
            const int32_t result = call.callbacks.PasswordCallback(buffer, sizeof buffer,
                                                                  "Password:", "notes.txt");
            replies.push_back({result, std::string(buffer)});
        }
        call.callbacks.PrintCallback("last message", 12);
        return 0;
    };
    qtsupport::MessageSeen seen;
    ModalScript script;
    script
        .Then([](QWidget *w) {
            EXPECT_EQ(w->objectName(), QStringLiteral("frmPassword"));
            Child<QLineEdit>(w, "txtPass")->setText(QStringLiteral("pw 1"));
            qtsupport::Click(w, "cmdOK");
        })
        .Then([this](QWidget *w) {
            // The last attempt's fault is in view when the prompt asks again.
            EXPECT_EQ(StatusLine(), QStringLiteral("notes.txt: incorrect password"));
            qtsupport::Click(w, "cmdCancel");
        })
        .Then(qtsupport::AcknowledgeMessage(seen));
    chooser.folderAnswers.push_back(QStringLiteral("/dest"));
    Trigger("mnuExtract");

    ASSERT_EQ(fake::Unzip().calls.size(), 2u);
    const auto &call = fake::Unzip().calls[1];
    EXPECT_EQ(call.options.ListOnly, 0);
    EXPECT_EQ(call.options.CaseSensitiveFileNames, 1);
    EXPECT_EQ(call.options.PromptToOverwrite, 1);
    EXPECT_EQ(call.options.UseFolderNames, 1);
    EXPECT_EQ(call.extractFolder.value_or(""), "/dest");
    EXPECT_EQ(call.archivePath.value_or(""), "/archives/sample.zip");
    EXPECT_EQ(call.includeCount, 0);
    EXPECT_FALSE(menusEnabledDuringCall);
    EXPECT_TRUE(window.menuBar()->isEnabled());

    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0].result, 0);
    EXPECT_EQ(replies[0].buffer, "pw 1");
    EXPECT_EQ(replies[1].result, 1);  // cancelled
    EXPECT_EQ(replies[2].result, 1);  // after a cancel the binding refuses without asking
    EXPECT_EQ(StatusLine(), QStringLiteral("last message"));
    EXPECT_EQ(seen.text, QStringLiteral("Done"));
}

TEST_F(ScriptedEngineTest, EngineFailureIsReportedAsSuch) {
    OpenListing();
    // Messages faster than the status line repaints: the summary, sent last, stays.
    const std::string summary = "Done: 10 extracted, 0 skipped, 1 failed (docs/a.txt: CRC error)";
    fake::Unzip().script = [&summary](const fake::UnzipCall &call) {
        for (int i = 0; i < 5000; ++i) call.callbacks.PrintCallback("  inflating: docs/b.txt", 23);
        call.callbacks.PrintCallback(summary.c_str(), static_cast<int32_t>(summary.size()));
        return UZ_ERR_BADZIP;
    };
    qtsupport::MessageSeen seen;
    ModalScript script;
    script.Then(qtsupport::AcknowledgeMessage(seen));
    chooser.folderAnswers.push_back(QStringLiteral("/dest"));
    Trigger("mnuExtract");
    EXPECT_EQ(seen.title, QStringLiteral("Tesk"));
    EXPECT_EQ(seen.text, QStringLiteral("Extracting failed!"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(StatusLine().toStdString(), summary);
    EXPECT_EQ(Rows()->rowCount(), 0);
    EXPECT_TRUE(StoredArchivePath().isEmpty());
}

// The window cannot be closed while an engine call runs its events.
TEST_F(ScriptedEngineTest, ClosingIsRefusedDuringAnEngineCall) {
    bool closed = true;
    fake::Unzip().script = [&](const fake::UnzipCall &) {
        closed = window.close();
        return 0;
    };
    OpenArchive(QStringLiteral("/archives/sample.zip"));
    EXPECT_FALSE(closed);
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
