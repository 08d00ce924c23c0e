// Every compression method that common archivers write: archives made at test time by
// 7zz, python's zipfile and a Zstandard writer, plain and encrypted, extract byte-exact,
// and testing catches a flipped byte. Methods without a decoder are refused by name.
#include "UnzipHarness.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace unziptest;

using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

const char *const kPassword = "Secret12";

struct MethodRow {
    const char *name;
    // "7zz OPTIONS", "zipfile CONSTANT" or "zstd_zip ENCRYPTION"
    const char *maker;
    const char *method;  // as listed
    bool encrypted;
    bool refused = false;  // no decoder: the compressed entries are named as unsupported
};

void PrintTo(const MethodRow &row, std::ostream *out) { *out << row.name; }

// Text, a file of low-entropy noise whose compressed form spans more than one read
// chunk, and the small cases.
void MakeSource(const std::string &root) {
    std::string text;
    for (unsigned i = 0; text.size() < 400000; ++i)
        text += "line " + std::to_string(i * 7919u % 10007u) + " of the quick brown fox\n";
    WriteFile(root + "/text.txt", text);
    std::string noise(5u << 19, '\0');
    uint32_t state = 12345;
    for (char &c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>('a' + (state >> 27));  // 32 letters: about 5 bits a byte
    }
    WriteFile(root + "/big.bin", noise);
    WriteFile(root + "/empty.txt", "");
    WriteFile(root + "/one.txt", "x");
    WriteFile(root + "/sub/small.txt", "small\n");
}

testsupport::CommandResult MakeArchive(const MethodRow &row, const std::string &source,
                                       const std::string &zip) {
    const std::string maker = row.maker;
    const std::string tool = maker.substr(0, maker.find(' '));
    const std::string option = maker.substr(tool.size() + 1);
    const std::string in = "cd " + ShellQuote(source) + " && ";
    if (tool == "7zz") return testsupport::Run(in + "7zz a -tzip " + option + " " + ShellQuote(zip) + " . >/dev/null");
    if (tool == "zstd_zip")
        return testsupport::Run(in + ShellQuote(ZSTD_ZIP) + " " + ShellQuote(zip) + " " + option + " " +
                                kPassword + " text.txt big.bin empty.txt one.txt sub/small.txt");
    return testsupport::RunPython(R"(
import os, sys, zipfile
os.chdir(sys.argv[1])
with zipfile.ZipFile(sys.argv[2], 'w', getattr(zipfile, sys.argv[3])) as z:
    for folder, _, files in sorted(os.walk('.')):
        for name in sorted(files):
            z.write(os.path.join(folder, name))
)", ShellQuote(source) + " " + ShellQuote(zip) + " " + option);
}

// Flips a byte in the middle of an entry's stored data.
void FlipByte(const std::string &zip, const std::string &name) {
    const auto flipped = testsupport::RunPython(R"(
import struct, sys, zipfile
info = zipfile.ZipFile(sys.argv[1]).getinfo(sys.argv[2])
with open(sys.argv[1], 'r+b') as f:
    f.seek(info.header_offset + 26)
    n, e = struct.unpack('<HH', f.read(4))
    at = info.header_offset + 30 + n + e + info.compress_size // 2
    f.seek(at)
    b = f.read(1)[0]
    f.seek(at)
    f.write(bytes([b ^ 0x55]))
)", ShellQuote(zip) + " " + name);
    ASSERT_EQ(flipped.exitCode, 0) << flipped.output;
}

class Methods : public testing::TestWithParam<MethodRow> {
protected:
    void AnswerPasswords(Harness &h) {
        for (int i = 0; i < 8; ++i) h.passwords.push_back(kPassword);
    }
};

TEST_P(Methods, ExtractByteExactAndTestingCatchesAFlippedByte) {
    const MethodRow &row = GetParam();
    TempDir tmp;
    MakeSource(tmp / "src");
    const std::string zip = tmp / "m.zip";
    const auto made = MakeArchive(row, tmp / "src", zip);
    ASSERT_EQ(made.exitCode, 0) << made.output;

    Harness listing;
    ASSERT_EQ(listing.List(zip), UZ_OK);
    for (const ListedEntry &entry : listing.listed) {
        if (entry.name != "big.bin" && entry.name != "text.txt") continue;
        EXPECT_EQ(entry.method, row.method) << entry.name;
        EXPECT_EQ((entry.flags & UZ_ENTRY_ENCRYPTED) != 0, row.encrypted) << entry.name;
    }

    Harness h;
    AnswerPasswords(h);
    const int32_t extracted = h.Extract(zip, tmp / "out");
    if (row.refused) {
        EXPECT_EQ(extracted, UZ_ERR_BADZIP);
        EXPECT_TRUE(h.HasMessage(std::string("error: big.bin: unsupported method (") + row.method + ")"))
            << h.AllMessages();
        EXPECT_FALSE(fs::exists(tmp / "out/big.bin"));
        return;
    }
    ASSERT_EQ(extracted, UZ_OK) << h.AllMessages();
    EXPECT_EQ(DescribeTree(tmp / "out"), DescribeTree(tmp / "src"));

    FlipByte(zip, "big.bin");
    Harness test;
    test.options.TestZip = 1;
    AnswerPasswords(test);
    EXPECT_NE(test.Extract(zip, ""), UZ_OK);
    EXPECT_FALSE(test.HasMessage("    testing: big.bin  OK")) << test.AllMessages();
    EXPECT_TRUE(test.HasMessage("    testing: text.txt  OK")) << test.AllMessages();
}

