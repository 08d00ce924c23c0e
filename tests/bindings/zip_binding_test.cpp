#include "FakeEngines.h"
#include "TeskError.h"
#include "TestSupport.h"
#include "cZip.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

namespace {

struct Recorder : cZipEvents {
    std::vector<std::string> progress, cancels;
    std::vector<bool> confirms;
    std::vector<int32_t> maxLengths;
    int commentRequests = 0;
    bool cancel = false;
    std::function<void(std::string &, bool &)> onPassword;
    std::function<void(std::string &, bool &)> onComment;

    void Cancel(const std::string &sMsg, bool &bCancel) override {
        cancels.push_back(sMsg);
        if (cancel) bCancel = true;
    }
    void PasswordRequest(std::string &sPassword, int32_t lMax, bool bConfirm,
                         bool &bCancel) override {
        confirms.push_back(bConfirm);
        maxLengths.push_back(lMax);
        if (onPassword) onPassword(sPassword, bCancel);
    }
    void CommentRequest(std::string &sComment, bool &bCancel) override {
        ++commentRequests;
        if (onComment) onComment(sComment, bCancel);
    }
    void Progress(int32_t lCount, const std::string &sMsg) override {
        EXPECT_EQ(lCount, 1);
        progress.push_back(sMsg);
    }
};

class ZipBinding : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Zip() = fake::ZipEngine{};
        zip.SetListener(&events);
        zip.ZipFile("/out/a.zip");
    }
    void TearDown() override { std::filesystem::current_path(startDir); }

    // Runs a script inside a Zip run and returns what it returned.
    int32_t DuringZip(std::function<int32_t(const ZipCallbacks &)> body) {
        int32_t result = 0;
        fake::Zip().script = [&](const fake::ZipArchiveCall &) {
            result = body(fake::Zip().callbacks);
            return 0;
        };
        zip.Zip();
        return result;
    }

    const ZipOptions &Sent() { return fake::Zip().optionsReceived.back(); }

    std::filesystem::path startDir = std::filesystem::current_path();
    cZip zip;
    Recorder events;
};

// What a fresh object sends when run at once: no archive, no root, no names.
TEST_F(ZipBinding, FreshObjectRun) {
    cZip fresh;
    fresh.Zip();
    const fake::ZipArchiveCall &run = fake::Zip().archives.at(0);
    EXPECT_FALSE(run.zipFile.has_value());
    EXPECT_FALSE(fake::Zip().rootDirsReceived.at(0).has_value());
    EXPECT_EQ(Sent().LevelChar, '9');
    EXPECT_EQ(run.count, 0);
    EXPECT_EQ(run.names.at(0), "");
    EXPECT_FALSE(run.names.at(1).has_value());
    EXPECT_EQ(fake::Zip().log, (std::vector<std::string>{"ZpInit", "ZpSetOptions", "ZpArchive"}));
}

TEST_F(ZipBinding, CompressionLevelWritesItsFirstDigit) {
    for (auto [level, code] : {std::pair<int16_t, int>{6, 54}, {10, 49}, {-1, 45}, {0, 48}}) {
        zip.CompressionLevel(level);
        zip.Zip();
        EXPECT_EQ(Sent().LevelChar, code);
    }
}

