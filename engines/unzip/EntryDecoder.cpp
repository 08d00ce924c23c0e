#include "EntryDecoder.h"

#include "Bzip2Stream.h"
#include "MethodDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

namespace tesk::unzip {

const char *const kMayBeLonger = "longer than recorded";

namespace {

constexpr uint64_t k4GiB = uint64_t{1} << 32;

constexpr size_t kChunk = 1u << 20;
// Stands in a BadData result for a read failure, which the caller turns into libzip's error.
const char *const kReadFailed = "read failed";

DecodeResult Fail(DecodeStatus status, std::string detail = {}) {
    return {status, std::move(detail)};
}

DecodeResult ReadFailure(zip_file_t *file) {
    zip_error_t *error = zip_file_get_error(file);
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_CRC: return Fail(DecodeStatus::CrcMismatch);
    case ZIP_ER_MEMORY: return Fail(DecodeStatus::NoMemory);
    default: return Fail(DecodeStatus::BadData, zip_error_strerror(error));
    }
}

// Reads until the end or until the buffer is full; -1 on a read error. Reading on to
// the end matters: libzip checks an AES entry's authentication code only there.
int64_t ReadAll(zip_file_t *file, uint8_t *buffer, uint64_t capacity) {
    uint64_t total = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer + total, capacity - total);
        if (n < 0) return -1;
        if (n == 0) return static_cast<int64_t>(total);
        total += static_cast<uint64_t>(n);
        if (total == capacity) {
            uint8_t probe;
            const zip_int64_t more = zip_fread(file, &probe, 1);
            if (more < 0) return -1;
            if (more > 0) return static_cast<int64_t>(capacity) + 1;
            return static_cast<int64_t>(total);
        }
    }
}

bool Grow(std::vector<uint8_t> &buffer, uint64_t size) {
    try {
        if (buffer.size() < size) buffer.resize(static_cast<size_t>(size));
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Encrypted entries whose decrypted bytes libzip hands over as they are stored, to be
// decompressed here: libzip checks no CRC on that path, which AE-2 entries need.
bool DecryptsOnly(const CentralEntry &entry) {
    return entry.method == kMethodStored || entry.method == kMethodDeflated ||
           entry.method == kMethodBzip2 || HasMethodDecoder(entry.method);
}

// Salt, password verifier and authentication code of an AES entry, in bytes.
uint64_t AesOverhead(const CentralEntry &entry) {
    return 4u + 4u * entry.aesStrength + 2u + 10u;
}

}  // namespace

EntryDecoder::EntryDecoder(zip_t *zip, const ArchiveFile &archive)
    : zip_(zip), archive_(archive), inflater_(libdeflate_alloc_decompressor()) {}

EntryDecoder::~EntryDecoder() { libdeflate_free_decompressor(inflater_); }

bool EntryDecoder::FitsInMemory(const CentralEntry &entry) {
    return entry.method == kMethodDeflated && entry.size <= kInMemoryLimit &&
           entry.compressedSize <= kInMemoryLimit;
}

DecodeResult EntryDecoder::Check(uint64_t index, const CentralEntry &entry) {
    const bool raw = entry.encrypted() ? DecryptsOnly(entry) : ReadsRaw(entry);
    if (!raw && !zip_compression_method_supported(entry.method, 0))
        return Fail(DecodeStatus::Unsupported);
    if (entry.isAes() && entry.aesStrength >= 1 && entry.aesStrength <= 3 &&
        entry.compressedSize < AesOverhead(entry))
        return Fail(DecodeStatus::BadData, "encrypted data too short");
    // libzip leaks the entry's reading source when asked to open an entry whose encryption
    // it cannot decode (such as one flagged for strong encryption): never ask it.
    if (entry.encrypted()) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip_, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_ENCRYPTION_METHOD) ||
            !zip_encryption_method_supported(st.encryption_method, 0))
            return Fail(DecodeStatus::Unsupported, "encryption method");
    }
    return {};
}

