#include "Reporter.h"

#include "TextEncoding.h"

namespace tesk::zip {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none.
std::size_t SequenceAt(std::string_view text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    if (i + n > text.size()) return 0;
    return IsValidUtf8(text.substr(i, n)) ? n : 0;
}

}  // namespace

std::string PrintableUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t n = SequenceAt(text, i); n > 0) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        const auto b = static_cast<unsigned char>(text[i++]);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    return out;
}

std::string ShortenMiddle(std::string_view text, std::size_t maxBytes) {
    static constexpr std::string_view kGap = "...";
    if (text.size() <= maxBytes || maxBytes <= kGap.size()) return std::string(text.substr(0, maxBytes));
    // A third for the start (what happened, the first folders), the rest for the end (the
    // file's own name and the cause).
    const std::size_t room = maxBytes - kGap.size();
    std::size_t headEnd = room / 3;
    while (headEnd > 0 && IsContinuation(text[headEnd])) --headEnd;
    std::size_t tailStart = text.size() - (room - room / 3);
    while (tailStart < text.size() && IsContinuation(text[tailStart])) ++tailStart;
    std::string out(text.substr(0, headEnd));
    out += kGap;
    out += text.substr(tailStart);
    return out;
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

void Reporter::Loss(std::string_view text) const { Send(text); }

void Reporter::Progress(std::string_view text) const {
    if (level_ != MessageLevel::Quiet) Send(text);
}

void Losses::Add(const Reporter &reporter, const std::string &message) {
    if (count_++ == 0) first_ = message;
    reporter.Loss(message);
}

void Reporter::Send(std::string_view text) const {
    if (!print_) return;
    clock_.Sent();
    const std::string copy = ShortenMiddle(PrintableUtf8(text), kMaxMessage);
    print_(copy.c_str(), static_cast<int32_t>(copy.size()));
}

}  // namespace tesk::zip
