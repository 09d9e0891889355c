#include <windows.h>

#include <cstdio>

#include "platform/volume_devices.h"

namespace quillet {

VolumeHandle SystemVolumeDevices::Open(char letter, VolumeAccess access) {
    char path[8];
    std::snprintf(path, sizeof path, "\\\\.\\%c:", letter);
    DWORD rights = access == VolumeAccess::ReadWrite ? (GENERIC_READ | GENERIC_WRITE) : 0;
    HANDLE handle = ::CreateFileA(path, rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    return reinterpret_cast<VolumeHandle>(handle);
}

bool SystemVolumeDevices::IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength,
                                    void* out, uint32_t outLength, uint32_t* returned) {
    DWORD count = 0;
    BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, in, inLength, out,
                                outLength, &count, nullptr);
    if (returned)
        *returned = count;
    return ok != FALSE;
}

void SystemVolumeDevices::Close(VolumeHandle handle) {
    if (handle != kInvalidVolumeHandle)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace quillet
