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
#include "sim/aspi_layer.h"
#include "sim/simulated_drive.h"

namespace {

using quillet::SystemClock;
using quillet::SystemEvents;
namespace sim = quillet::sim;

const char kConfigName[] = "WNASPI32.CFG";
constexpr int kMaxAdapters = 16;
constexpr int kMaxDrives = 256;
constexpr int kMaxFaults = 16;

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

class Config {
public:
    explicit Config(std::string path) : path_(std::move(path)) {}

    std::string Text(const std::string& section, const char* key, const char* fallback) const {
        char value[1024] = {};
        ::GetPrivateProfileStringA(section.c_str(), key, fallback, value, sizeof value,
                                   path_.c_str());
        return value;
    }
    // Decimal, or hexadecimal with 0x.
    long Number(const std::string& section, const char* key, long fallback) const {
        const std::string text = Text(section, key, "");
        if (text.empty())
            return fallback;
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        return std::strtol(text.c_str(), nullptr, hex ? 16 : 10);
    }

private:
    std::string path_;
};

// "05 80 02 ..." into bytes.
std::vector<uint8_t> HexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    const char* at = text.c_str();
    char* end = nullptr;
    for (;;) {
        const unsigned long value = std::strtoul(at, &end, 16);
        if (end == at)
            break;
        bytes.push_back(static_cast<uint8_t>(value));
        at = end;
    }
    return bytes;
}

// "<never|check> <command number> <opcode or *> [kk/cc/qq]"
bool ParseFault(const std::string& text, sim::Fault* fault) {
    char kind[16] = {};
    char opcode[16] = {};
    unsigned long number = 0;
    unsigned key = 0x04, code = 0x44, qualifier = 0x00;
    const int fields = std::sscanf(text.c_str(), "%15s %lu %15s %x/%x/%x", kind, &number, opcode,
                                   &key, &code, &qualifier);
    if (fields < 3)
        return false;
    if (std::strcmp(kind, "never") == 0) {
        fault->kind = sim::FaultKind::NeverCompletes;
    } else if (std::strcmp(kind, "check") == 0) {
        fault->kind = sim::FaultKind::CheckCondition;
    } else {
        return false;
    }
    fault->commandNumber = static_cast<uint32_t>(number);
    if (std::strcmp(opcode, "*") != 0)
        fault->opcode = static_cast<uint8_t>(std::strtoul(opcode, nullptr, 16));
    fault->sense = sim::Sense{static_cast<uint8_t>(key), static_cast<uint8_t>(code),
                              static_cast<uint8_t>(qualifier)};
    return true;
}

void AddDrive(Simulation& simulation, const Config& config, const std::string& folder, int n) {
    const std::string section = "Drive" + std::to_string(n);
    sim::DriveModel model;
    model.peripheral = static_cast<uint8_t>(config.Number(section, "Peripheral", 0x05));
    model.vendor = config.Text(section, "Vendor", model.vendor.c_str());
    model.product = config.Text(section, "Product", model.product.c_str());
    model.revision = config.Text(section, "Revision", model.revision.c_str());
    const std::string inquiry = config.Text(section, "Inquiry", "");
    if (!inquiry.empty())
        model.inquiryData = HexBytes(inquiry);
    const std::string tag = config.Text(section, "Tag", "");
    if (!tag.empty()) {
        model.firmwareTag.fill(0);
        std::memcpy(model.firmwareTag.data(), tag.data(), std::min<size_t>(tag.size(), 8));
    }
    model.productCode = static_cast<uint32_t>(config.Number(section, "ProductCode", 0));
    model.trayOpen = config.Text(section, "Tray", "closed") == "open";
    model.discPresent = config.Number(section, "Disc", 0) != 0;
    model.loadClosesTray = config.Number(section, "LoadClosesTray", 1) != 0;
    model.becomingReadyCommands = static_cast<uint32_t>(config.Number(section, "BecomingReady", 0));

    DriveSlot slot;
    slot.drive = std::make_unique<sim::SimulatedDrive>(model);
    for (int f = 1; f <= kMaxFaults; ++f) {
        sim::Fault fault;
        if (ParseFault(config.Text(section, ("Fault" + std::to_string(f)).c_str(), ""), &fault))
            slot.drive->AddFault(fault);
    }
    slot.journalPath = folder + config.Text(section, "Journal", (section + ".LOG").c_str());
    slot.imagePath = folder + config.Text(section, "Image", (section + ".IMG").c_str());
    simulation.layer.AddDrive(static_cast<int>(config.Number(section, "Adapter", 0)),
                              static_cast<int>(config.Number(section, "Target", 0)),
                              static_cast<int>(config.Number(section, "Lun", 0)), *slot.drive);
    simulation.drives.push_back(std::move(slot));
}

Simulation& TheSimulation() {
    if (g_simulation != nullptr)
        return *g_simulation;
    g_simulation = new Simulation;
    Simulation& simulation = *g_simulation;
    const std::string folder = Folder();
    const Config config(folder + kConfigName);
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
    for (int n = 0; n < drives && n < kMaxDrives; ++n)
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
