#include "catalogue/config_values.h"

#include <algorithm>

namespace quillet {

namespace {

// White space as the C library sees it in the "C" locale.
bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char FoldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr std::size_t kProductIdDigits = sizeof(kProductIdKey) - 1;

}  // namespace

bool DecodeProductId(const std::string& text, uint32_t& code) {
    code = 0;
    uint32_t value = 0;
    for (std::size_t p = 0;; ++p) {
        if (p == text.size() || text[p] == '\0' || IsCSpace(text[p])) {
            code = value;
            return true;
        }
        if (p == kProductIdDigits)
            return false;
        int distance =
            static_cast<unsigned char>(text[p]) - static_cast<unsigned char>(kProductIdKey[p]);
        if (distance < 1 || distance > 16)
            return false;
        value = value * 16u + static_cast<uint32_t>(16 - distance);
    }
}

bool IsDecimalText(const std::string& text) {
    for (char c : text) {
        if (c == '\0')
            break;
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

namespace {

// The digits from `p` up to the first other character, with their sign; false when the value
// does not fit in an int32_t.
bool SignedDigits(const std::string& text, std::size_t p, bool negative, int32_t& value) {
    const int64_t limit = negative ? -int64_t{INT32_MIN} : int64_t{INT32_MAX};
    int64_t magnitude = 0;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
        magnitude = magnitude * 10 + (text[p] - '0');
        if (magnitude > limit)
            return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

}  // namespace

int32_t ParseLooseCount(const std::string& text) {
    std::size_t p = 0;
    while (p < text.size() && IsCSpace(text[p]))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-'))
        negative = text[p++] == '-';
    int32_t value = 0;
    return SignedDigits(text, p, negative, value) ? value : 0;
}

bool DecimalValue(const std::string& text, int32_t& value) {
    value = 0;
    return SignedDigits(text, 0, false, value);
}

void SplitFileEntry(const std::string& value, std::string& version, std::string& fileName) {
    std::size_t p = 0;
    auto nextWord = [&](std::string& word) {
        word.clear();
        while (p < value.size() && IsCSpace(value[p]))
            ++p;
        std::size_t start = p;
        while (p < value.size() && value[p] != '\0' && !IsCSpace(value[p]))
            ++p;
        word.assign(value, start, std::min(p - start, kWordLimit));
    };
    nextWord(version);
    nextWord(fileName);
}

bool ProductMatches(const std::string& name, const std::string& product) {
    if (product.size() < name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (FoldCase(name[i]) != FoldCase(product[i]))
            return false;
    }
    return true;
}

std::string TrimTrailingSpace(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && IsCSpace(text[end - 1]))
        --end;
    return text.substr(0, end);
}

std::string JoinToDirectory(const std::string& directory, const std::string& name) {
    if (directory.empty())
        return name;
    if (directory.back() == '\\')
        return directory + name;
    return directory + '\\' + name;
}

std::string FolderOfPath(const std::string& path) {
    std::size_t last = path.find_last_of("\\/");
    if (last == std::string::npos) {
        // A drive without folder ("C:name") keeps its drive.
        return (path.size() >= 2 && path[1] == ':') ? path.substr(0, 2) : std::string();
    }
    return path.substr(0, last + 1);
}

}  // namespace quillet
