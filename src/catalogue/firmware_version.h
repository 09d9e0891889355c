// Firmware versions and the source entries that offer them: what the update command compares
// before it asks anything, on every front end.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// A source entry of the pass-through path: the version is its first four characters, the file
// name starts at the sixth ("1.2b CDRW843N.BIN").
constexpr std::size_t kEntryVersionLength = 4;
constexpr std::size_t kEntryFileNameStart = 5;

struct SourceEntry {
    std::string version;
    std::string fileName;  // empty when the entry ends before it
};

SourceEntry SplitSourceEntry(const std::string& entry);

// True when an entry's file name can stand for a file of the catalogue's own folder: not empty,
// not dots alone (joined to the folder they name it or its parent; Windows drops trailing dots),
// and without a path separator (that names an entry of another folder).
bool NamesFileOfFolder(const std::string& fileName);

// Compares two firmware versions over at most `count` characters, letters A to Z equal to a to z:
// negative, 0 or positive as `drive` is older, the same or newer. A text that ends first is the
// smaller one.
int CompareFirmwareVersions(const std::string& drive, const std::string& offered,
                            std::size_t count);

}  // namespace quillet
