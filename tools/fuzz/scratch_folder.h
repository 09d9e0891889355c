// A folder of the process's own for the fuzz targets that read real files through the portable
// services: made once (under TMPDIR, else in /dev/shm so the files never reach a disk), emptied
// before each input and removed when the process ends. A run stopped by a finding leaves it
// behind, which is why run.sh points TMPDIR into the build folder.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quillet::fuzz {

class ScratchFolder {
public:
    ScratchFolder() {
        const char* const bases[] = {std::getenv("TMPDIR"), "/dev/shm", "/tmp"};
        for (const char* base : bases) {
            if (base == nullptr)
                continue;
            std::string pattern = std::string(base) + "/quillet-fuzz.XXXXXX";
            if (::mkdtemp(&pattern[0]) != nullptr) {
                path_ = pattern;
                return;
            }
        }
        std::abort();  // nowhere to write: no input could be tried
    }
    ~ScratchFolder() {
        Empty();
        ::rmdir(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }

    // Removes every file the last input left behind.
    void Empty() const {
        DIR* dir = ::opendir(path_.c_str());
        if (dir == nullptr)
            return;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                ::unlink((path_ + "/" + name).c_str());
        }
        ::closedir(dir);
    }

    // Writes a file of the folder; false when the system refuses the name.
    bool Write(const std::string& name, const std::string& bytes) const {
        FILE* file = std::fopen((path_ + "/" + name).c_str(), "wb");
        if (file == nullptr)
            return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        return std::fclose(file) == 0 && written;
    }

private:
    std::string path_;
};

}  // namespace quillet::fuzz
