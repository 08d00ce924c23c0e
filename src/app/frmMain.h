// frmMain: the program's main window. It opens and lists an archive, extracts it, gathers
// folders or files into the compress list and compresses them, and shows the settings
// window. Every command runs to its end on the UI thread; the engine objects' events are
// answered here, with modal prompts where the user must decide.
//
// While an engine call or a folder walk runs, pending events are processed every tenth of a
// second or so (so the window repaints and shows the latest message), but the menus are
// disabled and closing is refused, so no second command can start. An error raised by an
// engine object or a picker ends the command with an error message box; it never ends the
// program.
#pragma once

#include "CommonDialog.h"
#include "cUnzip.h"
#include "cZip.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class ArchiveListModel;
class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QTreeView;
class StatusLine;
class frmEncryption;
struct ZipGroup;

namespace platform {
class FileChooser;
}

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // chooser: the file and folder choosers; the system's own when null. Not owned.
    explicit frmMain(platform::FileChooser *chooser = nullptr, QWidget *parent = nullptr);
    ~frmMain() override;

    // For tests and tools.
    cZip &ZipObject() { return myZip; }
    cUnzip &UnzipObject() { return myUnZip; }
    ArchiveListModel &ArchiveRows() { return *lvwZipRows; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class UnzipListener;
    class ZipListener;
    class EngineBusy;

    void BuildControls();
    void BuildMenus();

    // Menu commands.
    void mnuOpen_Click();
    void mnuAddDir_Click();
    void mnuAddFiles_Click();
    void mnuExtract_Click();
    void mnuCompress_Click();
    void mnuSettings_Click();
    // Runs a command; an error it raises is shown in an error message box.
    void RunCommand(const std::function<void()> &command);

    void ListZipContents(const QString &sFile);
    void ListSubDir(const QString &Path);
    void AppendRows(const QStringList &rows);
    void ShowArchiveView();
    void ShowCompressList();
    void ClearLists();
    std::vector<ZipGroup> CompressGroups() const;

    // Event handlers of the engine objects.
    void ShowProgress(const std::string &sMsg);
    void OverwritePrompt(const std::string &sFile, int32_t &eResponse);
    void UnzipPasswordRequest(std::string &sPassword, bool &bCancel);
    void ZipPasswordRequest(std::string &sPassword);

    void ShowMessage(int icon, const QString &text);

    // Created in this order and living as long as the window.
    cZip myZip;
    cUnzip myUnZip;
    CommonDialog myDialog;
    std::unique_ptr<UnzipListener> unzipListener_;
    std::unique_ptr<ZipListener> zipListener_;

    QTreeView *lvwZip = nullptr;
    ArchiveListModel *lvwZipRows = nullptr;
    QListWidget *Dir1 = nullptr;
    QFrame *Line1 = nullptr;
    QLabel *lblZipFile = nullptr;
    QLabel *Label1 = nullptr;
    std::unique_ptr<StatusLine> status_;

    bool bDirMode = false;
    QString sSourceDir;
    QPointer<frmEncryption> settings_;
    bool busy_ = false;
};
