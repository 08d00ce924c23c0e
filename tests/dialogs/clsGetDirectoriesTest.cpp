#include "TestSupport.h"
#include "clsGetDirectories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using testsupport::TempDir;
using Paths = std::vector<std::string>;

namespace {

// The names of folder's subfolders in the order the system lists them.
std::vector<std::string> SystemOrder(const fs::path &folder) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    return names;
}

TEST(clsGetDirectories, DepthFirstPreOrderInTheSystemsOrder) {
    TempDir tmp;
    const std::string a = tmp / "A";
    for (const char *d : {"A/B/D", "A/C", "A/.hidden/inner", "A/Recycler", "A/RECYCLED",
                          "A/C/RECYCLER/below"})
        fs::create_directories(tmp.path() / d);
    testsupport::WriteFile(tmp.path() / "A/file.txt", "x");
    testsupport::WriteFile(tmp.path() / "A/B/D/file", "x");

    // The expected list, built from the system's own order of each folder.
    std::map<std::string, Paths> below = {
        {"B", {a + "/B/", a + "/B/D/"}},
        {"C", {a + "/C/"}},
        {".hidden", {a + "/.hidden/", a + "/.hidden/inner/"}},
        {"Recycler", {a + "/Recycler/"}},
        {"RECYCLED", {a + "/RECYCLED/"}},
    };
    Paths expected;
    for (const auto &name : SystemOrder(a))
        expected.insert(expected.end(), below[name].begin(), below[name].end());

    int pumps = 0;
    clsGetDirectories lister([&] { ++pumps; });
    EXPECT_EQ(lister.GetDirs(a), expected);
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(clsGetDirectories().GetDirs(a + "/"), expected);  // trailing separator
}

TEST(clsGetDirectories, EmptyAndUnreadableFoldersAndRepeatedCalls) {
    TempDir tmp;
    fs::create_directories(tmp.path() / "leaf");
    testsupport::WriteFile(tmp.path() / "leaf/only-a-file", "x");
    clsGetDirectories lister;
    EXPECT_TRUE(lister.GetDirs(tmp / "leaf").empty());
    EXPECT_TRUE(lister.GetDirs(tmp / "missing").empty());

    fs::create_directories(tmp.path() / "two/x");
    const Paths first = lister.GetDirs(tmp / "two");
    const Paths second = lister.GetDirs(tmp / "two");
    ASSERT_EQ(first, Paths{tmp / "two/x/"});
    EXPECT_EQ(second, (Paths{tmp / "two/x/", tmp / "two/x/"}));
    EXPECT_EQ(lister.Count(), 2);
}

TEST(clsGetDirectories, LinksToFoldersAreListedButNotEntered) {
    TempDir tmp;
    fs::create_directories(tmp.path() / "top/sub");
    fs::create_directory_symlink("..", tmp.path() / "top/sub/up");        // a loop
    fs::create_directory_symlink(tmp.path() / "top", tmp.path() / "top/self");
    fs::create_symlink(tmp.path() / "nowhere", tmp.path() / "top/dangling");
    const Paths dirs = clsGetDirectories().GetDirs(tmp / "top");
    Paths sorted = dirs;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (Paths{tmp / "top/self/", tmp / "top/sub/", tmp / "top/sub/up/"}));
}

// A scripted tree with the other platform's separator: a folder that cannot be read is
// listed by its parent but contributes nothing below it.
TEST(clsGetDirectories, BackslashSeparatorAndUnreadableFolder) {
    using platform::DirectoryEntry;
    std::map<std::string, std::vector<DirectoryEntry>> tree = {
        {"C:\\", {{"data", true, false}, {"io.sys", false, false}, {"locked", true, false}}},
        {"C:\\data\\", {{"RECYCLER", true, false}, {"photos", true, false}}},
        {"C:\\data\\photos\\", {}},
        {"C:\\data\\RECYCLER\\", {{"never", true, false}}},
    };
    std::vector<std::string> asked;
    auto lister = [&](const std::string &folder, std::vector<DirectoryEntry> &entries) {
        asked.push_back(folder);
        auto it = tree.find(folder);
        if (it == tree.end()) return false;
        entries = it->second;
        return true;
    };
    clsGetDirectories dirs({}, '\\', lister);
    EXPECT_EQ(dirs.GetDirs("C:\\"),
              (Paths{"C:\\data\\", "C:\\data\\photos\\", "C:\\locked\\"}));
    EXPECT_EQ(asked, (Paths{"C:\\", "C:\\data\\", "C:\\data\\photos\\", "C:\\locked\\"}));
}

}  // namespace
