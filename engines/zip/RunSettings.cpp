#include "RunSettings.h"

#include <filesystem>

namespace tesk::zip {
namespace {

bool IsBlank(const std::string &text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

std::string CurrentFolder() {
    std::error_code ec;
    const auto path = std::filesystem::current_path(ec);
    return ec ? std::string("/") : path.string();
}

}  // namespace

int LevelOf(char levelChar) {
    if (levelChar >= '0' && levelChar <= '9') return levelChar - '0';
    return 6;
}

RunSettings ReadSettings(const ZipOptions &options, const char *rootDir, const char *zipFile,
                         int32_t count, const char *const *names) {
    RunSettings s;
    s.mode = options.DeleteEntries ? RunMode::Delete
             : options.Freshen     ? RunMode::Freshen
             : options.Update      ? RunMode::Update
             : options.Append      ? RunMode::Append
                                   : RunMode::New;
    s.level = LevelOf(options.LevelChar);
    s.lineEnds = options.CRLFToLF ? LineEnds::CrLfToLf
                 : options.LFToCRLF ? LineEnds::LfToCrLf
                                    : LineEnds::Keep;
    s.messages = options.Quiet ? MessageLevel::Quiet
                 : options.Verbose ? MessageLevel::Verbose
                                   : MessageLevel::Normal;
    s.encrypt = options.Encrypt != 0;
    s.comment = options.Comment != 0;
    s.recurse = options.Recurse != 0;
    s.noDirEntries = options.NoDirEntries != 0;
    s.junkDirNames = options.JunkDirNames != 0;

    // A RootDir of blanks only stands for the current folder.
    const std::string root = rootDir ? rootDir : "";
    std::filesystem::path base = CurrentFolder();
    if (!IsBlank(root)) base = base / root;  // an absolute root replaces the current folder
    s.base = base.lexically_normal().string();
    if (s.base.size() > 1 && s.base.back() == '/') s.base.pop_back();

    s.archive = zipFile ? zipFile : "";
    for (int32_t i = 0; names && i < count && i < TESK_NAMELIST_SLOTS && names[i]; ++i)
        if (names[i][0] != '\0') s.specs.emplace_back(names[i]);
    return s;
}

}  // namespace tesk::zip
