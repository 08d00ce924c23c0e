// Both bindings against the scripted engines, case by case from the data files beside this
// test: the options record each setting writes (records.txt), and the callbacks
// (callbacks.txt).
#include "FakeEngines.h"
#include "TeskError.h"
#include "TestSupport.h"
#include "cUnzip.h"
#include "cZip.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <iomanip>
#include <map>
#include <sstream>

namespace {

// The parts of a text between separators; none for an empty text or "-".
std::vector<std::string> Items(const std::string &text, const std::string &sep) {
    if (text.empty() || text == "-") return {};
    return testsupport::Split(text, sep);
}

// A text of the scripts: "\0" is a NUL, "\s" a space, "c*N" the character c N times.
std::string Expand(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') c = text.at(++i) == '0' ? '\0' : ' ';
        size_t count = 1, digits = 0;
        if (text.size() > i + 2 && text[i + 1] == '*' && std::isdigit(uint8_t(text[i + 2]))) {
            count = std::stoul(text.substr(i + 2), &digits);
            i += 1 + digits;
        }
        out.append(count, c);
    }
    return out;
}

// A setting, an answer or a call: NAME=VALUE (NAME:TEXT), or only NAME.
std::pair<std::string, std::string> Setting(const std::string &item, char sep) {
    const size_t at = item.find(sep);
    return {item.substr(0, at), at == std::string::npos ? "" : item.substr(at + 1)};
}

// The fields of an options record that are not 0, named in order from the given offset.
std::string NonZero(const void *record, size_t offset, const std::string &names) {
    std::string out;
    for (const std::string &name : Items(names, " ")) {
        int32_t word = 0;
        std::memcpy(&word, static_cast<const char *>(record) + offset, sizeof word);
        offset += sizeof word;
        const bool level = name == "LevelChar";
        if (word != 0)
            out += " " + name + "=" + (level ? std::string(1, char(word)) : std::to_string(word));
    }
    return out.empty() ? "-" : out.substr(1);
}

const char kUnzipFields[] =
    "ExtractOnlyNewer SpaceToUnderScore PromptToOverwrite MessageLevel Reserved16 TestZip "
    "ListOnly Reserved28 Reserved32 UseFolderNames OverwriteExisting ConvertCRToCRLF "
    "Reserved48 CaseSensitiveFileNames Reserved56";
const char kZipFields[] =  // from Unused12 on
    "Unused12 Unused16 Encrypt SystemHidden VolumeLabel Unused32 NoDirEntries Unused40 "
    "Unused44 Verbose Quiet CRLFToLF LFToCRLF JunkDirNames Append Unused72 Unused76 "
    "DeleteEntries Update Freshen Unused92 Unused96 Comment Unused104 Unused108 Unused112 "
    "Recurse Unused120 LevelChar";

// The on/off settings of each binding, by name; the levels are set apart, as numbers.
const std::map<std::string, void (cUnzip::*)(bool)> kUnzipSwitches = {
    {"ExtractOnlyNewer", &cUnzip::ExtractOnlyNewer}, {"TestZip", &cUnzip::TestZip},
    {"SpaceToUnderScore", &cUnzip::SpaceToUnderScore}, {"UseFolderNames", &cUnzip::UseFolderNames},
    {"ConvertCRToCRLF", &cUnzip::ConvertCRToCRLF},
    {"OverwriteExisting", &cUnzip::OverwriteExisting},
    {"PromptToOverwrite", &cUnzip::PromptToOverwrite},
    {"CaseSensitiveFileNames", &cUnzip::CaseSensitiveFileNames}};

const std::map<std::string, void (cZip::*)(bool)> kZipSwitches = {
    {"Encrypt", &cZip::Encrypt}, {"AddComment", &cZip::AddComment},
    {"IncludeSystemAndHiddenFiles", &cZip::IncludeSystemAndHiddenFiles},
    {"StoreVolumeLabel", &cZip::StoreVolumeLabel}, {"StoreDirectories", &cZip::StoreDirectories},
    {"StoreFolderNames", &cZip::StoreFolderNames}, {"RecurseSubDirs", &cZip::RecurseSubDirs},
    {"UpdateOnlyIfNewer", &cZip::UpdateOnlyIfNewer}, {"FreshenFiles", &cZip::FreshenFiles},
    {"ConvertCRLFToLF", &cZip::ConvertCRLFToLF}, {"ConvertLFToCRLF", &cZip::ConvertLFToCRLF},
    {"AllowAppend", &cZip::AllowAppend}};

