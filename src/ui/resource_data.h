// A reader for compiled resources (the .res file the resource compiler makes of Quillet.rc): the
// entries with their type, name and language, and the formats of dialog templates, string
// blocks, icon groups and the version record. Every length is checked against the data before
// it is used; malformed data gives no result rather than a partial one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/user_interface.h"

namespace quillet {

// Resource types by number.
constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtDialog = 5;
constexpr std::uint16_t kRtString = 6;
constexpr std::uint16_t kRtGroupIcon = 14;
constexpr std::uint16_t kRtVersion = 16;
constexpr std::uint16_t kRtManifest = 24;

constexpr LanguageId kLanguageNeutral = 0x0000;
constexpr LanguageId kLanguageEnglishUs = 0x0409;

// A type or name: a number, or (when `text` is not empty) a name. Texts here are UTF-8.
struct ResourceName {
    std::uint16_t ordinal = 0;
    std::string text;

    bool IsOrdinal() const { return text.empty(); }
    bool Is(std::uint16_t number) const { return IsOrdinal() && ordinal == number; }
};

struct ResourceEntry {
    ResourceName type;
    ResourceName name;
    LanguageId language = 0;
    std::vector<std::uint8_t> data;
};

class ResourceFile {
public:
    // Reads a .res file; nothing when it is malformed.
    static std::optional<ResourceFile> Parse(const std::uint8_t* data, std::size_t size);

    const std::vector<ResourceEntry>& Entries() const { return entries_; }

    // The entry of exactly this language, or none.
    const ResourceEntry* Find(std::uint16_t type, std::uint16_t name, LanguageId language) const;
    // The entry a user of `language` gets: that language; its primary language with neutral
    // sublanguage; the neutral language; another sublanguage of the same primary language;
    // English (United States); else the first in the file.
    const ResourceEntry* FindForLanguage(std::uint16_t type, std::uint16_t name,
                                         LanguageId language) const;
    // The languages in which a resource exists, in file order.
    std::vector<LanguageId> Languages(std::uint16_t type, std::uint16_t name) const;
    // String `id` from the block a user of `language` gets; nothing when absent or empty.
    std::optional<std::string> FindString(int id, LanguageId language) const;

private:
    std::vector<ResourceEntry> entries_;
};

// Dialog templates, both the classic and the extended form.
struct DialogItemTemplate {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int id = 0;  // 16 bits in the classic form, shown as signed there (-1 for unnamed statics)
    ResourceName windowClass;
    ResourceName title;  // a text, or a number (the icon of an icon static)
    std::vector<std::uint8_t> creationData;

    // The class name, the predefined numbers spelled as the platform names them ("Button").
    std::string ClassName() const;
};

struct DialogTemplate {
    bool extended = false;
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    ResourceName menu;
    ResourceName windowClass;
    std::string title;
    bool hasFont = false;
    int pointSize = 0;
    int weight = 0;
    bool italic = false;
    int charSet = 0;
    std::string typeface;
    std::vector<DialogItemTemplate> items;
};

std::optional<DialogTemplate> ParseDialogTemplate(const std::vector<std::uint8_t>& data);

// The sixteen strings of one string block (block b holds ids 16 (b - 1) to 16 (b - 1) + 15);
// an absent string is "".
std::optional<std::array<std::string, 16>> ParseStringBlock(const std::vector<std::uint8_t>& data);

// One image of an icon group.
struct IconGroupEntry {
    int width = 0;
    int height = 0;
    int colourCount = 0;
    int planes = 0;
    int bitCount = 0;
    std::uint32_t bytes = 0;
    std::uint16_t iconId = 0;
};

std::optional<std::vector<IconGroupEntry>> ParseIconGroup(const std::vector<std::uint8_t>& data);

// The version record: the fixed part and the texts of each string table.
struct VersionRecord {
    std::uint32_t fileVersionHigh = 0;
    std::uint32_t fileVersionLow = 0;
    std::uint32_t productVersionHigh = 0;
    std::uint32_t productVersionLow = 0;
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOs = 0;
    std::uint32_t fileType = 0;
    struct StringTable {
        std::string key;  // language and code page in hexadecimal, "041104B0"
        std::vector<std::pair<std::string, std::string>> values;
    };
    std::vector<StringTable> stringTables;
    // Language and code page pairs of the translation list.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> translations;
};

std::optional<VersionRecord> ParseVersionRecord(const std::vector<std::uint8_t>& data);

}  // namespace quillet
