#include "sim/configured_drives.h"

#include <cstdio>
#include <utility>

namespace quillet::sim {

namespace {

// The folder part of a path, with its separator; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void AppendFile(const std::string& path, const std::string& text) {
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

void ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

}  // namespace

ConfiguredDrives::ConfiguredDrives(ProfileReader& profile, const std::string& configPath,
                                   Clock& clock, EventService& events)
    : layer_(clock, events) {
    const DriveConfigFile config(profile, configPath);
    const long adapters = config.Number("ASPI", "Adapters", 1);
    for (int a = 0; a < adapters && a < kMaxAdapters; ++a) {
        const std::string section = "Adapter" + std::to_string(a);
        layer_.AddAdapter(static_cast<uint8_t>(config.Number(section, "ScsiId", 7)),
                          config.Number(section, "Answers", 1) != 0);
    }
    layer_.SetSupportStatus(static_cast<uint8_t>(config.Number("ASPI", "SupportStatus", 0x01)));
    layer_.SetRefusesAbort(config.Number("ASPI", "RefuseAbort", 0) != 0);
    // A program that runs for hours keeps no record of its requests beyond the drives' journals.
    layer_.SetKeepRequests(false);
    letterVolumes_.SetKeepCalls(false);

    const std::string folder = FolderOf(configPath);
    for (DriveConfig& drive : ReadDriveConfigs(config)) {
        Slot slot;
        slot.drive = std::make_unique<SimulatedDrive>(drive.model);
        for (const Fault& fault : drive.faults)
            slot.drive->AddFault(fault);
        slot.journalPath = folder + drive.journalName;
        slot.imagePath = folder + drive.imageName;
        layer_.AddDrive(drive.adapter, drive.target, drive.lun, *slot.drive);
        slot.config = std::move(drive);
        slots_.push_back(std::move(slot));
    }
}

void ConfiguredDrives::ServeLetters() {
    for (Slot& slot : slots_) {
        const char letter = slot.config.letter;
        if (letter == 0)
            continue;
        letterVolumes_.MapDrive(letter, *slot.drive);
        letterVolumes_.SetMediaChangeRefused(letter, 1, slot.config.refusesSwitchOff);
        letterVolumes_.SetMediaChangeRefused(letter, 0, slot.config.refusesSwitchOn);
    }
}

void ConfiguredDrives::WriteOutputs() {
    for (Slot& slot : slots_) {
        const auto& journal = slot.drive->Journal();
        std::string lines;
        for (; slot.journalWritten < journal.size(); ++slot.journalWritten)
            lines += FormatJournalEntry(journal[slot.journalWritten]) + "\n";
        if (!lines.empty())
            AppendFile(slot.journalPath, lines);
        const bool complete = slot.drive->ImageComplete();
        if (complete && !slot.completeSeen)
            ReplaceFile(slot.imagePath, slot.drive->ReceivedImage());
        slot.completeSeen = complete;
    }
}

uint32_t ConfiguredDrives::JournalingAspi::SendCommand(void* requestBlock) {
    const uint32_t status = drives_.layer_.SendCommand(requestBlock);
    drives_.WriteOutputs();
    return status;
}

bool ConfiguredDrives::JournalingVolumes::IoControl(VolumeHandle handle, uint32_t code, void* in,
                                                    uint32_t inLength, void* out,
                                                    uint32_t outLength, uint32_t* returned) {
    const bool succeeded =
        drives_.letterVolumes_.IoControl(handle, code, in, inLength, out, outLength, returned);
    drives_.WriteOutputs();
    return succeeded;
}

}  // namespace quillet::sim
