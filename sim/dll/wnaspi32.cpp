// The simulated WNASPI32.DLL: the two ASPI entry points over the simulated layer and drives,
// configured by WNASPI32.CFG beside the DLL. Every command a drive receives is appended to its
// journal file and every completed download is written to its image file (sim/README.md).
// A test and demo device only.
#include <windows.h>

#include <string>

#include "platform/clock.h"
#include "platform/event_service.h"
#include "platform/profile_reader.h"
#include "sim/configured_drives.h"

namespace {

namespace sim = quillet::sim;

struct Simulation {
    explicit Simulation(const std::string& configPath)
        : drives(profile, configPath, clock, events) {}

    quillet::SystemClock clock;
    quillet::SystemEvents events;
    quillet::SystemProfileReader profile;
    sim::ConfiguredDrives drives;
};

HMODULE g_module = nullptr;
CRITICAL_SECTION g_lock;
Simulation* g_simulation = nullptr;

std::string Folder() {
    char path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(g_module, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

Simulation& TheSimulation() {
    if (g_simulation != nullptr)
        return *g_simulation;
    g_simulation = new Simulation(Folder() + sim::kDriveConfigName);
    g_simulation->drives.Layer().Load("WNASPI32.DLL");
    return *g_simulation;
}

}  // namespace

extern "C" {

__declspec(dllexport) DWORD __cdecl GetASPI32SupportInfo(void) {
    ::EnterCriticalSection(&g_lock);
    const DWORD info = TheSimulation().drives.Aspi().GetSupportInfo();
    ::LeaveCriticalSection(&g_lock);
    return info;
}

__declspec(dllexport) DWORD __cdecl SendASPI32Command(void* requestBlock) {
    ::EnterCriticalSection(&g_lock);
    // New journal lines and a newly completed image go to their files at once, so a test can
    // read them while the program still runs.
    const DWORD status = TheSimulation().drives.Aspi().SendCommand(requestBlock);
    ::LeaveCriticalSection(&g_lock);
    return status;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        ::InitializeCriticalSection(&g_lock);
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // At process exit other threads are gone and the heap may be torn down: leave it.
        if (reserved == nullptr) {
            delete g_simulation;
            g_simulation = nullptr;
        }
        ::DeleteCriticalSection(&g_lock);
    }
    return TRUE;
}

}  // extern "C"
