// Append, update, freshen and delete on existing archives, and the large tree round trip.
#include "ZipHarness.h"

#include <filesystem>

using namespace zipharness;
using testsupport::ReadFile;

using testsupport::ShellQuote;
using testsupport::WriteFile;
using List = std::vector<std::string>;

namespace {

class ZipModes : public ZipEngineTest {
protected:
    // An archive with a.txt and b.txt, both dated t0.
    void MakeArchive() {
        WriteFile(Path("a.txt"), "a1");
        WriteFile(Path("b.txt"), "b1");
        SetMtime(Path("a.txt"), t0);
        SetMtime(Path("b.txt"), t0);
        ASSERT_EQ(Zip({"a.txt", "b.txt"}, Options()), ZP_OK);
    }
    const long long t0 = 1500000000;
};

TEST_F(ZipModes, AppendAddsAndReplaces) {
    MakeArchive();
    WriteFile(Path("b.txt"), "b2");
    WriteFile(Path("c.txt"), "c1");
    ZipOptions o = Options();
    o.Append = 1;
    o.Verbose = 1;
    ASSERT_EQ(Zip({"b.txt", "c.txt"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(Read(Archive(), "b.txt"), "b2");
    EXPECT_NE(script_.AllMessages().find("updating: b.txt"), std::string::npos);
    ExpectValid(Archive());
    // A missing archive is created.
    ASSERT_EQ(Zip(Path("new.zip"), {"a.txt"}, o), ZP_OK);
    EXPECT_EQ(Names(Path("new.zip")), (List{"a.txt"}));
}

TEST_F(ZipModes, UpdateReplacesOnlyNewerFilesAndAddsNew) {
    MakeArchive();
    WriteFile(Path("a.txt"), "a2");
    SetMtime(Path("a.txt"), t0 + 1);  // within the same 2 seconds: not newer
    WriteFile(Path("b.txt"), "b2");
    SetMtime(Path("b.txt"), t0 + 10);
    WriteFile(Path("c.txt"), "c1");
    ZipOptions o = Options();
    o.Update = 1;
    ASSERT_EQ(Zip({"*.txt"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(Read(Archive(), "a.txt"), "a1");
    EXPECT_EQ(Read(Archive(), "b.txt"), "b2");
    ExpectValid(Archive());
}

TEST_F(ZipModes, FreshenReplacesNewerExistingEntriesOnly) {
    MakeArchive();
    WriteFile(Path("a.txt"), "a2");
    SetMtime(Path("a.txt"), t0 + 10);
    WriteFile(Path("c.txt"), "c1");
    ZipOptions o = Options();
    o.Freshen = 1;
    ASSERT_EQ(Zip({"*.txt"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"a.txt", "b.txt"}));
    EXPECT_EQ(Read(Archive(), "a.txt"), "a2");
    // Nothing newer: the archive stays as it is.
    const std::string before = ReadFile(Archive());
    ASSERT_EQ(Zip({"*.txt"}, o), ZP_OK);
    EXPECT_EQ(ReadFile(Archive()), before);
}

TEST_F(ZipModes, UntouchedEntriesKeepTheirEncryption) {
    WriteFile(Path("a.txt"), "secret a");
    ZipOptions o = Options();
    o.Encrypt = 1;
    ASSERT_EQ(Zip({"a.txt"}, o), ZP_OK);
    WriteFile(Path("b.txt"), "plain b");
    o.Encrypt = 0;
    o.Append = 1;
    ASSERT_EQ(Zip({"b.txt"}, o), ZP_OK);
    const auto infos = Infos(Archive());
    EXPECT_TRUE(infos.at("a.txt").flags & 1);
    EXPECT_FALSE(infos.at("b.txt").flags & 1);
    EXPECT_EQ(Read(Archive(), "a.txt", "secret"), "secret a");
    EXPECT_EQ(Read(Archive(), "b.txt"), "plain b");
    // Replacing the encrypted entry without a password leaves it plain.
    WriteFile(Path("a.txt"), "now plain");
    ASSERT_EQ(Zip({"a.txt"}, o), ZP_OK);
    EXPECT_FALSE(Infos(Archive()).at("a.txt").flags & 1);
    ExpectValid(Archive());
}

TEST_F(ZipModes, DeleteMatchingEntries) {
    WriteFile(Path("d/x.txt"), "x");
    WriteFile(Path("d/y.log"), "y");
    WriteFile(Path("z.txt"), "z");
    ZipOptions o = Options();
    o.Recurse = 2;
    ASSERT_EQ(Zip({"d", "z.txt"}, o), ZP_OK);
    ASSERT_EQ(Names(), (List{"d/", "d/x.txt", "d/y.log", "z.txt"}));

    ZipOptions del = Options();
    del.DeleteEntries = 1;
    const std::string before = ReadFile(Archive());
    EXPECT_EQ(Zip({"*.gif", "D/x.txt"}, del), ZP_ERR_NOMATCH);  // case counts
    EXPECT_EQ(ReadFile(Archive()), before);

    ASSERT_EQ(Zip({"d\\*.txt"}, del), ZP_OK);
    EXPECT_EQ(Names(), (List{"d/", "d/y.log", "z.txt"}));
    ExpectValid(Archive());

    // Deleting everything leaves a valid, empty archive.
    ASSERT_EQ(Zip({"*"}, del), ZP_OK);
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(std::filesystem::file_size(Archive()), 22u);
    EXPECT_EQ(NamesIn(Path("")), (List{"d", "out.zip", "z.txt"}));
}

TEST_F(ZipModes, TreeRoundTripAtEveryLevelAndEncrypted) {
    // A few thousand files of mixed kinds in nested folders.
    for (int i = 0; i < 2400; ++i) {
        const std::string folder = "tree/d" + std::to_string(i % 7) + "/s" + std::to_string(i % 5);
        std::string data;
        for (int k = 0; k < (i % 50) * 40; ++k) data += "line " + std::to_string(k * i) + "\n";
        if (i % 9 == 0) data += std::string(i, static_cast<char>(i * 31));
        WriteFile(Path(folder + "/f" + std::to_string(i) + ".txt"), data);
    }
    struct Case { char level; bool encrypt; };
    for (Case c : {Case{'0', false}, Case{'3', false}, Case{'6', false}, Case{'9', false},
                   Case{'6', true}}) {
        SCOPED_TRACE(std::string("level ") + c.level + (c.encrypt ? " encrypted" : ""));
        ZipOptions o = Options();
        o.LevelChar = c.level;
        o.Encrypt = c.encrypt;
        o.Recurse = 2;
        const std::string archive = Path(std::string("tree") + c.level + (c.encrypt ? "e" : "") + ".zip");
        ASSERT_EQ(Zip(archive, {"tree/*.*"}, o), ZP_OK) << script_.AllMessages();
        const std::string pw = c.encrypt ? " -P secret" : "";
        EXPECT_EQ(testsupport::Run("unzip -tqq" + pw + " " + ShellQuote(archive)).exitCode, 0);
        EXPECT_EQ(testsupport::Run("7zz t" + std::string(c.encrypt ? " -psecret " : " ") + ShellQuote(archive)).exitCode, 0);
        const std::string out = Path("x");
        std::filesystem::remove_all(out);
        const auto r = testsupport::Run("unzip -qq" + pw + " -d " + ShellQuote(out) + " " + ShellQuote(archive) +
                           " && diff -r " + ShellQuote(Path("tree")) + " " + ShellQuote(out + "/tree"));
        EXPECT_EQ(r.exitCode, 0) << r.output.substr(0, 2000);
    }
}

}  // namespace
