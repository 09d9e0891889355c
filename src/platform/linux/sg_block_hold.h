// The drive's CD device held for an update: opened exclusively, so that nobody mounts the disc
// or claims the drive for burning while its firmware changes; refused while a file system of it
// is mounted.
#pragma once

#include <string>

#include "platform/linux/sg_system.h"

namespace quillet {

struct SgHoldRefusal {
    enum class Kind { None, Mounted, Busy, Failed };
    Kind kind = Kind::None;
    std::string device;      // "/dev/sr0"
    std::string mountPoint;  // for Mounted
    int error = 0;           // errno, for Failed
};

class SgBlockHold {
public:
    // `system` must outlive the object.
    explicit SgBlockHold(SgSystem& system) : system_(system) {}
    // Lets the device go.
    ~SgBlockHold();
    SgBlockHold(const SgBlockHold&) = delete;
    SgBlockHold& operator=(const SgBlockHold&) = delete;

    // Holds /dev/`block` ("sr0"); an empty name (no CD device) holds nothing and succeeds.
    // False, with the reason in `refusal`, when one of its file systems is mounted or another
    // program holds it exclusively.
    bool Hold(const std::string& block, SgHoldRefusal* refusal);

private:
    SgSystem& system_;
    int fd_ = -1;
};

}  // namespace quillet
