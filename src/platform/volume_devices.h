// Volume devices: a drive letter's device ("\\.\X:") opened for commands or for queries only,
// device I/O control requests on it, and closing it.
#pragma once

#include <cstdint>

namespace quillet {

// An opened volume device, opaque to the core.
using VolumeHandle = std::intptr_t;
constexpr VolumeHandle kInvalidVolumeHandle = -1;

enum class VolumeAccess : uint8_t {
    ReadWrite,  // read and write access: SCSI commands go through it
    QueryOnly,  // no access rights: enough for storage control requests
};

class VolumeDevices {
public:
    virtual ~VolumeDevices() = default;

    // Opens the volume of `letter` shared for reading and writing, as an existing device;
    // kInvalidVolumeHandle when it cannot be opened.
    virtual VolumeHandle Open(char letter, VolumeAccess access) = 0;
    // One synchronous device I/O control request; `returned` gets the bytes written to `out`.
    virtual bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength,
                           void* out, uint32_t outLength, uint32_t* returned) = 0;
    virtual void Close(VolumeHandle handle) = 0;
};

// The platform's volumes: CreateFileA, DeviceIoControl and CloseHandle on Windows. Elsewhere no
// volume can be opened yet.
class SystemVolumeDevices : public VolumeDevices {
public:
    VolumeHandle Open(char letter, VolumeAccess access) override;
    bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                   uint32_t outLength, uint32_t* returned) override;
    void Close(VolumeHandle handle) override;
};

}  // namespace quillet
