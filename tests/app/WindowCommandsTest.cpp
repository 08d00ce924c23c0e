// Menu commands through the main window over the real engines, one per row of
// window_commands.txt; the runs of a long list; and the settings window.
#include "AppTestSupport.h"
#include "TreeCheck.h"
#include "ZipJobProgress.h"
#include "ZipRunner.h"
#include "clsGetDirectories.h"
#include "modPublic.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>

#include <map>

namespace fs = std::filesystem;
using testsupport::ReadFile;
using Paths = std::vector<std::string>;

// "name{N}" stands for name0 ... name(N-1); other words for themselves.
static QStringList Expand(const QString &words) {
    QStringList out;
    for (const QString &word : words.split(' ', Qt::SkipEmptyParts)) {
        const qsizetype open = word.indexOf('{'), close = word.indexOf('}');
        for (int i = 0; i < (open < 0 ? 1 : word.mid(open + 1, close - open - 1).toInt()); ++i)
            out << (open < 0 ? word : word.left(open) + QString::number(i) + word.mid(close + 1));
    }
    return out;
}

// The archive as python's zipfile reads it; each entry must hold its base name 100 times.
static QString Entries(const std::string &archive, const std::string &password) {
    const auto read = testsupport::RunPython(
        "import os, sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "for e in z.infolist():\n"
        "    name = os.path.basename(e.filename).encode()\n"
        "    assert z.read(e, sys.argv[2].encode()) == name * 100\n"
        "names = sorted(z.namelist())\n"
        "forms = {('deflated' if e.compress_type == 8 else 'stored') +\n"
        "         (' encrypted' if e.flag_bits & 1 else '') for e in z.infolist()}\n"
        "print(' '.join(names) if len(names) <= 10 else '%d entries' % len(names), ':',\n"
        "      ', '.join(sorted(forms)))\n",
        testsupport::ShellQuote(archive) + " " + testsupport::ShellQuote(password));
    return QString::fromStdString(read.output).trimmed();
}

struct CommandRow {
    QString name, tree, steps, shown, list, result, base, status;
};

static std::vector<CommandRow> CommandRows() {
    std::vector<CommandRow> rows;
    for (const auto &row : testsupport::ReadTable(TESK_TEST_DATA "/window_commands.txt", "|")) {
        QStringList c;  // a cell left out at the end is null
        for (const std::string &cell : row) c << QString::fromStdString(cell);
        rows.push_back({c.value(0), c.value(1), c.value(2), c.value(3), c.value(4), c.value(5),
                        c.value(6), c.value(7)});
    }
    return rows;
}

class WindowCommands : public WindowTest, public ::testing::WithParamInterface<CommandRow> {
protected:
    void TearDown() override { sZipPassword.clear(); }

    // Runs a step; returns the windows it showed.
    QStringList Step(const QString &step) {
        const QString command = step.section('>', 0, 0).trimmed(), rest = command.section(' ', 1);
        const QStringList words = Expand(command);
        const QString what = words.value(0);
        const std::string arg = words.value(1).toStdString();
        if (what == "pass") sZipPassword = QString(rest).replace("\\s", " ").toStdString();
        if (what == "rm") fs::remove_all(tmp.path() / arg);
        if (what == "sh") {
            const auto ran = testsupport::Run("cd " + testsupport::ShellQuote(tmp / "") + " && " +
                                              rest.toStdString());
            EXPECT_EQ(ran.exitCode, 0) << ran.output;
        }
        if (what == "settings") Settings(words.value(1), words.value(2));
        if (what == "pass" || what == "rm" || what == "sh" || what == "settings") return {};

        // A menu command; its chooser answers arg, or for files the names picked in arg.
        static const std::map<QString, const char *> actions = {
            {"dir", "mnuAddDir"}, {"files", "mnuAddFiles"}, {"cancel", "mnuAddFiles"},
            {"open", "mnuOpen"},  {"compress", "mnuCompress"}, {"extract", "mnuExtract"}};
        std::deque<QString> &answers = what == "compress" ? chooser.saveAnswers
                                       : what == "dir" || what == "extract" ? chooser.folderAnswers
                                                                            : chooser.openAnswers;
        answers = {arg.empty() ? QString() : Path(arg)};
        if (what == "files" && words.size() == 3) answers = {Path(arg) + "/" + words[2]};
        if (what == "files" && words.size() > 3)
            answers = {qtsupport::ScriptedChooser::Multiple(Path(arg), words.mid(2))};
        std::vector<qtsupport::ModalScript::Handler> replies;
        for (const QString &word : step.section('>', 1).split(' ', Qt::SkipEmptyParts)) {
            const bool tick = word.startsWith('+');
            replies.push_back(qtsupport::Reply({.tick = tick, .type = word.section(':', 0, -2),
                                                .click = word.section(':', -1).mid(tick)}));
        }
        const bool archiveOpen = Rows()->rowCount() > 0;
        const QStringList shown = Run(actions.at(what), std::move(replies));
        // Extract asks for a folder only with an archive open.
        EXPECT_EQ(answers.empty(), what != "extract" || archiveOpen) << command.toStdString();
        if (what == "dir" || (what == "extract" && archiveOpen)) {
            EXPECT_EQ(chooser.folderTitles.value(chooser.folderTitles.size() - 1),
                      what == "dir" ? "Choose directory to compress" : "Choose destination");
        }
        if (what == "dir" || what == "files" || what == "cancel") {
            EXPECT_TRUE(List()->isVisible());
        }
        if (what == "open") {
            EXPECT_EQ(chooser.openRequests.back().title.value_or(""), "Open Zip Archive");
            EXPECT_EQ(Label("lblZipFile"), arg.empty() ? QString() : Path(arg));
            EXPECT_TRUE(window.findChild<QWidget *>("lvwZip")->isVisible() && !List()->isVisible());
            EXPECT_EQ(List()->count(), 0);
        }
        if (what == "compress") {
            const platform::FileRequest &save = chooser.saveRequests.back();
            EXPECT_EQ(save.title.value_or("") + " ." + save.defaultExtension,
                      "Choose name for the compressed file .zip");
            EXPECT_FALSE(window.ZipObject().AllowAppend());
        }
        if (what == "extract") { EXPECT_TRUE(Label("lblZipFile").isEmpty()); }
        return shown;
    }
    // Settings opened twice is one window, not modal: a password typed and a level chosen
    // there are in force at once; closing deletes it.
    void Settings(const QString &password, const QString &option) {
        for (int i = 0; i < 2; ++i) Run("mnuSettings");
        QList<QPointer<QWidget>> shown;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("frmEncryption") && w->isVisible()) shown << w;
        ASSERT_EQ(shown.size(), 1);
        EXPECT_FALSE(shown[0]->isModal());
        qtsupport::Child<QLineEdit>(shown[0], "txtPass")->setText(password);
        qtsupport::Child<QRadioButton>(shown[0], "optClevel" + option)->click();
        EXPECT_EQ(sZipPassword, password.toStdString());
        shown[0]->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(shown[0].isNull());
    }
};

