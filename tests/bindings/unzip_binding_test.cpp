#include "FakeEngines.h"
#include "TeskError.h"
#include "cUnzip.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

struct Recorder : cUnzipEvents {
    std::vector<std::string> progress, cancels, overwrites;
    int passwordRequests = 0;
    bool cancel = false;
    std::function<void(const std::string &, int32_t &)> onOverwrite;
    std::function<void(std::string &, bool &)> onPassword;

    void Cancel(const std::string &sMsg, bool &bCancel) override {
        cancels.push_back(sMsg);
        if (cancel) bCancel = true;
    }
    void OverwritePrompt(const std::string &sFile, int32_t &eResponse) override {
        overwrites.push_back(sFile);
        if (onOverwrite) onOverwrite(sFile, eResponse);
    }
    void PasswordRequest(std::string &sPassword, bool &bCancel) override {
        ++passwordRequests;
        if (onPassword) onPassword(sPassword, bCancel);
    }
    void Progress(int32_t lCount, const std::string &sMsg) override {
        EXPECT_EQ(lCount, 1);
        progress.push_back(sMsg);
    }
};

// The record's numbers, the fields before its two texts.
std::vector<int32_t> Words(const UnzipOptions &o) {
    std::vector<int32_t> words(offsetof(UnzipOptions, Reserved56) / sizeof(int32_t) + 1);
    std::memcpy(words.data(), &o, words.size() * sizeof(int32_t));
    return words;
}

// Sends one entry through the callback table the way the engine lists.
void SendEntry(const UnzipCallbacks &cb, const char *name, uint64_t size = 10, int32_t ratio = 50,
               int32_t flags = 0, int32_t year = 2004, int32_t month = 3, int32_t day = 5,
               int32_t hour = 9, int32_t minute = 7) {
    cb.EntryCallback(size / 2, size, ratio, year, month, day, hour, minute, 0, name, "Deflated",
                     0xCAFEBABEu, flags);
}

class UnzipBinding : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Unzip() = fake::UnzipEngine{};
        zip.SetListener(&events);
    }

    // Lists an archive whose engine reports the given entry names.
    void ListNames(const std::vector<std::string> &names) {
        fake::Unzip().script = [names](const fake::UnzipCall &call) {
            for (const auto &n : names) SendEntry(call.callbacks, n.c_str());
            return 0;
        };
        zip.ZipFile("/archives/a.zip");
        zip.Directory();
        fake::Unzip().script = nullptr;
    }

    // Runs a script inside an extraction and returns what it returned.
    int32_t DuringUnzip(std::function<int32_t(const UnzipCallbacks &)> body) {
        int32_t result = 0;
        fake::Unzip().script = [&](const fake::UnzipCall &call) {
            result = body(call.callbacks);
            return 0;
        };
        zip.ZipFile("/archives/a.zip");
        zip.Unzip();
        return result;
    }

    cUnzip zip;
    Recorder events;
};

// Each option alone reaches its own field of the record, as 1 or 0; the rest stay as sent
// by a fresh object.
TEST_F(UnzipBinding, EachOptionReachesItsOwnField) {
    struct Flag {
        void (cUnzip::*set)(bool);
        int32_t UnzipOptions::*field;
    };
    const Flag flags[] = {{&cUnzip::ExtractOnlyNewer, &UnzipOptions::ExtractOnlyNewer},
                          {&cUnzip::SpaceToUnderScore, &UnzipOptions::SpaceToUnderScore},
                          {&cUnzip::PromptToOverwrite, &UnzipOptions::PromptToOverwrite},
                          {&cUnzip::TestZip, &UnzipOptions::TestZip},
                          {&cUnzip::UseFolderNames, &UnzipOptions::UseFolderNames},
                          {&cUnzip::OverwriteExisting, &UnzipOptions::OverwriteExisting},
                          {&cUnzip::ConvertCRToCRLF, &UnzipOptions::ConvertCRToCRLF},
                          {&cUnzip::CaseSensitiveFileNames, &UnzipOptions::CaseSensitiveFileNames}};
    auto send = [](const std::function<void(cUnzip &)> &set) {
        cUnzip one;
        one.ZipFile("/a.zip");
        one.UnzipFolder("/dest");
        set(one);
        one.Unzip();
        const UnzipOptions &o = fake::Unzip().calls.back().options;
        EXPECT_EQ(fake::Unzip().calls.back().archivePath, "/a.zip");
        EXPECT_EQ(fake::Unzip().calls.back().extractFolder, "/dest");
        return Words(o);
    };
    const auto defaults = send([](cUnzip &) {});
    EXPECT_EQ(defaults, (std::vector<int32_t>(15, 0)));
    for (const Flag &f : flags) {
        for (bool state : {true, false}) {
            UnzipOptions expected{};
            expected.*f.field = state;
            EXPECT_EQ(send([&](cUnzip &z) { (z.*f.set)(state); }),
                      Words(expected));
        }
    }
    EXPECT_EQ(send([](cUnzip &z) { z.MessageLevel(7); })[3], 7);
}

