// Saves pictures of the main window and the dialogs, for checking the layout by eye:
//   tesk_screenshots OUTPUT_FOLDER
// Writes main-archive.png (an archive open), main-compress.png (a compress list),
// overwrite.png, password.png, settings.png and settings-short-password.png.
#include "ArchiveListModel.h"
#include "QtTestSupport.h"
#include "TestSupport.h"
#include "cZip.h"
#include "frmEncryption.h"
#include "frmMain.h"
#include "frmOverwrite.h"
#include "frmPassword.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include <cstdio>

namespace {

bool Save(QWidget &widget, const QString &folder, const char *name) {
    widget.show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const QString file = folder + QLatin1Char('/') + QLatin1String(name);
    const bool ok = widget.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.toLocal8Bit().constData());
    return ok;
}

}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tesk_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    testsupport::TempDir tmp;

    {
        const auto made = testsupport::RunPython(
            "import sys, zipfile\n"
            "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
            "for name, size, t in [('readme.txt', 5120, (2004,3,5,9,7,0)),\n"
            "    ('docs/manual.txt', 48211, (2004,3,15,14,7,0)),\n"
            "    ('docs/images/logo.png', 1048576, (2005,11,2,8,30,0)),\n"
            "    ('src/main.c', 2048, (2006,1,20,17,45,0))]:\n"
            "    z.writestr(zipfile.ZipInfo(name, t), b'tesk ' * (size // 5))\n"
            "z.close()\n",
            testsupport::ShellQuote(tmp / "sample.zip"));
        qtsupport::ScriptedChooser chooser;
        frmMain window(&chooser);
        window.show();
        chooser.openAnswers.push_back(QString::fromStdString(tmp / "sample.zip"));
        window.findChild<QAction *>(QStringLiteral("mnuOpen"))->trigger();
        if (made.exitCode != 0 || window.ArchiveRows().rowCount() == 0) {
            std::printf("note: the unzip engine listed nothing; showing sample rows\n");
            window.findChild<QTreeView *>(QStringLiteral("lvwZip"))->show();
            window.ArchiveRows().SetRows({{QStringLiteral("readme.txt"), 5120, 312, 38051.38, {}},
                                          {QStringLiteral("notes.txt+"), 48211, 9034, 38061.59,
                                           QStringLiteral("docs")}});
        }
        ok &= Save(window, out, "main-archive.png");

        for (const char *d : {"photos/2003", "photos/2004/raw", "photos/2004/edited"})
            std::filesystem::create_directories(tmp.path() / d);
        chooser.folderAnswers.push_back(QString::fromStdString(tmp / "photos"));
        window.findChild<QAction *>(QStringLiteral("mnuAddDir"))->trigger();
        window.findChild<QLabel *>(QStringLiteral("Label1"))
            ->setText(QStringLiteral("  adding: photos/2004/raw/img_0042.jpg (deflated 3%)"));
        ok &= Save(window, out, "main-compress.png");

        frmOverwrite overwrite(&window);
        overwrite.TheCaption(QStringLiteral("Do you want to overwrite readme.txt?"));
        ok &= Save(overwrite, out, "overwrite.png");
        overwrite.close();

        frmPassword password(&window);
        password.findChild<QLineEdit *>(QStringLiteral("txtPass"))->setText(QStringLiteral("secret"));
        ok &= Save(password, out, "password.png");
        password.close();
    }
    {
        cZip zip;
        std::string pass = "correct horse";
        frmEncryption settings(zip, pass);
        ok &= Save(settings, out, "settings.png");
        settings.findChild<QLineEdit *>(QStringLiteral("txtPass"))->setText(QStringLiteral("abc"));
        ok &= Save(settings, out, "settings-short-password.png");
    }
    return ok ? 0 : 1;
}
