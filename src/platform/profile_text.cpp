#include "platform/profile_text.h"

#include <cstring>

namespace quillet {

namespace {

const std::string kEmptySectionText;

std::string FoldCase(const char* begin, const char* end) {
    std::string folded(begin, end);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

// A text of the file ends at a zero byte, as the Windows reader's texts do.
const char* UpToNul(const char* begin, const char* end) {
    const void* nul = std::memchr(begin, '\0', static_cast<std::size_t>(end - begin));
    return nul != nullptr ? static_cast<const char*>(nul) : end;
}

// A section or key name trimmed as the reader trims it, in the folded form the index uses.
std::string NameText(const char* begin, const char* end) {
    end = UpToNul(begin, end);
    while (begin < end && IsProfileSpace(static_cast<unsigned char>(*begin)))
        ++begin;
    while (end > begin && IsProfileSpace(static_cast<unsigned char>(end[-1])))
        --end;
    return FoldCase(begin, end);
}

std::string QueryName(const std::string& name) {
    return NameText(name.data(), name.data() + name.size());
}

// Copies at most `size` - 1 bytes of `text` and terminates; returns the length copied.
uint32_t CopyTerminated(const char* text, std::size_t length, char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0)
        return 0;
    std::size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(buffer, text, copied);
    buffer[copied] = '\0';
    return static_cast<uint32_t>(copied);
}

}  // namespace

bool IsProfileSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A;
}

ProfileText::ProfileText(const std::string& bytes) {
    const char* next = bytes.data();
    const char* const end = next + bytes.size();
    // A UTF-8 byte-order mark is not part of the first line.
    if (bytes.size() >= 3 && std::memcmp(next, "\xEF\xBB\xBF", 3) == 0)
        next += 3;

    sections_.emplace_back();
    firstSection_.emplace(std::string(), 0);
    Section* current = &sections_.back();

    while (next < end) {
        const char* lineStart = next;
        while (next < end && *next != '\n' && *next != '\r')
            ++next;
        const char* lineEnd = next;
        while (next < end && (*next == '\n' || *next == '\r'))
            ++next;

        while (lineStart < lineEnd && IsProfileSpace(static_cast<unsigned char>(*lineStart))) {
            ++lineStart;
        }
        while (lineEnd > lineStart && IsProfileSpace(static_cast<unsigned char>(lineEnd[-1]))) {
            --lineEnd;
        }
        if (lineStart == lineEnd)
            continue;

        if (*lineStart == '[') {
            const char* close = lineEnd;
            while (close > lineStart && close[-1] != ']')
                --close;
            // `close` is one past the last "]"; the name lies between "[" and it.
            if (close - lineStart >= 2) {
                sections_.emplace_back();
                current = &sections_.back();
                firstSection_.emplace(NameText(lineStart + 1, close - 1), sections_.size() - 1);
                continue;
            }
        }

        const char* equals = static_cast<const char*>(
            std::memchr(lineStart, '=', static_cast<std::size_t>(lineEnd - lineStart)));
        Key key;
        const char* nameEnd = lineEnd;
        if (equals != nullptr) {
            nameEnd = equals;
            while (nameEnd > lineStart && IsProfileSpace(static_cast<unsigned char>(nameEnd[-1]))) {
                --nameEnd;
            }
            const char* valueStart = equals + 1;
            while (valueStart < lineEnd &&
                   IsProfileSpace(static_cast<unsigned char>(*valueStart))) {
                ++valueStart;
            }
            key.value.assign(valueStart, UpToNul(valueStart, lineEnd));
            key.hasValue = true;
        }
        current->keys.push_back(std::move(key));
        current->firstKey.emplace(NameText(lineStart, nameEnd), current->keys.size() - 1);
    }
}

const std::string* ProfileText::Find(const std::string& section, const std::string& key) const {
    auto foundSection = firstSection_.find(QueryName(section));
    if (foundSection == firstSection_.end())
        return nullptr;
    const Section& s = sections_[foundSection->second];
    auto foundKey = s.firstKey.find(QueryName(key));
    if (foundKey == s.firstKey.end())
        return nullptr;
    const Key& k = s.keys[foundKey->second];
    return k.hasValue ? &k.value : nullptr;
}

uint32_t ReadProfileValue(const ProfileText* text, const std::string& section,
                          const std::string& key, const std::string& defaultText, char* buffer,
                          uint32_t size) {
    if (buffer == nullptr || size == 0)
        return 0;

    // The default loses its trailing blanks, though never its first character.
    std::size_t defaultLength = defaultText.size();
    while (defaultLength > 1 && defaultText[defaultLength - 1] == ' ')
        --defaultLength;

    const std::string* value = text != nullptr ? text->Find(section, key) : nullptr;
    const char* source = value != nullptr ? value->data() : defaultText.data();
    std::size_t length = value != nullptr ? value->size() : defaultLength;

    // One pair of matching outer quotes is removed. The closing quote is dropped from the copy
    // only when the buffer could hold the whole text after the opening quote.
    char quote = '\0';
    if (length > 1 && (source[0] == '"' || source[0] == '\'') && source[length - 1] == source[0]) {
        quote = source[0];
        ++source;
        --length;
    }
    uint32_t copied = CopyTerminated(source, length, buffer, size);
    if (quote != '\0' && size >= length && copied > 0)
        buffer[--copied] = '\0';
    return copied;
}

}  // namespace quillet
