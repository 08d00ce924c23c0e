// What each binding hands to its engine, and what it makes of the engine's answers, beyond
// the cases of scripts_test.
#include "FakeEngines.h"
#include "TeskError.h"
#include "TestSupport.h"
#include "cUnzip.h"
#include "cZip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

// The first n slots of a name table.
fake::Slots First(const fake::Slots &slots, size_t n) { return {slots.begin(), slots.begin() + n}; }

// A fresh object lists with a null archive path, an empty folder and empty lists; it
// extracts nothing, and asks for the version with a padded record.
TEST(UnzipBinding, FreshObject) {
    fake::Unzip() = {};
    cUnzip zip;
    zip.UnzipFolder("/dest");
    zip.Directory();
    const fake::UnzipCall &call = fake::Unzip().calls.at(0);
    EXPECT_TRUE(!call.archivePath && call.extractFolder == "");
    EXPECT_TRUE(call.options.ListOnly == 1 && call.includeCount + call.excludeCount == 0);
    EXPECT_EQ(First(call.include, 2), (fake::Slots{"", {}}));
    EXPECT_TRUE(call.exclude.at(0) == "" && !call.exclude.at(1023));
    EXPECT_TRUE(!call.callbacks.Unused && std::ranges::count(call.callbacks.Words, 0) == 5);
    EXPECT_THROW(zip.FileName(1), TeskError);
    EXPECT_TRUE(!zip.Unzip() && fake::Unzip().calls.size() == 1u);  // no archive: no engine call

    fake::Unzip().version = [](UnzipVersion &v) {
        EXPECT_EQ(v.Length, 64);
        EXPECT_EQ(std::string(v.ExtraInfo) + v.Date + v.LibraryVersion, std::string(37, ' '));
        std::memcpy(v.ExtraInfo, "B", 2);
        std::memcpy(v.EngineVersion, "\x01\x02\xff", 3);
    };
    int32_t major = -1, minor = -1, revision = -1;
    double date = 42.5;
    std::string extra;
    zip.GetVersion(major, minor, revision, date, extra);
    EXPECT_EQ(extra, "B         ");
    EXPECT_EQ(std::vector<int32_t>({major, minor, revision}), std::vector<int32_t>({1, 2, 255}));
    EXPECT_EQ(date, 42.5);  // left as it was
}

// Only the selected entries are named, by their paths with "/"; all of them means the
// whole archive. The list holds at most 1023 names.
TEST(UnzipBinding, SelectedEntriesAreNamedByTheirPaths) {
    fake::Unzip() = {};
    cUnzip zip;
    std::vector<std::string> names = {"docs/img/a.png", "docs/img/b.png"};
    for (int i = 0; i < 1023; ++i) names.push_back("f" + std::to_string(i));
    fake::Unzip().script = [&](const fake::UnzipCall &call) {
        if (call.options.ListOnly)  // lists
            for (const std::string &n : names)
                call.callbacks.EntryCallback(5, 10, 50, 2004, 3, 5, 9, 7, 0, n.c_str(), "", 0, 0);
        return 3;
    };
    zip.ZipFile("/a.zip");
    zip.Directory();
    zip.FileSelected(1, false);  // 1024 selected
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Unzip(); }), "9 tesk.VBUnzip");
    EXPECT_EQ(fake::Unzip().calls.size(), 1u);  // only the listing
    zip.FileSelected(3, false);  // 1023 selected
    EXPECT_TRUE(!zip.FileSelected(3) && zip.FileSelected(2));
    EXPECT_TRUE(zip.Unzip() && zip.LastResult() == 3);  // the engine's 3: a failure
    const fake::UnzipCall &call = fake::Unzip().calls.back();
    EXPECT_EQ(call.includeCount, 1023);
    EXPECT_EQ(First(call.include, 2), (fake::Slots{"docs/img/b.png", "f1"}));
    EXPECT_TRUE(call.include.at(1022) == "f1022" && call.include.at(1023) == "");
    EXPECT_FALSE(call.extractFolder.has_value());  // no folder given
    zip.FileSelected(1, true);
    zip.FileSelected(3, true);
    fake::Unzip().script = nullptr;
    EXPECT_TRUE(!zip.Unzip() && fake::Unzip().calls.back().includeCount == 0);
    EXPECT_THROW(zip.FileSelected(1026, true), TeskError);
    EXPECT_EQ(zip.FilePackedSize(0) + zip.FilePackedSize(1026), 0);  // outside: 0
    zip.ZipFile("/other.zip");  // forgets the entries
    EXPECT_EQ(zip.FileCount(), 0);
}

using Log = std::vector<std::string>;

