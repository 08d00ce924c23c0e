#include "LzmaDecoders.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tesk::unzip {
namespace {

constexpr size_t kOutputPiece = 256u << 10;
// Decoders need about their dictionary; liblzma refuses streams that ask for more, which
// then fail as out of memory instead of taking the machine's.
constexpr uint64_t kMemoryLimit = 1ull << 30;
constexpr size_t kLzmaPropertiesSize = 5;

}  // namespace

LiblzmaDecoder::LiblzmaDecoder() = default;

LiblzmaDecoder::~LiblzmaDecoder() { lzma_end(&stream_); }

MethodStatus LiblzmaDecoder::StatusOf(lzma_ret rc) {
    switch (rc) {
    case LZMA_OK:
    case LZMA_STREAM_END: return MethodStatus::Ok;
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR: return MethodStatus::NoMemory;
    default: return MethodStatus::BadData;
    }
}

MethodStatus LiblzmaDecoder::Pump(const uint8_t *data, size_t size, const Input &input,
                                  const Output &output) {
    try {
        out_.resize(kOutputPiece);
    } catch (const std::bad_alloc &) {
        return MethodStatus::NoMemory;
    }
    stream_.next_in = data;
    stream_.avail_in = size;
    bool inputEnded = false;
    for (;;) {
        if (stream_.avail_in == 0 && !inputEnded) {
            const uint8_t *more = nullptr;
            const int64_t n = input(more);
            if (n < 0) return MethodStatus::InputFailed;
            inputEnded = n == 0;
            stream_.next_in = more;
            stream_.avail_in = static_cast<size_t>(n);
        }
        stream_.next_out = out_.data();
        stream_.avail_out = out_.size();
        // At the input's end, LZMA_FINISH turns a truncated stream into an error.
        const lzma_ret rc = lzma_code(&stream_, inputEnded ? LZMA_FINISH : LZMA_RUN);
        const size_t produced = out_.size() - stream_.avail_out;
        if (produced > 0 && !output(out_.data(), produced)) return MethodStatus::OutputStopped;
        if (rc == LZMA_STREAM_END) return MethodStatus::Ok;
        if (rc != LZMA_OK) return StatusOf(rc);
    }
}

MethodStatus LzmaDecoder::Run(const Input &input, const Output &output) {
    // The header may come in pieces.
    uint8_t header[4 + kLzmaPropertiesSize];
    size_t have = 0, need = 4;
    const uint8_t *chunk = nullptr;
    size_t left = 0;
    while (have < need) {
        if (left == 0) {
            const int64_t n = input(chunk);
            if (n < 0) return MethodStatus::InputFailed;
            if (n == 0) return MethodStatus::BadData;
            left = static_cast<size_t>(n);
        }
        const size_t take = std::min(need - have, left);
        std::memcpy(header + have, chunk, take);
        have += take;
        chunk += take;
        left -= take;
        if (have == 4) {
            if ((header[2] | header[3] << 8) != kLzmaPropertiesSize) return MethodStatus::BadData;
            need = sizeof header;
        }
    }
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_ret rc = lzma_properties_decode(&filters[0], nullptr, header + 4, kLzmaPropertiesSize);
    if (rc != LZMA_OK) return StatusOf(rc);
    auto *options = static_cast<lzma_options_lzma *>(filters[0].options);
    // No valid stream reaches further back than its own length: a smaller dictionary
    // spares memory for small entries that claim a big one.
    options->dict_size = static_cast<uint32_t>(
        std::min<uint64_t>(options->dict_size, std::max<uint64_t>(size_, LZMA_DICT_SIZE_MIN)));
    // With a marker the stream's own end counts, so data running past the declared size
    // shows; without one the declared size is where it ends.
    lzma_set_ext_size(*options, endMarker_ ? UINT64_MAX : size_);
    options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    rc = lzma_raw_decoder(&stream_, filters);
    std::free(options);
    if (rc != LZMA_OK) return StatusOf(rc);
    return Pump(chunk, left, input, output);
}

MethodStatus XzDecoder::Run(const Input &input, const Output &output) {
    const lzma_ret rc = lzma_stream_decoder(&stream_, kMemoryLimit, 0);
    if (rc != LZMA_OK) return StatusOf(rc);
    return Pump(nullptr, 0, input, output);
}

}  // namespace tesk::unzip
