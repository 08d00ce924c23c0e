#include "AppTestSupport.h"
#include "ZipJobProgress.h"
#include "ZipRunner.h"
#include "clsGetDirectories.h"
#include "modPublic.h"

#include <QListWidget>
#include <QMessageBox>
#include <QTreeView>
#include <QMenuBar>
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>

#include <filesystem>

using namespace apptest;
using qtsupport::ModalScript;
using testsupport::WriteFile;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

class CompressTest : public MainWindowTest {
protected:
    void SetUp() override {
        sZipPassword.clear();
        if (!RealZipEngine()) GTEST_SKIP() << "the zip engine beside the tests is a placeholder";
    }
    void TearDown() override { sZipPassword.clear(); }

    // Compress to with the save chooser answering name; returns the closing message.
    qtsupport::MessageSeen Compress(const QString &name) {
        qtsupport::MessageSeen seen;
        ModalScript script;
        script.Then(qtsupport::AcknowledgeMessage(seen));
        chooser.saveAnswers.push_back(name);
        Trigger("mnuCompress");
        EXPECT_EQ(seen.title, QStringLiteral("Tesk"));
        return seen;
    }
    void ExpectSuccess(const qtsupport::MessageSeen &seen) {
        EXPECT_EQ(seen.text, QStringLiteral("Compressing is successfully done"));
        EXPECT_EQ(seen.icon, QMessageBox::Information);
        EXPECT_EQ(CompressList()->count(), 0);
        EXPECT_EQ(Rows()->rowCount(), 0);
    }
    void AddDirectory(const std::string &relative) {
        chooser.folderAnswers.push_back(Path(relative));
        Trigger("mnuAddDir");
    }
    void AddFiles(const std::string &folder, const QStringList &names) {
        chooser.openAnswers.push_back(
            names.size() == 1 ? Path(folder + "/" + names[0].toStdString())
                              : qtsupport::ScriptedChooser::Multiple(Path(folder), names));
        Trigger("mnuAddFiles");
    }
    void MakeFiles(const std::string &folder, std::initializer_list<const char *> names) {
        for (const char *name : names) WriteFile(tmp.path() / folder / name, name);
    }
};

TEST_F(CompressTest, DirectoryModeStoresTheChosenFolderAndEverythingBelow) {
    // Dotfiles and dot-folders are ordinary files of the tree.
    MakeFiles("data/photos", {"a.txt", "2003/x.txt", "2004/y.txt", "2004/raw/z.txt", ".env",
                              ".git/config"});
    fs::create_directories(tmp.path() / "data/photos/empty");
    AddDirectory("data/photos");

    QStringList expectedRows{Path("data/photos/")};
    for (const auto &dir : clsGetDirectories().GetDirs(tmp / "data/photos"))
        expectedRows << QString::fromStdString(dir);
    EXPECT_EQ(CompressRows(), expectedRows);
    EXPECT_EQ(CompressRows().size(), 6);
    EXPECT_TRUE(CompressList()->isVisible());
    EXPECT_EQ(chooser.folderTitles.last(), QStringLiteral("Choose directory to compress"));

    const auto seen = Compress(Path("out"));  // no extension typed: the chooser adds .zip
    ASSERT_EQ(chooser.saveRequests.size(), 1u);
    EXPECT_EQ(chooser.saveRequests[0].defaultExtension, QStringLiteral("zip"));
    EXPECT_EQ(chooser.saveRequests[0].title.value_or(QString()),
              QStringLiteral("Choose name for the compressed file"));
    ExpectSuccess(seen);

    cZip &zip = window.ZipObject();
    EXPECT_EQ(zip.BasePath(), tmp / "data/");
    EXPECT_TRUE(zip.StoreFolderNames());
    ASSERT_EQ(zip.FileSpecCount(), 6);
    for (int i = 1; i <= 6; ++i) {
        const std::string row = expectedRows[i - 1].toStdString();
        EXPECT_EQ(zip.FileSpec(i), row.substr((tmp / "data/").size()) + "*.*");
    }
    EXPECT_EQ(SortedNames(tmp / "out"),
              (Names{"photos/.env", "photos/.git/config", "photos/2003/x.txt",
                     "photos/2004/raw/z.txt", "photos/2004/y.txt", "photos/a.txt"}));
    EXPECT_FALSE(ReadZip(tmp / "out").front().encrypted);
}

