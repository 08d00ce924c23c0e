// Checks of an extracted tree that hold at any depth (every walk goes through folder
// descriptors, never through long paths) and never follow a link by accident.
#pragma once

#include <string>

namespace treecheck {

// Removes path and everything below it, never following a link.
void RemoveTree(const std::string &path);

// Reports on stderr (and returns false) when a link below dest resolves, or would resolve
// once its missing parts were made, to a place outside dest. Links are followed as the
// system would, the tree's own links included, at most 40 deep. allowedLink names one link,
// relative to dest, that the caller put there itself; it is not checked.
bool TreeStaysInside(const std::string &dest, const std::string &allowedLink = "");

// The names in a folder, sorted and joined by "/"; "?" when it cannot be read.
std::string Listing(const std::string &folder);

// Every folder, file and link below root, one sorted line each: "path/" for a folder,
// "path -> @target" for a link, "path -> content" for a file (contents over 64 bytes as
// "N bytes", or "N bytes, CRC C" with crc). Parts longer than 40 bytes are shown as their
// length.
std::string DescribeTree(const std::string &root, bool crc = false);

}  // namespace treecheck