// A listener of either binding: answers as the script's setup says and logs each event.
struct Listener : cUnzipEvents, cZipEvents {
    std::map<std::string, std::string> setup;
    std::function<void()> again;  // another engine call, started from a message
    std::vector<std::string> log;

    bool Has(const std::string &key) const { return setup.count(key) != 0; }
    void Note(const std::string &event) {
        log.push_back(event);
        if (Has("fail")) throw std::runtime_error(event);
    }
    void Cancel(const std::string &sMsg, bool &bCancel) override {
        bCancel = Has("cancel");
        Note("cancel " + sMsg);
    }
    void OverwritePrompt(const std::string &sFile, int32_t &eResponse) override {
        if (Has("overwrite")) eResponse = std::stoi(setup["overwrite"]);
        Note("overwrite " + sFile);
    }
    void PasswordRequest(std::string &sPassword, bool &bCancel) override {
        PasswordRequest(sPassword, -1, false, bCancel);  // logged as "password"
    }
    void PasswordRequest(std::string &sPassword, int32_t lMax, bool bConfirm,
                         bool &bCancel) override {
        sPassword = Expand(setup["password"]);
        bCancel = Has("cancel");
        Note("password" + (lMax < 0 ? "" : " " + std::to_string(lMax)) +
             (bConfirm ? " again" : ""));
    }
    void CommentRequest(std::string &sComment, bool &) override {
        sComment = Expand(setup["comment"]);
        Note("comment");
    }
    void Progress(int32_t lCount, const std::string &sMsg) override {
        EXPECT_EQ(lCount, 1);
        Note(sMsg);
        if (Has("reenter")) log.push_back("error " + fake::ErrorOf<TeskError>(again));
    }
};

int32_t Play(const UnzipCallbacks &cb, const std::string &call, const std::string &text,
             std::string &buffer) {
    if (call == "print") return cb.PrintCallback(text.data(), int32_t(text.size()));
    if (call == "service") return cb.ServiceCallback(text.data(), int32_t(text.size()));
    if (call == "replace") return cb.ReplaceCallback(text.c_str());
    if (call == "password") return cb.PasswordCallback(buffer.data(), std::stoi(text), "", "");
    const auto f = Items(text, ",");  // an entry
    const auto n = [&](size_t k) { return std::stoll(f.at(k), nullptr, 0); };
    cb.EntryCallback(n(1) / 2, n(1), n(2), n(4), n(5), n(6), n(7), n(8), 0, f[0].c_str(),
                     "Deflated", 0xCAFEBABEu, n(3));
    return 0;
}

int32_t Play(const ZipCallbacks &cb, const std::string &call, const std::string &text,
             std::string &buffer) {
    if (call == "print") return cb.ZipPrintCallback(text.data(), int32_t(text.size()));
    if (call == "service") return cb.ZipServiceCallback(text.data(), int32_t(text.size()));
    if (call == "comment") return cb.ZipCommentCallback(buffer.data());
    return cb.ZipPasswordCallback(buffer.data(), std::stoi(text), "", "");
}

std::string Listed(const cUnzip &z, int32_t i) {
    std::ostringstream line;
    line << "[" << z.FileDirectory(i) << "] " << z.FileName(i) << ": " << z.FileSize(i) << "/"
         << z.FileCompressedSize(i) << "/" << z.FilePackedSize(i) << " bytes, ratio "
         << z.FileCompressionRatio(i) << ", day " << std::fixed << std::setprecision(6)
         << z.FileDate(i) << (z.FileEncrypted(i) ? ", encrypted, " : ", plain, ")
         << z.FileCompressionMethod(i) << " " << std::hex << static_cast<uint32_t>(z.FileCRC(i));
    return line.str();
}

