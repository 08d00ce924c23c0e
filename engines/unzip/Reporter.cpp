#include "Reporter.h"

#include <algorithm>

namespace tesk::unzip {

void Reporter::Send(const std::string &text) {
    // Callers may ignore texts of 32,000 bytes or more: cut longer ones short.
    constexpr size_t kLongest = 31999;
    clock_.Sent();
    if (print_) print_(text.data(), static_cast<int32_t>(std::min(text.size(), kLongest)));
}

void Reporter::Info(const std::string &text) {
    if (level_ <= 0) Send(text);
}

void Reporter::Problem(int32_t code, const std::string &text) {
    Raise(code);
    Send(text);
}

void Reporter::Summary(const std::string &text) {
    if (level_ <= 1) Send(text);
}

void Reporter::Progress(const std::string &text) {
    if (level_ <= 1) Send(text);
}

void Reporter::Raise(int32_t code) { result_ = std::max(result_, code); }

}  // namespace tesk::unzip
