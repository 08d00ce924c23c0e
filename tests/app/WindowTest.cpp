// The main window's shape, the texts it shows of entries, and a listing by the real engine.
#include "AppTestSupport.h"
#include "ArchiveListModel.h"
#include "EntryFormat.h"

#include <QMenuBar>

TEST(EntryFormat, DatesAndSeparators) {
    // Days since 30 December 1899; 5 March 2004 is day 38051. Times round to the second.
    const std::pair<double, const char *> dates[] = {
        {38051 + (9 * 60 + 7) / 1440.0, "2004-03-05 09:07"},
        {38051 + (14 * 60 + 7) / 1440.0, "2004-03-05 14:07"},
        {38051 + 86399.9 / 86400, "2004-03-06 00:00"},
        {0, "1899-12-30 00:00"}, {-1.25, "1899-12-29 06:00"}};
    for (const auto &[date, text] : dates) EXPECT_EQ(entryformat::DateText(date), text);
    const std::tuple<const char *, char, const char *> paths[] = {
        {"//", '/', "/"}, {"C:\\\\", '\\', "C:\\"}, {"/data/", '/', "/data/"}};
    for (const auto &[path, separator, collapsed] : paths)
        EXPECT_EQ(entryformat::CollapseDoubledSeparators(path, QLatin1Char(separator)), collapsed);
}

TEST_F(WindowTest, WindowMenusColumnsAndListing) {
    EXPECT_EQ(window.windowTitle(),
              QString::fromUtf8("Marvik\u00B4s Zip and Unzip utility (Beta)"));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.centralWidget()->width(), (8715 * window.logicalDpiX() + 720) / 1440);
    // Each menu with its items and their names; any shortcut would follow a caption.
    QStringList menus, columns;
    for (QAction *menu : window.menuBar()->actions()) {
        QString line = menu->text() + menu->shortcut().toString();
        for (QAction *item : menu->menu() ? menu->menu()->actions() : QList<QAction *>())
            line += ", " + item->objectName() + "=" + item->text() + item->shortcut().toString();
        menus << line;
    }
    EXPECT_EQ(menus, QStringList({"File, mnuOpen=Open Zip Archive",
                                  "Add, mnuAddDir=Add Directory, mnuAddFiles=Add Files",
                                  "Action, mnuExtract=Extract to, mnuCompress=Compress to",
                                  "Settings"}));
    EXPECT_EQ(window.findChild<QAction *>("mnuSettings")->menu(), nullptr);  // no drop-down
    for (int c = 0; c < 5; ++c)
        columns << Rows()->headerData(c, Qt::Horizontal).toString() + " " +
                       QString::number(window.findChild<QTreeView *>("lvwZip")->columnWidth(c));
    EXPECT_EQ(columns.join(", "), "Filename 160, Size 32, Packed 32, Modified 96, Directory 160");
    for (const char *hidden : {"lvwZip", "Dir1", "lblZipFile"})
        EXPECT_FALSE(window.findChild<QWidget *>(hidden)->isVisible()) << hidden;
    EXPECT_TRUE(Label("Label1").isEmpty());

    // A listing by the real engine: sizes, dates and folders. The packed sizes shown are the archive's own, as python reads them.
    const auto made = testsupport::RunPython(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    z.writestr(zipfile.ZipInfo('docs/sub/late.txt', (2004, 3, 5, 14, 7, 0)), 'late', 8)\n"
        "    z.writestr(zipfile.ZipInfo('readme.txt', (2004, 3, 5, 9, 7, 0)), 'a' * 1048576, 8)\n"
        "print(' '.join(str(i.compress_size) for i in zipfile.ZipFile(sys.argv[1]).infolist()))\n",
        testsupport::ShellQuote(tmp / "a.zip"));
    const QStringList packed = QString::fromStdString(made.output).trimmed().split(' ');
    ASSERT_EQ(packed.size(), 2) << made.output;
    chooser.openAnswers = {Path("a.zip")};
    Run("mnuOpen");
    // Rows follow the archive's order.
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(Cells(0), QStringList({"late.txt", "4", packed[0], "2004-03-05 14:07", "docs/sub"}));
    EXPECT_EQ(Cells(1), QStringList({"readme.txt", "1048576", packed[1], "2004-03-05 09:07", ""}));
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(Rows()->index(row, 0).data(ArchiveListModel::kKeyRole).toString(),
                  QStringLiteral("File%1").arg(row + 1));
}
