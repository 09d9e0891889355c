// The compiler's start-up code and runtime (libgcc's thread and exception support, the C runtime
// helpers) call three wide-character kernel functions that Windows 95/98/Me export only as stubs
// that fail. The product links this file first, so its import slots for them point here, at the
// ANSI functions every Windows has, and the import table keeps none of the three.
// Linked as an object of its own: from a static library it would come too late to be chosen.
#include <windows.h>

#include <string>

namespace {

// A module name as the user's code page spells it; "" when it has no such spelling.
std::string AnsiName(LPCWSTR name) {
    int size = ::WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string ansi(static_cast<std::size_t>(size), '\0');
    BOOL lossy = FALSE;
    ::WideCharToMultiByte(CP_ACP, 0, name, -1, &ansi[0], size, nullptr, &lossy);
    if (lossy)
        return std::string();
    ansi.resize(static_cast<std::size_t>(size) - 1);
    return ansi;
}

HANDLE WINAPI CreateSemaphoreAnsi(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                                  LPCWSTR name) {
    if (!name)
        return ::CreateSemaphoreA(attributes, initial, maximum, nullptr);
    std::string ansi = AnsiName(name);
    if (ansi.empty()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return ::CreateSemaphoreA(attributes, initial, maximum, ansi.c_str());
}

HMODULE WINAPI GetModuleHandleAnsi(LPCWSTR name) {
    if (!name)
        return ::GetModuleHandleA(nullptr);
    std::string ansi = AnsiName(name);
    if (ansi.empty()) {
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return ::GetModuleHandleA(ansi.c_str());
}

HMODULE WINAPI LoadLibraryAnsi(LPCWSTR name) {
    std::string ansi = name ? AnsiName(name) : std::string();
    if (ansi.empty()) {
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return ::LoadLibraryA(ansi.c_str());
}

}  // namespace

// The import slots as the linker names them for 32-bit Windows.
extern "C" {
decltype(&CreateSemaphoreAnsi) quilletCreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16") =
    CreateSemaphoreAnsi;
decltype(&GetModuleHandleAnsi) quilletGetModuleHandleW __asm__("__imp__GetModuleHandleW@4") =
    GetModuleHandleAnsi;
decltype(&LoadLibraryAnsi) quilletLoadLibraryW __asm__("__imp__LoadLibraryW@4") = LoadLibraryAnsi;
}
