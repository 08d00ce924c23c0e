#include "ZstdDecoder.h"

#include <new>
#include <zstd.h>
#include <zstd_errors.h>

namespace tesk::unzip {
namespace {

// Frames asking for a larger window than this (1 GiB) are refused as out of memory.
constexpr int kWindowLogMax = 30;

}  // namespace

ZstdDecoder::ZstdDecoder() : context_(ZSTD_createDCtx()) {}

ZstdDecoder::~ZstdDecoder() { ZSTD_freeDCtx(context_); }

MethodStatus ZstdDecoder::Run(const Input &input, const Output &output) {
    if (!context_ || ZSTD_isError(ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, kWindowLogMax)))
        return MethodStatus::NoMemory;
    try {
        out_.resize(ZSTD_DStreamOutSize());
    } catch (const std::bad_alloc &) {
        return MethodStatus::NoMemory;
    }
    // A frame ends where decoding returns 0; the data may hold several frames, so the end
    // is known only when the input ends on a frame's end.
    bool frameEnded = false;
    for (;;) {
        const uint8_t *data = nullptr;
        const int64_t n = input(data);
        if (n < 0) return MethodStatus::InputFailed;
        if (n == 0) return frameEnded ? MethodStatus::Ok : MethodStatus::BadData;
        ZSTD_inBuffer in{data, static_cast<size_t>(n), 0};
        // Output may be pending even when the input is used up: drain until a frame ends
        // (another call would start reading the next frame's header) or a call leaves the
        // output buffer not full.
        for (;;) {
            ZSTD_outBuffer out{out_.data(), out_.size(), 0};
            const size_t rc = ZSTD_decompressStream(context_, &out, &in);
            if (ZSTD_isError(rc)) {
                const ZSTD_ErrorCode code = ZSTD_getErrorCode(rc);
                return code == ZSTD_error_memory_allocation ||
                               code == ZSTD_error_frameParameter_windowTooLarge
                           ? MethodStatus::NoMemory
                           : MethodStatus::BadData;
            }
            if (out.pos > 0 && !output(out_.data(), out.pos)) return MethodStatus::OutputStopped;
            frameEnded = rc == 0;
            if (in.pos == in.size && (frameEnded || out.pos < out.size)) break;
        }
    }
}

}  // namespace tesk::unzip
