// The simulated WNASPI32.DLL: the two ASPI entry points over the simulated layer and drives,
// configured by WNASPI32.CFG beside the DLL. Every command a drive receives is appended to its
// journal file and every completed download is written to its image file (sim/README.md).
// A test and demo device only.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/event_service.h"
#include "platform/profile_reader.h"
#include "sim/aspi_layer.h"
#include "sim/drive_config.h"
#include "sim/simulated_drive.h"

namespace {

using quillet::SystemClock;
using quillet::SystemEvents;
namespace sim = quillet::sim;

const char kConfigName[] = "WNASPI32.CFG";
constexpr int kMaxAdapters = 16;

struct DriveSlot {
    std::unique_ptr<sim::SimulatedDrive> drive;
    std::string journalPath;
    std::string imagePath;
    size_t journalWritten = 0;
    bool imageWritten = false;
};

struct Simulation {
    SystemClock clock;
    SystemEvents events;
    quillet::SystemProfileReader profile;
    sim::AspiLayer layer{clock, events};
    std::vector<DriveSlot> drives;
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

void AddDrive(Simulation& simulation, const sim::DriveConfigFile& config, const std::string& folder,
              int n) {
    const sim::DriveConfig drive = sim::ReadDriveConfig(config, n);
    DriveSlot slot;
    slot.drive = std::make_unique<sim::SimulatedDrive>(drive.model);
    for (const sim::Fault& fault : drive.faults)
        slot.drive->AddFault(fault);
    slot.journalPath = folder + drive.journalName;
    slot.imagePath = folder + drive.imageName;
    simulation.layer.AddDrive(drive.adapter, drive.target, drive.lun, *slot.drive);
    simulation.drives.push_back(std::move(slot));
}

Simulation& TheSimulation() {
    if (g_simulation != nullptr)
        return *g_simulation;
    g_simulation = new Simulation;
    Simulation& simulation = *g_simulation;
    const std::string folder = Folder();
    const sim::DriveConfigFile config(simulation.profile, folder + kConfigName);
    const long adapters = config.Number("ASPI", "Adapters", 1);
    for (int a = 0; a < adapters && a < kMaxAdapters; ++a) {
        const std::string section = "Adapter" + std::to_string(a);
        simulation.layer.AddAdapter(static_cast<uint8_t>(config.Number(section, "ScsiId", 7)),
                                    config.Number(section, "Answers", 1) != 0);
    }
    simulation.layer.SetSupportStatus(
        static_cast<uint8_t>(config.Number("ASPI", "SupportStatus", 0x01)));
    simulation.layer.SetRefusesAbort(config.Number("ASPI", "RefuseAbort", 0) != 0);
    const long drives = config.Number("ASPI", "Drives", 0);
    for (int n = 0; n < drives && n < sim::kMaxConfiguredDrives; ++n)
        AddDrive(simulation, config, folder, n);
    simulation.layer.Load("WNASPI32.DLL");
    return simulation;
}

void AppendFile(const std::string& path, const std::string& text) {
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

// New journal lines and newly completed images go to their files at once, so a test can read
// them while the program still runs.
void WriteOutputs(Simulation& simulation) {
    for (DriveSlot& slot : simulation.drives) {
        const auto& journal = slot.drive->Journal();
        std::string lines;
        for (; slot.journalWritten < journal.size(); ++slot.journalWritten)
            lines += sim::FormatJournalEntry(journal[slot.journalWritten]) + "\n";
        if (!lines.empty())
            AppendFile(slot.journalPath, lines);
        if (slot.drive->ImageComplete() && !slot.imageWritten) {
            const auto& image = slot.drive->ReceivedImage();
            if (FILE* file = std::fopen(slot.imagePath.c_str(), "wb")) {
                std::fwrite(image.data(), 1, image.size(), file);
                std::fclose(file);
            }
            slot.imageWritten = true;
        }
    }
}

}  // namespace

extern "C" {

__declspec(dllexport) DWORD __cdecl GetASPI32SupportInfo(void) {
    ::EnterCriticalSection(&g_lock);
    const DWORD info = TheSimulation().layer.GetSupportInfo();
    ::LeaveCriticalSection(&g_lock);
    return info;
}

__declspec(dllexport) DWORD __cdecl SendASPI32Command(void* requestBlock) {
    ::EnterCriticalSection(&g_lock);
    Simulation& simulation = TheSimulation();
    const DWORD status = simulation.layer.SendCommand(requestBlock);
    WriteOutputs(simulation);
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