// Each flag alone reaches its own field of the record; the rest stay as a fresh object
// sends them.
TEST_F(ZipBinding, EachFlagReachesItsOwnField) {
    struct Flag {
        void (cZip::*set)(bool);
        int32_t ZipOptions::*field;
        int32_t whenSet, whenClear;
    };
    const Flag flags[] = {{&cZip::Encrypt, &ZipOptions::Encrypt, 1, 0},
                          {&cZip::AddComment, &ZipOptions::Comment, 1, 0},
                          {&cZip::IncludeSystemAndHiddenFiles, &ZipOptions::SystemHidden, 1, 0},
                          {&cZip::StoreVolumeLabel, &ZipOptions::VolumeLabel, 1, 0},
                          {&cZip::StoreDirectories, &ZipOptions::NoDirEntries, 0, 1},
                          {&cZip::StoreFolderNames, &ZipOptions::JunkDirNames, 0, 1},
                          {&cZip::RecurseSubDirs, &ZipOptions::Recurse, 2, 0},
                          {&cZip::UpdateOnlyIfNewer, &ZipOptions::Update, 1, 0},
                          {&cZip::FreshenFiles, &ZipOptions::Freshen, 1, 0},
                          {&cZip::ConvertCRLFToLF, &ZipOptions::CRLFToLF, 1, 0},
                          {&cZip::ConvertLFToCRLF, &ZipOptions::LFToCRLF, 1, 0},
                          {&cZip::AllowAppend, &ZipOptions::Append, 1, 0}};
    events.onPassword = [](std::string &p, bool &) { p = "pw"; };
    events.onComment = [](std::string &c, bool &) { c = "c"; };
    auto ints = [](const ZipOptions &o) {  // the fields after the texts, as numbers
        std::vector<int32_t> words((offsetof(ZipOptions, LevelChar) - offsetof(ZipOptions, Unused12)) / 4);
        std::memcpy(words.data(), reinterpret_cast<const char *>(&o) + offsetof(ZipOptions, Unused12), words.size() * 4);
        return words;
    };
    auto send = [&](const std::function<void(cZip &)> &set) {
        cZip one;
        one.SetListener(&events);
        set(one);
        one.Zip();
        EXPECT_EQ(Sent().Unused0, nullptr);
        EXPECT_EQ(Sent().Unused8, nullptr);
        return ints(Sent());
    };
    ZipOptions defaults{};
    defaults.NoDirEntries = defaults.JunkDirNames = 1;
    EXPECT_EQ(send([](cZip &) {}), ints(defaults));
    for (const Flag &f : flags) {
        for (bool state : {true, false}) {
            ZipOptions expected = defaults;
            expected.*f.field = state ? f.whenSet : f.whenClear;
            EXPECT_EQ(send([&](cZip &z) { (z.*f.set)(state); }), ints(expected));
        }
    }
    // Level 0 is verbose, 1 quiet; other levels are ignored.
    for (auto [level, verbose, quiet] : {std::tuple{0, 1, 0}, {1, 0, 1}, {5, 0, 0}}) {
        ZipOptions expected = defaults;
        expected.Verbose = verbose, expected.Quiet = quiet;
        EXPECT_EQ(send([&](cZip &z) { z.MessageLevel(level); }), ints(expected)) << level;
    }
}

TEST_F(ZipBinding, FileSpecsAreNumberedFromOne) {
    zip.AddFileSpec("a/*.*");
    zip.AddFileSpec("");
    EXPECT_EQ(zip.AddFileSpec("a/*.*"), 0);
    EXPECT_EQ(zip.FileSpecCount(), 3);
    EXPECT_EQ(zip.FileSpec(1), "a/*.*");
    for (int32_t bad : {0, 4}) EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.FileSpec(bad); }), "9 tesk.cZip");
    zip.Zip();
    const fake::ZipArchiveCall &run = fake::Zip().archives.back();
    EXPECT_EQ(run.count, 3);
    EXPECT_EQ(run.names.at(2), "a/*.*");
    EXPECT_EQ(run.names.at(3), "");
    EXPECT_FALSE(run.names.at(4).has_value());
    EXPECT_EQ(run.zipFile, "/out/a.zip");
    zip.Zip();  // the list stays for the next run
    EXPECT_EQ(fake::Zip().archives.back().count, 3);
    zip.ClearFileSpecs();
    EXPECT_THROW(zip.FileSpec(1), TeskError);
}

TEST_F(ZipBinding, At1024SpecsTheRunFailsBeforeTheArchiveCall) {
    for (int i = 0; i < 1023; ++i) zip.AddFileSpec("s" + std::to_string(i));
    zip.Zip();
    EXPECT_EQ(fake::Zip().archives.back().names.at(1023), "");
    zip.AddFileSpec("one too many");
    fake::Zip().log.clear();
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Zip(); }), "9 tesk.VBZip");
    EXPECT_EQ(fake::Zip().log, (std::vector<std::string>{"ZpInit", "ZpSetOptions"}));
}

