#include "Reporter.h"

namespace tesk::zip {

std::string_view CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Step back over continuation bytes so the cut falls before a lead byte.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

void Reporter::Entry(std::string_view text) const {
    if (level_ == MessageLevel::Verbose) Send(text);
}

void Reporter::Summary(std::string_view text) const {
    if (level_ != MessageLevel::Quiet) Send(text);
}

void Reporter::Warning(std::string_view text) const {
    if (level_ != MessageLevel::Quiet) Send(text);
}

void Reporter::Error(std::string_view text) const { Send(text); }

void Reporter::Progress(std::string_view text) const {
    if (level_ != MessageLevel::Quiet) Send(text);
}

void Reporter::Send(std::string_view text) const {
    if (!print_) return;
    clock_.Sent();
    const std::string copy(CutUtf8(text, kMaxMessage));
    print_(copy.c_str(), static_cast<int32_t>(copy.size()));
}

}  // namespace tesk::zip
