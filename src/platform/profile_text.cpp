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

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252, the ANSI code page of the Western systems the catalogues are written on: the
// characters of its bytes 0x80 to 0x9F. The five bytes it leaves unassigned stand for the control
// characters of the same number, as they do on Windows; bytes 0xA0 to 0xFF are the characters of
// the same number.
constexpr char16_t kBytes80To9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// One UTF-16 unit as a byte of that code page. A character it lacks becomes "?", and so does
// each half of a surrogate pair, as the single-byte profile functions hand them back.
char SingleByte(char32_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    for (std::size_t i = 0; i < sizeof kBytes80To9F / sizeof kBytes80To9F[0]; ++i) {
        if (kBytes80To9F[i] == unit)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

void AppendUtf16(const unsigned char* next, const unsigned char* end, bool bigEndian,
                 std::string& out) {
    for (; end - next >= 2; next += 2) {
        unsigned first = next[0];
        unsigned second = next[1];
        out += SingleByte(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    // An odd last byte is read as a unit of its own value, whichever the byte order. For such a
    // file the Windows reader under Wine takes the unit's other half from past the end of what it
    // read; this is what it gives when that byte is zero, as it mostly is.
    if (next < end)
        out += SingleByte(*next);
}

// One character of UTF-8 text, advancing `next`. Malformed text gives U+FFFD as often as the
// Windows reader (as Wine runs it) gives "?": a lead byte takes its first continuation byte along
// even when that byte shows the sequence overlong, a surrogate or past U+10FFFF; a sequence stops
// at the first byte that is no continuation; one cut short by the end of the file takes the rest of
// the file.
char32_t DecodeUtf8(const unsigned char*& next, const unsigned char* end) {
    const unsigned lead = *next++;
    if (lead < 0x80)
        return lead;
    std::ptrdiff_t more = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        more = 1;
    else if (lead >= 0xE0 && lead <= 0xEF)
        more = 2;
    else if (lead >= 0xF0 && lead <= 0xF4)
        more = 3;
    else
        return kReplacement;
    if (end - next < more) {
        next = end;
        return kReplacement;
    }
    char32_t value = lead & (0x7Fu >> (more + 1));
    for (std::ptrdiff_t k = 0; k < more; ++k) {
        if ((*next & 0xC0u) != 0x80u)
            return kReplacement;
        value = value << 6 | (*next++ & 0x3Fu);
        // After the first continuation byte `value` is the character without its last 6 or 12
        // bits: enough to tell an overlong form, a surrogate or a character past U+10FFFF.
        if (k == 0 && more == 2 && (value < 0x20 || (value >= 0x360 && value < 0x380)))
            return kReplacement;
        if (k == 0 && more == 3 && (value < 0x10 || value > 0x10F))
            return kReplacement;
    }
    return value;
}

void AppendUtf8(const unsigned char* next, const unsigned char* end, std::string& out) {
    while (next < end) {
        char32_t value = DecodeUtf8(next, end);
        if (value >= 0x10000)
            out += "??";  // the two halves of its surrogate pair
        else
            out += SingleByte(value);
    }
}

// The text a file gives through the single-byte profile functions. A file that starts with a
// byte-order mark is read as UTF-16 (either byte order) or UTF-8 and turned into single-byte
// text, held in `converted`; any other file is single-byte text already and is read as it is.
const std::string& SingleByteText(const std::string& bytes, std::string& converted) {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = begin + bytes.size();
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        AppendUtf16(begin + 2, end, false, converted);
    } else if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
        AppendUtf16(begin + 2, end, true, converted);
    } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        AppendUtf8(begin + 3, end, converted);
    } else {
        return bytes;
    }
    return converted;
}

}  // namespace

bool IsProfileSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A;
}

ProfileText::ProfileText(const std::string& bytes) {
    std::string converted;
    const std::string& text = SingleByteText(bytes, converted);
    const char* next = text.data();
    const char* const end = next + text.size();

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
