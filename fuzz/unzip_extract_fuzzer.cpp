// Arbitrary bytes as an archive, extracted into a fresh destination that already holds a
// link to a folder outside it. Afterwards nothing may exist outside the destination but
// the archive and that folder (which stays empty), and no link below the destination may
// lead out of it.
#include "TreeCheck.h"
#include "UnzipFuzzSupport.h"

#include <sys/stat.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string &scratch = unzipfuzz::ScratchFolder();
    const std::string archive = scratch + "/in.zip";
    const std::string box = scratch + "/box";
    const std::string dest = box + "/dest";
    const std::string outside = box + "/outside";
    treecheck::RemoveTree(box);
    if (mkdir(box.c_str(), 0700) != 0 || mkdir(dest.c_str(), 0700) != 0 ||
        mkdir(outside.c_str(), 0700) != 0 || symlink("../outside", (dest + "/link").c_str()) != 0)
        unzipfuzz::Fault("cannot prepare " + box);
    unzipfuzz::WriteBytes(archive, data, size);

    // The options vary with the input's length, so every input runs one way only.
    UnzipOptions options{};
    options.ArchivePath = archive.c_str();
    options.ExtractFolder = dest.c_str();
    options.UseFolderNames = size % 4 != 3;
    options.OverwriteExisting = size % 2;
    options.SpaceToUnderScore = size % 3 == 0;
    options.ConvertCRToCRLF = size % 5 == 0;
    options.MessageLevel = static_cast<int32_t>(size % 3);
    const int32_t result = unzipfuzz::CallEngine(options);
    if (result < UZ_OK || result > UZ_ERR_MEMORY) unzipfuzz::Fault("extraction gave " + std::to_string(result));

    if (treecheck::Listing(box) != "dest/outside") unzipfuzz::Fault("created beside the destination: " + treecheck::Listing(box));
    if (!treecheck::Listing(outside).empty()) unzipfuzz::Fault("written through a link: " + treecheck::Listing(outside));
    if (treecheck::Listing(scratch) != "box/in.zip") unzipfuzz::Fault("created in the scratch folder: " + treecheck::Listing(scratch));
    if (!treecheck::TreeStaysInside(dest, "link")) unzipfuzz::Fault("a link leads out of the destination");
    treecheck::RemoveTree(box);
    return 0;
}
