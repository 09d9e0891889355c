#include "cli/drive_backends.h"

#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fstream>

#include "catalogue/config_values.h"
#include "device/scsi.h"
#include "device/sense_text.h"

namespace quillet {

namespace {

constexpr int kLetters = 26;

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02Xh", value & 0xFF);
    return text;
}

}  // namespace

std::string DescribeProblem(const SgProblem& problem) {
    const std::string command =
        problem.cdbLength > 0 ? CommandName(problem.cdb[0]) : std::string("opening it");
    const std::string during = problem.cdbLength > 0 ? " (during " + command + ")" : "";
    switch (problem.kind) {
        case SgProblemKind::None:
            return std::string();
        case SgProblemKind::NoPermission:
            if (problem.cdbLength == 0)
                return "Permission denied on " + problem.node +
                       ": Quillet needs read and write access to it (run as root, or as a member "
                       "of the group that owns the node).";
            if (IsGenericNode(problem.node))
                return "The kernel refused to send " + command + " to " + problem.node +
                       " (permission denied): through a SCSI generic node it passes every "
                       "command when the node is open for reading and writing, as quillet opens "
                       "it, or to a process with the CAP_SYS_RAWIO capability; something else, "
                       "such as a security module, refused it.";
            return "The kernel refused to send " + command + " to " + problem.node +
                   " (permission denied): through a CD device it passes the commands it deems "
                   "safe to anyone who may open it, and the others, WRITE BUFFER among them, "
                   "only to a process with the CAP_SYS_RAWIO capability (root); the drive's "
                   "SCSI generic node (/dev/sgN), open for reading and writing, passes every "
                   "command.";
        case SgProblemKind::DeviceGone:
            return problem.node + " is gone" + during +
                   ": the drive was disconnected or switched off, or the node does not exist.";
        case SgProblemKind::Rejected:
            return "The drive rejected " + command + " (status " + Hex(problem.status) +
                   "): " + SenseInWords(problem.sense.data(), problem.sense.size()) + ".";
        case SgProblemKind::NeverCompleted:
            return "The drive did not complete " + command +
                   " in time; the kernel gave up waiting " + "for it.";
        case SgProblemKind::TransportFailed:
            return command + " failed on the way to the drive (host status " +
                   Hex(problem.hostStatus) + ", driver status " + Hex(problem.driverStatus) + ").";
        case SgProblemKind::PollingNotSwitched:
            return "Cannot switch the kernel's media polling for the drive (" + problem.detail +
                   ": " + std::strerror(problem.error) +
                   "): switching it needs write access to that file (root).";
        case SgProblemKind::SystemError:
            return problem.node + during + ": " + std::strerror(problem.error) + ".";
    }
    return std::string();
}

SgBackend::SgBackend(SgSystem& system)
    : system_(system), nodes_(0), volumes_(system, FindScsiGenericNodes(system)) {
    while (nodes_ < kLetters && !volumes_.Node(static_cast<char>('A' + nodes_)).path.empty())
        ++nodes_;
    volumes_.QueryThroughCdDevice();
}

std::vector<std::string> SgBackend::OpenProblems() const {
    std::vector<std::string> lines;
    const std::vector<SgVolumeDevices::Detour>& detours = volumes_.Detours();
    for (const SgVolumeDevices::Detour& detour : detours) {
        if (detour.cdError == 0)
            lines.push_back(detour.node + " cannot be opened for reading and writing (" +
                            std::strerror(detour.error) + "): read through " + detour.cd +
                            " instead.");
    }
    for (const std::string& node : volumes_.RefusedOpens()) {
        std::string line =
            node + " cannot be opened for reading and writing (" + std::strerror(EACCES) + ")";
        for (const SgVolumeDevices::Detour& detour : detours) {
            if (detour.node == node) {
                line = node + " cannot be opened for reading and writing (" +
                       std::strerror(detour.error) + "), nor " + detour.cd + " for reading (" +
                       std::strerror(detour.cdError) + ")";
            }
        }
        lines.push_back(line + ": not searched.");
    }
    return lines;
}

