#include "CommonDialog.h"

#include <algorithm>

namespace {

QString Nuls(int count) { return QString(count, QChar(0)); }

QString WithoutNuls(QString text) {
    text.remove(QChar(0));
    return text;
}

}  // namespace

CommonDialog::CommonDialog(platform::FileChooser *chooser)
    : chooser_(chooser ? chooser : &platform::SystemChooser()),
      file_(Nuls(kMaxFile)),
      fileTitle_(Nuls(kMaxFileTitle)) {}

void CommonDialog::FileName(const QString &sFileName) { file_ = sFileName + QChar(0); }

CommonDialog::FileNameValue CommonDialog::FileName() {
    if (!allowMultiSelect_) {
        auto text = TrimTrailingNulls(file_);
        if (!text) return std::monostate{};
        return *text;
    }
    file_ = TrimTrailingNulls(file_).value_or(QString());
    return SplitMultiSelection();
}

void CommonDialog::Filter(const QString &sFilter) {
    QString stored = sFilter;
    stored.replace(QLatin1Char('|'), QChar(0));
    filter_ = stored + Nuls(2);
}

QString CommonDialog::Filter() const {
    if (!filter_) return QString();
    QString text = *filter_;
    while (!text.isEmpty() && text.back() == QChar(0)) text.chop(1);
    text.replace(QChar(0), QLatin1Char('|'));
    return text;
}

void CommonDialog::FileTitle(const QString &) { fileTitle_ = Nuls(kMaxFileTitle); }

QString CommonDialog::FileTitle() const { return fileTitle_; }

void CommonDialog::DialogTitle(const QString &sDialogTitle) { title_ = sDialogTitle; }

QString CommonDialog::DialogTitle() const { return title_ ? WithoutNuls(*title_) : QString(); }

void CommonDialog::InitDir(const QString &sInitDir) { initialDir_ = sInitDir + Nuls(2); }

QString CommonDialog::InitDir() const {
    return initialDir_ ? WithoutNuls(*initialDir_) : QString();
}

void CommonDialog::DefaultExt(const QString &sDefaultExt) {
    defaultExt_ = sDefaultExt;
    defaultExt_.remove(QLatin1Char('.'));
}

QString CommonDialog::DefaultExt() const { return defaultExt_; }

void CommonDialog::ShowOpen() { ShowFileChooser(Kind::Open); }

void CommonDialog::ShowSave() { ShowFileChooser(Kind::Save); }

void CommonDialog::ShowFileChooser(Kind kind) {
    file_ = Nuls(kMaxFile);
    filterIndex_ = 1;

    platform::FileRequest request;
    // The request carries each text up to its first NUL where the system would stop
    // reading it; the filter keeps its NUL-separated pairs.
    if (filter_) request.filter = *filter_;
    request.filterIndex = filterIndex_;
    if (initialDir_) request.initialDir = initialDir_->section(QChar(0), 0, 0);
    if (title_) request.title = title_->section(QChar(0), 0, 0);
    request.defaultExtension = defaultExt_;
    request.flags = flags_;
    request.maxFile = kMaxFile;

    const QString chosen = kind == Kind::Open ? chooser_->OpenFile(request)
                                              : chooser_->SaveFile(request);
    if (chosen.isEmpty()) return;
    // The buffer grows to any selection: the choosers here have no limit of their own, and
    // a selection cut short would leave out files the user picked.
    file_ = chosen + Nuls(std::max(1, kMaxFile - static_cast<int>(chosen.size())));

    // The title buffer receives the bare name of a single choice.
    if (!chosen.contains(QChar(0))) {
        QString name = chosen.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
        name.truncate(kMaxFileTitle - 1);
        fileTitle_ = name + Nuls(kMaxFileTitle - static_cast<int>(name.size()));
    }
}

QString CommonDialog::GetFolderName(const QString &DialogTitle) {
    const QString folder = chooser_->ChooseDirectory(DialogTitle);
    return folder.section(QChar(0), 0, 0);
}

std::optional<QString> CommonDialog::TrimTrailingNulls(const QString &text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QChar(0)) --end;
    if (end == 0) return std::nullopt;
    return text.left(end);
}

CommonDialog::FileNameValue CommonDialog::SplitMultiSelection() const {
    if (file_.isEmpty()) return std::monostate{};
    if (!file_.contains(QChar(0))) return file_;
    return file_.split(QChar(0));
}

QString CommonDialog::AsText(const FileNameValue &value) {
    if (const auto *text = std::get_if<QString>(&value)) return *text;
    if (const auto *list = std::get_if<QStringList>(&value)) return list->join(QChar(0));
    return QString();
}
