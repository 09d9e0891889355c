#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/portable/native_path.h"

namespace quillet {

bool SystemFileSystem::Exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(NativePath(path).c_str(), &info) == 0;
}

std::string SystemFileSystem::CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (buffer.size() >= (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

}  // namespace quillet
