// Zstandard through libzstd: one or more frames, as the compressor wrote them.
#pragma once

#include "MethodDecoder.h"

#include <vector>

struct ZSTD_DCtx_s;

namespace tesk::unzip {

class ZstdDecoder final : public MethodDecoder {
public:
    ZstdDecoder();
    ~ZstdDecoder() override;
    ZstdDecoder(const ZstdDecoder &) = delete;
    ZstdDecoder &operator=(const ZstdDecoder &) = delete;

    MethodStatus Run(const Input &input, const Output &output) override;

private:
    ZSTD_DCtx_s *context_;
    std::vector<uint8_t> out_;
};

}  // namespace tesk::unzip
