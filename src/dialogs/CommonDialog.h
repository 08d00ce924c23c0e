// CommonDialog: the one picker object of the main window. It keeps a file request record
// as text (filter, file buffer, file title, initial folder, title, default extension,
// flags) that every property reads and writes, shows the open, save and folder choosers,
// and shapes what they return. Every property keeps its value until assigned again.
// UI thread only.
#pragma once

#include "FileChooser.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>

class CommonDialog {
public:
    // The three shapes of FileName: no value (cancelled), one text (one file, full path)
    // or a list (element 0 the folder, then the chosen names).
    using FileNameValue = std::variant<std::monostate, QString, QStringList>;

    static constexpr int kMaxFile = 2048;
    static constexpr int kMaxFileTitle = 256;
    static constexpr uint32_t kFlags = platform::kChooserExplorer |
                                       platform::kChooserAllowMultiSelect |
                                       platform::kChooserOverwritePrompt;

    // chooser: the choosers to show; the system's own when null. Not owned.
    explicit CommonDialog(platform::FileChooser *chooser = nullptr);

    // The text followed by one NUL becomes the file buffer. The next ShowOpen or ShowSave
    // refills the buffer, so an assigned name never reaches a chooser.
    void FileName(const QString &sFileName);
    // The outcome of the last file chooser. With AllowMultiSelect the buffer is cut at its
    // trailing NULs as it is read, so reading twice gives the same result.
    FileNameValue FileName();

    // "|" separates descriptions and patterns: "Zip Files (*.zip)|*.zip".
    void Filter(const QString &sFilter);
    QString Filter() const;
    // Any assignment resets the title buffer; the text assigned is not kept.
    void FileTitle(const QString &sFileTitle);
    // The name of the file chosen last, padded with NULs to 256 characters.
    QString FileTitle() const;
    void DialogTitle(const QString &sDialogTitle);
    QString DialogTitle() const;
    void InitDir(const QString &sInitDir);
    QString InitDir() const;
    // Stored without any ".": ".tar.gz" is stored as "targz". "txt" until assigned.
    void DefaultExt(const QString &sDefaultExt);
    QString DefaultExt() const;
    bool AllowMultiSelect() const { return allowMultiSelect_; }
    void AllowMultiSelect(bool TrueFalse) { allowMultiSelect_ = TrueFalse; }

    void ShowOpen();
    void ShowSave();
    // The chosen folder without a trailing separator (the root keeps it), or the empty text
    // when cancelled.
    QString GetFolderName(const QString &DialogTitle);

    // The flags handed to every file chooser.
    uint32_t Flags() const { return flags_; }

    // Reading FileName as a text, as a caller does that expects one path: no value gives
    // the empty text; a list (which a caller of a single choice never receives) gives its
    // parts joined by NULs, as they stood in the buffer.
    static QString AsText(const FileNameValue &value);

private:
    enum class Kind { Open, Save };
    void ShowFileChooser(Kind kind);
    FileNameValue SplitMultiSelection() const;
    static std::optional<QString> TrimTrailingNulls(const QString &text);

    platform::FileChooser *chooser_;
    std::optional<QString> filter_;       // as stored: NUL-separated, two NULs at the end
    int filterIndex_ = 0;
    QString file_;                        // the file buffer
    QString fileTitle_;
    std::optional<QString> initialDir_;   // as stored: two NULs at the end
    std::optional<QString> title_;
    QString defaultExt_ = QStringLiteral("txt");
    uint32_t flags_ = kFlags;
    bool allowMultiSelect_ = false;
};