TEST(BindingScripts, EachSettingReachesItsOwnField) {
    for (const auto &field : testsupport::ReadTable(BINDINGS_DIR "/records.txt", " | ")) {
        SCOPED_TRACE(field[0] + " " + field[1]);
        ASSERT_EQ(field.size(), 3u);
        fake::Unzip() = {};
        fake::Zip() = {};
        cUnzip unzip;
        cZip zip;
        for (const std::string &item : Items(field[1], " ")) {
            const auto [name, text] = Setting(item, '=');
            const int32_t value = std::stoi(text);
            if (name == "CompressionLevel")
                zip.CompressionLevel(int16_t(value));
            else if (name == "MessageLevel")
                field[0] == "zip" ? zip.MessageLevel(value) : unzip.MessageLevel(value);
            else if (field[0] == "zip")
                (zip.*kZipSwitches.at(name))(value);
            else
                (unzip.*kUnzipSwitches.at(name))(value);
        }
        if (field[0] == "zip") {
            zip.Zip();
            const ZipOptions &sent = fake::Zip().archives.at(0).options;
            EXPECT_EQ(NonZero(&sent, offsetof(ZipOptions, Unused12), kZipFields), field[2]);
            EXPECT_TRUE(sent.Unused0 == nullptr && sent.Unused8 == nullptr);
        } else {
            unzip.ZipFile("/a.zip");
            unzip.UnzipFolder("/dest");
            unzip.Unzip();
            const fake::UnzipCall &call = fake::Unzip().calls.at(0);
            EXPECT_EQ(NonZero(&call.options, 0, kUnzipFields), field[2]);
            EXPECT_TRUE(call.archivePath == "/a.zip" && call.extractFolder == "/dest");
        }
    }
}

TEST(BindingScripts, EachCallbackGetsTheListenersAnswer) {
    for (const auto &field :
         testsupport::ReadTable(BINDINGS_DIR "/callbacks.txt", " | ")) {
        SCOPED_TRACE(field[0] + " " + field[1] + " " + field[2]);
        ASSERT_GE(field.size(), 5u);
        fake::Unzip() = {};
        fake::Zip() = {};
        Listener listener;
        for (const std::string &item : Items(field[1], " "))
            listener.setup.insert(Setting(item, '='));
        std::string buffer(300, 'Z');
        std::vector<std::string> results;
        const auto play = [&](const auto &callbacks) {
            for (const std::string &call : Items(field[2], " ")) {
                const auto [name, text] = Setting(call, ':');
                results.push_back(std::to_string(Play(callbacks, name, Expand(text), buffer)));
            }
            return 0;
        };
        fake::Unzip().script = [&](const fake::UnzipCall &call) { return play(call.callbacks); };
        fake::Zip().script = [&](const auto &) { return play(fake::Zip().callbacks); };
        cUnzip unzip;
        cZip zip;
        unzip.ZipFile("/a.zip");
        unzip.SetListener(listener.Has("deaf") ? nullptr : &listener);
        zip.SetListener(listener.Has("deaf") ? nullptr : &listener);
        listener.again = std::map<std::string, std::function<void()>>{
            {"zip", [&] { zip.Zip(); }}, {"list", [&] { unzip.Directory(); }},
            {"unzip", [&] { unzip.Unzip(); }}}.at(field[0]);
        const size_t runs = listener.Has("runs") ? std::stoul(listener.setup["runs"]) : 1;
        for (size_t i = 0; i < runs; ++i) listener.again();
        for (int32_t i = 1; i <= unzip.FileCount(); ++i) listener.log.push_back(Listed(unzip, i));

        EXPECT_EQ(fake::Unzip().calls.size() + fake::Zip().archives.size(), runs);
        EXPECT_EQ(results, Items(field[3], " "));
        EXPECT_EQ(listener.log, Items(Expand(field[4]), "; "));
        const std::string start = field.size() > 5 ? Expand(field[5]) : "";
        EXPECT_EQ(buffer.substr(0, start.size()), start);
    }
}

}  // namespace
