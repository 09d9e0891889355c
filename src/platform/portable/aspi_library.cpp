#include "platform/aspi_library.h"

namespace quillet {

// No ASPI library exists outside Windows; the tests lend the simulated layer instead.
SystemAspiLibrary::~SystemAspiLibrary() = default;

bool SystemAspiLibrary::Load(const std::string&) {
    return false;
}

bool SystemAspiLibrary::HasEntryPoints() {
    return false;
}

uint32_t SystemAspiLibrary::GetSupportInfo() {
    return 0;
}

uint32_t SystemAspiLibrary::SendCommand(void*) {
    return 0;
}

void SystemAspiLibrary::Free() {}

}  // namespace quillet