DecodeResult EntryDecoder::Open(uint64_t index, const CentralEntry &entry, const char *password,
                                zip_file_t *&file) {
    const bool raw = DecryptsOnly(entry);
    if (DecodeResult checked = Check(index, entry); checked.status != DecodeStatus::Ok) return checked;
    if (!inflater_) return Fail(DecodeStatus::NoMemory);
    // Raw reads give decrypted but still compressed bytes; libzip checks nothing on them.
    file = zip_fopen_index_encrypted(zip_, index, raw ? ZIP_FL_COMPRESSED : 0, password);
    if (file) return {};
    zip_error_t *error = zip_get_error(zip_);
    const int code = zip_error_code_zip(error);
    std::string detail = zip_error_strerror(error);
    zip_error_clear(zip_);
    switch (code) {
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_NOPASSWD: return Fail(DecodeStatus::WrongPassword);
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_COMPNOTSUPP: return Fail(DecodeStatus::Unsupported);
    case ZIP_ER_MEMORY: return Fail(DecodeStatus::NoMemory);
    default: return Fail(DecodeStatus::BadData, detail);
    }
}

bool EntryDecoder::ReadsCompressed(const CentralEntry &entry) {
    return entry.method == kMethodStored || entry.method == kMethodDeflated ||
           HasMethodDecoder(entry.method);
}

bool EntryDecoder::ReadsRaw(const CentralEntry &entry) {
    return !entry.encrypted() && ReadsCompressed(entry);
}

DecodeResult EntryDecoder::Decode(uint64_t index, const CentralEntry &entry,
                                  uint64_t dataStart, const char *password, OutputSink &sink,
                                  bool streamOnly) {
    if (ReadsRaw(entry)) return DecodeRaw(entry, dataStart, sink, streamOnly);
    zip_file_t *file = nullptr;
    DecodeResult result = Open(index, entry, password, file);
    if (result.status != DecodeStatus::Ok) return result;
    if (FitsInMemory(entry) && !streamOnly) {
        result = Inflate(file, entry, output_);
        if (result.status == DecodeStatus::Ok && !sink.Write(output_.data(), entry.size))
            result = Fail(DecodeStatus::OutputError, sink.error());
        if (result.status == DecodeStatus::Ok) result = FinishSink(sink);
    } else if (!Grow(input_, kChunk)) {
        result = Fail(DecodeStatus::NoMemory);
    } else {
        const auto next = [&](const uint8_t *&data) -> int64_t {
            const zip_int64_t n = zip_fread(file, input_.data(), kChunk);
            data = input_.data();
            return n;
        };
        result = Stream(next, entry, DecryptsOnly(entry), sink);
        if (result.status == DecodeStatus::BadData && result.detail == kReadFailed)
            result = ReadFailure(file);
    }
    zip_fclose(file);
    Done();
    if (result.detail == kMayBeLonger) return Decode(index, entry, dataStart, password, sink, true);
    return result;
}

DecodeResult EntryDecoder::DecodeRaw(const CentralEntry &entry, uint64_t dataStart,
                                     OutputSink &sink, bool streamOnly) {
    // The validation put the data inside the archive; libzip is not needed for it.
    DecodeResult result;
    if (FitsInMemory(entry) && !streamOnly) {
        result = InflateAt(dataStart, entry, output_);
        if (result.status == DecodeStatus::Ok && !sink.Write(output_.data(), entry.size))
            result = Fail(DecodeStatus::OutputError, sink.error());
        if (result.status == DecodeStatus::Ok) result = FinishSink(sink);
    } else {
        uint64_t offset = 0;
        const auto next = [&](const uint8_t *&chunk) -> int64_t {
            const uint64_t n = std::min<uint64_t>(kChunk, entry.compressedSize - offset);
            // A short read means the archive shrank since it was opened.
            if (n > 0 && !archive_.ReadAt(dataStart + offset, input_.data(), n)) return -1;
            chunk = input_.data();
            offset += n;
            return static_cast<int64_t>(n);
        };
        result = Grow(input_, kChunk) ? Stream(next, entry, true, sink)
                                      : Fail(DecodeStatus::NoMemory);
    }
    Done();
    if (result.detail == kMayBeLonger) return DecodeRaw(entry, dataStart, sink, true);
    return result;
}

