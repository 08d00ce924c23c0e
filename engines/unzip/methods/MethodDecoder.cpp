#include "MethodDecoder.h"

#include "Deflate64Decoder.h"
#include "LzmaDecoders.h"
#include "ZstdDecoder.h"

namespace tesk::unzip {

bool HasMethodDecoder(uint16_t method) {
    return method == kMethodDeflate64 || method == kMethodLzma || method == kMethodZstd ||
           method == kMethodXz;
}

std::unique_ptr<MethodDecoder> MakeMethodDecoder(const MethodEntry &entry) {
    switch (entry.method) {
    case kMethodDeflate64: return std::make_unique<Deflate64Decoder>();
    case kMethodLzma: return std::make_unique<LzmaDecoder>(entry.size, (entry.flags & 2) != 0);
    case kMethodZstd: return std::make_unique<ZstdDecoder>();
    case kMethodXz: return std::make_unique<XzDecoder>();
    default: return nullptr;
    }
}

}  // namespace tesk::unzip
