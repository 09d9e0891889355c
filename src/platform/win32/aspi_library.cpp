#include <windows.h>

#include "platform/aspi_library.h"

namespace quillet {

namespace {

// The library's entry points are plain C functions with the caller cleaning the stack.
using SupportInfoEntry = DWORD(__cdecl*)(void);
using SendCommandEntry = DWORD(__cdecl*)(void*);
using AnyEntry = void (*)();

AnyEntry Resolve(void* module, const char* name) {
    FARPROC entry = ::GetProcAddress(static_cast<HMODULE>(module), name);
    // Through a generic function pointer, the one conversion that does not alter the address.
    return reinterpret_cast<AnyEntry>(entry);
}

}  // namespace

SystemAspiLibrary::~SystemAspiLibrary() {
    Free();
}

bool SystemAspiLibrary::Load(const std::string& name) {
    Free();
    module_ = ::LoadLibraryA(name.c_str());
    return module_ != nullptr;
}

bool SystemAspiLibrary::HasEntryPoints() {
    if (module_ == nullptr)
        return false;
    getSupportInfo_ = Resolve(module_, "GetASPI32SupportInfo");
    sendCommand_ = Resolve(module_, "SendASPI32Command");
    return getSupportInfo_ != nullptr && sendCommand_ != nullptr;
}

uint32_t SystemAspiLibrary::GetSupportInfo() {
    if (getSupportInfo_ == nullptr)
        return 0;
    return reinterpret_cast<SupportInfoEntry>(getSupportInfo_)();
}

uint32_t SystemAspiLibrary::SendCommand(void* requestBlock) {
    if (sendCommand_ == nullptr)
        return 0;
    return reinterpret_cast<SendCommandEntry>(sendCommand_)(requestBlock);
}

void SystemAspiLibrary::Free() {
    getSupportInfo_ = nullptr;
    sendCommand_ = nullptr;
    if (module_ != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(module_));
        module_ = nullptr;
    }
}

}  // namespace quillet
