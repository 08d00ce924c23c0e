// frmMain: gathering folders or files into the compress list, and compressing them.
#include "ArchiveListModel.h"
#include "EntryFormat.h"
#include "PathSeparator.h"
#include "StatusLine.h"
#include "ZipRunner.h"
#include "clsGetDirectories.h"
#include "frmMainPrivate.h"
#include "modPublic.h"

#include <QListWidget>
#include <QMessageBox>

#include <algorithm>

namespace {

const QChar kSeparator = QLatin1Char(platform::kPathSeparator);

}  // namespace

void frmMain::AppendRows(const QStringList &rows) { Dir1->addItems(rows); }

void frmMain::mnuAddDir_Click() {
    ClearLists();
    sSourceDir.clear();
    const QString folder = myDialog.GetFolderName(QStringLiteral("Choose directory to compress"));
    if (folder.isEmpty()) return;

    EngineBusy busy(*this, EngineBusy::kBusyPointer);
    Dir1->setUpdatesEnabled(false);
    sSourceDir = folder;
    AppendRows({entryformat::CollapseDoubledSeparators(folder + kSeparator, kSeparator)});
    ShowCompressList();
    ListSubDir(folder);
    bDirMode = true;
    Dir1->setUpdatesEnabled(true);
}

void frmMain::ListSubDir(const QString &Path) {
    clsGetDirectories lister([this] { status_->Tick(); });
    QStringList rows;
    for (const std::string &path : lister.GetDirs(Path.toStdString()))
        rows << QString::fromStdString(path);
    AppendRows(rows);
}

void frmMain::mnuAddFiles_Click() {
    bDirMode = false;
    myDialog.Filter(QStringLiteral("All Files (*.*)|*.*"));
    myDialog.DialogTitle(QStringLiteral("Select Files"));
    myDialog.AllowMultiSelect(true);
    myDialog.ShowOpen();
    const CommonDialog::FileNameValue chosen = myDialog.FileName();

    if (const auto *list = std::get_if<QStringList>(&chosen)) {
        ShowCompressList();
        QStringList items = *list;
        // The first and the last name change places: a, b, c are listed as c, b, a.
        items.swapItemsAt(1, items.size() - 1);
        const QString prefix =
            entryformat::CollapseDoubledSeparators(items[0] + kSeparator, kSeparator);
        QStringList rows;
        for (qsizetype i = 1; i < items.size(); ++i) rows << prefix + items[i];
        AppendRows(rows);
    } else if (const auto *path = std::get_if<QString>(&chosen)) {
        ShowCompressList();
        const qsizetype cut = path->lastIndexOf(kSeparator) + 1;
        AppendRows({entryformat::CollapseDoubledSeparators(path->left(cut), kSeparator) +
                    path->mid(cut)});
    }
}

// A folder row, in either mode, stands for the files directly in that folder, stored below
// the chosen folder's parent as directory mode names them. File rows are stored by their
// bare names, with no base folder.
std::vector<ZipGroup> frmMain::CompressGroups() const {
    const QString base = sSourceDir.left(sSourceDir.lastIndexOf(kSeparator) + 1);
    ZipGroup files{std::string(), false, {}};
    std::vector<ZipGroup> folders;
    for (int row = 0; row < Dir1->count(); ++row) {
        const QString spec = Dir1->item(row)->text();
        if (!spec.endsWith(kSeparator)) {
            files.specs.push_back(spec.toStdString());
            continue;
        }
        // A folder outside the chosen one (none is listed today) has its own parent as base.
        QString folderBase = base;
        if (base.isEmpty() || !spec.startsWith(base))
            folderBase = spec.left(spec.lastIndexOf(kSeparator, -2) + 1);
        const std::string baseText = folderBase.toStdString();
        auto group = std::find_if(folders.begin(), folders.end(),
                                  [&](const ZipGroup &g) { return g.basePath == baseText; });
        if (group == folders.end()) group = folders.insert(folders.end(), {baseText, true, {}});
        group->specs.push_back((spec.mid(folderBase.size()) + QStringLiteral("*.*")).toStdString());
    }
    if (!files.specs.empty()) folders.insert(folders.begin(), std::move(files));
    return folders;
}

void frmMain::mnuCompress_Click() {
    if (Dir1->count() == 0) return;
    myDialog.Filter(QStringLiteral("Zip Files (*.zip)|*.zip"));
    myDialog.DialogTitle(QStringLiteral("Choose name for the compressed file"));
    // A name typed without an extension becomes name.zip.
    myDialog.DefaultExt(QStringLiteral("zip"));
    myDialog.ShowSave();
    const QString zipFile = CommonDialog::AsText(myDialog.FileName());
    if (zipFile.isEmpty()) return;

    bool success = false;
    try {
        EngineBusy busy(*this, EngineBusy::kBusyPointer);
        myZip.Encrypt(!sZipPassword.empty());
        // A folder is compressed with every regular file in it; where a platform marks
        // files hidden, those are the user's files all the same.
        myZip.IncludeSystemAndHiddenFiles(true);
        success = ZipInRuns(myZip, CompressGroups(), zipFile.toStdString());
    } catch (...) {
        ClearLists();
        sSourceDir.clear();
        throw;
    }

    if (success)
        ShowMessage(QMessageBox::Information, QStringLiteral("Compressing is successfully done"));
    else
        ShowMessage(QMessageBox::Critical, QStringLiteral("Compressing failed!"));
    ClearLists();
    sSourceDir.clear();
}

void frmMain::ZipPasswordRequest(std::string &sPassword) { sPassword = sZipPassword; }
