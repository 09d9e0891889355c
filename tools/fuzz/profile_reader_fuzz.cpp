// The portable profile reader's parser and copy rules over arbitrary file bytes: queries are
// taken from the input itself, and each copy goes into a heap buffer of exactly the size given,
// so a write past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/profile_text.h"

namespace {

void Query(const quillet::ProfileText& text, const std::string& section, const std::string& key,
           uint32_t size) {
    std::unique_ptr<char[]> buffer(size > 0 ? new char[size] : nullptr);
    uint32_t length =
        quillet::ReadProfileValue(&text, section, key, "NOT_FOUND", buffer.get(), size);
    if (size == 0) {
        if (length != 0)
            std::abort();
        return;
    }
    if (length >= size || std::strlen(buffer.get()) != length)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The first two bytes choose the buffer size; the rest is the file.
    const uint32_t bufferSize = static_cast<uint32_t>(data[0]) | ((data[1] & 1u) << 8);
    const std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    const quillet::ProfileText text(bytes);

    Query(text, "MAIN", "DEVICE_NUM", bufferSize);
    // Ask for names that occur in the file: every "[x]" with every "y=" of the input.
    std::size_t open = bytes.find('[');
    std::size_t close = bytes.find(']', open == std::string::npos ? 0 : open);
    std::string section = (open != std::string::npos && close != std::string::npos)
                              ? bytes.substr(open + 1, close - open - 1)
                              : std::string();
    std::size_t lineStart = 0;
    for (int lines = 0; lines < 16 && lineStart < bytes.size(); ++lines) {
        std::size_t end = bytes.find_first_of("\r\n", lineStart);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(lineStart, end - lineStart);
        std::size_t equals = line.find('=');
        Query(text, section, line.substr(0, equals), bufferSize);
        Query(text, section, line.substr(0, equals), (data[1] % 8) + 1);
        lineStart = end + 1;
    }
    return 0;
}
