// How long extracting and compressing take through the main window, with the choosers
// scripted and no prompt on the way, to set beside the engines alone (tesk-bench).
//
//   window_benchmark extract ARCHIVE DEST      DEST should not hold the archive's files
//   window_benchmark create SOURCE_DIR ARCHIVE  Add Directory, then Compress to
//
// Runs offscreen unless QT_QPA_PLATFORM is set. Prints the seconds from the command to
// its closing message box, the box's text and the status line at the end.
#include "QtTestSupport.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>

#include <cstdio>
#include <cstring>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: window_benchmark extract ARCHIVE DEST\n"
                         "       window_benchmark create SOURCE_DIR ARCHIVE\n");
    return 2;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) return Usage();
    const bool extract = std::strcmp(argv[1], "extract") == 0;
    if (!extract && std::strcmp(argv[1], "create") != 0) return Usage();

    qtsupport::ScriptedChooser chooser;
    frmMain window(&chooser);
    window.show();
    QApplication::processEvents();
    auto trigger = [&window](const char *name) {
        window.findChild<QAction *>(QString::fromLatin1(name))->trigger();
    };

    QElapsedTimer clock;
    qint64 shown = 0;
    qtsupport::MessageSeen seen;
    qtsupport::ModalScript script;
    const auto acknowledge = qtsupport::AcknowledgeMessage(seen);
    script.Then([&](QWidget *box) {
        shown = clock.nsecsElapsed();
        acknowledge(box);
    });
    if (extract) {
        chooser.openAnswers.push_back(QString::fromLocal8Bit(argv[2]));
        trigger("mnuOpen");
        chooser.folderAnswers.push_back(QString::fromLocal8Bit(argv[3]));
        clock.start();
        trigger("mnuExtract");
    } else {
        chooser.folderAnswers.push_back(QString::fromLocal8Bit(argv[2]));
        chooser.saveAnswers.push_back(QString::fromLocal8Bit(argv[3]));
        clock.start();  // the folder walk is part of what the user waits for
        trigger("mnuAddDir");
        trigger("mnuCompress");
    }
    const QString status = window.findChild<QLabel *>(QStringLiteral("Label1"))->text();
    std::printf("%s through the window: %.3f s\nmessage: %s\nstatus line: %s\n", argv[1],
                shown / 1e9, qPrintable(seen.text), qPrintable(status));
    return seen.icon == QMessageBox::Critical ? 1 : 0;
}
