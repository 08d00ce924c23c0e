#include "Reporter.h"

#include <algorithm>

namespace tesk::unzip {

void Reporter::Send(const std::string &text) {
    if (print_) print_(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), 32000)));
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

void Reporter::Raise(int32_t code) { result_ = std::max(result_, code); }

}  // namespace tesk::unzip