TEST_F(ZipBinding, SuccessFollowsTheLastZipOnly) {
    fake::Zip().script = [](const fake::ZipArchiveCall &) { return 4; };
    zip.Zip();
    EXPECT_FALSE(zip.Success());
    fake::Zip().script = [](const fake::ZipArchiveCall &) { return 0; };
    zip.Zip();
    EXPECT_TRUE(zip.Success());
    fake::Zip().script = [](const fake::ZipArchiveCall &call) {
        EXPECT_EQ(call.options.DeleteEntries, 1);
        return 7;
    };
    zip.Delete();
    EXPECT_TRUE(zip.Success());
    EXPECT_EQ(zip.Options().DeleteEntries, 0);

    for (int i = 0; i < 1024; ++i) zip.AddFileSpec("x");
    EXPECT_THROW(zip.Delete(), TeskError);
    EXPECT_EQ(zip.Options().DeleteEntries, 0);
}

TEST_F(ZipBinding, BasePathBecomesTheCurrentFolder) {
    testsupport::TempDir dir;
    const std::string base = dir.path().string();
    zip.BasePath(base);
    zip.Zip();
    EXPECT_EQ(fake::Zip().archives.back().currentDirectory, base);
    EXPECT_EQ(fake::Zip().archives.back().rootDir, base);

    std::filesystem::current_path(startDir);
    zip.BasePath("   ");  // blank: the current folder stays, the spaces still reach the engine
    zip.Zip();
    EXPECT_EQ(fake::Zip().archives.back().currentDirectory, startDir.string());
    EXPECT_EQ(fake::Zip().archives.back().rootDir, "   ");

    zip.BasePath(base + "/missing");
    fake::Zip().log.clear();
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Zip(); }), "76 tesk.VBZip");
    EXPECT_TRUE(fake::Zip().log.empty());
}

TEST_F(ZipBinding, WhatTheEngineLeavesInTheRecordIsKept) {
    zip.BasePath("/");
    fake::Zip().onSetOptions = [](ZipOptions &o) {
        static const char changed[] = "/elsewhere";
        o.Verbose = 1;
        o.RootDir = changed;
    };
    zip.Zip();
    EXPECT_EQ(zip.MessageLevel(), 0);
    EXPECT_EQ(zip.BasePath(), "/elsewhere");
    EXPECT_EQ(zip.Options().Unused0, nullptr);
}

TEST_F(ZipBinding, PrintAndServiceTextNeedAUsableLength) {
    int32_t results = DuringZip([](const ZipCallbacks &cb) {
        const std::string big(1024, 'm');
        return cb.ZipPrintCallback("", 0) + cb.ZipPrintCallback("x", 1) +
               cb.ZipPrintCallback(big.c_str(), 1024) + cb.ZipPrintCallback("ab\0de", 5) +
               cb.ZipServiceCallback(big.c_str(), 1024) + cb.ZipServiceCallback("x", 1) +
               cb.ZipServiceCallback("photos/a.jpg", 12);
    });
    EXPECT_EQ(results, 0);
    EXPECT_EQ(events.progress, std::vector<std::string>{"ab"});
    EXPECT_EQ(events.cancels, std::vector<std::string>{"photos/a.jpg"});
}

TEST_F(ZipBinding, CancelRefusesEveryLaterQueryOfTheRun) {
    events.cancel = true;
    events.onPassword = [](std::string &p, bool &) { p = "secret"; };
    events.onComment = [](std::string &c, bool &) { c = "note"; };
    char buffer[ZP_PASSWORD_BUFFER] = {};
    int32_t results = DuringZip([&](const ZipCallbacks &cb) {
        return cb.ZipServiceCallback("a.txt", 5) * 100 +
               cb.ZipPasswordCallback(buffer, sizeof buffer, "", "") * 10 +
               cb.ZipCommentCallback(buffer) + cb.ZipServiceCallback("b.txt", 5) * 1000;
    });
    EXPECT_EQ(results, 1111);
    EXPECT_TRUE(events.confirms.empty());
    EXPECT_EQ(events.commentRequests, 0);

    events.cancel = false;  // the next run starts afresh
    EXPECT_EQ(DuringZip([&](const ZipCallbacks &cb) { return cb.ZipCommentCallback(buffer); }), 0);
}

