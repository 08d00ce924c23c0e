// The fixture of the main window's tests: the window over a scripted chooser, in a
// temporary folder, with its controls found by name.
#pragma once

#include "QtTestSupport.h"
#include "TestSupport.h"
#include "frmMain.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTreeView>

#include <filesystem>

class WindowTest : public ::testing::Test {
protected:
    WindowTest() { window.show(); }
    ~WindowTest() override {
        window.close();
        // A compression makes its base folder current; it is about to be removed.
        std::filesystem::current_path(start);
    }

    // Runs a menu command, answering its modal windows in order; returns them as shown.
    QStringList Run(const char *action, std::vector<qtsupport::ModalScript::Handler> replies = {}) {
        qtsupport::ModalScript script(std::move(replies));
        window.findChild<QAction *>(action)->trigger();
        return script.Shown();
    }
    QAbstractItemModel *Rows() { return window.findChild<QTreeView *>("lvwZip")->model(); }
    QStringList Cells(int row) {
        QStringList cells;
        for (int c = 0; c < Rows()->columnCount(); ++c)
            cells << Rows()->index(row, c).data().toString();
        return cells;
    }
    QListWidget *List() { return window.findChild<QListWidget *>("Dir1"); }
    QString Label(const char *name) { return window.findChild<QLabel *>(name)->text(); }
    QString Path(const std::string &relative) { return QString::fromStdString(tmp / relative); }

    const std::filesystem::path start = std::filesystem::current_path();
    testsupport::TempDir tmp;
    qtsupport::ScriptedChooser chooser;
    frmMain window{&chooser};
};
