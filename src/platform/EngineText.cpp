#include "EngineText.h"

int32_t ToBackslashes(std::string &text, char separator) {
    int32_t after = 1;
    for (size_t i = text.find('/'); i != std::string::npos; i = text.find('/', i + 1)) {
        if (i > 0) text[i] = separator;
        after = static_cast<int32_t>(i) + 2;
    }
    return after;
}

std::string TrimSpaces(const std::string &text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

namespace platform {

NameTable BuildNameList(int32_t count, const std::vector<std::string> &names,
                        const std::string &errorSource) {
    if (count < 0 || count >= TESK_NAMELIST_SLOTS || static_cast<size_t>(count) > names.size())
        throw TeskError(TeskError::kSubscriptOutOfRange, errorSource, "Subscript out of range");
    NameTable slots{};
    for (int32_t i = 0; i < count; ++i)
        slots[static_cast<size_t>(i)] = names[static_cast<size_t>(i)].c_str();
    slots[static_cast<size_t>(count)] = "";
    return slots;
}

}  // namespace platform
