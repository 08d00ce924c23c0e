#include "frmMain.h"

#include "ArchiveListModel.h"
#include "DialogStyle.h"
#include "StatusLine.h"
#include "TeskError.h"
#include "Twips.h"
#include "frmEncryption.h"
#include "frmMainPrivate.h"
#include "modPublic.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTreeView>

// The icon lives in a static library's resources.
static void InitResources() { Q_INIT_RESOURCE(tesk); }

frmMain::frmMain(platform::FileChooser *chooser, QWidget *parent)
    : QMainWindow(parent), myDialog(chooser) {
    InitResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8("Marvik\u00B4s Zip and Unzip utility (Beta)"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/tesk/tesk-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/tesk/tesk-32.png"), QSize(32, 32));
    setWindowIcon(icon);

    unzipListener_ = std::make_unique<UnzipListener>(*this);
    zipListener_ = std::make_unique<ZipListener>(*this);
    myUnZip.SetListener(unzipListener_.get());
    myZip.SetListener(zipListener_.get());

    BuildControls();
    BuildMenus();

    // Fixed size, with a minimise button but no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(sizeHint());
    dialogstyle::CentreOnScreen(*this);
}

frmMain::~frmMain() { delete settings_; }

void frmMain::BuildControls() {
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips::Size(*this, 8715, 2550));
    client->setFont(dialogstyle::WindowFont());
    setCentralWidget(client);

    lvwZipRows = new ArchiveListModel(this);
    lvwZip = new QTreeView(client);
    lvwZip->setObjectName(QStringLiteral("lvwZip"));
    lvwZip->setGeometry(twips::Rect(*this, 0, 60, 8715, 2055));
    lvwZip->setFont(dialogstyle::Tahoma());
    lvwZip->setRootIsDecorated(false);
    lvwZip->setItemsExpandable(false);
    lvwZip->setUniformRowHeights(true);  // keeps layout of many rows cheap
    lvwZip->setSortingEnabled(false);
    lvwZip->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwZip->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwZip->setContextMenuPolicy(Qt::NoContextMenu);
    lvwZip->setModel(lvwZipRows);
    lvwZip->header()->setSectionsMovable(false);
    lvwZip->header()->setStretchLastSection(false);
    lvwZip->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    static const int widths[] = {160, 32, 32, 96, 160};  // screen pixels
    for (int column = 0; column < ArchiveListModel::kColumnCount; ++column)
        lvwZip->setColumnWidth(column, widths[column]);
    lvwZip->hide();

    Dir1 = new QListWidget(client);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(twips::Rect(*this, 0, 60, 8655, 2010));
    Dir1->setUniformItemSizes(true);
    Dir1->hide();

    Line1 = new QFrame(client);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(0, 0, twips::ToPixels(8700, logicalDpiX()), 2);

    // Holds the open archive's path; never shown.
    lblZipFile = new QLabel(client);
    lblZipFile->setObjectName(QStringLiteral("lblZipFile"));
    lblZipFile->setGeometry(twips::Rect(*this, 6780, 120, 1935, 315));
    lblZipFile->hide();

    Label1 = new QLabel(client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips::Rect(*this, 60, 2160, 8595, 375));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setTextFormat(Qt::PlainText);
    status_ = std::make_unique<StatusLine>(*Label1);
}

void frmMain::BuildMenus() {
    auto addItem = [this](QMenu *menu, const char *name, const QString &caption,
                          void (frmMain::*command)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, command] { RunCommand([this, command] { (this->*command)(); }); });
    };
    QMenu *mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    addItem(mnuFile, "mnuOpen", QStringLiteral("Open Zip Archive"), &frmMain::mnuOpen_Click);
    QMenu *mnuAdd = menuBar()->addMenu(QStringLiteral("Add"));
    mnuAdd->setObjectName(QStringLiteral("mnuAdd"));
    addItem(mnuAdd, "mnuAddDir", QStringLiteral("Add Directory"), &frmMain::mnuAddDir_Click);
    addItem(mnuAdd, "mnuAddFiles", QStringLiteral("Add Files"), &frmMain::mnuAddFiles_Click);
    QMenu *mnuAction = menuBar()->addMenu(QStringLiteral("Action"));
    mnuAction->setObjectName(QStringLiteral("mnuAction"));
    addItem(mnuAction, "mnuExtract", QStringLiteral("Extract to"), &frmMain::mnuExtract_Click);
    addItem(mnuAction, "mnuCompress", QStringLiteral("Compress to"),
            &frmMain::mnuCompress_Click);
    // A command of the menu bar itself, with no drop-down.
    QAction *mnuSettings = menuBar()->addAction(QStringLiteral("Settings"));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    connect(mnuSettings, &QAction::triggered, this, [this] { RunCommand([this] { mnuSettings_Click(); }); });
}

