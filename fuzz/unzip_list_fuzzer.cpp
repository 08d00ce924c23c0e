// Arbitrary bytes as an archive: the unzip engine lists them, then tests every entry
// (decoding without writing). Any crash, leak, hang or sanitizer report is a fault.
#include "UnzipFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string archive = unzipfuzz::ScratchFolder() + "/list.zip";
    unzipfuzz::WriteBytes(archive, data, size);
    UnzipOptions options{};
    options.ArchivePath = archive.c_str();
    options.ExtractFolder = "";
    options.UseFolderNames = 1;
    options.ListOnly = 1;
    const int32_t listed = unzipfuzz::CallEngine(options);
    if (listed != UZ_OK && listed != UZ_ERR_OPEN) unzipfuzz::Fault("listing gave " + std::to_string(listed));
    options.ListOnly = 0;
    options.TestZip = 1;
    const int32_t tested = unzipfuzz::CallEngine(options);
    if (tested < UZ_OK || tested > UZ_ERR_MEMORY) unzipfuzz::Fault("testing gave " + std::to_string(tested));
    return 0;
}
