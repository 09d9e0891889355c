#include "platform/linux/sg_volume_devices.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/pass_through_record.h"

namespace quillet {

namespace {

constexpr char kGenericClass[] = "/sys/class/scsi_generic/";
constexpr char kDefaultPolling[] = "/sys/module/block/parameters/events_dfl_poll_msecs";
constexpr int kHostTimedOut = 0x03;    // DID_TIME_OUT
constexpr int kDriverTimedOut = 0x06;  // DRIVER_TIMEOUT, low bits of driver_status
constexpr int kDriverSense = 0x08;     // sense data came back: not a failure of its own
constexpr uint8_t kStatusGood = 0x00;  // the drive's status byte for a command that succeeded
constexpr unsigned kMillisecondsPerSecond = 1000;

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The CD device of a generic node's drive: /sys/class/scsi_generic/sgN/device/block/srN.
std::string BlockOfGeneric(SgSystem& system, const std::string& generic) {
    for (const std::string& name : system.List(kGenericClass + generic + "/device/block")) {
        if (name.rfind("sr", 0) == 0)
            return name;
    }
    return std::string();
}

SgProblemKind KindOfError(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return SgProblemKind::NoPermission;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return SgProblemKind::DeviceGone;
        default:
            return SgProblemKind::SystemError;
    }
}

}  // namespace

std::vector<SgNode> FindScsiGenericNodes(SgSystem& system) {
    std::vector<std::string> names = system.List(kGenericClass);
    // sg2 before sg10.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    std::vector<SgNode> nodes;
    for (const std::string& name : names) {
        if (name.rfind("sg", 0) == 0)
            nodes.push_back(SgNode{"/dev/" + name, BlockOfGeneric(system, name)});
    }
    return nodes;
}

SgNode NodeForDevice(SgSystem& system, const std::string& path) {
    const std::string name = BaseName(path);
    for (const SgNode& node : FindScsiGenericNodes(system)) {
        if (BaseName(node.path) == name || (!node.block.empty() && node.block == name))
            return node;
    }
    return SgNode{path, std::string()};
}

bool IsGenericNode(const std::string& path) {
    const std::string name = BaseName(path);
    return name.size() > 2 && name.rfind("sg", 0) == 0 &&
           name.find_first_not_of("0123456789", 2) == std::string::npos;
}

std::string PollingAttribute(const std::string& block) {
    return "/sys/block/" + block + "/events_poll_msecs";
}

SgVolumeDevices::SgVolumeDevices(SgSystem& system, std::vector<SgNode> nodes)
    : system_(system), nodes_(std::move(nodes)) {
    if (nodes_.size() > 26)
        nodes_.resize(26);
}

SgVolumeDevices::~SgVolumeDevices() {
    while (!handles_.empty())
        Close(handles_.begin()->first);
}

const SgNode& SgVolumeDevices::Node(char letter) const {
    static const SgNode none;
    const int index = (letter | 0x20) - 'a';
    return index >= 0 && static_cast<size_t>(index) < nodes_.size() ? nodes_[index] : none;
}

void SgVolumeDevices::Fail(SgProblemKind kind, const Opened* opened, int error) {
    problem_ = SgProblem();
    problem_.kind = kind;
    problem_.error = error;
    if (opened)
        problem_.node = opened->path;
}

VolumeHandle SgVolumeDevices::Open(char letter, VolumeAccess access) {
    const int index = (letter | 0x20) - 'a';
    if (index < 0 || static_cast<size_t>(index) >= nodes_.size())
        return kInvalidVolumeHandle;
    Opened opened;
    opened.node = static_cast<size_t>(index);
    opened.path = nodes_[opened.node].path;
    if (access == VolumeAccess::ReadWrite) {
        int error = 0;
        // Non-blocking: the open must not wait for another program's exclusive use.
        opened.fd = system_.Open(opened.path, O_RDWR | O_NONBLOCK, &error);
        if (opened.fd < 0)
            Fail(KindOfError(error), &opened, error);
        if (opened.fd < 0 && problem_.kind == SgProblemKind::NoPermission && queryThroughCd_ &&
            !nodes_[opened.node].block.empty())
            opened.fd = OpenCdDevice(opened, error);
        if (opened.fd < 0) {
            const std::string& path = nodes_[opened.node].path;
            if (KindOfError(error) == SgProblemKind::NoPermission &&
                std::find(refused_.begin(), refused_.end(), path) == refused_.end())
                refused_.push_back(path);
            return kInvalidVolumeHandle;
        }
    }
    const VolumeHandle handle = next_++;
    handles_[handle] = opened;
    return handle;
}

int SgVolumeDevices::OpenCdDevice(Opened& opened, int nodeError) {
    Detour detour{opened.path, nodeError, "/dev/" + nodes_[opened.node].block, 0};
    int fd = system_.Open(detour.cd, O_RDONLY | O_NONBLOCK, &detour.cdError);
    const bool seen = std::any_of(detours_.begin(), detours_.end(),
                                  [&](const Detour& d) { return d.node == detour.node; });
    if (!seen)
        detours_.push_back(detour);
    if (fd < 0)
        return -1;
    problem_ = SgProblem();
    opened.path = detour.cd;
    return fd;
}