// What the engine lists, and what the object then reports for it.
TEST_F(UnzipBinding, EntriesAreSplitDatedAndFoldersSkipped) {
    struct Row {
        const char *name;
        uint64_t size;
        int32_t ratio, flags, year, month, day, hour, minute;
        const char *file = nullptr, *folder = "";
        int64_t packed = 0;
        int32_t ratioSeen = 0;
        double date = 0;
    };
    const Row rows[] = {
        {"docs/img/a.png", 1000, 45, 0x45, 2004, 3, 5, 9, 7, "a.png", "docs/img", 450, 45, 38051 + (9 * 60 + 7) / 1440.0},
        {"docs/", 10, 50, 0, 2004, 3, 5, 9, 7, nullptr},  // a folder entry: not listed
        {"/a.txt", 999, 45, 0x20, 2004, 12, 31, 14, 7, "a.txt", "", 449, 45, 38352 + (14 * 60 + 7) / 1440.0},
        {"readme", 2000, 0xFFFF, 0, 2004, 3, 5, 0, 0, "readme", "", -20, -1, 38051},
        {"big.iso", 5'000'000'000ull, 100, 0, 2004, 3, 5, 0, 0, "big.iso", "", 5'000'000'000, 100, 38051},
        {"mid.bin", 100'000'000, 50, 0, 2004, 3, 5, 0, 0, "mid.bin", "", 50'000'000, 50, 38051},
        // Calendar parts out of range carry over; a two-digit year is taken as 20xx.
        {"m13", 1, 0, 0, 2004, 13, 31, 0, 0, "m13", "", 0, 0, 38383},
        {"d0h25", 1, 0, 0, 2005, 2, 0, 25, 0, "d0h25", "", 0, 0, 38383 + 25.0 / 24},
        {"y4", 1, 0, 0, 4, 12, 31, 0, 0, "y4", "", 0, 0, 38352},
    };
    fake::Unzip().script = [&](const fake::UnzipCall &call) {
        for (const Row &r : rows)
            SendEntry(call.callbacks, r.name, r.size, r.ratio, r.flags, r.year, r.month, r.day, r.hour, r.minute);
        return 0;
    };
    zip.ZipFile("/x.zip");
    zip.Directory();
    ASSERT_EQ(zip.FileCount(), 8);
    int32_t i = 0;
    for (const Row &r : rows) {
        if (!r.file) continue;
        ++i;
        EXPECT_EQ(zip.FileName(i), r.file);
        EXPECT_EQ(zip.FileDirectory(i), r.folder);
        EXPECT_EQ(zip.FileSize(i), static_cast<int64_t>(r.size));
        EXPECT_EQ(zip.FilePackedSize(i), r.packed) << r.name;
        EXPECT_EQ(zip.FileCompressionRatio(i), r.ratioSeen);
        EXPECT_NEAR(zip.FileDate(i), r.date, 1e-6) << r.name;
        EXPECT_EQ(zip.FileEncrypted(i), (r.flags & 1) != 0);
        EXPECT_EQ(zip.FileCompressionMethod(i), "Deflated");
        EXPECT_EQ(static_cast<uint32_t>(zip.FileCRC(i)), 0xCAFEBABEu);
        EXPECT_TRUE(zip.FileSelected(i));
    }
    EXPECT_EQ(zip.FilePackedSize(0), 0);
    EXPECT_EQ(zip.FilePackedSize(9), 0);
}

