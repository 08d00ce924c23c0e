// How long extracting and compressing take through the main window, with the choosers
// scripted and no prompt on the way, to set beside the engines alone (tesk-bench).
//
//   window_benchmark extract ARCHIVE DEST      DEST should not hold the archive's files
//   window_benchmark create SOURCE_DIR ARCHIVE  Add Directory, then Compress to
//   window_benchmark extract-engine ARCHIVE DEST
//   window_benchmark create-engine SOURCE_DIR ARCHIVE
//                                              the same work with the same options straight
//                                              to the engine objects, no window
//
// Runs offscreen unless QT_QPA_PLATFORM is set. Prints the seconds from the command to
// its closing message box, the box's text and the status line at the end.
#include "QtTestSupport.h"
#include "ZipRunner.h"
#include "clsGetDirectories.h"
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
                         "       window_benchmark create SOURCE_DIR ARCHIVE\n"
                         "       window_benchmark extract-engine ARCHIVE DEST\n"
                         "       window_benchmark create-engine SOURCE_DIR ARCHIVE\n");
    return 2;
}

// What Extract to asks of the unzip object, without the window.
int ExtractWithoutWindow(const std::string &archive, const std::string &dest) {
    QElapsedTimer clock;
    clock.start();
    cUnzip unzip;
    unzip.CaseSensitiveFileNames(true);
    unzip.PromptToOverwrite(true);
    unzip.UnzipFolder(dest);
    unzip.ZipFile(archive);
    unzip.UseFolderNames(true);
    const bool failed = unzip.Unzip();
    std::printf("extract without the window: %.3f s\n", clock.nsecsElapsed() / 1e9);
    return failed ? 1 : 0;
}

// What Compress to hands the zip object in directory mode, without the window.
int CreateWithoutWindow(const std::string &source, const std::string &archive) {
    QElapsedTimer clock;
    clock.start();
    const std::string base = source.substr(0, source.rfind('/') + 1);
    ZipGroup group{base, true, {source.substr(base.size()) + "/*.*"}};
    for (const std::string &folder : clsGetDirectories().GetDirs(source))
        group.specs.push_back(folder.substr(base.size()) + "*.*");
    cZip zip;
    zip.IncludeSystemAndHiddenFiles(true);
    const bool written = ZipInRuns(zip, {group}, archive);
    std::printf("create without the window: %.3f s\n", clock.nsecsElapsed() / 1e9);
    return written ? 0 : 1;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) return Usage();
    if (std::strcmp(argv[1], "extract-engine") == 0) return ExtractWithoutWindow(argv[2], argv[3]);
    if (std::strcmp(argv[1], "create-engine") == 0) return CreateWithoutWindow(argv[2], argv[3]);
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
        std::printf("folder walk: %.3f s\n", clock.nsecsElapsed() / 1e9);
        trigger("mnuCompress");
    }
    const QString status = window.findChild<QLabel *>(QStringLiteral("Label1"))->text();
    std::printf("%s through the window: %.3f s\nmessage: %s\nstatus line: %s\n", argv[1],
                shown / 1e9, qPrintable(seen.text), qPrintable(status));
    return seen.icon == QMessageBox::Critical ? 1 : 0;
}