TEST_F(CompressTest, FolderWithoutSubfoldersListsItselfOnly) {
    MakeFiles("leaf", {"one.txt"});
    AddDirectory("leaf");
    EXPECT_EQ(CompressRows(), QStringList{Path("leaf/")});
    ExpectSuccess(Compress(Path("leaf.zip")));
    EXPECT_EQ(SortedNames(tmp / "leaf.zip"), Names{"leaf/one.txt"});
}

TEST_F(CompressTest, FilesModeSwapsFirstAndLastAndStoresBareNames) {
    MakeFiles("f", {"a", "b", "c"});
    MakeFiles("data/photos", {"p.txt"});
    // A directory compression first: files mode must not inherit its base or folder names.
    AddDirectory("data/photos");
    ExpectSuccess(Compress(Path("first.zip")));

    const QStringList a{"a"}, ab{"a", "b"}, abc{"a", "b", "c"};
    const QStringList expected[] = {{Path("f/a")},
                                    {Path("f/b"), Path("f/a")},
                                    {Path("f/c"), Path("f/b"), Path("f/a")}};
    const QStringList *picks[] = {&a, &ab, &abc};
    for (int n = 0; n < 3; ++n) {
        AddFiles("f", *picks[n]);
        EXPECT_EQ(CompressRows(), expected[n]);
        const std::string archive = tmp / ("files" + std::to_string(n) + ".zip");
        ExpectSuccess(Compress(QString::fromStdString(archive)));
        Names names;
        for (const QString &row : expected[n]) names.push_back(row.section('/', -1).toStdString());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(SortedNames(archive), names);
        EXPECT_EQ(window.ZipObject().BasePath(), "");
        EXPECT_FALSE(window.ZipObject().StoreFolderNames());
    }
}

TEST_F(CompressTest, AddFilesAppends) {
    MakeFiles("f", {"a", "b"});
    MakeFiles("g", {"c"});
    AddFiles("f", {"a", "b"});
    AddFiles("g", {"c"});
    EXPECT_EQ(CompressRows(), QStringList({Path("f/b"), Path("f/a"), Path("g/c")}));

    // After Add Directory the folder rows stay and the list turns into files mode; a folder
    // row brings the files directly in it, named as directory mode names them.
    MakeFiles("g/sub", {"d"});
    AddDirectory("g");
    AddFiles("f", {"a"});
    EXPECT_EQ(CompressRows(), QStringList({Path("g/"), Path("g/sub/"), Path("f/a")}));
    // A cancelled Add Files changes nothing.
    chooser.openAnswers.push_back(QString());
    Trigger("mnuAddFiles");
    EXPECT_EQ(CompressList()->count(), 3);
    ExpectSuccess(Compress(Path("mixed.zip")));
    EXPECT_EQ(SortedNames(tmp / "mixed.zip"), (Names{"a", "g/c", "g/sub/d"}));

    // Any number of picked files is added.
    QStringList many;
    for (int i = 0; i < 500; ++i) {
        many << QStringLiteral("picked-file-number-%1.txt").arg(i);
        WriteFile(tmp.path() / "many" / many.last().toStdString(), "x");
    }
    AddFiles("many", many);
    EXPECT_EQ(CompressList()->count(), 500);
    ExpectSuccess(Compress(Path("many.zip")));
    EXPECT_EQ(SortedNames(tmp / "many.zip").size(), 500u);
}

