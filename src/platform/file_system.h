// Questions about files: whether a path names an entry, and where the current directory is.
#pragma once

#include <string>

namespace quillet {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when `path` names an existing file or folder (read access is not tested).
    virtual bool Exists(const std::string& path) = 0;
    // The absolute path of the process's current directory, as the platform writes it; it ends in
    // a separator only at the root of a drive.
    virtual std::string CurrentDirectory() = 0;
};

class SystemFileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) override;
    std::string CurrentDirectory() override;
};

}  // namespace quillet
