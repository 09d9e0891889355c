// A temporary folder that is the process's current directory while the object lives; the former
// current directory comes back and the folder is removed when it goes.
#pragma once

#include <filesystem>
#include <string>

namespace quillet::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes `bytes` to `name` (relative to the folder) through a new file, so a reader that keeps
    // files by identity sees the change even within one clock tick.
    void WriteFile(const std::string& name, const std::string& bytes) const;
    void MakeFolder(const std::string& name) const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

}  // namespace quillet::test