TEST_F(CompressTest, TwoCompressionsEachHoldOnlyTheirOwnList) {
    MakeFiles("f", {"a", "b"});
    AddFiles("f", {"a"});
    ExpectSuccess(Compress(Path("one.zip")));
    AddFiles("f", {"b"});
    ExpectSuccess(Compress(Path("two.zip")));
    EXPECT_EQ(SortedNames(tmp / "one.zip"), Names{"a"});
    EXPECT_EQ(SortedNames(tmp / "two.zip"), Names{"b"});
    // Choosing an existing archive replaces it.
    AddFiles("f", {"b"});
    ExpectSuccess(Compress(Path("one.zip")));
    EXPECT_EQ(SortedNames(tmp / "one.zip"), Names{"b"});
}

TEST_F(CompressTest, PasswordTurnsEncryptionOnAndClearingItOff) {
    MakeFiles("f", {"a"});
    sZipPassword = "secret99";
    AddFiles("f", {"a"});
    ExpectSuccess(Compress(Path("enc.zip")));
    ASSERT_EQ(ReadZip(tmp / "enc.zip").size(), 1u);
    EXPECT_TRUE(ReadZip(tmp / "enc.zip")[0].encrypted);
    if (testsupport::HaveTool("unzip")) {
        const auto check = testsupport::Run("unzip -P secret99 -p " +
                                            testsupport::ShellQuote(tmp / "enc.zip") + " a");
        EXPECT_EQ(check.output, "a");
    }
    sZipPassword.clear();
    AddFiles("f", {"a"});
    ExpectSuccess(Compress(Path("plain.zip")));
    EXPECT_FALSE(ReadZip(tmp / "plain.zip")[0].encrypted);
}