TEST_F(UnzipBinding, DirectoryListsWithEmptyListsAndEmptyFolder) {
    cUnzip fresh;
    fresh.Directory();  // never given an archive: a null path
    const fake::UnzipCall &call = fake::Unzip().calls.at(0);
    EXPECT_FALSE(call.archivePath.has_value());
    EXPECT_EQ(call.extractFolder, "");
    EXPECT_EQ(call.options.ListOnly, 1);
    EXPECT_EQ(call.includeCount, 0);
    EXPECT_EQ(call.include.at(0), "");
    EXPECT_FALSE(call.include.at(1).has_value());
    EXPECT_EQ(call.exclude.at(0), "");
    EXPECT_FALSE(call.exclude.at(1023).has_value());
    EXPECT_EQ(call.callbacks.Unused, nullptr);
    for (int32_t word : call.callbacks.Words) EXPECT_EQ(word, 0);
}

TEST_F(UnzipBinding, LongNamesAreKeptWholeAndCutOnlyBetweenCharacters) {
    const std::string longName = "d/" + std::string(70000, 'x');
    std::string utf8 = std::string(65534, 'y') + "\xC3\xA9" + "tail";  // é straddles the bound
    fake::Unzip().script = [&](const fake::UnzipCall &call) {
        SendEntry(call.callbacks, longName.c_str());
        SendEntry(call.callbacks, utf8.c_str());
        return 0;
    };
    zip.ZipFile("/x.zip");
    zip.Directory();
    ASSERT_EQ(zip.FileCount(), 2);
    EXPECT_EQ(zip.FileName(1).size(), 65535u - 2);
    EXPECT_EQ(zip.FileName(2), std::string(65534, 'y'));
}

TEST_F(UnzipBinding, DirectoryAppendsUntilZipFileIsWrittenAgain) {
    ListNames({"a", "b"});
    fake::Unzip().script = [](const fake::UnzipCall &call) {
        SendEntry(call.callbacks, "a");
        return 0;
    };
    zip.Directory();
    EXPECT_EQ(zip.FileCount(), 3);
    zip.ZipFile("/other.zip");
    EXPECT_EQ(zip.FileCount(), 0);
}

TEST_F(UnzipBinding, UnzipPassesOnlySelectedEntriesWithSlashes) {
    ListNames({"docs/img/a.png", "docs/img/b.png", "top.txt"});
    zip.FileSelected(1, false);
    zip.FileSelected(2, true);
    zip.FileSelected(3, true);
    zip.UnzipFolder("/dest");
    zip.Unzip();
    const fake::UnzipCall &call = fake::Unzip().calls.back();
    EXPECT_EQ(call.includeCount, 2);
    EXPECT_EQ(call.include.at(0), "docs/img/b.png");
    EXPECT_EQ(call.include.at(1), "top.txt");
    EXPECT_EQ(call.include.at(2), "");
    EXPECT_FALSE(call.include.at(3).has_value());

    zip.FileSelected(1, true);  // everything selected: the whole archive
    zip.Unzip();
    EXPECT_EQ(fake::Unzip().calls.back().includeCount, 0);
    EXPECT_THROW(zip.FileSelected(4, true), TeskError);
}

TEST_F(UnzipBinding, UnzipReportsNonZeroResultsAndNeedsAnArchive) {
    cUnzip fresh;
    EXPECT_THROW(fresh.FileName(1), TeskError);  // nothing listed yet
    EXPECT_FALSE(fresh.Unzip());
    EXPECT_TRUE(fake::Unzip().calls.empty());
    fresh.ZipFile("/a.zip");  // empty list: the whole archive
    fake::Unzip().script = [](const fake::UnzipCall &) { return 3; };
    EXPECT_TRUE(fresh.Unzip());
    EXPECT_EQ(fresh.LastResult(), 3);
    EXPECT_EQ(fake::Unzip().calls.back().includeCount, 0);
    EXPECT_FALSE(fake::Unzip().calls.back().extractFolder.has_value());
    fake::Unzip().script = [](const fake::UnzipCall &) { return 0; };
    EXPECT_FALSE(fresh.Unzip());
}

