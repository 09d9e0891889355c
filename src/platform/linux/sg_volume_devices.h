// The volume devices of the pass-through transport on Linux: drive letters stand for SCSI
// generic nodes (/dev/sgN), and the pass-through request record travels to the drive through
// the SG_IO control of the node. The media change notification switch becomes the kernel's media
// polling of the node's CD device (/sys/block/srN/events_poll_msecs): switched off, the kernel
// sends the drive nothing of its own during a download; it is put back when switched on and when
// the handle closes, whichever comes first.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/sg_system.h"
#include "platform/volume_devices.h"

namespace quillet {

// One generic node and the CD device the same drive has, if any.
struct SgNode {
    std::string path;   // "/dev/sg1"
    std::string block;  // "sr0", empty when the drive has no block device
};

// The nodes the kernel lists under /sys/class/scsi_generic, in its order.
std::vector<SgNode> FindScsiGenericNodes(SgSystem& system);
// The node for a device path given by the user: its own name, or a CD device (/dev/srN) through
// the generic node of the same drive. Nothing found gives the path as given, without a block.
SgNode NodeForDevice(SgSystem& system, const std::string& path);
// Whether a node's path names a SCSI generic node ("/dev/sg1") rather than a CD device: the
// kernel lets different commands through each.
bool IsGenericNode(const std::string& path);
// The file that switches the kernel's media polling of a CD device ("sr0").
std::string PollingAttribute(const std::string& block);

enum class SgProblemKind : uint8_t {
    None,
    NoPermission,     // open or SG_IO refused (EACCES, EPERM)
    DeviceGone,       // the node does not exist or its device went away
    Rejected,         // the drive ended the command with a status other than GOOD
    NeverCompleted,   // the kernel gave up waiting for the command
    TransportFailed,  // the host adapter or its driver reported an error
    PollingNotSwitched,
    SystemError,
};

// The last thing that went wrong; every operation that works clears it.
struct SgProblem {
    SgProblemKind kind = SgProblemKind::None;
    std::string node;
    std::array<uint8_t, 16> cdb{};
    uint8_t cdbLength = 0;  // 0 when it was not a command
    uint8_t status = 0;
    uint8_t hostStatus = 0;
    uint8_t driverStatus = 0;
    std::vector<uint8_t> sense;
    int error = 0;       // errno
    std::string detail;  // the file that could not be written, for the polling switch
};

class SgVolumeDevices : public VolumeDevices {
public:
    // Letter 'A' is nodes[0], 'B' nodes[1], ... (at most 26). `system` must outlive the object.
    SgVolumeDevices(SgSystem& system, std::vector<SgNode> nodes);
    // Puts back any media polling still switched off and closes what is open.
    ~SgVolumeDevices() override;
    SgVolumeDevices(const SgVolumeDevices&) = delete;
    SgVolumeDevices& operator=(const SgVolumeDevices&) = delete;

    VolumeHandle Open(char letter, VolumeAccess access) override;
    bool IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                   uint32_t outLength, uint32_t* returned) override;
    void Close(VolumeHandle handle) override;

    const SgNode& Node(char letter) const;
    const SgProblem& LastProblem() const { return problem_; }
    // The host adapter's and the driver's status of the last command that reached SG_IO.
    uint8_t LastHostStatus() const { return lastHost_; }
    uint8_t LastDriverStatus() const { return lastDriver_; }
    // Nodes whose open was refused for want of permission, each once.
    const std::vector<std::string>& RefusedOpens() const { return refused_; }

    // For listing only: a generic node that cannot be opened for reading and writing is opened
    // through its CD device for reading, where the kernel passes INQUIRY and READ BUFFER to
    // anyone who may read the device (a member of its group). Updates never take this way.
    void QueryThroughCdDevice() { queryThroughCd_ = true; }
    struct Detour {
        std::string node;  // "/dev/sg1", refused
        int error = 0;     // why
        std::string cd;    // "/dev/sr0", opened in its place, or refused too
        int cdError = 0;   // 0 when the CD device opened
    };
    // The generic nodes that were refused, each once, and how the CD device fared.
    const std::vector<Detour>& Detours() const { return detours_; }

private:
    struct Opened {
        int fd = -1;  // -1 for a query-only handle
        size_t node = 0;
        std::string path;  // what `fd` is open on: the generic node, or its CD device
        bool pollingOff = false;
        std::string savedPolling;  // the attribute's text before it was switched off
    };

    bool PassThrough(Opened& opened, uint8_t* record, uint32_t inLength, uint32_t outLength,
                     uint32_t* returned);
    bool SwitchPolling(Opened& opened, bool off);
    // The CD device in place of a generic node refused with `nodeError`: its descriptor, or -1
    // (the node's refusal stays the problem to tell).
    int OpenCdDevice(Opened& opened, int nodeError);
    void Fail(SgProblemKind kind, const Opened* opened, int error);

    SgSystem& system_;
    std::vector<SgNode> nodes_;
    std::map<VolumeHandle, Opened> handles_;
    VolumeHandle next_ = 0x100;
    SgProblem problem_;
    uint8_t lastHost_ = 0;
    uint8_t lastDriver_ = 0;
    std::vector<std::string> refused_;
    bool queryThroughCd_ = false;
    std::vector<Detour> detours_;
};

}  // namespace quillet
