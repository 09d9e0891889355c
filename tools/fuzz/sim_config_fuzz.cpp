// The simulated ASPI layer's configuration file over arbitrary bytes. The whole input is the
// WNASPI32.CFG text, written to a file and read through the portable profile reader, as
// `quillet --simulate` and the simulated DLL read it. The bus is then built the way the DLL
// builds it (adapters, then each drive at its adapter, target and logical unit) and every address
// of it is asked INQUIRY, to check that each drive answers exactly where it was put.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "device/aspi_blocks.h"
#include "platform/profile_reader.h"
#include "platform/virtual_clock.h"
#include "scratch_folder.h"
#include "sim/aspi_layer.h"
#include "sim/drive_config.h"
#include "sim/events.h"
#include "sim/simulated_drive.h"

namespace {

using quillet::sim::DriveConfig;

// As the simulated DLL: at most this many adapters, each with targets 0 to 7 and units 0 to 7.
constexpr long kMaxAdapters = 16;
constexpr int kTargets = 8;
constexpr int kLuns = 8;
constexpr int kMaxFaults = 16;

long Clamped(long value, long low, long high) {
    return value < low ? low : (value > high ? high : value);
}

// Sends INQUIRY to an address. A drive told never to finish keeps the block, so every block
// lives as long as the layer.
void Inquire(quillet::sim::AspiLayer& layer,
             std::vector<std::unique_ptr<quillet::SrbExecScsiCommand>>& blocks, int adapter,
             int target, int lun) {
    static uint8_t answer[96];
    blocks.push_back(std::make_unique<quillet::SrbExecScsiCommand>());
    quillet::SrbExecScsiCommand& block = *blocks.back();
    block.SRB_Cmd = quillet::kSrbExecScsiCommand;
    block.SRB_HaId = static_cast<uint8_t>(adapter);
    block.SRB_Flags = quillet::kSrbDirectionIn;
    block.SRB_Target = static_cast<uint8_t>(target);
    block.SRB_Lun = static_cast<uint8_t>(lun);
    block.SRB_BufLen = sizeof answer;
    block.SRB_BufPointer = answer;
    block.SRB_SenseLen = 14;
    block.SRB_CDBLen = 6;
    block.CDBByte[0] = 0x12;
    block.CDBByte[4] = sizeof answer;
    layer.SendCommand(&block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const quillet::fuzz::ScratchFolder folder;
    const std::string path = folder.path() + "/WNASPI32.CFG";
    if (!folder.Write("WNASPI32.CFG", std::string(reinterpret_cast<const char*>(data), size)))
        std::abort();

    // A reader of its own for each input: its cache must not answer from an earlier file.
    quillet::SystemProfileReader reader;
    const quillet::ProfileLookup lookup(reader);
    const quillet::sim::DriveConfigFile config(reader, path);

    const std::vector<DriveConfig> configs = quillet::sim::ReadDriveConfigs(config);
    const long said = config.Number("ASPI", "Drives", 0);
    if (configs.size() != static_cast<size_t>(Clamped(said, 0, quillet::sim::kMaxConfiguredDrives)))
        std::abort();
    for (const DriveConfig& drive : configs) {
        if (drive.faults.size() > static_cast<size_t>(kMaxFaults))
            std::abort();
        if (drive.model.inquiryData && drive.model.inquiryData->size() > 1024)
            std::abort();  // more bytes than the value the reader hands back can spell
    }

    // The bus as the DLL builds it.
    quillet::VirtualClock clock;
    quillet::sim::SimulatedEvents events(clock);
    quillet::sim::AspiLayer layer(clock, events);
    events.Follow(layer);
    layer.SetKeepRequests(false);
    const long adapters = Clamped(config.Number("ASPI", "Adapters", 1), 0, kMaxAdapters);
    for (long a = 0; a < adapters; ++a) {
        const std::string section = "Adapter" + std::to_string(a);
        layer.AddAdapter(static_cast<uint8_t>(config.Number(section, "ScsiId", 7)),
                         config.Number(section, "Answers", 1) != 0);
    }
    std::vector<std::unique_ptr<quillet::sim::SimulatedDrive>> drives;
    // The drive each address must answer with: the last one configured there.
    std::map<std::tuple<int, int, int>, int> placed;
    for (const DriveConfig& drive : configs) {
        drives.push_back(std::make_unique<quillet::sim::SimulatedDrive>(drive.model));
        for (const quillet::sim::Fault& fault : drive.faults)
            drives.back()->AddFault(fault);
        layer.AddDrive(drive.adapter, drive.target, drive.lun, *drives.back());
        if (drive.adapter >= 0 && drive.adapter < adapters && drive.target >= 0 &&
            drive.target < kTargets && drive.lun >= 0 && drive.lun < kLuns) {
            placed[{drive.adapter, drive.target, drive.lun}] = static_cast<int>(drives.size()) - 1;
        }
    }
    if (!layer.Load("WNASPI32.DLL"))
        std::abort();

    // Each address reaches the drive put there, and no drive takes a command anywhere else.
    std::vector<std::unique_ptr<quillet::SrbExecScsiCommand>> blocks;
    std::vector<uint32_t> expected(drives.size(), 0);
    for (int a = 0; a < adapters; ++a) {
        for (int t = 0; t < kTargets; ++t) {
            for (int l = 0; l < kLuns; ++l) {
                const auto found = placed.find({a, t, l});
                quillet::sim::SimulatedDrive* drive =
                    found == placed.end() ? nullptr : drives[found->second].get();
                const uint32_t before = drive ? drive->CommandCount() : 0;
                Inquire(layer, blocks, a, t, l);
                if (drive == nullptr)
                    continue;
                if (drive->CommandCount() != before + 1)
                    std::abort();  // not answered by the drive put there
                ++expected[found->second];
            }
        }
    }
    for (size_t i = 0; i < drives.size(); ++i) {
        if (drives[i]->CommandCount() != expected[i])
            std::abort();  // a drive answered where it was not put
    }
    layer.Free();
    return 0;
}
