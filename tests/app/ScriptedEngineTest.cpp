// The main window over the scripted stand-in of the unzip engine: what the window shows of
// what the engine sends, byte for byte, and what it hands back for every prompt's answer.
// Before any Qt header: the stand-ins' header uses the word "slots".
#include "FakeEngines.h"

#include "AppTestSupport.h"

#include <QMenuBar>

using qtsupport::Reply;

// An archive whose listing reports two entries, the first of 3 GiB, then one extraction
// through every prompt. Cancel and the close box of the overwrite prompt
// answer for every later file, ticked or not; after a cancelled password the binding
// refuses without asking. The window cannot be closed during the call, and of thousands
// of messages the status line keeps the last.
TEST_F(WindowTest, ScriptedListingThenExtractionAnswersOptionsAndMessages) {
    fake::Unzip() = fake::UnzipEngine{};
    fake::Unzip().script = [](const fake::UnzipCall &call) {
        const auto &cb = call.callbacks;
        cb.EntryCallback(2684354560ull, 3221225472ull, 83, 2004, 3, 5, 9, 7, 0,
                         "images/disk.iso", "Deflated", 0x1234, UZ_ENTRY_ENCRYPTED);
        // 33 bytes packed: not 27, as 55% of 50 would give.
        cb.EntryCallback(33, 50, 66, 2004, 3, 5, 14, 7, 31, "notes.txt", "Deflated", 1, 0);
        return 0;
    };
    chooser.openAnswers = {QStringLiteral("/archives/sample.zip")};
    Run("mnuOpen");
    ASSERT_EQ(fake::Unzip().calls.size(), 1u);
    EXPECT_EQ(fake::Unzip().calls[0].options.ListOnly, 1);
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(Cells(0), QStringList({"disk.iso+", "3221225472", "2684354560", "2004-03-05 09:07",
                                     "images"}));
    EXPECT_EQ(Cells(1), QStringList({"notes.txt", "50", "33", "2004-03-05 14:07", ""}));

    std::vector<int32_t> replaces;
    std::vector<std::pair<int32_t, std::string>> passwords;  // the result and the text
    bool menusDuringCall = true, closedDuringCall = true;
    const std::string summary = "Done: 10 extracted, 0 skipped, 1 failed (docs/a.txt: CRC error)";
    fake::Unzip().script = [&](const fake::UnzipCall &call) {
        const auto &cb = call.callbacks;
        menusDuringCall = window.menuBar()->isEnabled();
        closedDuringCall = window.close();
        for (int i = 0; i < 6; ++i) replaces.push_back(cb.ReplaceCallback("dir/readme.txt"));
        for (int i = 0; i < 3; ++i) {
            if (i > 0) cb.PrintCallback("notes.txt: incorrect password", 29);
            char buffer[UZ_PASSWORD_BUFFER] = {};
            passwords.emplace_back(
                cb.PasswordCallback(buffer, sizeof buffer, "Password:", "notes.txt"), buffer);
        }
        for (int i = 0; i < 5000; ++i) cb.PrintCallback("  inflating: docs/b.txt", 23);
        cb.PrintCallback(summary.c_str(), static_cast<int32_t>(summary.size()));
        return UZ_ERR_BADZIP;
    };
    chooser.folderAnswers = {QStringLiteral("/dest")};
    const QStringList shown = Run(
        "mnuExtract",
        {Reply({.click = "cmdYes"}), Reply({.tick = true, .click = "cmdYes"}),
         Reply({.click = "cmdNo"}), Reply({.tick = true, .click = "cmdNo"}),
         Reply({.click = "cmdCancel"}), Reply({.click = "close"}),
         Reply({.type = "pw 1", .click = "cmdOK"}),
         [this](QWidget *w) {
             // The last attempt's fault is in view when the prompt asks again.
             EXPECT_EQ(Label("Label1"), QStringLiteral("notes.txt: incorrect password"));
             qtsupport::Play(w, {.click = "cmdCancel"});
         },
         Reply({.click = "close"})});
    EXPECT_EQ(shown, QStringList(6, "frmOverwrite: Do you want to overwrite dir/readme.txt?")
                         << "frmPassword" << "frmPassword" << "Tesk Critical: Extracting failed!");
    EXPECT_EQ(replaces, (std::vector<int32_t>{102, 103, 100, 104, 104, 104}));
    EXPECT_EQ(passwords, (decltype(passwords){{0, "pw 1"}, {1, ""}, {1, ""}}));
    ASSERT_EQ(fake::Unzip().calls.size(), 2u);
    const auto &call = fake::Unzip().calls[1];
    const UnzipOptions &o = call.options;
    EXPECT_EQ(std::tuple(o.ListOnly, o.CaseSensitiveFileNames, o.PromptToOverwrite,
                         o.UseFolderNames, call.includeCount, call.extractFolder.value_or(""),
                         call.archivePath.value_or("")),
              std::tuple(0, 1, 1, 1, 0, "/dest", "/archives/sample.zip"));
    // Menus off and closing refused during the call; the window stays, its menus back on.
    EXPECT_EQ(std::tuple(menusDuringCall, closedDuringCall, window.isVisible(),
                         window.menuBar()->isEnabled()),
              std::tuple(false, false, true, true));
    EXPECT_EQ(std::tuple(Label("Label1").toStdString(), Rows()->rowCount(), Label("lblZipFile")),
              std::tuple(summary, 0, QString()));
}