INSTANTIATE_TEST_SUITE_P(
    Makers, Methods,
    testing::Values(
        MethodRow{"SevenZipLzma", "7zz -mm=LZMA", "LZMA", false},
        MethodRow{"SevenZipLzmaAes", "7zz -mm=LZMA -pSecret12 -mem=AES256", "LZMA", true},
        MethodRow{"SevenZipLzmaZipCrypto", "7zz -mm=LZMA -pSecret12 -mem=ZipCrypto", "LZMA", true},
        MethodRow{"SevenZipLzmaWithoutEndMarker", "7zz -mm=LZMA:eos=off", "LZMA", false},
        MethodRow{"SevenZipDeflate64", "7zz -mm=Deflate64", "Deflate64", false},
        MethodRow{"SevenZipDeflate64Aes", "7zz -mm=Deflate64 -pSecret12 -mem=AES256", "Deflate64", true},
        MethodRow{"SevenZipDeflate64ZipCrypto", "7zz -mm=Deflate64 -pSecret12 -mem=ZipCrypto", "Deflate64", true},
        MethodRow{"SevenZipXz", "7zz -mm=XZ", "XZ", false},
        MethodRow{"SevenZipXzAes", "7zz -mm=XZ -pSecret12 -mem=AES256", "XZ", true},
        MethodRow{"SevenZipXzZipCrypto", "7zz -mm=XZ -pSecret12 -mem=ZipCrypto", "XZ", true},
        MethodRow{"PythonLzma", "zipfile ZIP_LZMA", "LZMA", false},
        MethodRow{"PythonBzip2", "zipfile ZIP_BZIP2", "BZip2", false},
        MethodRow{"Zstandard", "zstd_zip none", "Zstandard", false},
        MethodRow{"ZstandardAes", "zstd_zip aes", "Zstandard", true},
        MethodRow{"ZstandardZipCrypto", "zstd_zip zipcrypto", "Zstandard", true},
        MethodRow{"SevenZipPpmdRefused", "7zz -mm=PPMd", "PPMd", false, true}),
    [](const testing::TestParamInfo<MethodRow> &info) { return std::string(info.param.name); });

}  // namespace

// No common archiver writes length code 285 (3 plus 16 extra bits): a hand-made stream of
// fixed-code blocks has it, distance codes 30 and 31, code 284 reaching 258, and a distance
// before the start of the output, which is refused. Empty and short stored blocks come from
// flushes.
TEST(Deflate64, HandMadeStreamsDecodeAndADistanceBeforeTheStartFails) {
    TempDir tmp;
    const auto made = Craft("archive, expected = " + ShellQuote(tmp / "d.zip") + ", " +
                            ShellQuote(tmp / "expected") + R"(
import zlib
class Bits:
    def __init__(self): self.value, self.count = 0, 0
    def put(self, value, count): self.value |= value << self.count; self.count += count
    def code(self, code, length): self.put(int(format(code, '0%db' % length)[::-1], 2), length)
    def symbol(self, s):  # the fixed literal/length code
        if s < 144: self.code(0x30 + s, 8)
        elif s < 256: self.code(0x190 + s - 144, 9)
        elif s < 280: self.code(s - 256, 7)
        else: self.code(0xC0 + s - 280, 8)
    def bytes(self): return self.value.to_bytes((self.count + 7) // 8, 'little')

def stream(steps):
    b, out = Bits(), bytearray()
    b.put(1, 1); b.put(1, 2)
    for step in steps:
        if isinstance(step, int):
            b.symbol(step); out.append(step); continue
        (symbol, extra, bits), (code, dextra, dbits), length, distance = step
        b.symbol(symbol); b.put(extra, bits); b.code(code, 5); b.put(dextra, dbits)
        for _ in range(length): out.append(out[-distance] if distance <= len(out) else 0)
    b.symbol(256)
    return b.bytes(), bytes(out)

good, output = stream(list(range(256)) + [
    ((285, 65535, 16), (15, 63, 6), 65538, 256),       # 3 + 65535, distance 193 + 63
    ((285, 297, 16), (30, 7231, 14), 300, 40000),      # distance 32769 + 7231
    ord('z'),
    ((284, 31, 5), (31, 16383, 14), 258, 65536)])      # 227 + 31, distance 49153 + 16383
bad, _ = stream([ord('a'), ((257, 0, 0), (1, 0, 0), 3, 2)])
# Flushes between pieces leave empty and short stored blocks; random bytes leave no match
# long enough for length code 285, which deflate reads differently.
noise = bytes((i * 2654435761 >> 13) & 255 for i in range(5000))
deflater, flushed = zlib.compressobj(1, zlib.DEFLATED, -15), b''
for piece in (noise[:3], b'', noise[3:40], noise[40:]):
    flushed += deflater.compress(piece) + deflater.flush(zlib.Z_SYNC_FLUSH)
flushed += deflater.flush()
zipcraft.raw(archive, [
    {'name': b'flushed.bin', 'data': flushed, 'method': 9, 'size': len(noise), 'crc': zlib.crc32(noise)},
    {'name': b'long.bin', 'data': good, 'method': 9, 'size': len(output), 'crc': zlib.crc32(output)},
    {'name': b'before.bin', 'data': bad, 'method': 9, 'size': 4, 'crc': 0}])
open(expected, 'wb').write(output)
open(expected + '-flushed', 'wb').write(noise)
)");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    Harness h;
    EXPECT_EQ(h.Extract(tmp / "d.zip", tmp / "out"), UZ_ERR_BADZIP);
    EXPECT_TRUE(h.HasMessage("error: before.bin: corrupt data")) << h.AllMessages();
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/long.bin"), testsupport::ReadFile(tmp / "expected"));
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/flushed.bin"), testsupport::ReadFile(tmp / "expected-flushed"));
}