DecodeResult EntryDecoder::DecodeToMemory(const CentralEntry &entry, uint64_t dataStart,
                                          std::vector<uint8_t> &out) {
    DecodeResult result = InflateAt(dataStart, entry, out);
    if (result.status == DecodeStatus::Ok) out.resize(static_cast<size_t>(entry.size));
    Done();
    return result;
}

bool EntryDecoder::InflatesMapped(const CentralEntry &entry) {
    // Deflate expands 1032 times at most: a larger recorded size is a lie, and reserving
    // the space for it up front would take the disk (or, on tmpfs, memory) for nothing.
    constexpr uint64_t kMostExpansion = 1032;
    return entry.method == kMethodDeflated && entry.compressedSize <= kMappedInflateLimit &&
           entry.size / kMostExpansion <= entry.compressedSize;
}

DecodeResult EntryDecoder::DecodeToFile(const CentralEntry &entry, uint64_t dataStart, int fd,
                                        OutputSink &progress, bool mayMap) {
    if (mayMap && InflatesMapped(entry)) {
        const std::optional<DecodeResult> mapped = InflateIntoFile(entry, dataStart, fd);
        Done();
        if (mapped && mapped->detail != kMayBeLonger) return *mapped;
        // The space reserved for the mapping goes; the stream writes from the start.
        if (mapped && ftruncate(fd, 0) != 0)
            return Fail(DecodeStatus::OutputError, std::strerror(errno));
    }
    FileSink file(fd);
    TeeSink both(file, progress);
    return DecodeRaw(entry, dataStart, both, true);
}

std::optional<DecodeResult> EntryDecoder::InflateIntoFile(const CentralEntry &entry,
                                                          uint64_t dataStart, int fd) {
    if (!inflater_ || entry.size == 0) return std::nullopt;
    // Reserving every block first matters: a store through the mapping that met a full disk
    // would kill the process with SIGBUS. Nobody else can shrink the file, which has no name.
    if (fallocate(fd, 0, 0, static_cast<off_t>(entry.size)) != 0) return std::nullopt;
    void *mapped = mmap(nullptr, static_cast<size_t>(entry.size), PROT_READ | PROT_WRITE,
                        MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) return std::nullopt;
    DecodeResult result;
    if (!Grow(input_, entry.compressedSize))
        result = Fail(DecodeStatus::NoMemory);
    else if (!archive_.ReadAt(dataStart, input_.data(), static_cast<size_t>(entry.compressedSize)))
        result = Fail(DecodeStatus::BadData, "the archive could not be read");
    else
        result = InflateBytes(input_.data(), entry.compressedSize, entry, static_cast<uint8_t *>(mapped));
    munmap(mapped, static_cast<size_t>(entry.size));
    return result;
}

void EntryDecoder::Done() {
    // Keep small buffers for the next entry, but not the memory of a rare big one.
    constexpr size_t kKeep = 16u << 20;
    if (input_.capacity() > kKeep) std::vector<uint8_t>().swap(input_);
    if (output_.capacity() > kKeep) std::vector<uint8_t>().swap(output_);
}

