#include "DeleteRun.h"

#include "ArchiveHandle.h"
#include "EmptyArchive.h"
#include "Prompts.h"
#include "StoredName.h"
#include "wildcard.h"

namespace tesk::zip {

bool EntryMatches(const std::vector<std::string> &specs, const std::string &name) {
    for (const auto &raw : specs) {
        std::string spec = ToForwardSlashes(raw);
        while (spec.rfind("./", 0) == 0) spec.erase(0, 2);
        while (!spec.empty() && spec[0] == '/') spec.erase(0, 1);
        if (spec.empty()) continue;
        if (FileSpecMatch(spec, name, true)) return true;
        if (!name.empty() && name.back() == '/' && spec.back() != '/' &&
            FileSpecMatch(spec + "/", name, true))
            return true;
    }
    return false;
}

int32_t RunDelete(const RunSettings &settings, const ZipCallbacks &callbacks,
                  const Reporter &reporter) {
    ArchiveHandle archive;
    std::string error;
    if (!archive.Open(settings.archive, 0, error)) {
        reporter.Error("zip error: cannot open archive " + settings.archive + ": " + error);
        return ZP_ERR_ARCHIVE;
    }
    zip_t *za = archive.get();
    const zip_int64_t count = zip_get_num_entries(za, 0);
    zip_int64_t deleted = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(za, static_cast<zip_uint64_t>(i), 0);
        if (!name || !EntryMatches(settings.specs, name)) continue;
        if (zip_delete(za, static_cast<zip_uint64_t>(i)) != 0) {
            reporter.Error(std::string("zip error: cannot delete ") + name + ": " + zip_strerror(za));
            return ZP_ERR_WRITE;
        }
        reporter.Entry(std::string("deleting: ") + name);
        ++deleted;
    }
    if (deleted == 0) {
        reporter.Error("zip error: no entry matched the file specifications");
        return ZP_ERR_NOMATCH;
    }

    int commentLength = 0;
    const char *oldComment = zip_get_archive_comment(za, &commentLength, 0);
    std::string comment = oldComment ? std::string(oldComment, static_cast<std::size_t>(commentLength)) : "";
    if (settings.comment) {
        const auto given = AskComment(callbacks.ZipCommentCallback);
        if (!given) {
            reporter.Error("zip error: no comment given");
            return ZP_ERR_COMMENT;
        }
        comment = *given;
        zip_set_archive_comment(za, comment.data(), static_cast<zip_uint16_t>(comment.size()));
    }

    if (deleted == count) {
        // zip_close would remove the file rather than leave an empty archive.
        archive.Discard();
        if (!WriteEmptyArchive(settings.archive, comment, error)) {
            reporter.Error("zip error: cannot write archive " + settings.archive + ": " + error);
            return ZP_ERR_WRITE;
        }
    } else if (!archive.Close(error)) {
        reporter.Error("zip error: cannot write archive " + settings.archive + ": " + error);
        return ZP_ERR_WRITE;
    }
    reporter.Summary("total: " + std::to_string(deleted) + " deleted");
    return ZP_OK;
}

}  // namespace tesk::zip
