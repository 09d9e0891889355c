// UTF-8 and UTF-16 conversions for the texts of the compiled resources, which the headless backend
// reads into its code page (UTF-8).
#pragma once

#include <string>

namespace quillet {

// Malformed input becomes U+FFFD, one for each byte or unit that cannot be decoded.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
bool IsValidUtf8(const std::string& text);

}  // namespace quillet
