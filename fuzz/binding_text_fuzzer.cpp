// Feeds arbitrary lengths and bytes through every callback of both bindings, the way an
// engine (well-behaved about lengths, hostile about content) would call them.
#include "FakeEngines.h"
#include "cUnzip.h"
#include "cZip.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

namespace {

// Answers every event with text and choices taken from the input.
struct Listener : cUnzipEvents, cZipEvents {
    FuzzedDataProvider *data = nullptr;

    std::string Text() { return data->ConsumeRandomLengthString(400); }
    void Cancel(const std::string &, bool &bCancel) override { bCancel = data->ConsumeBool(); }
    void OverwritePrompt(const std::string &, int32_t &eResponse) override {
        eResponse = data->ConsumeIntegral<int32_t>();
    }
    void PasswordRequest(std::string &sPassword, bool &bCancel) override {
        sPassword = Text();
        bCancel = data->ConsumeBool();
    }
    void PasswordRequest(std::string &sPassword, int32_t, bool, bool &bCancel) override {
        sPassword = Text();
        bCancel = data->ConsumeBool();
    }
    void CommentRequest(std::string &sComment, bool &bCancel) override {
        sComment = Text();
        bCancel = data->ConsumeBool();
    }
    void Progress(int32_t, const std::string &) override {}
};

// A text of the input's choosing and a length that stays within it, as engines promise.
std::pair<std::string, int32_t> LengthText(FuzzedDataProvider &data) {
    std::string text = data.ConsumeRandomLengthString(70000);
    const auto length = data.ConsumeIntegralInRange<int32_t>(0, static_cast<int32_t>(text.size()));
    return {text, length};
}

void PlayUnzipCallbacks(FuzzedDataProvider &data, const UnzipCallbacks &cb) {
    char buffer[UZ_PASSWORD_BUFFER];
    while (data.remaining_bytes() > 0) {
        switch (data.ConsumeIntegralInRange(0, 4)) {
        case 0: {
            auto [text, length] = LengthText(data);
            cb.PrintCallback(text.data(), length);
            break;
        }
        case 1: {
            auto [text, length] = LengthText(data);
            cb.ServiceCallback(text.data(), length);
            break;
        }
        case 2: {
            const std::string name = data.ConsumeRandomLengthString(70000);
            const std::string method = data.ConsumeRandomLengthString(300);
            cb.EntryCallback(data.ConsumeIntegral<uint64_t>(), data.ConsumeIntegral<uint64_t>(),
                             data.ConsumeIntegral<int32_t>(), data.ConsumeIntegral<int32_t>(),
                             data.ConsumeIntegral<int32_t>(), data.ConsumeIntegral<int32_t>(),
                             data.ConsumeIntegral<int32_t>(), data.ConsumeIntegral<int32_t>(),
                             data.ConsumeIntegral<int32_t>(), name.c_str(), method.c_str(),
                             data.ConsumeIntegral<uint32_t>(), data.ConsumeIntegral<int32_t>());
            break;
        }
        case 3: {
            const std::string name = data.ConsumeRandomLengthString(40000);
            cb.ReplaceCallback(name.c_str());
            break;
        }
        default:
            std::memset(buffer, 0, sizeof buffer);
            cb.PasswordCallback(buffer, data.ConsumeIntegralInRange<int32_t>(-1, sizeof buffer),
                                "", "");
        }
    }
}

void PlayZipCallbacks(FuzzedDataProvider &data, const ZipCallbacks &cb) {
    char buffer[ZP_PASSWORD_BUFFER];
    while (data.remaining_bytes() > 0) {
        std::memset(buffer, 0, sizeof buffer);
        switch (data.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            auto [text, length] = LengthText(data);
            cb.ZipPrintCallback(text.data(), length);
            break;
        }
        case 1: {
            auto [text, length] = LengthText(data);
            cb.ZipServiceCallback(text.data(), length);
            break;
        }
        case 2:
            cb.ZipCommentCallback(buffer);
            break;
        default:
            cb.ZipPasswordCallback(buffer,
                                   data.ConsumeIntegralInRange<int32_t>(-1, sizeof buffer), "", "");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    Listener listener;
    listener.data = &data;

    if (data.ConsumeBool()) {
        cUnzip unzip;
        unzip.SetListener(&listener);
        fake::Unzip().script = [&](const fake::UnzipCall &call) {
            PlayUnzipCallbacks(data, call.callbacks);
            return 0;
        };
        unzip.ZipFile("archive.zip");
        unzip.Directory();
        for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
            (void)unzip.FilePackedSize(i);
            (void)unzip.FileDate(i);
        }
        unzip.Unzip();
    } else {
        cZip zip;
        zip.SetListener(&listener);
        fake::Zip().script = [&](const fake::ZipArchiveCall &) {
            PlayZipCallbacks(data, fake::Zip().callbacks);
            return 0;
        };
        zip.ZipFile("archive.zip");
        zip.Zip();
    }
    fake::Unzip() = fake::UnzipEngine{};
    fake::Zip() = fake::ZipEngine{};
    return 0;
}