void frmMain::RunCommand(const std::function<void()> &command) {
    try {
        command();
    } catch (const TeskError &error) {
        ShowMessage(QMessageBox::Critical, QString::fromStdString(error.Description()));
    } catch (const std::exception &error) {
        ShowMessage(QMessageBox::Critical, QString::fromLocal8Bit(error.what()));
    }
}

void frmMain::ShowMessage(int icon, const QString &text) {
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), QStringLiteral("Tesk"), text,
                    QMessageBox::Ok, this);
    box.exec();
}

void frmMain::closeEvent(QCloseEvent *event) {
    // Events run during engine calls; the objects the call works on must stay.
    if (busy_) {
        event->ignore();
        return;
    }
    if (settings_) settings_->close();
    QMainWindow::closeEvent(event);
}

void frmMain::ShowArchiveView() {
    Dir1->hide();
    lvwZip->show();
}

void frmMain::ShowCompressList() {
    lvwZip->hide();
    Dir1->show();
}

void frmMain::ClearLists() {
    lvwZipRows->Clear();
    Dir1->clear();
}

void frmMain::ShowProgress(const std::string &sMsg) { status_->Show(sMsg); }

void frmMain::mnuOpen_Click() {
    ClearLists();
    myZip.ClearFileSpecs();

    myDialog.AllowMultiSelect(false);
    myDialog.Filter(QStringLiteral("Zip Files (*.zip)|*.zip"));
    myDialog.DialogTitle(QStringLiteral("Open Zip Archive"));
    myDialog.ShowOpen();
    const QString file = CommonDialog::AsText(myDialog.FileName());

    // Recorded before listing, so that an error while listing still leaves the path of
    // the archive whose entries the unzip object may hold.
    lblZipFile->setText(file);
    if (!file.isEmpty()) {
        ShowArchiveView();
        ListZipContents(file);
    }
}

void frmMain::ListZipContents(const QString &sFile) {
    lvwZipRows->Clear();
    {
        EngineBusy busy(*this, EngineBusy::kBusyPointer);
        myUnZip.ZipFile(sFile.toStdString());
        myUnZip.Directory();
    }

    // Rows are added with the view frozen, so that it paints once.
    lvwZip->setUpdatesEnabled(false);
    const int32_t count = myUnZip.FileCount();
    std::vector<ArchiveRow> rows;
    rows.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int32_t i = 1; i <= count; ++i) {
        ArchiveRow row;
        row.name = QString::fromStdString(myUnZip.FileName(i));
        if (myUnZip.FileEncrypted(i)) row.name += QLatin1Char('+');
        row.size = myUnZip.FileSize(i);
        row.packed = myUnZip.FileCompressedSize(i);
        row.date = myUnZip.FileDate(i);
        row.folder = QString::fromStdString(myUnZip.FileDirectory(i));
        rows.push_back(std::move(row));
    }
    lvwZipRows->SetRows(std::move(rows));
    lvwZip->setUpdatesEnabled(true);
}

void frmMain::mnuSettings_Click() {
    // One settings window: brought forward when open, else loaded afresh.
    if (settings_) {
        settings_->raise();
        settings_->activateWindow();
        return;
    }
    settings_ = new frmEncryption(myZip, sZipPassword);
    settings_->setAttribute(Qt::WA_DeleteOnClose);
    settings_->setWindowIcon(windowIcon());
    settings_->show();
}
