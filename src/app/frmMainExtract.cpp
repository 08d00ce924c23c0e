// frmMain: extracting the open archive, and the prompts the unzip object asks for.
#include "ArchiveListModel.h"
#include "frmMainPrivate.h"
#include "frmOverwrite.h"
#include "frmPassword.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>

namespace {

// The arrow pointer while a prompt waits for the user inside a busy command.
class PromptPointer {
public:
    PromptPointer() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~PromptPointer() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

void frmMain::mnuExtract_Click() {
    if (myUnZip.FileCount() <= 0) return;
    const QString folder = myDialog.GetFolderName(QStringLiteral("Choose destination"));
    if (folder.isEmpty()) return;

    bool failed = false;
    try {
        EngineBusy busy(*this, EngineBusy::kBusyPointer);
        myUnZip.CaseSensitiveFileNames(true);
        myUnZip.PromptToOverwrite(true);
        myUnZip.UnzipFolder(folder.toStdString());
        myUnZip.ZipFile(lblZipFile->text().toStdString());
        myUnZip.UseFolderNames(true);
        // Setting ZipFile emptied the directory, so this marks nothing; no selection and a
        // full one both extract every entry.
        for (int32_t i = 1; i <= myUnZip.FileCount(); ++i) myUnZip.FileSelected(i, true);
        failed = myUnZip.Unzip();
    } catch (...) {
        // The archive is no longer open either way.
        lblZipFile->clear();
        ClearLists();
        throw;
    }

    if (failed)
        ShowMessage(QMessageBox::Critical, QStringLiteral("Extracting failed!"));
    else
        ShowMessage(QMessageBox::NoIcon, QStringLiteral("Done"));
    lblZipFile->clear();
    ClearLists();
}

void frmMain::OverwritePrompt(const std::string &sFile, int32_t &eResponse) {
    status_->Flush();
    PromptPointer pointer;
    frmOverwrite prompt(this);
    prompt.TheCaption(QStringLiteral("Do you want to overwrite ") + QString::fromStdString(sFile) +
                      QLatin1Char('?'));
    prompt.exec();
    const bool all = prompt.ApplyToAll();
    switch (prompt.Response()) {
    case frmOverwrite::kYes: eResponse = all ? UZ_REPLACE_ALL : UZ_REPLACE_YES; break;
    case frmOverwrite::kNo: eResponse = all ? UZ_REPLACE_NONE : UZ_REPLACE_NO; break;
    default: eResponse = UZ_REPLACE_NONE; break;
    }
}

void frmMain::UnzipPasswordRequest(std::string &sPassword, bool &bCancel) {
    // The engine's word on the last attempt ("incorrect password") shows beside the prompt.
    status_->Flush();
    PromptPointer pointer;
    frmPassword prompt(this);
    prompt.exec();
    if (prompt.Cancelled())
        bCancel = true;
    else
        sPassword = prompt.Password().toStdString();
}
