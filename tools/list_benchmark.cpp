// How long the main window takes to list and paint a large archive, and to scroll it.
//
//   list_benchmark [ENTRIES]   (default 100000; runs offscreen unless QT_QPA_PLATFORM is set)
//
// Makes an archive of ENTRIES small entries with python3's zipfile, opens it through the
// window's Open command (scripted chooser) and reports the time from the command to the
// end of the first paint of the archive view, the number of paints of the view, and the
// mean time of one page of scrolling. When the unzip engine beside the tool is a
// placeholder, the same rows are put into the view directly and only that part is timed.
// Built as list_benchmark_scripted, the scripted stand-in of the unzip engine reports the
// entries instead: everything but the engine's own reading of the archive is timed.
#ifdef TESK_SCRIPTED_ENGINE
// Before any Qt header: the stand-ins' header uses the word "slots".
#include "FakeEngines.h"
#endif
#include "ArchiveListModel.h"
#include "TestSupport.h"
#include "frmMain.h"

#include "QtTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTreeView>

#include <cstdio>

namespace {

// Counts paint events of the view's viewport.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;

    testsupport::TempDir tmp;
    const std::string archive = tmp / "big.zip";
#ifdef TESK_SCRIPTED_ENGINE
    fake::Unzip().script = [entries](const fake::UnzipCall &call) {
        char name[64];
        for (int i = 0; i < entries; ++i) {
            std::snprintf(name, sizeof name, "folder%d/file%06d.txt", i % 100, i);
            call.callbacks.EntryCallback(1, 1, 100, 2004, 3, 5, 9, 7, 0, name, "Stored", 0, 0);
        }
        return 0;
    };
    const testsupport::CommandResult made{0, {}};
#else
    const auto made = testsupport::RunPython(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED)\n"
        "for i in range(int(sys.argv[2])):\n"
        "    z.writestr(zipfile.ZipInfo('folder%d/file%06d.txt' % (i % 100, i), (2004, 3, 5, 9, 7, 0)), b'x')\n"
        "z.close()\n",
        testsupport::ShellQuote(archive) + " " + std::to_string(entries));
#endif
    if (made.exitCode != 0) {
        std::fprintf(stderr, "cannot make the archive: %s\n", made.output.c_str());
        return 1;
    }

    qtsupport::ScriptedChooser chooser;
    frmMain window(&chooser);
    window.show();
    QApplication::processEvents();
    auto *view = window.findChild<QTreeView *>(QStringLiteral("lvwZip"));
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);

    QElapsedTimer clock;
    chooser.openAnswers.push_back(QString::fromStdString(archive));
    clock.start();
    window.findChild<QAction *>(QStringLiteral("mnuOpen"))->trigger();
    const qint64 commandEnd = clock.nsecsElapsed();
    int paintsBefore = counter.paints;
    // The pending repaint runs here: the time up to its end is what the user waits.
    QApplication::processEvents();
    qint64 shown = clock.nsecsElapsed();
    const bool engineListed = view->model()->rowCount() == entries;

    if (!engineListed) {
        std::printf("the unzip engine listed %d of %d entries; timing the view alone\n",
                    view->model()->rowCount(), entries);
        std::vector<ArchiveRow> rows;
        for (int i = 0; i < entries; ++i)
            rows.push_back({QStringLiteral("file%1.txt").arg(i, 6, 10, QLatin1Char('0')), 1, 1,
                            38051.38, QStringLiteral("folder%1").arg(i % 100)});
        QApplication::processEvents();
        paintsBefore = counter.paints;
        clock.restart();
        view->setUpdatesEnabled(false);
        window.ArchiveRows().SetRows(std::move(rows));
        view->setUpdatesEnabled(true);
        QApplication::processEvents();
        shown = clock.nsecsElapsed();
    }
    std::printf("entries: %d\n", view->model()->rowCount());
    if (engineListed)
        std::printf("open command (engine listing + rows): %.1f ms; paints during it: %d\n",
                    commandEnd / 1e6, paintsBefore);
    std::printf("from the command to the painted rows: %.1f ms\n", shown / 1e6);
    std::printf("paints of the view after the rows arrived: %d\n", counter.paints - paintsBefore);

    // Scrolling: one page at a time, each repainted at once.
    QScrollBar *bar = view->verticalScrollBar();
    const int pages = 200;
    clock.restart();
    for (int i = 0; i < pages; ++i) {
        bar->setValue(bar->value() + bar->pageStep());
        view->viewport()->repaint();
    }
    std::printf("scrolling: %.2f ms per page (%d pages)\n", clock.nsecsElapsed() / 1e6 / pages,
                pages);
    clock.restart();
    bar->setValue(bar->maximum());
    view->viewport()->repaint();
    std::printf("jump to the end: %.2f ms\n", clock.nsecsElapsed() / 1e6);
    return 0;
}