TEST_F(CompressTest, FailedRunReportsFailureAndEmptiesTheLists) {
    MakeFiles("f", {"a"});
    AddFiles("f", {"a"});
    const auto seen = Compress(Path("no/such/folder/x.zip"));
    EXPECT_EQ(seen.text, QStringLiteral("Compressing failed!"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(CompressList()->count(), 0);
    EXPECT_EQ(Rows()->rowCount(), 0);

    // A run that fails leaves an existing archive of the chosen name as it was: a password
    // of blanks is refused by the zip object, which stops the run.
    AddFiles("f", {"a"});
    ExpectSuccess(Compress(Path("kept.zip")));
    const std::string before = testsupport::ReadFile(tmp.path() / "kept.zip");
    sZipPassword = "       ";
    MakeFiles("g", {"other"});
    AddFiles("g", {"other"});
    EXPECT_EQ(Compress(Path("kept.zip")).text, QStringLiteral("Compressing failed!"));
    EXPECT_EQ(testsupport::ReadFile(tmp.path() / "kept.zip"), before);
}

TEST_F(CompressTest, ErrorRaisedByTheZipObjectIsShownAndTheWindowLivesOn) {
    MakeFiles("data/photos", {"a.txt"});
    AddDirectory("data/photos");
    fs::remove_all(tmp.path() / "data");  // the base folder is gone before the run
    const auto seen = Compress(Path("x.zip"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_FALSE(seen.text.isEmpty());
    EXPECT_NE(seen.text, QStringLiteral("Compressing failed!"));
    EXPECT_EQ(CompressList()->count(), 0);
    EXPECT_TRUE(window.menuBar()->isEnabled());
}

TEST_F(CompressTest, MoreFoldersThanOneEngineRunTakes) {
    for (int i = 0; i < 1100; ++i)
        WriteFile(tmp.path() / "big" / ("d" + std::to_string(i)) / "f.txt", std::to_string(i));
    AddDirectory("big");
    EXPECT_EQ(CompressList()->count(), 1101);
    ExpectSuccess(Compress(Path("big.zip")));
    EXPECT_EQ(SortedNames(tmp / "big.zip").size(), 1100u);
    // The closing line counts the whole job, not its last run.
    EXPECT_TRUE(StatusLine().startsWith(QStringLiteral("total: 1100 added, 0 updated, 3290 bytes in")))
        << StatusLine().toStdString();
    EXPECT_FALSE(window.ZipObject().AllowAppend());
    size_t files = 0;
    for (const auto &entry : fs::directory_iterator(tmp.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);  // no temporary archive left beside it
}

// The runs of a long list, with small runs: all or nothing.
TEST_F(CompressTest, RunsAppendAndFailureLeavesNothing) {
    MakeFiles("f", {"a", "b", "c", "d", "e", "sub/s"});
    cZip &zip = window.ZipObject();
    const auto group = [&](std::vector<std::string> specs) {
        return std::vector<ZipGroup>{{tmp / "f/", false, std::move(specs)}};
    };
    auto groups = group({"a", "b", "nothing*", "c", "d", "e"});
    groups.push_back({tmp / "f/", true, {"sub/*.*"}});  // a group of its own base and names
    EXPECT_TRUE(ZipInRuns(zip, groups, tmp / "runs.zip", 2));
    EXPECT_EQ(SortedNames(tmp / "runs.zip"), (Names{"a", "b", "c", "d", "e", "sub/s"}));
    EXPECT_FALSE(zip.AllowAppend());

    const std::string before = testsupport::ReadFile(tmp.path() / "runs.zip");
    EXPECT_FALSE(ZipInRuns(zip, group({"x*", "y*", "z*"}), tmp / "runs.zip", 2));  // no match
    zip.Encrypt(true);  // no password is given: every run stops
    EXPECT_FALSE(ZipInRuns(zip, group({"a", "b", "c"}), tmp / "runs.zip", 2));
    zip.Encrypt(false);
    EXPECT_EQ(testsupport::ReadFile(tmp.path() / "runs.zip"), before);
    size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(tmp.path())) ++entries;
    EXPECT_EQ(entries, 2u);  // f and runs.zip
}

// Over several runs, each run's progress counts the runs before it and the whole job.
TEST(ZipJobProgress, CountsTheWholeJob) {
    struct Recorder : cZipEvents {
        std::vector<std::string> lines;
        void Progress(int32_t, const std::string &sMsg) override { lines.push_back(sMsg); }
    } recorder;
    cZip zip;
    zip.SetListener(&recorder);
    {
        ZipJobProgress job(zip, {{2, 100}, {3, 300}});
        for (const char *line : {"  1 of 2 entries (50%)", "  adding: a (deflated 5%)",
                                 "total: 2 added, 0 updated, 100 bytes in, 90 bytes out"})
            zip.RaiseProgress(line);
        job.RunEnded();
        for (const char *line : {"  2 of 3 entries (50%)",
                                 "total: 3 added, 1 updated, 300 bytes in, 200 bytes out"})
            zip.RaiseProgress(line);
        job.RunEnded();
        job.SendTotal();
    }
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{
                                  "  1 of 5 entries (12%)", "  adding: a (deflated 5%)",
                                  "  4 of 5 entries (62%)",
                                  "total: 5 added, 1 updated, 400 bytes in, 290 bytes out"}));
    EXPECT_EQ(zip.Listener(), &recorder);
}

}  // namespace

namespace {

TEST_F(CompressTest, SettingsWindowIsOneAndItsChoicesApply) {
    Trigger("mnuSettings");
    Trigger("mnuSettings");
    auto settingsWindows = [] {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += w->objectName() == QStringLiteral("frmEncryption") && w->isVisible();
        return n;
    };
    EXPECT_EQ(settingsWindows(), 1);
    QWidget *settings = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("frmEncryption") && w->isVisible()) settings = w;
    ASSERT_NE(settings, nullptr);
    EXPECT_FALSE(settings->isModal());
    qtsupport::Child<QLineEdit>(settings, "txtPass")->setText(QStringLiteral("abcdefg"));
    qtsupport::Child<QRadioButton>(settings, "optClevel0")->click();
    EXPECT_EQ(sZipPassword, "abcdefg");
    EXPECT_EQ(window.ZipObject().CompressionLevel(), 0);

    MakeFiles("f", {"a"});
    AddFiles("f", {"a"});
    ExpectSuccess(Compress(Path("set.zip")));
    const auto entries = ReadZip(tmp / "set.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].encrypted);
    EXPECT_EQ(entries[0].method, 0);
    settings->close();
    QApplication::processEvents();  // the closed window is deleted
    EXPECT_EQ(settingsWindows(), 0);
}

}  // namespace
