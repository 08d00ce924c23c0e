// Listing speed on a large archive: makes one of 100,000 entries (python3 zipfile, in a
// temporary folder) unless an archive is given, then times complete listing calls.
// Usage: unzip_list_bench [archive.zip] [runs]
#include "TestSupport.h"
#include "vbuzip10.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

uint64_t g_entries = 0;

void TESK_CALL CountEntry(uint64_t, uint64_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                          int32_t, int32_t, const char *, const char *, uint32_t, int32_t) {
    ++g_entries;
}

}  // namespace

int main(int argc, char **argv) {
    testsupport::TempDir tmp;
    std::string archive = argc > 1 ? argv[1] : tmp / "big.zip";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (argc <= 1) {
        const auto made = testsupport::RunPython(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(100000):
        z.writestr('folder%03d/file%06d.txt' % (i // 1000, i), 'entry %d\n' % i)
)", testsupport::ShellQuote(archive));
        if (made.exitCode != 0) {
            std::fprintf(stderr, "cannot make the archive: %s\n", made.output.c_str());
            return 1;
        }
    }
    UnzipOptions options{};
    options.ListOnly = 1;
    options.ArchivePath = archive.c_str();
    options.ExtractFolder = "";
    UnzipCallbacks callbacks{};
    callbacks.EntryCallback = CountEntry;
    const char *empty[TESK_NAMELIST_SLOTS] = {""};
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        g_entries = 0;
        const auto start = std::chrono::steady_clock::now();
        const int32_t result = Wiz_SingleEntryUnzip(0, empty, 0, empty, &options, &callbacks);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (result != UZ_OK) {
            std::fprintf(stderr, "listing failed with %d\n", result);
            return 1;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("listed %llu entries: best %.3f s, median %.3f s, worst %.3f s over %d runs\n",
                static_cast<unsigned long long>(g_entries), seconds.front(),
                seconds[seconds.size() / 2], seconds.back(), runs);
    return 0;
}