TEST_F(UnzipBinding, IncludeListHoldsAtMost1023Names) {
    std::vector<std::string> names;
    for (int i = 0; i < 1025; ++i) names.push_back("f" + std::to_string(i));
    ListNames(names);
    zip.FileSelected(1, false);  // 1024 selected
    EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Unzip(); }), "9 tesk.VBUnzip");
    EXPECT_EQ(fake::Unzip().calls.size(), 1u);  // only the listing

    zip.FileSelected(2, false);  // 1023 selected
    zip.Unzip();
    const fake::UnzipCall &call = fake::Unzip().calls.back();
    EXPECT_EQ(call.includeCount, 1023);
    EXPECT_EQ(call.include.at(1022), "f1024");
    EXPECT_EQ(call.include.at(1023), "");
}

TEST_F(UnzipBinding, PrintMessagesNeedAUsableLength) {
    DuringUnzip([](const UnzipCallbacks &cb) {
        const std::string big(32000, 'm');
        int32_t sum = cb.PrintCallback("", 0) + cb.PrintCallback("x", 1) +
                      cb.PrintCallback(big.c_str(), 32000) + cb.PrintCallback("ok", 2);
        cb.PrintCallback("a\0b/c", 5);  // not cut at the NUL
        cb.PrintCallback(big.c_str(), 31999);
        return sum;
    });
    ASSERT_EQ(events.progress.size(), 3u);
    EXPECT_EQ(events.progress[0], "ok");
    EXPECT_EQ(events.progress[1], std::string("a\0b/c", 5));
    EXPECT_EQ(events.progress[2].size(), 31999u);
}

TEST_F(UnzipBinding, ServiceCallbackAsksTheListener) {
    int32_t first = DuringUnzip([](const UnzipCallbacks &cb) {
        return cb.ServiceCallback("docs/a.txt\0junk", 15) * 10 + cb.ServiceCallback("x", 1);
    });
    EXPECT_EQ(first, 0);
    ASSERT_EQ(events.cancels.size(), 1u);
    EXPECT_EQ(events.cancels[0], "docs/a.txt");

    events.cancel = true;
    EXPECT_EQ(DuringUnzip([](const UnzipCallbacks &cb) { return cb.ServiceCallback("ab", 2); }), 1);

    zip.SetListener(nullptr);
    EXPECT_EQ(DuringUnzip([](const UnzipCallbacks &cb) { return cb.ServiceCallback("ab", 2); }), 0);
}

TEST_F(UnzipBinding, ReplaceCallbackReturnsTheListenersAnswer) {
    EXPECT_EQ(DuringUnzip([](const UnzipCallbacks &cb) { return cb.ReplaceCallback("a.txt"); }),
              100);
    events.onOverwrite = [](const std::string &, int32_t &answer) { answer = 103; };
    EXPECT_EQ(DuringUnzip([](const UnzipCallbacks &cb) { return cb.ReplaceCallback("d/a.txt"); }),
              103);
    EXPECT_EQ(events.overwrites.at(1), "d/a.txt");

    const std::string huge(40000, 'n');
    DuringUnzip([&](const UnzipCallbacks &cb) { return cb.ReplaceCallback(huge.c_str()); });
    EXPECT_EQ(events.overwrites.at(2).size(), 32801u);
}

