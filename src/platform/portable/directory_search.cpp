#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/directory_search.h"

namespace quillet {

namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
            return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
        });
}

bool IsInvalidShortNameChar(unsigned char c) {
    return c < 0x20 || c >= 0x80 || std::strchr(" *?<>|\"+=,;[]:/\\.", c) != nullptr;
}

// A name a FAT directory could hold as it is: one to eight characters, an optional dot and up to
// three more, none of them special.
bool IsShortName(const std::string& name) {
    if (name == "." || name == "..")
        return true;
    std::size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3)
        return false;
    if (dot != std::string::npos && ext.empty())
        return false;
    for (char c : base + ext) {
        if (IsInvalidShortNameChar(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// The 8.3 alias Windows gives a longer name: the first four characters, a tilde and a mark that
// stands for the name's hash, then the first three characters of the extension. A search
// pattern is matched against it too, so "*.ini" also finds "x.inix", as on Windows.
std::string ShortAlias(const std::string& name) {
    std::size_t ext = std::string::npos;
    for (std::size_t p = 1; p + 1 < name.size(); ++p) {
        if (name[p] == '.')
            ext = p;
    }
    std::string alias;
    for (std::size_t p = 0; p < name.size() && p != ext && alias.size() < 4; ++p) {
        alias += IsInvalidShortNameChar(static_cast<unsigned char>(name[p])) ? '_' : name[p];
    }
    alias.resize(5, '~');
    alias += "~~~";
    if (ext != std::string::npos) {
        alias += '.';
        for (std::size_t p = ext + 1; p < name.size() && p < ext + 4; ++p) {
            alias += IsInvalidShortNameChar(static_cast<unsigned char>(name[p])) ? '_' : name[p];
        }
    }
    return alias;
}

}  // namespace

std::vector<std::string> SystemDirectorySearch::FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("."), &::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (MatchesWildcard(pattern, name) ||
            (!IsShortName(name) && MatchesWildcard(pattern, ShortAlias(name)))) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

}  // namespace quillet
