#include "platform/platform_identifier.h"

namespace quillet {

uint32_t SystemPlatformIdentifier::PlatformId() {
    return kPlatformWindowsNt;
}

}  // namespace quillet
