#include "TestSupport.h"
#include "clsGetDirectories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

// Depth-first pre-order, siblings in the system's order; RECYCLER is passed over; links to
// folders are listed but never entered; the results of repeated calls add up.
TEST(clsGetDirectories, WalksRealAndScriptedTrees) {
    testsupport::TempDir tmp;
    const std::string a = tmp / "A";
    for (const char *d : {"A/B/D", "A/C/RECYCLER/below", "A/.hidden/inner", "A/Recycler",
                          "A/RECYCLED", "leaf"})
        fs::create_directories(tmp.path() / d);
    testsupport::WriteFile(tmp.path() / "A/file.txt", "x");
    testsupport::WriteFile(tmp.path() / "leaf/only-a-file", "x");
    fs::create_directory_symlink("..", tmp.path() / "A/B/D/up");  // a loop
    fs::create_directory_symlink(a, tmp.path() / "A/self");
    fs::create_symlink(tmp.path() / "nowhere", tmp.path() / "A/dangling");

    std::map<std::string, Paths> below = {
        {"B", {a + "/B/", a + "/B/D/", a + "/B/D/up/"}}, {"C", {a + "/C/"}},
        {".hidden", {a + "/.hidden/", a + "/.hidden/inner/"}}, {"self", {a + "/self/"}},
        {"Recycler", {a + "/Recycler/"}}, {"RECYCLED", {a + "/RECYCLED/"}}};
    Paths expected;
    for (const auto &entry : fs::directory_iterator(a))
        for (const std::string &dir : below[entry.path().filename().string()])
            expected.push_back(dir);
    int pumps = 0;
    clsGetDirectories lister([&] { ++pumps; });
    EXPECT_EQ(lister.GetDirs(a), expected);
    EXPECT_GT(pumps, 0);
    Paths twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(lister.GetDirs(a + "/"), twice);  // a trailing separator changes nothing
    EXPECT_EQ(lister.Count(), static_cast<int>(twice.size()));
    EXPECT_TRUE(clsGetDirectories().GetDirs(tmp / "leaf").empty());
    EXPECT_TRUE(clsGetDirectories().GetDirs(tmp / "missing").empty());

    // A scripted tree with the other platform's separator: a folder that cannot be read is
    // listed by its parent but contributes nothing below it.
    using platform::DirectoryEntry;
    std::map<std::string, std::vector<DirectoryEntry>> tree = {
        {"C:\\", {{"data", true, false}, {"io.sys", false, false}, {"locked", true, false}}},
        {"C:\\data\\", {{"RECYCLER", true, false}, {"photos", true, false}}},
        {"C:\\data\\photos\\", {}}, {"C:\\data\\RECYCLER\\", {{"never", true, false}}}};
    Paths asked;
    auto listing = [&](const std::string &folder, std::vector<DirectoryEntry> &entries) {
        asked.push_back(folder);
        if (!tree.count(folder)) return false;
        entries = tree[folder];
        return true;
    };
    clsGetDirectories dirs({}, '\\', listing);
    EXPECT_EQ(dirs.GetDirs("C:\\"), (Paths{"C:\\data\\", "C:\\data\\photos\\", "C:\\locked\\"}));
    EXPECT_EQ(asked, (Paths{"C:\\", "C:\\data\\", "C:\\data\\photos\\", "C:\\locked\\"}));
}

