// A current directory held in memory, for tests of the whole program: the catalogue's directory
// search, file questions and profile reads, and the download's firmware files all look at the
// same files. The directory has a Windows path ("C:\QUILLET", or a drive's root "C:\"); a file is
// found by its bare name or by that path joined to its name, letters compared without regard to
// case as Windows does. Searches list matches in the order the files were added, so a test
// decides which is found first. Every firmware file open is recorded with the path it was given.
#pragma once

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/config_values.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/profile_reader.h"
#include "platform/profile_text.h"
#include "support/memory_firmware_files.h"

namespace quillet::test {

class MemoryFolder : public DirectorySearch,
                     public FileSystem,
                     public ProfileReader,
                     public FirmwareFiles {
public:
    explicit MemoryFolder(std::string directory = "C:\\QUILLET")
        : directory_(std::move(directory)) {}

    // Adds a file, or replaces the one of that name.
    void Add(const std::string& name, const std::string& bytes) {
        Remove(name);
        names_.push_back(name);
        files_.Add(Lower(name), bytes);
        texts_.emplace_back(Lower(name), std::make_shared<ProfileText>(bytes));
    }
    void Remove(const std::string& name) {
        names_.erase(std::remove_if(names_.begin(), names_.end(),
                                    [&](const std::string& n) { return Lower(n) == Lower(name); }),
                     names_.end());
        texts_.erase(std::remove_if(texts_.begin(), texts_.end(),
                                    [&](const auto& text) { return text.first == Lower(name); }),
                     texts_.end());
    }
    std::string PathOf(const std::string& name) const { return JoinToDirectory(directory_, name); }

    // The paths the firmware files were opened with, in order.
    const std::vector<std::string>& OpenedPaths() const { return opened_; }
    size_t OpenFiles() const { return files_.OpenFiles(); }

    // DirectorySearch
    std::vector<std::string> FindFiles(const std::string& pattern) override {
        std::vector<std::string> found;
        for (const std::string& name : names_) {
            if (MatchesWildcard(pattern, name))
                found.push_back(name);
        }
        return found;
    }

    // FileSystem
    bool Exists(const std::string& path) override { return !Resolve(path).empty(); }
    std::string CurrentDirectory() override { return directory_; }

    // ProfileReader
    uint32_t ReadString(const std::string& section, const std::string& key,
                        const std::string& defaultText, char* buffer, uint32_t size,
                        const std::string& path) override {
        const std::string name = Resolve(path);
        const ProfileText* text = nullptr;
        for (const auto& entry : texts_) {
            if (!name.empty() && entry.first == name)
                text = entry.second.get();
        }
        return ReadProfileValue(text, section, key, defaultText, buffer, size);
    }

    // FirmwareFiles
    std::unique_ptr<FirmwareFile> OpenExclusive(const std::string& path,
                                                FileErrorCause* cause = nullptr) override {
        opened_.push_back(path);
        const std::string name = Resolve(path);
        if (name.empty()) {
            if (cause)
                *cause = FileErrorCause::FileNotFound;
            return nullptr;
        }
        return files_.OpenExclusive(name, cause);
    }

private:
    static std::string Lower(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }

    // The lower-case name of the file `path` names (bare, or the directory's path joined to the
    // name), or "" when it names none.
    std::string Resolve(const std::string& path) const {
        const std::string lower = Lower(path);
        for (const std::string& name : names_) {
            if (lower == Lower(name) || lower == Lower(PathOf(name)))
                return Lower(name);
        }
        return std::string();
    }

    std::string directory_;
    std::vector<std::string> names_;
    std::vector<std::pair<std::string, std::shared_ptr<ProfileText>>> texts_;
    MemoryFirmwareFiles files_;
    std::vector<std::string> opened_;
};

}  // namespace quillet::test