TEST_P(WindowCommands, Run) {
    const CommandRow &row = GetParam();
    for (const QString &file : Expand(row.tree)) {
        const std::string path = tmp / file.section('=', 0, 0).toStdString();
        const QString text =
            file.contains('=') ? file.section('=', 1) : file.section('/', -1).repeated(100);
        if (file.endsWith('/'))
            fs::create_directories(path);
        else
            testsupport::WriteFile(path, text.toStdString());
    }
    QStringList steps = row.steps.split(';'), shown, list;
    const QString last = steps.takeLast().trimmed();
    for (const QString &step : steps) shown << Step(step.trimmed());
    for (int i = 0; i < List()->count(); ++i) list << List()->item(i)->text();
    const QStringList words = Expand(last.section('>', 0, 0));
    const std::string target = tmp / words.value(1).toStdString();
    const auto contents = [&] { return fs::exists(target) ? ReadFile(target) : "(none)"; };
    const std::string before = contents();
    shown << Step(last);

    EXPECT_EQ(shown.join(" / ").replace(Path("").chopped(1), "~"), row.shown);
    QStringList expectedList;  // "F/**" is folder F and the lister's folders below it
    for (const QString &word : Expand(row.list)) {
        const bool below = word.endsWith("/**");
        const std::string folder = word.chopped(below ? 2 : 0).toStdString();
        expectedList << Path(folder);
        for (const auto &dir : below ? clsGetDirectories().GetDirs(tmp / folder) : Paths())
            expectedList << QString::fromStdString(dir);
    }
    if (!row.list.isEmpty()) { EXPECT_EQ(list, expectedList); }
    QString result;  // of the last step
    if (words[0] == "compress")
        result = row.result == "unchanged" && contents() == before ? row.result
                                                                   : Entries(target, sZipPassword);
    if (words[0] == "extract")
        result = QString::fromStdString(treecheck::DescribeTree(target)).trimmed();
    for (int r = 0; words[0] == "open" && r < Rows()->rowCount(); ++r)
        result += (r ? " " : "") + Cells(r).value(0);
    EXPECT_EQ(result.replace('\n', "; "), row.result);
    if (words[0] == "compress" && !sZipPassword.empty() && row.result != "unchanged") {
        EXPECT_EQ(testsupport::Run("unzip -tq -P " + testsupport::ShellQuote(sZipPassword) + " " +
                                   testsupport::ShellQuote(target)).exitCode, 0);  // a second peer
    }
    if (words[0] != "open") { EXPECT_EQ(Rows()->rowCount() + List()->count(), 0); }  // both emptied
    EXPECT_TRUE(Label("Label1").startsWith(row.status)) << Label("Label1").toStdString();
    EXPECT_TRUE(window.menuBar()->isEnabled());
    for (const auto &entry : fs::directory_iterator(tmp.path()))  // no temporary file is left
        EXPECT_TRUE(entry.is_directory() || entry.path().extension() == ".zip") << entry.path();
    if (row.base.isEmpty()) return;
    // One group: its base folder, folder names stored with one, and a spec per list row.
    const cZip &zip = window.ZipObject();
    const QString base = row.base == "none" ? QString() : Path(row.base.toStdString());
    EXPECT_EQ(zip.BasePath(), base.toStdString());
    EXPECT_EQ(zip.StoreFolderNames(), !base.isEmpty());
    QStringList specs, expected;
    for (int i = 1; i <= zip.FileSpecCount(); ++i) specs << QString::fromStdString(zip.FileSpec(i));
    for (const QString &item : list)
        expected << item.mid(base.size()) + (item.endsWith('/') ? "*.*" : "");
    EXPECT_EQ(specs, expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, WindowCommands, ::testing::ValuesIn(CommandRows()),
                         [](const auto &info) { return info.param.name.toStdString(); });

// The runs of a long list, with small runs: all or nothing. A run that matches nothing adds
// nothing; a group has its own base and names.
TEST_F(WindowTest, ZipInRunsAppendsAndFailureLeavesNothing) {
    for (const char *name : {"a", "b", "c", "d", "e", "sub/s"})
        testsupport::WriteFile(tmp.path() / "f" / name,
                               QString(name).section('/', -1).repeated(100).toStdString());
    cZip &zip = window.ZipObject();
    const auto group = [&](std::vector<std::string> specs) {
        return std::vector<ZipGroup>{{tmp / "f/", false, std::move(specs)}};
    };
    auto groups = group({"a", "b", "nothing*", "c", "d", "e"});
    groups.push_back({tmp / "f/", true, {"sub/*.*"}});
    EXPECT_TRUE(ZipInRuns(zip, groups, tmp / "runs.zip", 2));
    EXPECT_EQ(Entries(tmp / "runs.zip", ""), "a b c d e sub/s : deflated");
    EXPECT_FALSE(zip.AllowAppend());
    const std::string before = ReadFile(tmp.path() / "runs.zip");
    EXPECT_FALSE(ZipInRuns(zip, group({"x*", "y*", "z*"}), tmp / "runs.zip", 2));  // no match
    zip.Encrypt(true);  // no password is given: every run stops
    EXPECT_FALSE(ZipInRuns(zip, group({"a", "b", "c"}), tmp / "runs.zip", 2));
    EXPECT_EQ(ReadFile(tmp.path() / "runs.zip"), before);
    EXPECT_EQ(testsupport::NamesIn(tmp.path()), (std::vector<std::string>{"f", "runs.zip"}));

    // A job killed part way left its partial archive: the next job removes it unless its
    // process still runs. A named file that is gone is left out as one run would: the rest
    // is written and the job reports failure.
    const std::string deadPid = std::to_string(std::stol(ReadFile("/proc/sys/kernel/pid_max")) + 1);
    testsupport::WriteFile(tmp.path() / ("runs.zip.tesk-part-" + deadPid), "partial");
    testsupport::WriteFile(tmp.path() / "runs.zip.tesk-part-1", "pid 1 runs");
    zip.Encrypt(false);
    EXPECT_FALSE(ZipInRuns(zip, group({"a", "gone", "b", "c"}), tmp / "runs.zip", 2));
    EXPECT_EQ(Entries(tmp / "runs.zip", ""), "a b c : deflated");
    EXPECT_EQ(testsupport::NamesIn(tmp.path()),
              (std::vector<std::string>{"f", "runs.zip", "runs.zip.tesk-part-1"}));
}

// Over several runs, each run's progress counts the runs before it and the whole job; the
// runs' totals are summed into one line.
TEST(ZipJobProgress, CountsTheWholeJob) {
    struct Recorder : cZipEvents {
        std::vector<std::string> lines;
        void Progress(int32_t, const std::string &sMsg) override { lines.push_back(sMsg); }
    } recorder;
    cZip zip;
    zip.SetListener(&recorder);
    {
        ZipJobProgress job(zip, {{2, 100}, {3, 300}});
        zip.RaiseProgress("  1 of 2 entries (50%)");
        zip.RaiseProgress("  adding: a (deflated 5%)");
        zip.RaiseProgress("total: 2 added, 0 updated, 100 bytes in, 90 bytes out");
        job.RunEnded();
        zip.RaiseProgress("  2 of 3 entries (50%)");
        zip.RaiseProgress("total: 3 added, 1 updated, 300 bytes in, 200 bytes out");
        job.RunEnded();
        job.SendTotal();
    }
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{
                                  "  1 of 5 entries (12%)", "  adding: a (deflated 5%)",
                                  "  4 of 5 entries (62%)",
                                  "total: 5 added, 1 updated, 400 bytes in, 290 bytes out"}));
    EXPECT_EQ(zip.Listener(), &recorder);
}
