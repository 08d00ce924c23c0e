#include "AppTestSupport.h"
#include "ArchiveListModel.h"
#include "EntryFormat.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QTreeView>

using namespace apptest;
using testsupport::HaveTool;
using testsupport::ShellQuote;

namespace {

#define REQUIRE_ENGINES() \
    if (!RealUnzipEngine()) GTEST_SKIP() << "the unzip engine beside the tests is a placeholder"

TEST(EntryFormat, DatesAndSeparators) {
    using entryformat::DateText;
    // 5 March 2004 is day 38051.
    EXPECT_EQ(DateText(38051 + (9 * 60 + 7) / 1440.0), QStringLiteral("2004-03-05 09:07"));
    EXPECT_EQ(DateText(38051 + (14 * 60 + 7) / 1440.0), QStringLiteral("2004-03-05 14:07"));
    EXPECT_EQ(DateText(0), QStringLiteral("1899-12-30 00:00"));
    // 23:59:59.9 rounds to the next day's midnight.
    EXPECT_EQ(DateText(38051 + 86399.9 / 86400), QStringLiteral("2004-03-06 00:00"));
    EXPECT_EQ(DateText(-1.25), QStringLiteral("1899-12-29 06:00"));
    using entryformat::CollapseDoubledSeparators;
    EXPECT_EQ(CollapseDoubledSeparators(QStringLiteral("//"), QLatin1Char('/')),
              QStringLiteral("/"));
    EXPECT_EQ(CollapseDoubledSeparators(QStringLiteral("C:\\\\"), QLatin1Char('\\')),
              QStringLiteral("C:\\"));
    EXPECT_EQ(CollapseDoubledSeparators(QStringLiteral("/data/"), QLatin1Char('/')),
              QStringLiteral("/data/"));
}

TEST_F(MainWindowTest, WindowMenusAndColumns) {
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Marvik\u00B4s Zip and Unzip utility (Beta)"));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window.windowIcon().isNull());
    const int dpi = window.logicalDpiX();
    EXPECT_EQ(window.centralWidget()->width(), (8715 * dpi + 720) / 1440);

    QStringList menus;
    for (QAction *action : window.menuBar()->actions()) {
        menus << action->text();
        if (action->text() == QStringLiteral("Settings")) {
            EXPECT_EQ(action->menu(), nullptr);
        }
    }
    EXPECT_EQ(menus, QStringList({"File", "Add", "Action", "Settings"}));
    const std::pair<const char *, const char *> items[] = {
        {"mnuOpen", "Open Zip Archive"}, {"mnuAddDir", "Add Directory"},
        {"mnuAddFiles", "Add Files"},    {"mnuExtract", "Extract to"},
        {"mnuCompress", "Compress to"},  {"mnuSettings", "Settings"}};
    for (const auto &[name, caption] : items) {
        auto *action = window.findChild<QAction *>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->text(), QString::fromLatin1(caption));
        EXPECT_TRUE(action->shortcut().isEmpty());
    }

    const int widths[] = {160, 32, 32, 96, 160};
    const char *headers[] = {"Filename", "Size", "Packed", "Modified", "Directory"};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(Rows()->headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(headers[c]));
        EXPECT_EQ(ArchiveView()->columnWidth(c), widths[c]);
    }
    EXPECT_FALSE(ArchiveView()->isVisible());
    EXPECT_FALSE(CompressList()->isVisible());
    EXPECT_FALSE(window.findChild<QLabel *>(QStringLiteral("lblZipFile"))->isVisible());
    EXPECT_TRUE(StatusLine().isEmpty());
}

TEST_F(MainWindowTest, ListsEntriesWithTheirSizesDatesAndFolders) {
    REQUIRE_ENGINES();
    const std::string big(1048576, 'a');
    MakeZip(tmp / "a.zip", {{"readme.txt", big}, {"docs/sub/late.txt", "late"}},
            {{"docs/sub/late.txt", "2004,3,5,14,7,0"}});
    OpenArchive(Path("a.zip"));

    ASSERT_EQ(chooser.openRequests.size(), 1u);
    EXPECT_EQ(chooser.openRequests[0].title.value_or(QString()), QStringLiteral("Open Zip Archive"));
    EXPECT_TRUE(ArchiveView()->isVisible());
    EXPECT_EQ(StoredArchivePath(), Path("a.zip"));
    ASSERT_EQ(Rows()->rowCount(), 2);
    cUnzip &unzip = window.UnzipObject();
    for (int row = 0; row < 2; ++row) {
        const int i = row + 1;
        EXPECT_EQ(Cell(row, 0).toStdString(), unzip.FileName(i));
        // The packed size is the archive's own, as python reads it.
        const auto packed = testsupport::RunPython(
            "import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).infolist()[int(sys.argv[2])]"
            ".compress_size)\n", testsupport::ShellQuote(tmp / "a.zip") + " " + std::to_string(row));
        EXPECT_EQ(Cell(row, 2).toStdString() + "\n", packed.output);
        EXPECT_EQ(Cell(row, 4).toStdString(), unzip.FileDirectory(i));
        EXPECT_EQ(Rows()->index(row, 0).data(ArchiveListModel::kKeyRole).toString(),
                  QStringLiteral("File%1").arg(i));
    }
    // Rows follow the archive's order, which is the entries' name order here.
    EXPECT_EQ(Cell(0, 0), QStringLiteral("late.txt"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("4"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("2004-03-05 14:07"));
    EXPECT_EQ(Cell(0, 4), QStringLiteral("docs/sub"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("readme.txt"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("1048576"));
    EXPECT_EQ(Cell(1, 3), QStringLiteral("2004-03-05 09:07"));
    EXPECT_EQ(Cell(1, 4), QStringLiteral(""));
}

TEST_F(MainWindowTest, UnreadableArchiveGivesAnEmptyViewAndNoMessage) {
    REQUIRE_ENGINES();
    testsupport::WriteFile(tmp.path() / "bad.zip", "this is no zip archive at all");
    qtsupport::ModalScript noMessages;  // any message box fails the test
    OpenArchive(Path("bad.zip"));
    EXPECT_TRUE(ArchiveView()->isVisible());
    EXPECT_EQ(Rows()->rowCount(), 0);
    EXPECT_EQ(StoredArchivePath(), Path("bad.zip"));
}

TEST_F(MainWindowTest, CancelledOpenEmptiesBothListsAndThePath) {
    REQUIRE_ENGINES();
    MakeZip(tmp / "a.zip", {{"x.txt", "x"}});
    OpenArchive(Path("a.zip"));
    ASSERT_EQ(Rows()->rowCount(), 1);
    OpenArchive(QString());
    EXPECT_EQ(Rows()->rowCount(), 0);
    EXPECT_TRUE(StoredArchivePath().isEmpty());
    EXPECT_TRUE(ArchiveView()->isVisible());  // the view stays, empty

    // Opening while the compress list is shown swaps the views and drops its rows.
    chooser.openAnswers.push_back(Path("a.zip"));
    Trigger("mnuAddFiles");
    ASSERT_TRUE(CompressList()->isVisible());
    OpenArchive(Path("a.zip"));
    EXPECT_FALSE(CompressList()->isVisible());
    EXPECT_EQ(CompressList()->count(), 0);
    EXPECT_EQ(Rows()->rowCount(), 1);
}

}  // namespace