SgBackend::SgBackend(SgSystem& system, const std::string& device)
    : system_(system),
      device_(device),
      nodes_(1),
      volumes_(system, {NodeForDevice(system, device)}) {}

bool SgBackend::MayUpdate(std::string* why) {
    // Asked of the nodes sysfs named, before anything is opened. Only what the kernel would
    // refuse is refused here; a node that is missing is left for the drive search to name.
    const bool anyCommand = system_.MaySendAnyCommand();
    std::string missing;
    for (size_t n = 0; n < nodes_; ++n) {
        const SgNode& node = volumes_.Node(static_cast<char>('A' + n));
        int error = 0;
        if (!anyCommand) {
            const bool mayOpen = system_.MayAccess(node.path, R_OK | W_OK, &error);
            const bool denied = !mayOpen && (error == EACCES || error == EPERM);
            if (!IsGenericNode(node.path) && (mayOpen || denied)) {
                missing += node.path +
                           " is not a SCSI generic node, and no generic node of its drive was "
                           "found: through a CD device the kernel passes WRITE BUFFER only to a "
                           "process with the CAP_SYS_RAWIO capability. Run quillet as root, or "
                           "name the drive's /dev/sgN (the sg module must be loaded). ";
            } else if (denied) {
                const std::string ofDevice =
                    !device_.empty() && !IsGenericNode(device_) && !node.block.empty()
                        ? ", the SCSI generic node of /dev/" + node.block + ","
                        : std::string();
                missing += node.path + ofDevice + " cannot be opened for reading and writing (" +
                           std::strerror(error) +
                           "): the kernel passes WRITE BUFFER only through the drive's SCSI "
                           "generic node opened for reading and writing, or to a process with "
                           "the CAP_SYS_RAWIO capability. Run quillet as root, or as a user with "
                           "read and write access to " +
                           node.path + " (a member of the group that owns it). ";
            }
        }
        const std::string attribute = PollingAttribute(node.block);
        // No attribute at all: a kernel without media polling, nothing to switch.
        if (!node.block.empty() && !system_.MayAccess(attribute, W_OK, &error) && error != ENOENT)
            missing += attribute + " cannot be written (" + std::strerror(error) +
                       "): switching off the kernel's media polling of the drive for the "
                       "download needs write access to it (run quillet as root). ";
    }
    if (missing.empty())
        return true;
    *why = missing + "Nothing was sent to the drive.";
    return false;
}

namespace {

// ASC 08h: logical unit communication failure, time-out, parity or CRC error on the way to the
// drive; the kernel's own target answers 08h/00h for a command it gave up on.
constexpr uint8_t kAscCommunicationFailure = 0x08;

}  // namespace

bool SgBackend::DriveRefusedLast() const {
    const SgProblem& problem = volumes_.LastProblem();
    if (problem.kind != SgProblemKind::Rejected)
        return false;
    const SenseFields fields = ReadSenseFields(problem.sense.data(), problem.sense.size());
    return !fields.hasCode || fields.code != kAscCommunicationFailure;
}

bool SgBackend::HoldForUpdate(char letter, std::string* why) {
    SgHoldRefusal refusal;
    if (hold_.Hold(volumes_.Node(letter).block, &refusal))
        return true;
    *why = DescribeRefusal(refusal);
    return false;
}

