#include "cli/drive_backends.h"

#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fstream>

#include "catalogue/config_values.h"
#include "cli/language.h"
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
    const std::string command = problem.cdbLength > 0 ? CommandName(problem.cdb[0]) : "";
    switch (problem.kind) {
        case SgProblemKind::None:
            return std::string();
        case SgProblemKind::NoPermission:
            if (problem.cdbLength == 0)
                return Fill(_("Permission denied on {1}: Quillet needs read and write access to it "
                              "(run as root, or as a member of the group that owns the node)."),
                            {problem.node});
            if (IsGenericNode(problem.node))
                return Fill(_("The kernel refused to send {1} to {2} (permission denied): through "
                              "a SCSI generic node it passes every command when the node is open "
                              "for reading and writing, as quillet opens it, or to a process with "
                              "the CAP_SYS_RAWIO capability; something else, such as a security "
                              "module, refused it."),
                            {command, problem.node});
            return Fill(_("The kernel refused to send {1} to {2} (permission denied): through a CD "
                          "device it passes the commands it deems safe to anyone who may open it, "
                          "and the others, WRITE BUFFER among them, only to a process with the "
                          "CAP_SYS_RAWIO capability (root); the drive's SCSI generic node "
                          "(/dev/sgN), open for reading and writing, passes every command."),
                        {command, problem.node});
        case SgProblemKind::DeviceGone:
            return Fill(problem.cdbLength > 0
                            ? _("{1} is gone (during {2}): the drive was disconnected or switched "
                                "off, or the node does not exist.")
                            : _("{1} is gone: the drive was disconnected or switched off, or the "
                                "node does not exist."),
                        {problem.node, command});
        case SgProblemKind::Rejected:
            return Fill(_("The drive rejected {1} (status {2}): {3}."),
                        {command, Hex(problem.status),
                         SenseInWords(problem.sense.data(), problem.sense.size())});
        case SgProblemKind::NeverCompleted:
            return Fill(_("The drive did not complete {1} in time; the kernel gave up waiting for "
                          "it."),
                        {command});
        case SgProblemKind::TransportFailed:
            return Fill(
                _("{1} failed on the way to the drive (host status {2}, driver status {3})."),
                {command, Hex(problem.hostStatus), Hex(problem.driverStatus)});
        case SgProblemKind::PollingNotSwitched:
            return Fill(_("Cannot switch the kernel's media polling for the drive ({1}: {2}): "
                          "switching it needs write access to that file (root)."),
                        {problem.detail, ErrorText(problem.error)});
        case SgProblemKind::SystemError:
            return Fill(problem.cdbLength > 0 ? _("{1} (during {2}): {3}.") : _("{1}: {3}."),
                        {problem.node, command, ErrorText(problem.error)});
    }
    return std::string();
}

std::string DescribeRefusal(const SgHoldRefusal& refusal) {
    switch (refusal.kind) {
        case SgHoldRefusal::Kind::None:
            return std::string();
        case SgHoldRefusal::Kind::Mounted:
            return Fill(_("{1} is mounted on {2}: unmount it first (umount {2})."),
                        {refusal.device, refusal.mountPoint});
        case SgHoldRefusal::Kind::Busy:
            return Fill(_("Another program holds {1} for itself (a burning program, or a file "
                          "system being mounted): end it and try again."),
                        {refusal.device});
        case SgHoldRefusal::Kind::Failed:
            return Fill(_("{1} cannot be held for the update: {2}."),
                        {refusal.device, ErrorText(refusal.error)});
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
            lines.push_back(Fill(_("{1} cannot be opened for reading and writing ({2}): read "
                                   "through {3} instead."),
                                 {detour.node, ErrorText(detour.error), detour.cd}));
    }
    for (const std::string& node : volumes_.RefusedOpens()) {
        std::string line = Fill(_("{1} cannot be opened for reading and writing ({2}): not "
                                  "searched."),
                                {node, ErrorText(EACCES)});
        for (const SgVolumeDevices::Detour& detour : detours) {
            if (detour.node == node) {
                line = Fill(_("{1} cannot be opened for reading and writing ({2}), nor {3} for "
                              "reading ({4}): not searched."),
                            {node, ErrorText(detour.error), detour.cd, ErrorText(detour.cdError)});
            }
        }
        lines.push_back(line);
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
                missing += Fill(_("{1} is not a SCSI generic node, and no generic node of its "
                                  "drive was found: through a CD device the kernel passes WRITE "
                                  "BUFFER only to a process with the CAP_SYS_RAWIO capability. "
                                  "Run quillet as root, or name the drive's /dev/sgN (the sg "
                                  "module must be loaded)."),
                                {node.path}) +
                           " ";
            } else if (denied) {
                const bool ofDevice =
                    !device_.empty() && !IsGenericNode(device_) && !node.block.empty();
                missing +=
                    Fill(ofDevice ? _("{1}, the SCSI generic node of /dev/{2}, cannot be opened "
                                      "for reading and writing ({3}): the kernel passes WRITE "
                                      "BUFFER only through the drive's SCSI generic node opened "
                                      "for reading and writing, or to a process with the "
                                      "CAP_SYS_RAWIO capability. Run quillet as root, or as a "
                                      "user with read and write access to {1} (a member of the "
                                      "group that owns it).")
                                  : _("{1} cannot be opened for reading and writing ({3}): the "
                                      "kernel passes WRITE BUFFER only through the drive's SCSI "
                                      "generic node opened for reading and writing, or to a "
                                      "process with the CAP_SYS_RAWIO capability. Run quillet as "
                                      "root, or as a user with read and write access to {1} (a "
                                      "member of the group that owns it)."),
                         {node.path, node.block, ErrorText(error)}) +
                    " ";
            }
        }
        const std::string attribute = PollingAttribute(node.block);
        // No attribute at all: a kernel without media polling, nothing to switch.
        if (!node.block.empty() && !system_.MayAccess(attribute, W_OK, &error) && error != ENOENT)
            missing += Fill(_("{1} cannot be written ({2}): switching off the kernel's media "
                              "polling of the drive for the download needs write access to it "
                              "(run quillet as root)."),
                            {attribute, ErrorText(error)}) +
                       " ";
    }
    if (missing.empty())
        return true;
    *why = missing + _("Nothing was sent to the drive.");
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
            return Fill(_("The drive did not complete {1} in time."), {command});
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
            return Fill(_("The drive rejected {1}: {2}."),
                        {command, SenseInWords(sense, sizeof sense)});
        }
    }
    return std::string();
}

}  // namespace quillet
