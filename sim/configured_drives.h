// The simulated drives of a WNASPI32.CFG-style file (sim/README.md) behind both of the program's
// drive services: the ASPI layer (the file's adapters, drives at their addresses) and the volume
// devices (drives with a Letter on their letters). After every request that reaches the drives,
// each drive's new journal lines are appended to its journal file and a download it has just
// completed is written to its image file, both beside the configuration file, so a test or a user
// reads them while the program still runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/event_service.h"
#include "platform/profile_reader.h"
#include "platform/volume_devices.h"
#include "sim/aspi_layer.h"
#include "sim/drive_config.h"
#include "sim/simulated_drive.h"
#include "sim/volumes.h"

namespace quillet::sim {

// The file's name beside the program or library it configures.
inline constexpr char kDriveConfigName[] = "WNASPI32.CFG";

class ConfiguredDrives {
public:
    static constexpr int kMaxAdapters = 16;

    // Reads `configPath` through `profile` once. The ASPI layer times its requests on `clock` and
    // signals their events through `events`; all three must outlive the object.
    ConfiguredDrives(ProfileReader& profile, const std::string& configPath, Clock& clock,
                     EventService& events);
    ConfiguredDrives(const ConfiguredDrives&) = delete;
    ConfiguredDrives& operator=(const ConfiguredDrives&) = delete;

    // Serves every drive that has a letter on that letter's volume, with the media change
    // notification refusals its section asks for. Until then no volume can be opened, as on a
    // system without volume pass-through.
    void ServeLetters();

    // The two services, each writing the drives' files after every call that reaches them.
    AspiLibrary& Aspi() { return aspi_; }
    VolumeDevices& Volumes() { return volumes_; }

    AspiLayer& Layer() { return layer_; }
    SimulatedVolumes& LetterVolumes() { return letterVolumes_; }
    size_t DriveCount() const { return slots_.size(); }
    SimulatedDrive& Drive(size_t n) { return *slots_[n].drive; }
    const DriveConfig& Config(size_t n) const { return slots_[n].config; }

    // Appends each drive's journal lines not written yet to its journal file, and writes a
    // download completed since the last call to its image file, replacing an older one.
    void WriteOutputs();

private:
    struct Slot {
        DriveConfig config;
        std::unique_ptr<SimulatedDrive> drive;
        std::string journalPath;
        std::string imagePath;
        size_t journalWritten = 0;
        bool completeSeen = false;
    };

    class JournalingAspi : public AspiLibrary {
    public:
        explicit JournalingAspi(ConfiguredDrives& drives) : drives_(drives) {}
        bool Load(const std::string& name) override { return drives_.layer_.Load(name); }
        bool HasEntryPoints() override { return drives_.layer_.HasEntryPoints(); }
        uint32_t GetSupportInfo() override { return drives_.layer_.GetSupportInfo(); }
        uint32_t SendCommand(void* requestBlock) override;
        void Free() override { drives_.layer_.Free(); }

    private:
        ConfiguredDrives& drives_;
    };

    class JournalingVolumes : public VolumeDevices {
    public:
        explicit JournalingVolumes(ConfiguredDrives& drives) : drives_(drives) {}
        VolumeHandle Open(char letter, VolumeAccess access) override {
            return drives_.letterVolumes_.Open(letter, access);
        }
        bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t* returned) override;
        void Close(VolumeHandle handle) override { drives_.letterVolumes_.Close(handle); }

    private:
        ConfiguredDrives& drives_;
    };

    AspiLayer layer_;
    SimulatedVolumes letterVolumes_;
    std::vector<Slot> slots_;
    JournalingAspi aspi_{*this};
    JournalingVolumes volumes_{*this};
};

}  // namespace quillet::sim
