#include "CommonDialog.h"
#include "QtTestSupport.h"

#include <gtest/gtest.h>

using qtsupport::ScriptedChooser;

// A buffer's NULs shown as "|".
static QString Bars(QString text) { return text.replace(QChar(0), '|'); }

// What FileName gives after a chooser answered, "|" standing for NUL.
// Rows: multiple choice allowed, the answer, the result.
const std::tuple<bool, const char *, const char *> kShapeRows[] = {
    {false, "", "none"}, {true, "", "none"},  // cancelled
    {true, "/data/a.txt", "text /data/a.txt"},  // one file: one text, not a list
    {true, "/data|a.txt|b.txt||", "list /data, a.txt, b.txt"},
    {true, "/|a|b||", "list /, a, b"},  // the root keeps its separator
    {false, "/data|a.txt|b.txt||", "text /data|a.txt|b.txt"},  // one unsplit text
};

static QString Shape(const CommonDialog::FileNameValue &value) {
    if (const auto *list = std::get_if<QStringList>(&value))
        return QStringLiteral("list ") + list->join(QStringLiteral(", "));
    return QString(value.index() ? "text " : "none") + Bars(CommonDialog::AsText(value));
}

// A file request as a line, "|" standing for NUL.
static QString Request(const platform::FileRequest &r) {
    return QStringLiteral("%1 #%2 title=%3 dir=%4 ext=%5 flags=%6 max=%7")
        .arg(Bars(r.filter)).arg(r.filterIndex).arg(r.title.value_or(QStringLiteral("(none)")))
        .arg(r.initialDir, r.defaultExtension).arg(r.flags, 0, 16).arg(r.maxFile);
}

// Every chooser receives the record as it stands; a fresh instance has no title, so the
// system's default applies. Then what FileName gives for each shape of answer.
TEST(CommonDialog, RequestCarriesTheRecordAndShapesOfTheResult) {
    ScriptedChooser chooser;
    CommonDialog dialog(&chooser);
    chooser.openAnswers = {QStringLiteral("/data/a.txt")};
    dialog.ShowOpen();
    EXPECT_EQ(Request(chooser.openRequests.at(0)),
              " #1 title=(none) dir= ext=txt flags=80202 max=2048");
    EXPECT_EQ(dialog.FileTitle(), QStringLiteral("a.txt") + QString(251, QChar(0)));
    dialog.FileTitle(QStringLiteral("anything"));  // never stored
    EXPECT_EQ(dialog.FileTitle(), QString(256, QChar(0)));

    dialog.Filter(QStringLiteral("Zip Files (*.zip)|*.zip"));
    dialog.DialogTitle(QStringLiteral("Select Files"));
    dialog.InitDir(QStringLiteral("/tmp"));
    dialog.DefaultExt(QStringLiteral(".tar.gz"));
    dialog.ShowSave();
    dialog.ShowOpen();
    for (const auto &request : {chooser.saveRequests.at(0), chooser.openRequests.at(1)})
        EXPECT_EQ(Request(request), "Zip Files (*.zip)|*.zip|| #1 title=Select Files dir=/tmp "
                                    "ext=targz flags=80202 max=2048");
    // The folder chooser gets its own title and leaves the record's.
    chooser.folderAnswers = {QStringLiteral("/data/photos"), QString()};
    EXPECT_EQ(dialog.GetFolderName(QStringLiteral("Choose")), QStringLiteral("/data/photos"));
    EXPECT_EQ(dialog.GetFolderName(QStringLiteral("Again")), QString());
    EXPECT_EQ(chooser.folderTitles, QStringList({"Choose", "Again"}));
    EXPECT_EQ(dialog.DialogTitle(), QStringLiteral("Select Files"));

    for (const auto &[multi, answer, fileName] : kShapeRows) {
        dialog.AllowMultiSelect(multi);
        dialog.FileName(QStringLiteral("/old/name.zip"));  // replaced by the next chooser
        chooser.openAnswers = {QString(answer).replace('|', QChar(0))};
        dialog.ShowOpen();
        EXPECT_EQ(Shape(dialog.FileName()), QString::fromLatin1(fileName)) << answer;
        EXPECT_EQ(Shape(dialog.FileName()), QString::fromLatin1(fileName)) << "read again";
    }
    // A selection longer than the 2048-character buffer comes back whole.
    QStringList many;
    for (int i = 0; i < 300; ++i) many << QStringLiteral("file-number-%1.txt").arg(i);
    chooser.openAnswers = {ScriptedChooser::Multiple(QStringLiteral("/data"), many)};
    dialog.AllowMultiSelect(true);
    dialog.ShowOpen();
    EXPECT_EQ(std::get<QStringList>(dialog.FileName()), QStringList{"/data"} + many);
}
