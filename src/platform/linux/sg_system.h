// The Linux system calls the SCSI generic services make, behind one interface so that tests can
// script the kernel's answers (permission denied, a device that goes away, a command that never
// completes) without a device.
#pragma once

#include <scsi/sg.h>

#include <string>
#include <vector>

namespace quillet {

class SgSystem {
public:
    virtual ~SgSystem() = default;

    // open(2): a descriptor, or -1 with `*error` set to errno.
    virtual int Open(const std::string& path, int flags, int* error) = 0;
    // ioctl(fd, SG_IO, header): 0, or -1 with `*error` set to errno.
    virtual int SgIo(int fd, sg_io_hdr_t* header, int* error) = 0;
    virtual void Close(int fd) = 0;
    // A small text file (sysfs attributes): false when it cannot be read.
    virtual bool ReadText(const std::string& path, std::string* text) = 0;
    // Writes `text` to an existing file; false with `*error` set to errno.
    virtual bool WriteText(const std::string& path, const std::string& text, int* error) = 0;
    // The names in a folder, sorted; empty when it cannot be read.
    virtual std::vector<std::string> List(const std::string& folder) = 0;
    // Whether the process may open `path` for `mode` (R_OK, W_OK), asked with its effective ids
    // and without opening it; false with `*error` set to errno.
    virtual bool MayAccess(const std::string& path, int mode, int* error) = 0;
    // Whether the process may send every SCSI command (CAP_SYS_RAWIO): through a CD device
    // (/dev/srN) the kernel refuses WRITE BUFFER to anyone else.
    virtual bool MaySendAnyCommand() = 0;
};

// The real calls.
class LinuxSgSystem : public SgSystem {
public:
    int Open(const std::string& path, int flags, int* error) override;
    int SgIo(int fd, sg_io_hdr_t* header, int* error) override;
    void Close(int fd) override;
    bool ReadText(const std::string& path, std::string* text) override;
    bool WriteText(const std::string& path, const std::string& text, int* error) override;
    std::vector<std::string> List(const std::string& folder) override;
    bool MayAccess(const std::string& path, int mode, int* error) override;
    bool MaySendAnyCommand() override;
};

}  // namespace quillet
