#include <sys/stat.h>

#include <cstddef>
#include <fstream>
#include <iterator>
#include <list>

#include "platform/portable/native_path.h"
#include "platform/profile_reader.h"
#include "platform/profile_text.h"

namespace quillet {

// Parsed files, newest use first. An entry stays valid while the file keeps its identity, size
// and change times, so a file rewritten in place is parsed again at the next read; inside one
// lookup a file is looked at only the first time it is read.
struct ProfileFileCache {
    struct Entry {
        std::string path;
        dev_t device;
        ino_t inode;
        off_t size;
        struct timespec modified;
        struct timespec changed;
        ProfileText text;
        uint64_t checkedInLookup;  // the lookup in which the file was last looked at; 0 none
    };
    static constexpr std::size_t kMaxFiles = 8;

    std::list<Entry> entries;
    uint64_t loads = 0;
    int lookupDepth = 0;
    uint64_t lookup = 0;  // numbers the outermost lookups from 1
};

namespace {

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

SystemProfileReader::SystemProfileReader() : cache_(std::make_unique<ProfileFileCache>()) {}

SystemProfileReader::~SystemProfileReader() = default;

uint64_t SystemProfileReader::FileLoads() const {
    return cache_->loads;
}

void SystemProfileReader::BeginLookup() {
    if (cache_->lookupDepth++ == 0)
        ++cache_->lookup;
}

void SystemProfileReader::EndLookup() {
    if (cache_->lookupDepth > 0)
        --cache_->lookupDepth;
}

uint32_t SystemProfileReader::ReadString(const std::string& section, const std::string& key,
                                         const std::string& defaultText, char* buffer,
                                         uint32_t size, const std::string& path) {
    auto& entries = cache_->entries;
    const uint64_t lookup = cache_->lookupDepth > 0 ? cache_->lookup : 0;
    std::string native = NativePath(path);
    for (auto it = entries.begin(); lookup != 0 && it != entries.end(); ++it) {
        if (it->path != native || it->checkedInLookup != lookup)
            continue;
        if (it != entries.begin())
            entries.splice(entries.begin(), entries, it);
        return ReadProfileValue(&entries.front().text, section, key, defaultText, buffer, size);
    }

    struct stat info {};
    if (::stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        // A missing file reads like an empty one: every key takes its default.
        return ReadProfileValue(nullptr, section, key, defaultText, buffer, size);
    }
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->path != native)
            continue;
        if (it->device == info.st_dev && it->inode == info.st_ino && it->size == info.st_size &&
            SameTime(it->modified, info.st_mtim) && SameTime(it->changed, info.st_ctim)) {
            entries.splice(entries.begin(), entries, it);
            entries.front().checkedInLookup = lookup;
            return ReadProfileValue(&entries.front().text, section, key, defaultText, buffer, size);
        }
        entries.erase(it);
        break;
    }

    std::ifstream file(native, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ++cache_->loads;
    entries.push_front(ProfileFileCache::Entry{native, info.st_dev, info.st_ino, info.st_size,
                                               info.st_mtim, info.st_ctim, ProfileText(bytes),
                                               lookup});
    if (entries.size() > ProfileFileCache::kMaxFiles)
        entries.pop_back();
    return ReadProfileValue(&entries.front().text, section, key, defaultText, buffer, size);
}

}  // namespace quillet