struct ZipBinding : ::testing::Test {
    void SetUp() override { fake::Zip() = {}; }
    void TearDown() override { std::filesystem::current_path(startDir); }
    const fake::ZipArchiveCall &Run() { return fake::Zip().archives.back(); }

    std::filesystem::path startDir = std::filesystem::current_path();
    cZip zip;
};

// A fresh object names no archive, no root and no files. File specifications are numbered
// from 1 and stay for later runs; the table holds at most 1023. Success follows the last
// Zip; Delete runs with DeleteEntries set just for the run.
TEST_F(ZipBinding, FileSpecsSuccessAndDelete) {
    zip.Zip();
    EXPECT_TRUE(!Run().zipFile && !Run().rootDir && Run().count == 0);
    EXPECT_EQ(First(Run().names, 2), (fake::Slots{"", {}}));
    EXPECT_EQ(fake::Zip().log, (Log{"ZpInit", "ZpSetOptions", "ZpArchive"}));

    zip.ZipFile("/out/a.zip");
    zip.AddFileSpec("a/*.*");
    zip.AddFileSpec("");
    EXPECT_EQ(zip.AddFileSpec("a/*.*"), 0);
    EXPECT_TRUE(zip.FileSpecCount() == 3 && zip.FileSpec(1) == "a/*.*");
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.FileSpec(0); }), "9 tesk.cZip");
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.FileSpec(4); }), "9 tesk.cZip");
    fake::Zip().script = [](const fake::ZipArchiveCall &) { return 4; };
    zip.Zip();
    EXPECT_FALSE(zip.Success());
    EXPECT_TRUE(Run().count == 3 && Run().zipFile == "/out/a.zip");
    EXPECT_EQ(First(Run().names, 5), (fake::Slots{"a/*.*", "", "a/*.*", "", {}}));
    fake::Zip().script = nullptr;
    zip.Zip();
    EXPECT_TRUE(zip.Success() && Run().count == 3);
    fake::Zip().script = [](const fake::ZipArchiveCall &) { return 7; };
    zip.Delete();
    EXPECT_TRUE(zip.Success() && Run().options.DeleteEntries == 1);
    EXPECT_EQ(zip.Options().DeleteEntries, 0);
    zip.ClearFileSpecs();
    EXPECT_THROW(zip.FileSpec(1), TeskError);

    for (int i = 0; i < 1023; ++i) zip.AddFileSpec("s" + std::to_string(i));
    zip.Zip();
    EXPECT_EQ(Run().names.at(1023), "");
    zip.AddFileSpec("one too many");
    fake::Zip().log.clear();
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Zip(); }), "9 tesk.VBZip");
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Delete(); }), "9 tesk.VBZip");
    EXPECT_EQ(fake::Zip().log, (Log{"ZpInit", "ZpSetOptions", "ZpInit", "ZpSetOptions"}));
    EXPECT_EQ(zip.Options().DeleteEntries, 0);
}

// The base folder becomes the current folder for the run, unless blank; a missing one
// fails before the engine is called. What the engine leaves in the record is kept.
TEST_F(ZipBinding, BasePathAndWhatTheEngineLeaves) {
    testsupport::TempDir dir;
    const std::string base = dir.path().string();
    zip.BasePath(base);
    zip.Zip();
    EXPECT_TRUE(Run().currentDirectory == base && Run().rootDir == base);

    std::filesystem::current_path(startDir);
    zip.BasePath("   ");  // the spaces still reach the engine
    zip.Zip();
    EXPECT_TRUE(Run().currentDirectory == startDir.string() && Run().rootDir == "   ");

    zip.BasePath(base + "/missing");
    fake::Zip().log.clear();
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Zip(); }), "76 tesk.VBZip");
    EXPECT_TRUE(fake::Zip().log.empty());

    zip.BasePath("/");
    fake::Zip().onSetOptions = [](ZipOptions &o) {
        static const char changed[] = "/elsewhere";
        o.Verbose = 1;
        o.RootDir = o.Unused0 = o.Unused8 = changed;
    };
    zip.Zip();
    EXPECT_TRUE(zip.MessageLevel() == 0 && zip.BasePath() == "/elsewhere");
    EXPECT_TRUE(zip.Options().Unused0 == nullptr && zip.Options().Unused8 == nullptr);
    zip.BasePath("/");
    fake::Zip().onSetOptions = [](ZipOptions &o) { o.RootDir = nullptr; };
    zip.Zip();
    EXPECT_EQ(zip.BasePath(), "");
    zip.Zip();
    EXPECT_FALSE(Run().rootDir.has_value());
}

}  // namespace
