// The demo loads no library. Its one way to load one would be the runtime's: libgcc's start-up
// code asks for its own shared library, which it never finds loaded in a static program, and
// then loads it once more (through the product's LoadLibraryW slot, which calls LoadLibraryA).
// The demo links this file first, so that slot points here, at a loader that refuses every
// name, and its import table names no library loader at all.
// Linked as an object of its own: from a static library it would come too late to be chosen.
#include <windows.h>

namespace {

HMODULE WINAPI LoadNoLibrary(LPCSTR) {
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

}  // namespace

// The import slot as the linker names it.
extern "C" {
#ifdef _WIN64
decltype(&LoadNoLibrary) quilletLoadLibraryA __asm__("__imp_LoadLibraryA") = LoadNoLibrary;
#else
decltype(&LoadNoLibrary) quilletLoadLibraryA __asm__("__imp__LoadLibraryA@4") = LoadNoLibrary;
#endif
}
