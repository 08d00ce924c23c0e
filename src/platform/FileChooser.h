// The system's file and folder choosers, behind an interface so that tests can put a
// scripted chooser in their place. UI thread only; every call is modal.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

// Flags of a file request, with the values the Windows file dialogs give them.
inline constexpr uint32_t kChooserOverwritePrompt = 0x2;
inline constexpr uint32_t kChooserAllowMultiSelect = 0x200;
inline constexpr uint32_t kChooserExplorer = 0x80000;

struct FileRequest {
    // Pairs of description and patterns ("Zip Files (*.zip)", "*.zip", ...), each ended by
    // a NUL, the whole ended by one more NUL; patterns are separated by ";". Empty: none.
    QString filter;
    int filterIndex = 1;                 // 1-based pair to select first
    QString initialDir;                  // empty: the system's choice
    std::optional<QString> title;        // absent: the system's default title
    QString defaultExtension;            // without a dot; empty: none
    uint32_t flags = 0;                  // kChooser* bits
    int maxFile = 2048;                  // characters the file buffer holds, its last NUL included
};

class FileChooser {
public:
    virtual ~FileChooser() = default;

    // Both file choosers return the text of the file buffer: empty when cancelled; one full
    // path when one file was chosen; else the folder, a NUL, each name followed by a NUL,
    // and one more NUL. Paths use the native separator.
    virtual QString OpenFile(const FileRequest &request) = 0;
    // Asks before an existing file is chosen (kChooserOverwritePrompt) and appends the
    // default extension to a name typed without one.
    virtual QString SaveFile(const FileRequest &request) = 0;
    // An existing folder: its path without a trailing separator (the root keeps its
    // separator), or the empty text when cancelled.
    virtual QString ChooseDirectory(const QString &title) = 0;
};

// The chooser made of the toolkit's own dialogs; lives as long as the process.
FileChooser &SystemChooser();

}  // namespace platform
