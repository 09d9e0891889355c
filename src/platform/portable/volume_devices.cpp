#include "platform/volume_devices.h"

namespace quillet {

// Volume devices of this platform are not reached yet: no letter opens, so the drive search
// finds nothing and every request fails.
VolumeHandle SystemVolumeDevices::Open(char, VolumeAccess) {
    return kInvalidVolumeHandle;
}

bool SystemVolumeDevices::IoControl(VolumeHandle, uint32_t, void*, uint32_t, void*, uint32_t,
                                    uint32_t* returned) {
    if (returned)
        *returned = 0;
    return false;
}

void SystemVolumeDevices::Close(VolumeHandle) {}

}  // namespace quillet
