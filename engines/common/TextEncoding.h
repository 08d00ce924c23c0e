// Text encodings met in zip archive names.
#pragma once

#include <string>
#include <string_view>

namespace tesk {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// True when every byte is below 0x80.
bool IsAscii(std::string_view bytes);

// Decodes IBM code page 437 (the zip format's default name encoding) to UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

}  // namespace tesk
