// Directory search in the process's current directory, the way the Windows file finder searches.
#pragma once

#include <string>
#include <vector>

namespace quillet {

class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;

    // Names (without folder) of the entries of the current directory that match `pattern`, a
    // plain file name in which "*" stands for any run of characters and "?" for one character,
    // letters compared without regard to case ("*.ini" finds "TARVEX.INI"). Folders count as
    // entries, as they do for the Windows finder. The order is the platform's; callers depend on
    // it only through which match comes first and which last.
    virtual std::vector<std::string> FindFiles(const std::string& pattern) = 0;
};

// The platform's finder. The portable one returns the matches sorted by name without regard to
// case, the order an NTFS volume gives.
class SystemDirectorySearch : public DirectorySearch {
public:
    std::vector<std::string> FindFiles(const std::string& pattern) override;
};

// True when `name` matches the wildcard `pattern` by the rule above.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

}  // namespace quillet