SimulatedBackend::SimulatedBackend(ProfileReader& profile, const std::string& configPath,
                                   const std::string& only) {
    const sim::DriveConfigFile config(profile, configPath);
    virtualTime_ = config.Number("ASPI", "VirtualTime", 0) != 0;
    const std::string folder = FolderOfPath(configPath);
    const std::vector<sim::DriveConfig> drives = sim::ReadDriveConfigs(config);
    for (size_t n = 0; n < drives.size() && slots_.size() < kLetters; ++n) {
        const std::string name = "Drive" + std::to_string(n);
        if (!only.empty() && strcasecmp(only.c_str(), name.c_str()) != 0)
            continue;
        Slot slot;
        slot.number = static_cast<int>(n);
        slot.drive = std::make_unique<sim::SimulatedDrive>(drives[n].model);
        for (const sim::Fault& fault : drives[n].faults)
            slot.drive->AddFault(fault);
        const std::string interrupt = config.Text(name, "Interrupt", "");
        char signal[8] = "INT";
        if (std::sscanf(interrupt.c_str(), "%u %d %7s", &slot.interruptAt, &slot.interruptTimes,
                        signal) < 2)
            slot.interruptAt = 0;
        const std::string signalName(signal);
        slot.interruptSignal = signalName == "TERM"   ? SIGTERM
                               : signalName == "HUP"  ? SIGHUP
                               : signalName == "QUIT" ? SIGQUIT
                               : signalName == "TSTP" ? SIGTSTP
                                                      : SIGINT;
        slot.journalPath = folder + drives[n].journalName;
        slot.imagePath = folder + drives[n].imageName;
        volumes_.MapDrive(static_cast<char>('A' + slots_.size()), *slot.drive);
        slots_.push_back(std::move(slot));
    }
}

SimulatedBackend::~SimulatedBackend() {
    for (const Slot& slot : slots_) {
        std::ofstream journal(slot.journalPath, std::ios::app | std::ios::binary);
        for (const sim::JournalEntry& entry : slot.drive->Journal())
            journal << sim::FormatJournalEntry(entry) << "\n";
        if (slot.drive->ImageComplete()) {
            const auto& image = slot.drive->ReceivedImage();
            std::ofstream(slot.imagePath, std::ios::binary)
                .write(reinterpret_cast<const char*>(image.data()),
                       static_cast<std::streamsize>(image.size()));
        }
    }
}

bool SimulatedBackend::InterruptingVolumes::IoControl(VolumeHandle handle, uint32_t code, void* in,
                                                      uint32_t inLength, void* out,
                                                      uint32_t outLength, uint32_t* returned) {
    const bool done =
        backend_.volumes_.IoControl(handle, code, in, inLength, out, outLength, returned);
    for (Slot& slot : backend_.slots_) {
        if (slot.interruptAt != 0 && slot.drive->CommandCount() == slot.interruptAt) {
            slot.interruptAt = 0;
            for (int i = 0; i < slot.interruptTimes; ++i)
                raise(slot.interruptSignal);
        }
    }
    return done;
}

std::string SimulatedBackend::Name(char letter) const {
    const size_t index = static_cast<size_t>((letter | 0x20) - 'a');
    return index < slots_.size() ? "Drive" + std::to_string(slots_[index].number) : std::string();
}

bool DriveRefusedLast(const sim::SimulatedDrive& drive) {
    const auto& journal = drive.Journal();
    return !journal.empty() && journal.back().outcome != sim::Outcome::NeverCompletes &&
           journal.back().status != 0 && journal.back().sense.code != kAscCommunicationFailure;
}

bool SimulatedBackend::DriveRefusedLast() const {
    for (const Slot& slot : slots_) {
        if (!slot.drive->Journal().empty())
            return quillet::DriveRefusedLast(*slot.drive);
    }
    return false;
}

std::string SimulatedBackend::Problem() const {
    for (const Slot& slot : slots_) {
        const auto& journal = slot.drive->Journal();
        if (journal.empty() || journal.back().cdb.empty())
            continue;
        const sim::JournalEntry& last = journal.back();
        const std::string command = CommandName(last.cdb[0]);
        if (last.outcome == sim::Outcome::NeverCompletes)
            return "The drive did not complete " + command + " in time.";
        if (last.status != 0) {
            const uint8_t sense[14] = {0x70,
                                       0,
                                       last.sense.key,
                                       0,
                                       0,
                                       0,
                                       0,
                                       0x0A,
                                       0,
                                       0,
                                       0,
                                       0,
                                       last.sense.code,
                                       last.sense.qualifier};
            return "The drive rejected " + command + ": " + SenseInWords(sense, sizeof sense) + ".";
        }
    }
    return std::string();
}

}  // namespace quillet
