#include <windows.h>

#include "platform/platform_identifier.h"

namespace quillet {

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version query takes the 148-byte structure");
static_assert(kPlatformWindows9x == VER_PLATFORM_WIN32_WINDOWS &&
                  kPlatformWindowsNt == VER_PLATFORM_WIN32_NT,
              "platform identifiers as the platform numbers them");

uint32_t SystemPlatformIdentifier::PlatformId() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    // A query that fails leaves the identifier 0, which is not the Windows 9x family.
    if (!::GetVersionExA(&version))
        return 0;
    return version.dwPlatformId;
}

}  // namespace quillet
