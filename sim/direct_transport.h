// The in-process executor: a ScsiTransport that hands each request straight to a simulated drive,
// with no ASPI layer or volume in between. Drive-command tests run over it.
#pragma once

#include <cstdint>
#include <vector>

#include "device/scsi.h"
#include "sim/simulated_drive.h"

namespace quillet::sim {

class DirectTransport : public ScsiTransport {
public:
    // Serves `drive` at `key`: a key without a letter answers the ASPI address (host adapter,
    // target, logical unit) of requests that carry no letter; a key with a letter answers requests
    // for that drive letter (either case). A later drive at the same key replaces the earlier one.
    // The drive must outlive the transport.
    void AddDrive(const DriveAddress& key, SimulatedDrive& drive);

    // Completed: requestStatus 0x01 (GOOD) or 0x04, host status 0, the drive's status, its first
    // min(senseLength, 18) sense bytes, ioControlSucceeded true; returns true.
    // Never completes: requestStatus 0x02 (aborted), ioControlSucceeded false; returns false.
    // No drive at the address: requestStatus 0x82, ioControlSucceeded false; returns false.
    bool Execute(const DriveAddress& address, ScsiRequest& request) override;

    // Execute calls so far, answered or not.
    uint32_t CallCount() const { return calls_; }

private:
    struct Slot {
        DriveAddress key;
        SimulatedDrive* drive = nullptr;
    };

    SimulatedDrive* Find(const DriveAddress& address) const;

    std::vector<Slot> slots_;
    uint32_t calls_ = 0;
};

}  // namespace quillet::sim
