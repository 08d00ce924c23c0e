#include "AppTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QTreeView>

#include <algorithm>
#include <sstream>

namespace apptest {

using testsupport::RunPython;
using testsupport::ShellQuote;

std::vector<ZipEntryInfo> ReadZip(const std::string &archive) {
    const auto result = RunPython(
        "import sys, zipfile\n"
        "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
        "    print(i.compress_type, i.flag_bits & 1, i.filename)\n",
        ShellQuote(archive));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::vector<ZipEntryInfo> entries;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        ZipEntryInfo entry;
        int encrypted = 0;
        fields >> entry.method >> encrypted;
        fields.get();
        std::getline(fields, entry.name);
        entry.encrypted = encrypted != 0;
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::string> SortedNames(const std::string &archive) {
    std::vector<std::string> names;
    for (const auto &entry : ReadZip(archive)) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

void MakeZip(const std::string &archive, const std::map<std::string, std::string> &entries,
             const std::map<std::string, std::string> &dates) {
    std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n";
    for (const auto &[name, content] : entries) {
        auto date = dates.count(name) ? dates.at(name) : std::string("2004,3,5,9,7,0");
        script += "z.writestr(zipfile.ZipInfo(" + std::string("'") + name + "', (" + date +
                  ")), bytes.fromhex('";
        static const char hex[] = "0123456789abcdef";
        for (unsigned char c : content) {
            script += hex[c >> 4];
            script += hex[c & 15];
        }
        script += "'), zipfile.ZIP_DEFLATED)\n";
    }
    script += "z.close()\n";
    const auto result = RunPython(script, ShellQuote(archive));
    ASSERT_EQ(result.exitCode, 0) << result.output;
}

bool RealUnzipEngine() {
    static const bool real = [] {
        testsupport::TempDir dir;
        MakeZip(dir / "probe.zip", {{"a", "x"}});
        cUnzip probe;
        probe.ZipFile(dir / "probe.zip");
        probe.Directory();
        return probe.FileCount() == 1;
    }();
    return real;
}

bool RealZipEngine() {
    static const bool real = [] {
        testsupport::TempDir dir;
        testsupport::WriteFile(dir.path() / "a", "x");
        cZip probe;
        probe.AddFileSpec(dir / "a");
        probe.ZipFile(dir / "probe.zip");
        probe.Zip();
        return probe.Success() && std::filesystem::exists(dir.path() / "probe.zip");
    }();
    return real;
}

qtsupport::ModalScript::Handler AnswerOverwrite(QStringList &questions, const char *button,
                                                bool all) {
    return [&questions, button, all](QWidget *w) {
        EXPECT_EQ(w->objectName(), QStringLiteral("frmOverwrite"));
        questions << qtsupport::Child<QLabel>(w, "lblCaption")->text();
        qtsupport::Child<QCheckBox>(w, "chkAllFiles")->setChecked(all);
        if (button)
            qtsupport::Click(w, button);
        else
            w->close();
    };
}

MainWindowTest::MainWindowTest() : startFolder(std::filesystem::current_path()) {
    window.show();
}

MainWindowTest::~MainWindowTest() {
    window.close();
    // A compression makes its base folder current; it is about to be removed.
    std::filesystem::current_path(startFolder);
}

void MainWindowTest::Trigger(const char *actionName) {
    auto *action = window.findChild<QAction *>(QString::fromLatin1(actionName));
    ASSERT_NE(action, nullptr) << actionName;
    action->trigger();
}

void MainWindowTest::OpenArchive(const QString &path) {
    chooser.openAnswers.push_back(path);
    Trigger("mnuOpen");
}

QTreeView *MainWindowTest::ArchiveView() {
    return window.findChild<QTreeView *>(QStringLiteral("lvwZip"));
}

QAbstractItemModel *MainWindowTest::Rows() { return ArchiveView()->model(); }

QListWidget *MainWindowTest::CompressList() {
    return window.findChild<QListWidget *>(QStringLiteral("Dir1"));
}

QStringList MainWindowTest::CompressRows() {
    QStringList rows;
    for (int i = 0; i < CompressList()->count(); ++i) rows << CompressList()->item(i)->text();
    return rows;
}

QString MainWindowTest::StatusLine() {
    return window.findChild<QLabel *>(QStringLiteral("Label1"))->text();
}

QString MainWindowTest::StoredArchivePath() {
    return window.findChild<QLabel *>(QStringLiteral("lblZipFile"))->text();
}

QString MainWindowTest::Cell(int row, int column) {
    return Rows()->index(row, column).data().toString();
}

}  // namespace apptest
