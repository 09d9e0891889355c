// Where the Linux program's drives come from: the kernel's SCSI generic nodes, or the simulated
// drives of a WNASPI32.CFG-style file. Either way the drives are volume devices on the letters
// 'A', 'B', ... for the pass-through transport, which does all the talking.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/linux/sg_block_hold.h"
#include "platform/linux/sg_volume_devices.h"
#include "platform/volume_devices.h"
#include "sim/drive_config.h"
#include "sim/volumes.h"

namespace quillet {

// Volumes that hand every call on to others; a subclass looks at the requests on their way.
class ForwardingVolumes : public VolumeDevices {
public:
    // `inner` must outlive the object.
    explicit ForwardingVolumes(VolumeDevices& inner) : inner_(inner) {}
    VolumeHandle Open(char letter, VolumeAccess access) override {
        return inner_.Open(letter, access);
    }
    bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                   uint32_t outLength, uint32_t* returned) override {
        return inner_.IoControl(handle, code, in, inLength, out, outLength, returned);
    }
    void Close(VolumeHandle handle) override { inner_.Close(handle); }

protected:
    VolumeDevices& inner_;
};

// One paragraph for the user: what failed on a SCSI generic node, why in words, and what access
// is needed.
std::string DescribeProblem(const SgProblem& problem);
// One sentence for the user on a drive that cannot be held for an update: what stands in the
// way, and what to do.
std::string DescribeRefusal(const SgHoldRefusal& refusal);

class DriveBackend {
public:
    virtual ~DriveBackend() = default;

    virtual VolumeDevices& Volumes() = 0;
    // The user's name for the drive on `letter`: its node, or its section in the file.
    virtual std::string Name(char letter) const = 0;
    // The CD device of the drive on `letter` ("sr0"); empty when it has none or none is known.
    virtual std::string BlockDevice(char) const { return std::string(); }
    // The last failure below the transport, in words; empty when there is none to tell.
    virtual std::string Problem() const = 0;
    // Whether the last command that failed was refused by the drive itself, with sense of its
    // own; false when its answer never came, the way to the drive failed or the drive went, and
    // when the sense says the link to the drive failed (ASC 08h): then nobody knows whether the
    // drive acted on it.
    virtual bool DriveRefusedLast() const = 0;
    // Whether this process may send a firmware download to the drives it serves, asked before
    // anything is opened; `why` says what access is missing.
    virtual bool MayUpdate(std::string* why) = 0;
    // Holds the drive on `letter` for an update until the backend ends; false, with the reason in
    // `why`, when something else uses it.
    virtual bool HoldForUpdate(char, std::string*) { return true; }
    // Drives that could not be opened for want of permission, by name.
    virtual std::vector<std::string> Refused() const { return {}; }
    // A line for every node that could not be opened as asked: which, why, and what was opened
    // in its place.
    virtual std::vector<std::string> OpenProblems() const { return {}; }
    // The host adapter's and the driver's status of the last command, where the backend has
    // them; false where it has not.
    virtual bool TransportStatus(uint8_t*, uint8_t*) const { return false; }
};

// The nodes of /sys/class/scsi_generic, or one node named by the user.
class SgBackend : public DriveBackend {
public:
    // Every node the kernel lists (at most 26), for listing: a node that cannot be opened for
    // reading and writing is read through its CD device.
    explicit SgBackend(SgSystem& system);
    // Only `device`: a generic node, or the CD device of one.
    SgBackend(SgSystem& system, const std::string& device);

    VolumeDevices& Volumes() override { return volumes_; }
    std::string Name(char letter) const override { return volumes_.Node(letter).path; }
    std::string BlockDevice(char letter) const override { return volumes_.Node(letter).block; }
    std::string Problem() const override { return DescribeProblem(volumes_.LastProblem()); }
    bool DriveRefusedLast() const override;
    bool MayUpdate(std::string* why) override;
    bool HoldForUpdate(char letter, std::string* why) override;
    std::vector<std::string> Refused() const override { return volumes_.RefusedOpens(); }
    std::vector<std::string> OpenProblems() const override;
    bool TransportStatus(uint8_t* host, uint8_t* driver) const override {
        *host = volumes_.LastHostStatus();
        *driver = volumes_.LastDriverStatus();
        return true;
    }
    size_t NodeCount() const { return nodes_; }

private:
    SgSystem& system_;
    std::string device_;  // as the user named it; empty for every node
    size_t nodes_;
    SgVolumeDevices volumes_;
    SgBlockHold hold_{system_};
};

// DriveBackend::DriveRefusedLast for a simulated drive, from its journal.
bool DriveRefusedLast(const sim::SimulatedDrive& drive);

// The drives of the file's [ASPI] Drives, named Drive0, Drive1, ...; their journals and
// completed images go beside the file (as the simulated DLL writes them) when the object ends.
class SimulatedBackend : public DriveBackend {
public:
    // `only`: serve just that drive (its section name, any case); empty serves all.
    SimulatedBackend(ProfileReader& profile, const std::string& configPath,
                     const std::string& only);
    ~SimulatedBackend() override;

    VolumeDevices& Volumes() override { return interrupting_; }
    std::string Name(char letter) const override;
    std::string Problem() const override;
    bool DriveRefusedLast() const override;
    bool MayUpdate(std::string*) override { return true; }
    bool Found() const { return !slots_.empty(); }
    // [ASPI] VirtualTime=1: the waits of a run take no real time.
    bool VirtualTime() const { return virtualTime_; }

private:
    struct Slot {
        int number = 0;
        std::unique_ptr<sim::SimulatedDrive> drive;
        std::string journalPath;
        std::string imagePath;
        // [DriveN] Interrupt=COMMAND TIMES [INT|TERM|HUP|QUIT|TSTP]: the program gets the
        // signal (SIGINT) TIMES times as the drive completes its command COMMAND, as if the user
        // pressed Ctrl-C (Ctrl-Z for TSTP) just then.
        uint32_t interruptAt = 0;
        int interruptTimes = 0;
        int interruptSignal = 0;
    };

    // The simulated volumes, with the interruptions the drives' sections ask for.
    class InterruptingVolumes : public ForwardingVolumes {
    public:
        explicit InterruptingVolumes(SimulatedBackend& backend)
            : ForwardingVolumes(backend.volumes_), backend_(backend) {}
        bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t* returned) override;

    private:
        SimulatedBackend& backend_;
    };

    std::vector<Slot> slots_;
    sim::SimulatedVolumes volumes_;
    InterruptingVolumes interrupting_{*this};
    bool virtualTime_ = false;
};

}  // namespace quillet