TEST_F(UnzipBinding, PasswordIsTrimmedBoundedAndRefusalHoldsForTheCall) {
    char buffer[UZ_PASSWORD_BUFFER];
    events.onPassword = [](std::string &password, bool &) {
        password = "  " + std::string(300, 'p') + "  ";
    };
    int32_t result = DuringUnzip([&](const UnzipCallbacks &cb) {
        std::memset(buffer, 0, sizeof buffer);
        return cb.PasswordCallback(buffer, sizeof buffer, "prompt", "a.txt");
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::string(buffer, 254), std::string(254, 'p'));
    EXPECT_EQ(buffer[254], '\0');

    events.passwordRequests = 0;
    events.onPassword = [](std::string &password, bool &) { password = "   "; };
    result = DuringUnzip([&](const UnzipCallbacks &cb) {
        return cb.PasswordCallback(buffer, sizeof buffer, "", "") * 10 +
               cb.PasswordCallback(buffer, sizeof buffer, "", "");
    });
    EXPECT_EQ(result, 11);
    EXPECT_EQ(events.passwordRequests, 1);

    // A new call asks again; a cancel counts as a refusal.
    events.onPassword = [](std::string &password, bool &cancel) {
        password = "secret";
        cancel = true;
    };
    result = DuringUnzip([&](const UnzipCallbacks &cb) {
        return cb.PasswordCallback(buffer, sizeof buffer, "", "");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(events.passwordRequests, 2);
}

TEST_F(UnzipBinding, PasswordNeverOverrunsASmallerBuffer) {
    events.onPassword = [](std::string &password, bool &) { password = "abcdefgh"; };
    char buffer[8];
    std::memset(buffer, 'Z', sizeof buffer);
    DuringUnzip([&](const UnzipCallbacks &cb) { return cb.PasswordCallback(buffer, 4, "", ""); });
    EXPECT_EQ(std::string(buffer, 8), "abcZZZZZ");
}

TEST_F(UnzipBinding, ListenerErrorsNeverReachTheEngine) {
    struct Throwing : cUnzipEvents {
        void Cancel(const std::string &, bool &) override { throw std::runtime_error("c"); }
        void OverwritePrompt(const std::string &, int32_t &r) override {
            r = 102;
            throw std::runtime_error("o");
        }
        void PasswordRequest(std::string &p, bool &) override {
            p = "pw";
            throw std::runtime_error("p");
        }
        void Progress(int32_t, const std::string &) override { throw std::runtime_error("g"); }
    } throwing;
    zip.SetListener(&throwing);
    char buffer[UZ_PASSWORD_BUFFER] = {};
    int32_t results = DuringUnzip([&](const UnzipCallbacks &cb) {
        return cb.PrintCallback("hello", 5) + cb.ServiceCallback("name", 4) * 10 +
               cb.ReplaceCallback("a") * 100 + cb.PasswordCallback(buffer, 256, "", "") * 100000;
    });
    EXPECT_EQ(results, 102 * 100 + 100000);  // the answer standing when the listener failed
}

TEST_F(UnzipBinding, NoSecondCallWhileOneRuns) {
    struct Reentrant : cUnzipEvents {
        cUnzip *zip = nullptr;
        int error = 0;
        void Progress(int32_t, const std::string &) override {
            try {
                zip->Directory();
            } catch (const TeskError &e) {
                error = e.Number();
            }
        }
    } reentrant;
    reentrant.zip = &zip;
    zip.SetListener(&reentrant);
    DuringUnzip([](const UnzipCallbacks &cb) { return cb.PrintCallback("go", 2); });
    EXPECT_EQ(reentrant.error, TeskError::kInvalidCall);
    EXPECT_EQ(fake::Unzip().calls.size(), 1u);
}

TEST_F(UnzipBinding, GetVersionPadsTheExtraTextAndLeavesTheDate) {
    fake::Unzip().version = [](UnzipVersion &v) {
        std::memcpy(v.ExtraInfo, "B", 2);
        v.EngineVersion[0] = 1;
        v.EngineVersion[1] = 2;
        v.EngineVersion[2] = 255;
    };
    int32_t major = -1, minor = -1, revision = -1;
    double date = 42.5;
    std::string extra;
    zip.GetVersion(major, minor, revision, date, extra);
    EXPECT_EQ(extra, "B         ");
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 2);
    EXPECT_EQ(revision, 255);
    EXPECT_EQ(date, 42.5);
    const UnzipVersion &sent = fake::Unzip().versionReceived;
    EXPECT_EQ(sent.Length, 64);
    EXPECT_EQ(std::string(sent.ExtraInfo), std::string(9, ' '));
    EXPECT_EQ(std::string(sent.Date), std::string(19, ' '));
    EXPECT_EQ(std::string(sent.LibraryVersion), std::string(9, ' '));
}

}  // namespace
