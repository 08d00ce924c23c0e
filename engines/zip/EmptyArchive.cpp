#include "EmptyArchive.h"

#include "ReplacementFile.h"

#include <algorithm>
#include <cstring>

namespace tesk::zip {

bool WriteEmptyArchive(const std::string &path, const std::string &comment, std::string &error) {
    const std::size_t commentLength = std::min<std::size_t>(comment.size(), 0xFFFF);
    // End of central directory record: signature, then zeros but the comment's length.
    std::string record("PK\x05\x06", 4);
    record.append(16, '\0');
    record.push_back(static_cast<char>(commentLength & 0xFF));
    record.push_back(static_cast<char>(commentLength >> 8));
    record.append(comment, 0, commentLength);

    ReplacementFile file(path);
    if (file.Begin() && file.Write(record.data(), record.size()) && file.Commit()) return true;
    error = std::strerror(file.error());
    return false;
}

}  // namespace tesk::zip
