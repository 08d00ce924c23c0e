// The system chooser, made of QFileDialog.
#include "FileChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

namespace platform {

namespace {

// "Zip Files (*.zip)" NUL "*.zip" NUL NUL becomes the toolkit's "Zip Files (*.zip)". The
// patterns count, not the description: a description's own "(...)" is replaced by them.
// "*.*" means every file, as it does in the pattern language the filter texts come from.
QStringList NameFilters(const QString &filter) {
    QStringList parts = filter.split(QChar(0));
    while (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();
    QStringList result;
    static const QRegularExpression trailingParens(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(trailingParens);
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        }
        result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')');
    }
    return result;
}

QString BufferFromSelection(const QStringList &files) {
    if (files.isEmpty()) return QString();
    if (files.size() == 1) return QDir::toNativeSeparators(files.first());
    QString buffer = QDir::toNativeSeparators(QFileInfo(files.first()).absolutePath());
    buffer += QChar(0);
    for (const QString &file : files) {
        buffer += QFileInfo(file).fileName();
        buffer += QChar(0);
    }
    buffer += QChar(0);
    return buffer;
}

void Prepare(QFileDialog &dialog, const FileRequest &request) {
    if (request.title) dialog.setWindowTitle(*request.title);
    if (!request.initialDir.isEmpty()) dialog.setDirectory(request.initialDir);
    const QStringList filters = NameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = request.filterIndex - 1;
        if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    }
}

class QtFileChooser final : public FileChooser {
public:
    // The toolkit's file dialog reads and writes its folder history and view in the user's
    // settings. Tesk keeps no settings, so they go to a folder of this run, removed at its
    // end. Tesk itself has no settings object that this could redirect.
    QtFileChooser() {
        const QString path = state_.isValid() ? state_.path() : QStringLiteral("/dev/null");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    }

    QString OpenFile(const FileRequest &request) override {
        QFileDialog dialog;
        Prepare(dialog, request);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode((request.flags & kChooserAllowMultiSelect) ? QFileDialog::ExistingFiles
                                                                    : QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted) return QString();
        return BufferFromSelection(dialog.selectedFiles());
    }

    QString SaveFile(const FileRequest &request) override {
        QFileDialog dialog;
        Prepare(dialog, request);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultExtension);
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         !(request.flags & kChooserOverwritePrompt));
        if (dialog.exec() != QDialog::Accepted) return QString();
        const QStringList files = dialog.selectedFiles();
        return files.isEmpty() ? QString() : QDir::toNativeSeparators(files.first());
    }

    QString ChooseDirectory(const QString &title) override {
        const QString folder = QFileDialog::getExistingDirectory(
            nullptr, title, QString(), QFileDialog::ShowDirsOnly);
        if (folder.isEmpty()) return QString();
        QString path = QDir::toNativeSeparators(QDir::cleanPath(folder));
        return path;
    }

private:
    QTemporaryDir state_;
};

}  // namespace

FileChooser &SystemChooser() {
    static QtFileChooser chooser;
    return chooser;
}

}  // namespace platform
