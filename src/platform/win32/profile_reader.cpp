#include <windows.h>

#include <vector>

#include "platform/profile_reader.h"

namespace quillet {

// Windows keeps its own cache of profile files; nothing is kept here.
struct ProfileFileCache {};

namespace {

// The profile functions look a name without a folder up in the Windows directory, not in the
// current directory; the full path makes them read the file the caller means.
std::string FullPath(const std::string& path) {
    DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::vector<char> full(needed + 1);
    DWORD length =
        ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return path;
    return std::string(full.data(), length);
}

}  // namespace

SystemProfileReader::SystemProfileReader() : cache_(std::make_unique<ProfileFileCache>()) {}

SystemProfileReader::~SystemProfileReader() = default;

uint64_t SystemProfileReader::FileLoads() const {
    return 0;
}

void SystemProfileReader::BeginLookup() {}

void SystemProfileReader::EndLookup() {}

uint32_t SystemProfileReader::ReadString(const std::string& section, const std::string& key,
                                         const std::string& defaultText, char* buffer,
                                         uint32_t size, const std::string& path) {
    if (buffer == nullptr || size == 0)
        return 0;
    return ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer,
                                      size, FullPath(path).c_str());
}

}  // namespace quillet
