// Names under which files are stored: "/"-separated, relative, never leading "/" or "..".
#pragma once

#include <string>
#include <string_view>

namespace tesk::zip {

// Both separators are accepted in file specifications: "\" becomes "/".
std::string ToForwardSlashes(std::string_view text);

// The stored path of a file specification's folder or file part (slashes already forward).
// base is the absolute folder that relative file specifications start from. A relative path is
// kept as written, normalised, without leading ".." parts; an absolute one inside base
// becomes relative to it, one outside loses its leading "/". "" stands for base itself.
std::string StoredPathOf(const std::string &base, const std::string &specPath);

// parent + "/" + child, or child alone when parent is "".
std::string JoinStored(const std::string &parent, const std::string &child);

// The final entry name: only the last part with junkDirNames, "/" appended for folders.
std::string EntryName(const std::string &storedPath, bool isDir, bool junkDirNames);

}  // namespace tesk::zip