DecodeResult EntryDecoder::Inflate(zip_file_t *file, const CentralEntry &entry,
                                   std::vector<uint8_t> &out) {
    // One byte more than the declared size shows data that runs on past it.
    if (!Grow(input_, entry.compressedSize + 1) || !Grow(out, entry.size + 1))
        return Fail(DecodeStatus::NoMemory);
    const int64_t inputLength = ReadAll(file, input_.data(), entry.compressedSize);
    if (inputLength < 0) return ReadFailure(file);
    if (static_cast<uint64_t>(inputLength) > entry.compressedSize)
        return Fail(DecodeStatus::SizeMismatch);
    return InflateBytes(input_.data(), static_cast<uint64_t>(inputLength), entry, out.data());
}

DecodeResult EntryDecoder::InflateAt(uint64_t dataStart, const CentralEntry &entry,
                                     std::vector<uint8_t> &out) {
    if (!inflater_) return Fail(DecodeStatus::NoMemory);
    if (!Grow(input_, entry.compressedSize) || !Grow(out, entry.size + 1))
        return Fail(DecodeStatus::NoMemory);
    if (!archive_.ReadAt(dataStart, input_.data(), static_cast<size_t>(entry.compressedSize)))
        return Fail(DecodeStatus::BadData, "the archive could not be read");
    return InflateBytes(input_.data(), entry.compressedSize, entry, out.data());
}

DecodeResult EntryDecoder::InflateBytes(const uint8_t *input, uint64_t inputLength,
                                        const CentralEntry &entry, uint8_t *out) {
    size_t produced = 0;
    const libdeflate_result inflated = libdeflate_deflate_decompress(
        inflater_, input, static_cast<size_t>(inputLength), out,
        static_cast<size_t>(entry.size), &produced);
    if (inflated == LIBDEFLATE_INSUFFICIENT_SPACE)
        return Fail(DecodeStatus::SizeMismatch, entry.mayExceedBy4GiB() ? kMayBeLonger : "");
    if (inflated != LIBDEFLATE_SUCCESS) return Fail(DecodeStatus::BadData);
    const uint32_t crc = libdeflate_crc32(0, out, produced);
    if (entry.crcIsChecked() && crc != entry.crc) return Fail(DecodeStatus::CrcMismatch);
    if (produced != entry.size) return Fail(DecodeStatus::SizeMismatch);
    return {};
}

