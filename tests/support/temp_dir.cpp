#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace quillet::test {

namespace fs = std::filesystem;

namespace {

std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string(static_cast<unsigned long long>(now) % 1000000007ULL) + "-" +
           std::to_string(counter++);
}

}  // namespace

TempDir::TempDir() : previous_(fs::current_path()) {
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("quillet-" + UniqueSuffix());
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = fs::canonical(candidate);
            fs::current_path(path_);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code error;
    fs::current_path(previous_, error);
    fs::remove_all(path_, error);
}

void TempDir::WriteFile(const std::string& name, const std::string& bytes) const {
    fs::path target = path_ / name;
    fs::path staging = path_ / (".staging-" + UniqueSuffix());
    {
        std::ofstream out(staging, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + staging.string());
    }
    fs::rename(staging, target);
}

void TempDir::MakeFolder(const std::string& name) const {
    fs::create_directories(path_ / name);
}

}  // namespace quillet::test
