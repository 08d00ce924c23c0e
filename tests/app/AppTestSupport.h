// The fixture of the main window's tests: a window over a scripted chooser, a temporary
// folder, and archives made and read by python3's zipfile.
#pragma once

#include "QtTestSupport.h"
#include "TestSupport.h"
#include "frmMain.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

class QAbstractItemModel;
class QLabel;
class QListWidget;
class QTreeView;

namespace apptest {

struct ZipEntryInfo {
    std::string name;
    int method = 0;          // 0 stored, 8 deflated
    bool encrypted = false;
};

// Entries of an archive as python3's zipfile reads them, in archive order.
std::vector<ZipEntryInfo> ReadZip(const std::string &archive);
std::vector<std::string> SortedNames(const std::string &archive);

// Writes an archive with python3's zipfile: entries name -> content, dated 5 March 2004
// 09:07 unless dates gives "YYYY,M,D,h,m,s" for a name.
void MakeZip(const std::string &archive, const std::map<std::string, std::string> &entries,
             const std::map<std::string, std::string> &dates = {});

// True when the engines beside the tests do real work (not placeholders).
bool RealUnzipEngine();
bool RealZipEngine();

// Answers an overwrite prompt: ticks the apply-to-all box as all says, then presses
// button (null: the close box). The question shown is appended to questions.
qtsupport::ModalScript::Handler AnswerOverwrite(QStringList &questions, const char *button,
                                                bool all);

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest();
    ~MainWindowTest() override;

    void Trigger(const char *actionName);
    // Open with the chooser answering path.
    void OpenArchive(const QString &path);

    QTreeView *ArchiveView();
    QAbstractItemModel *Rows();
    QListWidget *CompressList();
    QStringList CompressRows();
    QString StatusLine();
    QString StoredArchivePath();
    QString Cell(int row, int column);

    QString Path(const std::string &relative) { return QString::fromStdString(tmp / relative); }

    std::filesystem::path startFolder;
    testsupport::TempDir tmp;
    qtsupport::ScriptedChooser chooser;
    frmMain window{&chooser};
};

}  // namespace apptest
