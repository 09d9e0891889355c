#include "platform/linux/sg_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace quillet {

namespace {

constexpr int kCapSysRawio = 17;

}  // namespace

int LinuxSgSystem::Open(const std::string& path, int flags, int* error) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    *error = fd < 0 ? errno : 0;
    return fd;
}

int LinuxSgSystem::SgIo(int fd, sg_io_hdr_t* header, int* error) {
    int result;
    do {
        result = ::ioctl(fd, SG_IO, header);
    } while (result < 0 && errno == EINTR);
    *error = result < 0 ? errno : 0;
    return result;
}

void LinuxSgSystem::Close(int fd) {
    ::close(fd);
}

bool LinuxSgSystem::ReadText(const std::string& path, std::string* text) {
    std::ifstream file(path);
    if (!file)
        return false;
    std::ostringstream content;
    content << file.rdbuf();
    *text = content.str();
    return true;
}

bool LinuxSgSystem::WriteText(const std::string& path, const std::string& text, int* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    const ssize_t written = ::write(fd, text.data(), text.size());
    *error = written == static_cast<ssize_t>(text.size()) ? 0 : (written < 0 ? errno : EIO);
    ::close(fd);
    return *error == 0;
}

std::vector<std::string> LinuxSgSystem::List(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool LinuxSgSystem::MayAccess(const std::string& path, int mode, int* error) {
    // AT_EACCESS: the ids the kernel checks at open, not the real ones.
    const int result = ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS);
    *error = result < 0 ? errno : 0;
    return result == 0;
}

bool LinuxSgSystem::MaySendAnyCommand() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) == 0) {
            const uint64_t caps = std::stoull(line.substr(7), nullptr, 16);
            return (caps >> kCapSysRawio) & 1;
        }
    }
    return ::geteuid() == 0;
}

}  // namespace quillet