DecodeResult EntryDecoder::Stream(const NextInput &next, const CentralEntry &entry, bool compressed,
                                  OutputSink &sink) {
    if (auto decoder = MakeMethodDecoder({entry.method, entry.flags, entry.size}))
        return StreamMethod(next, entry, *decoder, sink);
    if (!Grow(output_, kChunk)) return Fail(DecodeStatus::NoMemory);
    const bool inflate = compressed && entry.method == kMethodDeflated;
    const bool bunzip = compressed && entry.method == kMethodBzip2;
    z_stream stream{};
    if (inflate && inflateInit2(&stream, -MAX_WBITS) != Z_OK) return Fail(DecodeStatus::NoMemory);
    struct StreamEnd {
        z_stream *s;
        bool active;
        ~StreamEnd() {
            if (active) inflateEnd(s);
        }
    } end{&stream, inflate};
    std::unique_ptr<Bzip2Stream> bzip2;
    if (bunzip) bzip2 = std::make_unique<Bzip2Stream>();

    uint32_t crc = 0;
    uint64_t length = 0;
    bool streamDone = false;
    const bool mayExceed = entry.mayExceedBy4GiB();
    // Passes decoded bytes on, never beyond the declared size (unless it may have lost
    // whole 4 GiB).
    auto deliver = [&](const uint8_t *data, size_t size) -> DecodeResult {
        if (!mayExceed && size > entry.size - length) return Fail(DecodeStatus::SizeMismatch);
        crc = libdeflate_crc32(crc, data, size);
        length += size;
        if (!sink.Write(data, size)) return Fail(DecodeStatus::OutputError, sink.error());
        return {};
    };
    for (;;) {
        const uint8_t *input = nullptr;
        const int64_t n = next(input);
        if (n < 0) return Fail(DecodeStatus::BadData, kReadFailed);
        if (n == 0) break;
        if (!inflate && !bunzip) {
            DecodeResult step = deliver(input, static_cast<size_t>(n));
            if (step.status != DecodeStatus::Ok) return step;
            continue;
        }
        if (streamDone) continue;  // bytes after the stream's end are ignored, as in memory
        if (bunzip) {
            DecodeResult step;
            const auto status = bzip2->Feed(input, static_cast<size_t>(n), output_.data(), kChunk,
                                            [&](const uint8_t *data, size_t size) {
                                                step = deliver(data, size);
                                                return step.status == DecodeStatus::Ok;
                                            });
            if (step.status != DecodeStatus::Ok) return step;
            if (status == Bzip2Stream::Status::NoMemory) return Fail(DecodeStatus::NoMemory);
            if (status == Bzip2Stream::Status::BadData) return Fail(DecodeStatus::BadData);
            streamDone = status == Bzip2Stream::Status::End;
            continue;
        }
        stream.next_in = const_cast<Bytef *>(input);
        stream.avail_in = static_cast<uInt>(n);
        while (stream.avail_in > 0 && !streamDone) {
            stream.next_out = output_.data();
            stream.avail_out = static_cast<uInt>(kChunk);
            const int rc = ::inflate(&stream, Z_NO_FLUSH);
            if (rc == Z_MEM_ERROR) return Fail(DecodeStatus::NoMemory);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return Fail(DecodeStatus::BadData);
            const size_t produced = kChunk - stream.avail_out;
            DecodeResult step = deliver(output_.data(), produced);
            if (step.status != DecodeStatus::Ok) return step;
            streamDone = rc == Z_STREAM_END;
            if (rc == Z_BUF_ERROR && produced == 0) break;
        }
    }
    if ((inflate || bunzip) && !streamDone) return Fail(DecodeStatus::BadData);
    if (entry.crcIsChecked() && crc != entry.crc) return Fail(DecodeStatus::CrcMismatch);
    const bool wrapped = mayExceed && length > entry.size && (length - entry.size) % k4GiB == 0 &&
                         entry.crcIsChecked();
    if (length != entry.size && !wrapped) return Fail(DecodeStatus::SizeMismatch);
    DecodeResult finished = FinishSink(sink);
    if (finished.status == DecodeStatus::Ok) finished.beyondRecordedSize = length - entry.size;
    return finished;
}

DecodeResult EntryDecoder::StreamMethod(const NextInput &next, const CentralEntry &entry,
                                        MethodDecoder &decoder, OutputSink &sink) {
    uint32_t crc = 0;
    uint64_t length = 0;
    DecodeResult failed;
    const MethodStatus status = decoder.Run(next, [&](const uint8_t *data, size_t size) {
        if (size > entry.size - length) {
            failed = Fail(DecodeStatus::SizeMismatch);
            return false;
        }
        crc = libdeflate_crc32(crc, data, size);
        length += size;
        if (sink.Write(data, size)) return true;
        failed = Fail(DecodeStatus::OutputError, sink.error());
        return false;
    });
    switch (status) {
    case MethodStatus::Ok: break;
    case MethodStatus::OutputStopped: return failed;
    case MethodStatus::InputFailed: return Fail(DecodeStatus::BadData, kReadFailed);
    case MethodStatus::NoMemory: return Fail(DecodeStatus::NoMemory);
    case MethodStatus::BadData: return Fail(DecodeStatus::BadData);
    }
    if (entry.crcIsChecked() && crc != entry.crc) return Fail(DecodeStatus::CrcMismatch);
    if (length != entry.size) return Fail(DecodeStatus::SizeMismatch);
    return FinishSink(sink);
}

DecodeResult EntryDecoder::FinishSink(OutputSink &sink) {
    if (!sink.Finish()) return Fail(DecodeStatus::OutputError, sink.error());
    return {};
}

}  // namespace tesk::unzip
