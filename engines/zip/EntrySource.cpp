#include "EntrySource.h"

#include <algorithm>
#include <cmath>

namespace tesk::zip {

EntrySource::EntrySource(RunContext &context, std::unique_ptr<EntryData> data, EntryInfo &&info)
    : context_(context), data_(std::move(data)), info_(std::move(info)) {
    zip_error_init(&error_);
    data_->Observe(this);
}

void EntrySource::Waiting() { context_.progress.Tick(); }

void EntrySource::Advanced(uint64_t done) { context_.progress.EntryAdvanced(done); }

zip_source_t *EntrySource::Create(RunContext &context, std::unique_ptr<EntryData> data,
                                  EntryInfo &&info, EntrySource **self) {
    auto *source = new EntrySource(context, std::move(data), std::move(info));
    zip_source_t *zs = zip_source_function_create(&EntrySource::Callback, source, nullptr);
    if (!zs) {
        delete source;
        return nullptr;
    }
    *self = source;
    return zs;
}

zip_int64_t EntrySource::Callback(void *self, void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
    return static_cast<EntrySource *>(self)->Handle(data, len, cmd);
}

zip_int64_t EntrySource::Handle(void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    case ZIP_SOURCE_STAT:
        if (len < sizeof(zip_stat_t)) return Fail({}, ZIP_ER_INVAL);
        return Stat(static_cast<zip_stat_t *>(data));
    case ZIP_SOURCE_OPEN:
        return Open();
    case ZIP_SOURCE_READ:
        return Read(data, len);
    case ZIP_SOURCE_CLOSE:
        Close();
        return 0;
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, len);
    case ZIP_SOURCE_FREE:
        context_.scheduler.Forget(data_.get());
        data_->Release();
        zip_error_fini(&error_);
        delete this;
        return 0;
    default:
        return Fail({}, ZIP_ER_OPNOTSUPP);
    }
}

zip_int64_t EntrySource::Fail(const Failure &failure, int zipError) {
    if (failure.code != 0) context_.Fail(failure);
    zip_error_set(&error_, zipError, 0);
    return -1;
}

zip_int64_t EntrySource::Stat(zip_stat_t *st) {
    if (!haveHeader_) {
        context_.scheduler.EnsureStarted(data_.get());
        Failure failure;
        if (!data_->WaitHeader(header_, failure)) return Fail(failure, ZIP_ER_READ);
        haveHeader_ = true;
    }
    // The method is known only now. libzip reads the entry's method after this first STAT,
    // so switching it here keeps a stored source from being deflated again.
    if (header_.stored && !methodSet_) {
        zip_set_file_compression(info_.archive, info_.index, ZIP_CM_STORE, 0);
        methodSet_ = true;
    }
    const EntryHeader header = readDone_ ? data_->Final() : header_;
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_MTIME | ZIP_STAT_ENCRYPTION_METHOD;
    st->size = header.size;
    st->comp_method = header.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    // ZipCrypto takes its check byte from this time, so it must be given here.
    st->mtime = info_.mtime;
    st->encryption_method = ZIP_EM_NONE;
    if (header.crcKnown) {
        st->valid |= ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE;
        st->crc = header.crc;
        st->comp_size = header.compressedSize;
    }
    return sizeof(zip_stat_t);
}

zip_int64_t EntrySource::Open() {
    if (opened_) return Fail({ZP_ERR_WRITE, "zip error: " + info_.name + " was read twice"},
                             ZIP_ER_INTERNAL);
    opened_ = true;
    // The interface's texts are UTF-8; a name stored as raw bytes is shown escaped.
    const std::string shown = PrintableUtf8(info_.name);
    if (context_.service && context_.service(shown.c_str(), static_cast<int32_t>(shown.size())) == 1)
        return Fail({ZP_ERR_ABORT, "zip error: stopped before " + info_.name}, ZIP_ER_CANCELLED);
    context_.scheduler.EnsureStarted(data_.get());
    if (info_.size >= RunProgress::kLargeEntry)
        context_.progress.EntryBegins((info_.replacing ? "updating: " : "  adding: ") + info_.name,
                                      info_.size);
    return 0;
}

zip_int64_t EntrySource::Read(void *buffer, zip_uint64_t len) {
    Failure failure;
    const int64_t n = data_->Read(buffer, len, failure);
    if (n < 0) return Fail(failure, ZIP_ER_READ);
    if (n == 0) readDone_ = true;
    return n;
}

void EntrySource::Close() {
    if (readDone_) {
        const EntryHeader done = data_->Final();
        context_.totals.bytesIn += done.size;
        context_.totals.bytesOut += done.compressedSize;
        ++(info_.replacing ? context_.totals.updated : context_.totals.added);
        std::string line = info_.replacing ? "updating: " : "  adding: ";
        line += info_.name;
        if (done.stored || done.size == 0) {
            line += " (stored 0%)";
        } else {
            const double saved = std::max(0.0, 100.0 * (1.0 - static_cast<double>(done.compressedSize) /
                                                                   static_cast<double>(done.size)));
            line += " (deflated " + std::to_string(static_cast<int>(std::lround(saved))) + "%)";
        }
        context_.reporter.Entry(line);
        if (done.changed)
            context_.losses.Add(context_.reporter,
                                "zip warning: " + info_.name +
                                    " changed while it was read: its entry may hold neither the "
                                    "old nor the new content");
        context_.progress.EntryDone(info_.size);
    }
    context_.scheduler.Finished(data_.get());
    data_->Release();
}

}  // namespace tesk::zip