TEST_F(ZipBinding, CommentIsTrimmedBoundedAndTerminated) {
    char buffer[ZP_COMMENT_BUFFER + 8];
    std::memset(buffer, 'Z', sizeof buffer);
    events.onComment = [](std::string &c, bool &) { c = "  " + std::string(300, 'c') + " "; };
    EXPECT_EQ(DuringZip([&](const ZipCallbacks &cb) { return cb.ZipCommentCallback(buffer); }), 0);
    EXPECT_EQ(std::string(buffer, 255), std::string(255, 'c'));
    EXPECT_EQ(buffer[255], '\0');
    EXPECT_EQ(buffer[256], 'Z');

    events.onComment = [](std::string &c, bool &) { c = "    "; };
    events.onPassword = [](std::string &p, bool &) { p = "secret"; };
    int32_t results = DuringZip([&](const ZipCallbacks &cb) {
        return cb.ZipCommentCallback(buffer) * 10 + cb.ZipPasswordCallback(buffer, 80, "", "");
    });
    EXPECT_EQ(results, 11);
    EXPECT_TRUE(events.confirms.empty());
}

TEST_F(ZipBinding, PasswordFillsTheBufferAndConfirmsLaterQueries) {
    char buffer[300];
    std::memset(buffer, 'Z', sizeof buffer);
    events.onPassword = [](std::string &p, bool &) { p = " abc "; };
    int32_t results = DuringZip([&](const ZipCallbacks &cb) {
        return cb.ZipPasswordCallback(buffer, 80, "", "") * 10 +
               cb.ZipPasswordCallback(buffer, 0, "", "");
    });
    EXPECT_EQ(results, 0);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(std::string(buffer + 3, 77), std::string(77, '\0'));
    EXPECT_EQ(buffer[80], 'Z');
    EXPECT_EQ(events.confirms, (std::vector<bool>{false, true}));
    EXPECT_EQ(events.maxLengths, (std::vector<int32_t>{80, 0}));

    // A password as long as the buffer is cut and terminated; nothing past 256 is written.
    std::memset(buffer, 'Z', sizeof buffer);
    events.onPassword = [](std::string &p, bool &) { p = std::string(400, 'p'); };
    DuringZip([&](const ZipCallbacks &cb) { return cb.ZipPasswordCallback(buffer, 300, "", ""); });
    EXPECT_EQ(std::string(buffer, 255), std::string(255, 'p'));
    EXPECT_EQ(buffer[255], '\0');
    EXPECT_EQ(buffer[256], 'Z');

    // Given once, then refused: the run stops.
    int calls = 0;
    events.onPassword = [&](std::string &p, bool &) { p = (calls++ == 0) ? "first" : ""; };
    results = DuringZip([&](const ZipCallbacks &cb) {
        return cb.ZipPasswordCallback(buffer, 80, "", "") * 100 +
               cb.ZipPasswordCallback(buffer, 80, "", "") * 10 +
               cb.ZipCommentCallback(buffer);
    });
    EXPECT_EQ(results, 11);
}

TEST_F(ZipBinding, WithoutAListenerQueriesStopTheRun) {
    zip.SetListener(nullptr);
    char buffer[ZP_PASSWORD_BUFFER] = {};
    int32_t results = DuringZip([&](const ZipCallbacks &cb) {
        return cb.ZipServiceCallback("a.txt", 5) * 100 +
               cb.ZipPasswordCallback(buffer, sizeof buffer, "", "") * 10 +
               cb.ZipPrintCallback("hello", 5);
    });
    EXPECT_EQ(results, 10);
}

}  // namespace
