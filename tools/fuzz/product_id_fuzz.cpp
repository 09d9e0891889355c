// DecodeProductId and the other value rules over arbitrary configuration values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalogue/config_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    uint32_t code = 1;
    bool ok = quillet::DecodeProductId(text, code);
    // A failed decoding leaves no partial code behind.
    if (!ok && code != 0)
        std::abort();
    // A decoded code is at most eight hexadecimal digits of the text's first word.
    if (ok && text.size() < 8 && text.find_first_of(" \t\n\v\f\r") == std::string::npos &&
        text.find('\0') == std::string::npos && (code >> (4 * text.size())) != 0) {
        std::abort();
    }

    quillet::IsDecimalText(text);
    quillet::ParseLooseCount(text);
    std::string version;
    std::string fileName;
    quillet::SplitFileEntry(text, version, fileName);
    if (version.size() > quillet::kWordLimit || fileName.size() > quillet::kWordLimit)
        std::abort();
    quillet::ProductMatches(text.substr(0, size / 2), text.substr(size / 2));
    return 0;
}