void SgVolumeDevices::Close(VolumeHandle handle) {
    const auto found = handles_.find(handle);
    if (found == handles_.end())
        return;
    Opened& opened = found->second;
    if (opened.pollingOff) {
        // Every way out of a download puts the polling back, not only the one that succeeds.
        const SgProblem kept = problem_;
        SwitchPolling(opened, false);
        problem_ = kept;
    }
    if (opened.fd >= 0)
        system_.Close(opened.fd);
    handles_.erase(found);
}

bool SgVolumeDevices::IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength,
                                void* out, uint32_t outLength, uint32_t* returned) {
    if (returned)
        *returned = 0;
    const auto found = handles_.find(handle);
    if (found == handles_.end() || in == nullptr)
        return false;
    Opened& opened = found->second;
    if (code == kIoctlStorageMcnControl) {
        if (inLength < sizeof(PreventMediaRemoval))
            return false;
        return SwitchPolling(opened, static_cast<const uint8_t*>(in)[0] != 0);
    }
    // The record is read and answered in place, as the storage stack does.
    if (code != kIoctlScsiPassThroughDirect || opened.fd < 0 || out != in)
        return false;
    return PassThrough(opened, static_cast<uint8_t*>(in), inLength, outLength, returned);
}

bool SgVolumeDevices::PassThrough(Opened& opened, uint8_t* record, uint32_t inLength,
                                  uint32_t outLength, uint32_t* returned) {
    PassThroughFields fields;
    if (!DecodePassThroughRecord(record, inLength, outLength, &fields))
        return false;

    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.cmd_len = fields.cdbLength;
    header.cmdp = fields.cdb.data();
    header.dxfer_len = fields.dataLength;
    header.dxferp = fields.data;
    header.dxfer_direction = fields.dataLength == 0                 ? SG_DXFER_NONE
                             : fields.dataIn == kPassThroughDataOut ? SG_DXFER_TO_DEV
                                                                    : SG_DXFER_FROM_DEV;
    header.mx_sb_len = fields.senseLength;
    header.sbp = record + fields.senseOffset;
    header.timeout = fields.timeoutSeconds * kMillisecondsPerSecond;

    const auto failCommand = [&](SgProblemKind kind, int error) {
        Fail(kind, &opened, error);
        problem_.cdbLength = fields.cdbLength;
        std::copy_n(fields.cdb.begin(), fields.cdbLength, problem_.cdb.begin());
        problem_.hostStatus = static_cast<uint8_t>(header.host_status);
        problem_.driverStatus = static_cast<uint8_t>(header.driver_status);
        return false;
    };
    int error = 0;
    lastHost_ = 0;
    lastDriver_ = 0;
    if (system_.SgIo(opened.fd, &header, &error) < 0)
        return failCommand(KindOfError(error), error);
    lastHost_ = static_cast<uint8_t>(header.host_status);
    lastDriver_ = static_cast<uint8_t>(header.driver_status);
    const int driver = header.driver_status & 0x0F;
    if (header.host_status == kHostTimedOut || driver == kDriverTimedOut)
        return failCommand(SgProblemKind::NeverCompleted, 0);
    if (header.host_status != 0 || (driver != 0 && driver != kDriverSense))
        return failCommand(SgProblemKind::TransportFailed, 0);

    // masked_status is the status shifted right by one (seven bits); a header whose two fields
    // disagree is not taken for GOOD.
    const uint8_t status = header.status != kStatusGood
                               ? header.status
                               : static_cast<uint8_t>((header.masked_status & 0x7F) << 1);
    SetPassThroughRecordStatus(record, status);
    if (returned)
        *returned = outLength;
    if (status != kStatusGood) {
        failCommand(SgProblemKind::Rejected, 0);
        problem_.status = status;
        problem_.sense.assign(header.sbp,
                              header.sbp + std::min<unsigned>(header.sb_len_wr, header.mx_sb_len));
        return true;
    }
    problem_ = SgProblem();
    return true;
}

bool SgVolumeDevices::SwitchPolling(Opened& opened, bool off) {
    const std::string& block = nodes_[opened.node].block;
    if (block.empty() || off == opened.pollingOff)
        return true;  // no CD device: the kernel polls nothing for this drive
    const std::string attribute = PollingAttribute(block);
    int error = 0;
    if (!off) {
        if (!system_.WriteText(attribute, opened.savedPolling, &error)) {
            Fail(SgProblemKind::PollingNotSwitched, &opened, error);
            problem_.detail = attribute;
            return false;
        }
        opened.pollingOff = false;
        return true;
    }
    std::string text;
    if (!system_.ReadText(attribute, &text))
        return true;  // a kernel without media polling
    text = Trimmed(text);
    long interval = std::strtol(text.c_str(), nullptr, 10);
    std::string fallback;
    if (interval < 0)
        interval = system_.ReadText(kDefaultPolling, &fallback)
                       ? std::strtol(Trimmed(fallback).c_str(), nullptr, 10)
                       : 0;
    if (interval <= 0)
        return true;  // not polled: nothing to switch
    if (!system_.WriteText(attribute, "0", &error)) {
        Fail(SgProblemKind::PollingNotSwitched, &opened, error);
        problem_.detail = attribute;
        return false;
    }
    opened.savedPolling = text;
    opened.pollingOff = true;
    return true;
}

}  // namespace quillet
