#include "cli/commands.h"

#include <signal.h>

#include <cstdio>
#include <istream>
#include <ostream>
#include <vector>

#include "catalogue/config_values.h"
#include "catalogue/firmware_version.h"
#include "cli/resource_texts.h"
#include "cli/terminal.h"
#include "device/pass_through.h"
#include "res/resource.h"
#include "update/download.h"

namespace quillet {

namespace {

constexpr int kMaxSources = static_cast<int>(kTableSize);
constexpr uint8_t kPeripheralNoDevice = 0x7F;

// Interrupts wait while the drive is being changed: a download cut short leaves the drive with
// half a firmware, and the media polling switched off. They arrive once the object ends.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
            sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

std::string Describe(const PassThroughDriveList& drives, int index) {
    return drives.Vendor(index) + " " + drives.Product(index) + " " + drives.Revision(index);
}

// What a device that the search left out is, from its own INQUIRY answer.
std::string WhatItIs(PassThroughTransport& transport, DriveBackend& backend) {
    const VolumeHandle handle = transport.OpenDrive('A', VolumeAccess::ReadWrite);
    if (handle == kInvalidVolumeHandle)
        return std::string();
    std::vector<uint8_t> data(kPassThroughInquiryLength, 0);
    const bool answered =
        transport.Inquiry(handle, 0, 0, 0, data.data(), static_cast<uint32_t>(data.size()));
    transport.CloseDrive(handle);
    if (!answered)
        return backend.Problem();
    std::string identity;
    for (size_t i = 8; i < 36 && data[i] != 0; ++i)
        identity += static_cast<char>(data[i]);
    char type[8];
    std::snprintf(type, sizeof type, "%02Xh", data[0]);
    if (data[0] == kPeripheralNoDevice)
        return backend.Name('A') + " has no device behind it.";
    return backend.Name('A') + " is not a CD drive of Korvin: it answers \"" + identity +
           "\", peripheral type " + type + ".";
}

}  // namespace

int ListDrives(CommandContext& context, DriveBackend& backend) {
    PassThroughDriveList drives(context.directory, context.files, context.profile, context.messages,
                                backend.Volumes(), context.clock);
    // The list holds the last letter first; the nodes are shown in the kernel's order.
    for (int i = drives.DriveCount() - 1; i >= 0; --i) {
        context.out << backend.Name(drives.DriveLetter(i)) << "  " << Describe(drives, i) << "\n";
        const std::vector<std::string> sources =
            drives.SourceEntries(drives.Product(i), kMaxSources);
        if (sources.empty())
            context.out << "    no firmware offered by the catalogue\n";
        for (const std::string& source : sources)
            context.out << "    offered: " << source << "\n";
    }
    if (drives.DriveCount() == 0)
        context.out << "No CD drive of Korvin found.\n";
    const std::vector<std::string> refused = backend.Refused();
    if (!refused.empty()) {
        context.err << "Not searched, permission denied:";
        for (const std::string& node : refused)
            context.err << " " << node;
        context.err << "\nQuillet needs read and write access to these nodes (run as root, or as "
                       "a member of the group that owns them).\n";
    }
    context.out << std::flush;
    return kExitDone;
}

int UpdateDrive(CommandContext& context, DriveBackend& backend, const UpdateOptions& options) {
    std::string why;
    if (!backend.MayUpdate(&why)) {
        context.err << why << "\n";
        return kExitFailed;
    }
    PassThroughDriveList drives(context.directory, context.files, context.profile, context.messages,
                                backend.Volumes(), context.clock);
    if (drives.DriveCount() == 0) {
        const std::string what = WhatItIs(drives.Transport(), backend);
        context.err << (what.empty() ? options.device + " cannot be opened." : what)
                    << "\nNothing was sent to change the drive.\n";
        return kExitFailed;
    }
    const int d = 0;
    const std::string name = backend.Name(drives.DriveLetter(d));
    const std::vector<std::string> sources = drives.SourceEntries(drives.Product(d), kMaxSources);
    if (sources.empty()) {
        context.err << "The catalogue offers no firmware for " << drives.Product(d)
                    << ". Nothing was sent to change the drive.\n";
        return kExitFailed;
    }
    std::string entry = sources.front();
    if (!options.image.empty()) {
        entry.clear();
        for (const std::string& source : sources) {
            if (SplitSourceEntry(source).fileName == options.image)
                entry = source;
        }
        if (entry.empty()) {
            context.err << options.image << " is not offered for " << drives.Product(d)
                        << "; the catalogue offers:\n";
            for (const std::string& source : sources)
                context.err << "    " << source << "\n";
            return kExitUsage;
        }
    }
    const SourceEntry offered = SplitSourceEntry(entry);
    const std::string& version = offered.version;
    const std::string& fileName = offered.fileName;
    context.out << "Drive:    " << name << "  " << Describe(drives, d) << "\n"
                << "Firmware: " << entry << std::endl;

    EnglishTexts texts;
    if (CompareFirmwareVersions(drives.Revision(d), version, kEntryVersionLength) > 0) {
        context.out << texts.DialogText(IDD_OLD_VERSION, IDC_OLD_VERSION_TEXT) << std::endl;
        if (!options.allowOlder &&
            !(options.interactive && AskYesNo(context.in, context.out, "Continue?"))) {
            context.err << "Not updated: the firmware offered is older than the drive's"
                        << (options.interactive ? "." : " (--allow-older goes on).") << "\n";
            return kExitFailed;
        }
    }
    context.out << texts.DialogText(IDD_START_CONFIRM, IDC_CONFIRM_TEXT) << std::endl;
    if (!options.yes &&
        !(options.interactive && AskYesNo(context.in, context.out, "Start the update?"))) {
        context.err << "Not updated: the update was not confirmed"
                    << (options.interactive ? "." : " (--yes confirms it).") << "\n";
        return kExitFailed;
    }
    uint32_t productCode = 0;
    if (!drives.ProductIdForProduct(drives.Product(d), productCode)) {
        context.err << "The catalogue gives no product code (PRODUCT_ID) for " << drives.Product(d)
                    << ". Nothing was sent to change the drive.\n";
        return kExitFailed;
    }

    DownloadOutcome outcome;
    {
        SignalsHeld held;
        TerminalProgress progress(context.out, context.progressInPlace);
        MessagesBesideProgress messages(context.messages, progress);
        FirmwareDownload download(context.clock, messages, context.firmwareFiles, context.strings);
        download.DownloadFirmware(drives, d, fileName, 0, productCode, progress);
        outcome = download.Outcome();
    }
    if (context.progressInPlace)
        context.out << '\a' << std::flush;
    if (outcome.updated) {
        for (int id : {IDS_COMPLETION_1, IDS_COMPLETION_2, IDS_COMPLETION_3}) {
            const std::string line = texts.LoadStringResource(id);
            if (!line.empty())
                context.out << line << "\n";
        }
        context.out << std::flush;
        return kExitDone;
    }
    const std::string problem = backend.Problem();
    if (!problem.empty())
        context.err << problem << "\n";
    context.err << kOperationStopped << "\n";
    if (!outcome.AnythingWritten())
        context.err << "The drive was not updated.\n";
    else if (outcome.closed)
        context.err << "The whole firmware was sent and the drive took the closing command; "
                       "only what followed failed.\n";
    else
        context.err << "The drive took " << outcome.blocksTaken
                    << " WRITE BUFFER commands before the stop: it holds an incomplete download "
                       "and was not updated.\n";
    return kExitFailed;
}

}  // namespace quillet
