#include "CommonDialog.h"
#include "QtTestSupport.h"

#include <gtest/gtest.h>

using qtsupport::ScriptedChooser;

namespace {

QString Nuls(int n) { return QString(n, QChar(0)); }

TEST(CommonDialog, DefaultExtKeepsLettersAndFileTitleIsNeverStored) {
    ScriptedChooser chooser;
    CommonDialog dialog(&chooser);
    dialog.DefaultExt(QStringLiteral(".tar.gz"));
    EXPECT_EQ(dialog.DefaultExt(), QStringLiteral("targz"));
    dialog.FileTitle(QStringLiteral("anything"));
    EXPECT_EQ(dialog.FileTitle(), Nuls(256));
}

TEST(CommonDialog, RequestCarriesTheRecord) {
    ScriptedChooser chooser;
    CommonDialog dialog(&chooser);
    dialog.ShowOpen();
    ASSERT_EQ(chooser.openRequests.size(), 1u);
    // A fresh instance has no title, so the system's default applies.
    EXPECT_FALSE(chooser.openRequests[0].title.has_value());
    EXPECT_EQ(chooser.openRequests[0].defaultExtension, QStringLiteral("txt"));
    EXPECT_EQ(chooser.openRequests[0].flags, 0x80202u);

    dialog.Filter(QStringLiteral("Zip Files (*.zip)|*.zip"));
    dialog.DialogTitle(QStringLiteral("Select Files"));
    dialog.InitDir(QStringLiteral("/tmp"));
    dialog.ShowSave();
    dialog.ShowOpen();  // the title carries over to later choosers
    ASSERT_EQ(chooser.saveRequests.size(), 1u);
    for (const auto &request : {chooser.saveRequests[0], chooser.openRequests[1]}) {
        EXPECT_EQ(request.filter, QStringLiteral("Zip Files (*.zip)") + QChar(0) +
                                      QStringLiteral("*.zip") + Nuls(2));
        EXPECT_EQ(request.filterIndex, 1);
        EXPECT_EQ(request.title.value_or(QString()), QStringLiteral("Select Files"));
        EXPECT_EQ(request.initialDir, QStringLiteral("/tmp"));
        EXPECT_EQ(request.maxFile, 2048);
    }
}

TEST(CommonDialog, CancelledChooserReadsAsNoValueInBothModes) {
    ScriptedChooser chooser;
    CommonDialog dialog(&chooser);
    for (bool multi : {false, true}) {
        dialog.AllowMultiSelect(multi);
        dialog.FileName(QStringLiteral("/old/name.zip"));  // replaced by the next chooser
        chooser.openAnswers.push_back(QString());
        dialog.ShowOpen();
        const auto value = dialog.FileName();
        EXPECT_TRUE(std::holds_alternative<std::monostate>(value));
        EXPECT_EQ(CommonDialog::AsText(value), QString());
    }
}

TEST(CommonDialog, ShapesOfTheResult) {
    ScriptedChooser chooser;
    CommonDialog dialog(&chooser);
    const QString two = ScriptedChooser::Multiple(QStringLiteral("/data"),
                                                  {QStringLiteral("a.txt"), QStringLiteral("b.txt")});

    // One file with multi-selection: one text, not a list.
    dialog.AllowMultiSelect(true);
    chooser.openAnswers.push_back(QStringLiteral("/data/a.txt"));
    dialog.ShowOpen();
    EXPECT_EQ(std::get<QString>(dialog.FileName()), QStringLiteral("/data/a.txt"));
    EXPECT_EQ(dialog.FileTitle(), QStringLiteral("a.txt") + Nuls(251));

    // Several files: the folder then the names, the same list on a second reading.
    chooser.openAnswers.push_back(two);
    dialog.ShowOpen();
    const QStringList expected{QStringLiteral("/data"), QStringLiteral("a.txt"),
                               QStringLiteral("b.txt")};
    EXPECT_EQ(std::get<QStringList>(dialog.FileName()), expected);
    EXPECT_EQ(std::get<QStringList>(dialog.FileName()), expected);

    // A selection longer than the 2048-character buffer comes back whole.
    QStringList many;
    for (int i = 0; i < 300; ++i) many << QStringLiteral("file-number-%1.txt").arg(i);
    chooser.openAnswers.push_back(ScriptedChooser::Multiple(QStringLiteral("/data"), many));
    dialog.ShowOpen();
    EXPECT_EQ(std::get<QStringList>(dialog.FileName()), QStringList{"/data"} + many);

    // The root keeps its separator.
    chooser.openAnswers.push_back(
        ScriptedChooser::Multiple(QStringLiteral("/"), {QStringLiteral("a"), QStringLiteral("b")}));
    dialog.ShowOpen();
    EXPECT_EQ(std::get<QStringList>(dialog.FileName()).first(), QStringLiteral("/"));

    // Without multi-selection the same choice is one unsplit text.
    dialog.AllowMultiSelect(false);
    chooser.openAnswers.push_back(two);
    dialog.ShowOpen();
    EXPECT_EQ(std::get<QString>(dialog.FileName()),
              QStringLiteral("/data") + QChar(0) + QStringLiteral("a.txt") + QChar(0) +
                  QStringLiteral("b.txt"));
}

TEST(CommonDialog, FolderChooser) {
    ScriptedChooser chooser;
    CommonDialog dialog(&chooser);
    dialog.DialogTitle(QStringLiteral("Kept"));
    chooser.folderAnswers = {QStringLiteral("/data/photos"), QString()};
    EXPECT_EQ(dialog.GetFolderName(QStringLiteral("Choose destination")),
              QStringLiteral("/data/photos"));
    EXPECT_EQ(dialog.GetFolderName(QStringLiteral("Again")), QString());
    EXPECT_EQ(chooser.folderTitles,
              QStringList({QStringLiteral("Choose destination"), QStringLiteral("Again")}));
    EXPECT_EQ(dialog.DialogTitle(), QStringLiteral("Kept"));
}

}  // namespace
