#include "catalogue/firmware_version.h"

namespace quillet {

namespace {

char LowerLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

SourceEntry SplitSourceEntry(const std::string& entry) {
    SourceEntry split;
    split.version = entry.substr(0, kEntryVersionLength);
    if (entry.size() > kEntryFileNameStart)
        split.fileName = entry.substr(kEntryFileNameStart);
    return split;
}

bool NamesFileOfFolder(const std::string& fileName) {
    return !fileName.empty() && fileName.find_first_not_of('.') != std::string::npos &&
           fileName.find_first_of("\\/") == std::string::npos;
}

int CompareFirmwareVersions(const std::string& drive, const std::string& offered,
                            std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        // A text that has ended compares as a terminating zero, below every character.
        const unsigned char a =
            i < drive.size() ? static_cast<unsigned char>(LowerLetter(drive[i])) : 0;
        const unsigned char b =
            i < offered.size() ? static_cast<unsigned char>(LowerLetter(offered[i])) : 0;
        if (a != b)
            return a < b ? -1 : 1;
        if (a == 0)
            return 0;
    }
    return 0;
}

}  // namespace quillet
