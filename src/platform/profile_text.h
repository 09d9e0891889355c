// The parsed text of one profile file and the copy rules of a profile-string read, kept apart
// from file access so the portable reader, its cache and the fuzz target share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillet {

// White space as the Windows profile reader trims it: the C white-space characters, and the DOS
// end-of-file mark 0x1A found on old media.
bool IsProfileSpace(unsigned char c);

class ProfileText {
public:
    // Parses the bytes of a profile file. Lines end at a line feed or a carriage return; white
    // space around each line is dropped. A line starting with "[" and holding a "]" opens the
    // section named by the trimmed text between "[" and the last "]"; any other line is a key,
    // with its value after the first "=" (a line without "=" is a key without a value). Names and
    // values end at a zero byte. Lines before the first section belong to a section with an empty
    // name. Nothing else is special: a comment line such as ";x=1" is a key named ";x".
    // A file that starts with a byte-order mark (UTF-16 in either byte order, or UTF-8) is first
    // turned into the single-byte text the Windows reader's single-byte functions give on a
    // Western system: Windows-1252, with "?" for each character or UTF-16 unit it lacks and for
    // malformed UTF-8.
    explicit ProfileText(const std::string& bytes);

    // The value of the first key named `key` in the first section named `section` (names trimmed
    // and compared without regard to letter case), or nullptr when there is no such key or the
    // first such key has no "=".
    const std::string* Find(const std::string& section, const std::string& key) const;

private:
    struct Key {
        std::string value;
        bool hasValue = false;
    };
    struct Section {
        std::vector<Key> keys;
        std::unordered_map<std::string, std::size_t> firstKey;
    };

    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> firstSection_;
};

// One profile-string read over a parsed file, or over no file (`text` nullptr): copies the value
// or the default text into `buffer` with the reader's rules (trailing blanks of the default
// dropped, one pair of outer quotes removed, at most `size` - 1 bytes, always terminated).
// Returns the length copied.
uint32_t ReadProfileValue(const ProfileText* text, const std::string& section,
                          const std::string& key, const std::string& defaultText, char* buffer,
                          uint32_t size);

}  // namespace quillet
