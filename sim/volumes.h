// Simulated volume devices: drive letters mapped to simulated drives, every other letter absent.
// Pass-through records are checked and carried to the drive; device I/O control can be made to
// fail; the media change notification switch is recorded.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "platform/virtual_clock.h"
#include "platform/volume_devices.h"
#include "sim/simulated_drive.h"

namespace quillet::sim {

class SimulatedVolumes : public VolumeDevices {
public:
    struct Opened {
        char letter = 0;
        VolumeAccess access = VolumeAccess::ReadWrite;
    };
    // One device I/O control request: the input bytes as handed in, and how it ended.
    struct Call {
        char letter = 0;  // 0 for a handle that is not open
        uint32_t code = 0;
        std::vector<uint8_t> in;
        uint32_t outLength = 0;
        bool succeeded = false;
    };
    struct Switch {
        char letter = 0;
        uint8_t value = 0;
    };

    // With a clock, a command that never finishes costs its record's time-out on it.
    explicit SimulatedVolumes(VirtualClock* clock = nullptr) : clock_(clock) {}
    SimulatedVolumes(const SimulatedVolumes&) = delete;
    SimulatedVolumes& operator=(const SimulatedVolumes&) = delete;

    // Serves `drive` (which must outlive the volumes) on `letter`, 'A'..'Z' in either case.
    void MapDrive(char letter, SimulatedDrive& drive);
    // Every device I/O control request on the letter fails (true) or works again (false).
    void SetIoControlFails(char letter, bool fails);
    // Opening the letter fails (true) or works again (false), whatever the access.
    void SetOpenFails(char letter, bool fails);
    // Media change notification switches to `value` on the letter are refused (true) or taken
    // again (false); other requests are not affected.
    void SetMediaChangeRefused(char letter, uint8_t value, bool refused);
    // false: Calls() records nothing from now on (long runs, benchmarks).
    void SetKeepCalls(bool keep) { keepCalls_ = keep; }

    VolumeHandle Open(char letter, VolumeAccess access) override;
    bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                   uint32_t outLength, uint32_t* returned) override;
    void Close(VolumeHandle handle) override;

    const std::vector<Opened>& Opens() const { return opens_; }
    const std::vector<Call>& Calls() const { return calls_; }
    const std::vector<Switch>& MediaChangeSwitches() const { return switches_; }
    // Handles opened and not closed yet.
    size_t OpenHandles() const { return handles_.size(); }
    // Close calls for handles that were not open (a program fault).
    int BadCloses() const { return badCloses_; }

private:
    struct Handle {
        char letter = 0;
        VolumeAccess access = VolumeAccess::ReadWrite;
    };

    bool PassThrough(const Handle& handle, uint8_t* in, uint32_t inLength, uint8_t* out,
                     uint32_t outLength, uint32_t* returned);

    VirtualClock* clock_;
    std::map<char, SimulatedDrive*> drives_;
    std::map<char, bool> failing_;
    std::map<char, bool> openFails_;
    std::map<std::pair<char, uint8_t>, bool> refusedSwitches_;
    bool keepCalls_ = true;
    std::map<VolumeHandle, Handle> handles_;
    VolumeHandle next_ = 0x100;
    std::vector<Opened> opens_;
    std::vector<Call> calls_;
    std::vector<Switch> switches_;
    int badCloses_ = 0;
};

}  // namespace quillet::sim
