#include "platform/linux/sg_block_hold.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace quillet {

namespace {

constexpr char kMountInfo[] = "/proc/self/mountinfo";
constexpr size_t kMountPointField = 4;  // id, parent, major:minor, root, mount point
constexpr size_t kDeviceField = 2;

// mountinfo writes a space, tab, newline and backslash in a path as \040, \011, \012, \134.
std::string Unescaped(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        const std::string code = field.substr(i + 1, 3);
        if (field[i] == '\\' && code.size() == 3 &&
            code.find_first_not_of("01234567") == std::string::npos) {
            text += static_cast<char>(std::stoi(code, nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t end = text.find_last_not_of(" \t\r\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

SgBlockHold::~SgBlockHold() {
    if (fd_ >= 0)
        system_.Close(fd_);
}

bool SgBlockHold::Hold(const std::string& block, SgHoldRefusal* refusal) {
    *refusal = SgHoldRefusal();
    if (block.empty())
        return true;
    refusal->device = "/dev/" + block;
    // A mounted file system is found by the device's number, whatever name mounted it.
    std::string number;
    std::string table;
    if (system_.ReadText("/sys/block/" + block + "/dev", &number) &&
        system_.ReadText(kMountInfo, &table)) {
        number = Trimmed(number);
        std::istringstream lines(table);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string field;
            for (size_t i = 0; fields >> field; ++i) {
                if (i == kDeviceField && field != number)
                    break;
                if (i == kMountPointField) {
                    refusal->kind = SgHoldRefusal::Kind::Mounted;
                    refusal->mountPoint = Unescaped(field);
                    return false;
                }
            }
        }
    }
    int error = 0;
    // Exclusive: the kernel refuses mounts and other exclusive opens while it is held.
    fd_ = system_.Open(refusal->device, O_RDONLY | O_NONBLOCK | O_EXCL, &error);
    if (fd_ >= 0)
        return true;
    refusal->kind = error == EBUSY ? SgHoldRefusal::Kind::Busy : SgHoldRefusal::Kind::Failed;
    refusal->error = error;
    return false;
}

}  // namespace quillet
