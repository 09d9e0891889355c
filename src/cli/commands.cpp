#include "cli/commands.h"

#include <signal.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue/catalogue_messages.h"
#include "catalogue/config_values.h"
#include "catalogue/firmware_version.h"
#include "cli/language.h"
#include "cli/resource_texts.h"
#include "cli/terminal.h"
#include "device/pass_through.h"
#include "res/resource.h"
#include "update/download.h"

namespace quillet {

namespace {

constexpr int kMaxSources = static_cast<int>(kTableSize);
constexpr uint8_t kPeripheralNoDevice = 0x7F;
constexpr size_t kIdentityEnd = 36;  // vendor, product and revision

std::string NothingSent() {
    return _("Nothing was sent to change the drive.");
}

std::string Describe(const PassThroughDriveList& drives, int index) {
    return TrimTrailingSpace(drives.Vendor(index)) + " " +
           TrimTrailingSpace(drives.Product(index)) + " " +
           TrimTrailingSpace(drives.Revision(index));
}

// What a device that the search left out is, from its own INQUIRY answer.
std::string WhatItIs(PassThroughTransport& transport, DriveBackend& backend) {
    const VolumeHandle handle = transport.OpenDrive('A', VolumeAccess::ReadWrite);
    if (handle == kInvalidVolumeHandle)
        return backend.Problem();
    std::vector<uint8_t> data(kPassThroughInquiryLength, 0);
    const bool answered =
        transport.Inquiry(handle, 0, 0, 0, data.data(), static_cast<uint32_t>(data.size()));
    transport.CloseDrive(handle);
    if (!answered)
        return backend.Problem();
    const std::string identity = Printable(IdentificationText(data.data(), kIdentityEnd));
    char type[8];
    std::snprintf(type, sizeof type, "%02Xh", data[0]);
    if (data[0] == kPeripheralNoDevice)
        return Fill(_("{1} has no device behind it."), {backend.Name('A')});
    return Fill(_("{1} is not a CD drive of Korvin: it answers \"{2}\", peripheral type {3}."),
                {backend.Name('A'), identity, type});
}

// The signals that ask the program to end, counted while an update runs: they are obeyed where
// the drive can take it (TerminalWatch, between commands), never in the middle of a command.
volatile sig_atomic_t interruptions = 0;

void CountInterruption(int) {
    interruptions = interruptions + 1;
}

class InterruptionsCounted {
public:
    InterruptionsCounted() {
        interruptions = 0;
        struct sigaction action {};
        action.sa_handler = CountInterruption;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a question waiting for its answer returns unanswered.
        for (size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &action, &previous_[i]);
        // A stopped program would leave the drive waiting in the middle of a download; Ctrl-Z
        // takes effect once the update is over.
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGTSTP);
        sigprocmask(SIG_BLOCK, &held, &previousMask_);
    }
    ~InterruptionsCounted() {
        sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
        for (size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &previous_[i], nullptr);
    }
    InterruptionsCounted(const InterruptionsCounted&) = delete;
    InterruptionsCounted& operator=(const InterruptionsCounted&) = delete;

    static int Count() { return interruptions; }

private:
    // Ctrl-\ too: its default ends the program without putting the media polling back.
    static constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    std::array<struct sigaction, 4> previous_{};
    sigset_t previousMask_;
};

std::string Seconds(uint32_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", milliseconds / 1000.0);
    return text;
}

std::string HexOffset(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06Xh", value);
    return text;
}

// The user's interruptions, obeyed where the drive can take them: before the first block at
// once, between blocks after the one in flight, and during the programming wait only when
// asked twice.
class TerminalWatch : public DownloadWatch {
public:
    TerminalWatch(std::ostream& err, TerminalProgress& progress, int blocks)
        : err_(err), progress_(progress), blocks_(blocks) {}

    bool WriteNow() override { return InterruptionsCounted::Count() == 0; }
    bool StopBeforeBlock() override {
        ++sent_;
        if (InterruptionsCounted::Count() == 0)
            return false;
        progress_.BreakLine();
        err_ << Fill(_("Interrupted: stopped after block {1} of {2}; no closing command was "
                       "sent."),
                     {std::to_string(sent_), std::to_string(blocks_)})
             << std::endl;
        return true;
    }
    bool CutProgrammingWait(uint32_t leftMs) override {
        left_ = leftMs;
        const int count = InterruptionsCounted::Count();
        if (count >= 2)
            return true;
        if (count == 1 && !warned_) {
            warned_ = true;
            progress_.BreakLine();
            err_ << Fill(_("The drive is programming its memory and must not be powered down: "
                           "{1} left. The wait goes on; Ctrl-C again ends the program, not the "
                           "programming."),
                         {Seconds(leftMs)})
                 << std::endl;
        }
        return false;
    }
    uint32_t Left() const { return left_; }

private:
    std::ostream& err_;
    TerminalProgress& progress_;
    const int blocks_;
    int sent_ = 0;  // blocks sent
    bool warned_ = false;
    uint32_t left_ = 0;
};

// The catalogue's boxes about a folder without its files, which the commands say in their own
// sentences (NoCatalogue, ChooseEntry); every other box is shown.
class FolderBoxesSaidOtherwise : public MessageBoxService {
public:
    explicit FolderBoxesSaidOtherwise(MessageBoxService& messages) : messages_(messages) {}
    MessageButton Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       bool taskModal, WindowHandle owner) override {
        if (text == kNoFirmwareFileBox || text == kNoCatalogueBox)
            return MessageButton::Ok;
        return messages_.Show(text, caption, icon, taskModal, owner);
    }

private:
    MessageBoxService& messages_;
};

// Said when the catalogue folder holds no configuration file.
std::string NoCatalogue(FileSystem& files) {
    return Fill(_("No catalogue (*.ini) in {1}: --catalog names the folder of the catalogue and "
                  "the firmware images."),
                {files.CurrentDirectory()});
}

// The newest offered entry whose file the catalogue folder (the current directory) holds;
// empty when there is none.
std::string NewestPresent(FileSystem& files, const std::vector<std::string>& sources) {
    std::string newest;
    for (const std::string& source : sources) {
        const SourceEntry entry = SplitSourceEntry(source);
        if (!NamesFileOfFolder(entry.fileName) || !files.Exists(entry.fileName))
            continue;
        if (newest.empty() || CompareFirmwareVersions(SplitSourceEntry(newest).version,
                                                      entry.version, kEntryVersionLength) < 0)
            newest = source;
    }
    return newest;
}

// The files the catalogue's entries name, each with its entry.
void ListExpected(std::ostream& err, const std::vector<std::string>& sources) {
    for (const std::string& source : sources)
        err << "    " << SplitSourceEntry(source).fileName << "  (" << source << ")\n";
}

// The offered entry to install: the one named (by file name, or a path to a file of the
// catalogue folder), else the newest whose file the folder holds. Empty, with the reason
// written, when there is none.
std::string ChooseEntry(CommandContext& context, const std::vector<std::string>& sources,
                        const std::string& product, const std::string& image) {
    const std::string folder = context.files.CurrentDirectory();
    if (!image.empty()) {
        std::string name = image;
        const size_t slash = image.find_last_of('/');
        if (slash != std::string::npos) {
            char* resolved = realpath(image.substr(0, slash == 0 ? 1 : slash).c_str(), nullptr);
            const std::string where = resolved ? resolved : std::string();
            std::free(resolved);
            name = where == folder ? image.substr(slash + 1) : std::string();
        }
        for (const std::string& source : sources) {
            if (name.empty() || SplitSourceEntry(source).fileName != name)
                continue;
            if (NamesFileOfFolder(name) && context.files.Exists(name))
                return source;
            context.err << Fill(_("{1} is offered for {2} but is not in {3}; the catalogue "
                                  "expects:"),
                                {name, product, folder})
                        << "\n";
            ListExpected(context.err, sources);
            return std::string();
        }
        context.err << Fill(_("{1} is not offered for {2} in {3}; the catalogue offers:"),
                            {image, product, folder})
                    << "\n";
        for (const std::string& source : sources)
            context.err << "    " << source << "\n";
        return std::string();
    }
    const std::string newest = NewestPresent(context.files, sources);
    if (newest.empty()) {
        context.err << Fill(_("None of the firmware files the catalogue offers for {1} is in {2}; "
                              "it expects:"),
                            {product, folder})
                    << "\n";
        ListExpected(context.err, sources);
    }
    return newest;
}

void ShowPlan(std::ostream& out, const std::string& fileName, const DownloadPlan& plan) {
    const FirmwareImage& image = plan.image;
    const auto number = [](uint64_t value) { return std::to_string(value); };
    out << Fill(image.section == 0
                    ? _("Image:    {1}, {2} bytes; the whole file is the image")
                    : _("Image:    {1}, {2} bytes; section {3} (bytes {4} to {5}), which carries "
                        "the drive's tag \"{6}\""),
                {fileName, number(image.fileLength), number(image.section), number(image.start),
                 number(image.start + image.length - 1), image.driveTag})
        << "\n"
        << Fill(_("Product code: {1}"), {HexOffset(plan.productCode)}) << "\n"
        << Fill(TranslatePlural(
                    "Sends:    {1} WRITE BUFFER block of at most 16384 bytes, {2} bytes, at "
                    "offsets {3} to {4}",
                    "Sends:    {1} WRITE BUFFER blocks of at most 16384 bytes, {2} bytes, at "
                    "offsets {3} to {4}",
                    static_cast<unsigned long>(plan.blocks)),
                {number(plan.blocks), number(plan.bytes), HexOffset(plan.firstOffset),
                 HexOffset(plan.lastOffset)})
        << "\n"
        << Fill(_("          then the closing command at {1}"), {HexOffset(plan.closingOffset)})
        << "\n"
        << Fill(_("Then:     waits {1} while the drive programs its memory"),
                {Seconds(plan.programmingWaitMs)})
        << std::endl;
}

// A question of the update: answered yes by its option, or by the user at a terminal. Otherwise
// says why the update does not go on (the option's hint when nobody could be asked).
bool Answered(CommandContext& context, const UpdateOptions& options, bool byOption,
              const std::string& question, const std::string& refusal, const std::string& hint) {
    std::ostream& asked = context.questions ? *context.questions : context.out;
    if (byOption || (options.interactive && AskYesNo(context.in, asked, question)))
        return true;
    if (InterruptionsCounted::Count() > 0)
        context.err << _("Interrupted.") << "\n";
    else
        context.err << Fill(options.interactive ? _("Not updated: {1}.")
                                                : _("Not updated: {1} ({2})."),
                            {refusal, hint})
                    << "\n";
    return false;
}

// The last lines of an update that did not end well: where the drive stands.
int SayWhereTheDriveStands(std::ostream& err, const DownloadOutcome& outcome, uint32_t leftMs) {
    if (!outcome.AnythingWritten()) {
        err << _("The drive was not updated. Nothing was written to it.") << "\n";
        return kExitFailed;
    }
    if (outcome.waitCut) {
        err << Fill(_("The drive took the whole firmware and is programming its memory: do not "
                      "power it down or reset it for another {1}."),
                    {Seconds(leftMs)})
            << "\n";
        return kExitWaitCut;
    }
    if (outcome.closed) {
        err << _("The whole firmware was sent and the drive took the closing command; only what "
                 "followed failed.")
            << "\n";
        return kExitAfterClose;
    }
    err << Fill(_("The drive took {1} WRITE BUFFER commands before the stop: it holds an "
                  "incomplete download that it has not saved, and still runs its old firmware."),
                {std::to_string(outcome.blocksTaken)})
        << "\n";
    return kExitIncomplete;
}

// The closing command went to the drive, but no answer of the drive's came back: whether it
// saves the firmware is unknown. It is given the programming time as if it did, and the user is
// told to power it down only then, and to look at the firmware it runs.
int ClosingUnanswered(CommandContext& context, DriveBackend& backend, TerminalWatch& watch,
                      const DownloadPlan& plan) {
    const std::string problem = backend.Problem();
    if (!problem.empty())
        context.err << problem << "\n";
    context.err << Fill(_("The drive took all {1} WRITE BUFFER blocks, but the answer to the "
                          "closing command, which makes it save them, never came: the drive may "
                          "be programming its memory now. Quillet waits {2} before it ends; do "
                          "not power down the computer or the drive."),
                        {std::to_string(plan.blocks), Seconds(plan.programmingWaitMs)})
                << std::endl;
    constexpr uint32_t kStepMs = 1000;
    for (uint32_t left = plan.programmingWaitMs; left > 0;) {
        if (watch.CutProgrammingWait(left)) {
            context.err << Fill(_("The program ends, but the drive may still be programming its "
                                  "memory: do not power it down or reset it for another {1}."),
                                {Seconds(left)})
                        << "\n";
            return kExitClosingUnanswered;
        }
        const uint32_t step = std::min(left, kStepMs);
        context.clock.Sleep(step);
        left -= step;
    }
    context.err << _("Now power down the computer and the drive and start them again; then "
                     "\"quillet list\" shows which firmware the drive runs. If it is the old "
                     "one, run the update again.")
                << "\n";
    return kExitClosingUnanswered;
}

// The end of an update the preparation or the download stopped: what the drive answered, if that
// was the cause, what the update command says, and where the drive stands.
int Stopped(std::ostream& err, DriveBackend& backend, const DownloadOutcome& outcome,
            uint32_t leftMs) {
    if (outcome.stopped && !outcome.AnythingWritten())
        err << _("Interrupted.") << "\n";
    const std::string problem = backend.Problem();
    if (!problem.empty() && !outcome.stopped && !outcome.waitCut)
        err << problem << "\n";
    err << _(kOperationStopped) << "\n";
    return SayWhereTheDriveStands(err, outcome, leftMs);
}

}  // namespace

int ListDrives(CommandContext& context, DriveBackend& backend) {
    FolderBoxesSaidOtherwise boxes(context.messages);
    PassThroughDriveList drives(context.directory, context.files, context.profile, boxes,
                                backend.Volumes(), context.clock);
    nlohmann::json found = nlohmann::json::array();
    // The list holds the last letter first; the nodes are shown in the kernel's order.
    for (int i = drives.DriveCount() - 1; i >= 0; --i) {
        const char letter = drives.DriveLetter(i);
        // Columns: the identification's fields keep their width, and no byte of the drive's
        // reaches the terminal as a control sequence.
        context.out << backend.Name(letter) << "  " << Printable(drives.Vendor(i)) << " "
                    << Printable(drives.Product(i)) << " " << Printable(drives.Revision(i)) << "\n";
        const std::vector<std::string> sources =
            drives.SourceEntries(drives.Product(i), kMaxSources);
        if (sources.empty())
            context.out << "    " << _("no firmware offered by the catalogue") << "\n";
        nlohmann::json offered = nlohmann::json::array();
        for (const std::string& source : sources) {
            context.out << "    " << Fill(_("offered: {1}"), {source}) << "\n";
            const SourceEntry entry = SplitSourceEntry(source);
            offered.push_back({{"version", entry.version},
                               {"file", entry.fileName},
                               {"present", NamesFileOfFolder(entry.fileName) &&
                                               context.files.Exists(entry.fileName)}});
        }
        const std::string revision = TrimTrailingSpace(drives.Revision(i));
        const std::string newest = NewestPresent(context.files, sources);
        nlohmann::json drive = {{"node", backend.Name(letter)},
                                {"vendor", TrimTrailingSpace(drives.Vendor(i))},
                                {"product", TrimTrailingSpace(drives.Product(i))},
                                {"revision", revision},
                                {"offered", offered},
                                {"newest_available", nullptr},
                                {"runs_newest", false}};
        const std::string block = backend.BlockDevice(letter);
        drive["block"] = block.empty() ? nlohmann::json() : nlohmann::json("/dev/" + block);
        if (!newest.empty()) {
            const SourceEntry entry = SplitSourceEntry(newest);
            drive["newest_available"] = {{"version", entry.version}, {"file", entry.fileName}};
            drive["runs_newest"] =
                CompareFirmwareVersions(revision, entry.version, kEntryVersionLength) == 0;
        }
        found.push_back(drive);
    }
    if (drives.DriveCount() == 0)
        context.err << _("No CD drive of Korvin found.") << "\n";
    const bool catalogue = drives.ConfigFileCount() > 0;
    if (!catalogue)
        context.err << NoCatalogue(context.files) << "\n";
    const std::vector<std::string> refused = backend.Refused();
    const std::vector<std::string> problems = backend.OpenProblems();
    for (const std::string& line : problems)
        context.err << line << "\n";
    if (!problems.empty())
        context.err << _("Listing needs read access to a drive's /dev/srN (root, or a member of "
                         "the group that owns it, such as cdrom) or read and write access to its "
                         "/dev/sgN; an update needs read and write access to its /dev/sgN.")
                    << "\n";
    context.out << std::flush;
    if (context.json)
        // Bytes that are not UTF-8 (a drive's, a catalogue's in its own code page) become U+FFFD
        // rather than an exception.
        *context.json << nlohmann::json{{"drives", found}, {"refused", refused}}.dump(
                             2, ' ', false, nlohmann::json::error_handler_t::replace)
                      << std::endl;
    return catalogue ? kExitDone : kExitFailed;
}

namespace {

// What an update did, for its JSON document.
struct UpdateReport {
    std::string firmware;  // the entry chosen
    DownloadOutcome outcome;
};

int UpdateSteps(CommandContext& context, DriveBackend& backend, const UpdateOptions& options,
                UpdateReport& report) {
    std::string why;
    if (!options.dryRun && !backend.MayUpdate(&why)) {
        context.err << why << "\n";
        return kExitFailed;
    }
    InterruptionsCounted interruptible;
    FolderBoxesSaidOtherwise boxes(context.messages);
    PassThroughDriveList drives(context.directory, context.files, context.profile, boxes,
                                backend.Volumes(), context.clock);
    if (drives.DriveCount() == 0) {
        const std::string what = WhatItIs(drives.Transport(), backend);
        context.err << (what.empty() ? Fill(_("{1} cannot be opened."), {options.device}) : what)
                    << "\n"
                    << NothingSent() << "\n";
        return kExitFailed;
    }
    const int d = 0;
    const std::string name = backend.Name(drives.DriveLetter(d));
    // Before anything is read from the catalogue's files or sent beyond the search: the drive
    // stays held from here to the program's end.
    if (!backend.HoldForUpdate(drives.DriveLetter(d), &why)) {
        context.err << why << "\n" << NothingSent() << "\n";
        return kExitFailed;
    }
    const std::string product = TrimTrailingSpace(drives.Product(d));
    const std::string revision = TrimTrailingSpace(drives.Revision(d));
    const std::vector<std::string> sources = drives.SourceEntries(drives.Product(d), kMaxSources);
    if (drives.ConfigFileCount() == 0) {
        context.err << NoCatalogue(context.files) << " " << NothingSent() << "\n";
        return kExitFailed;
    }
    if (sources.empty()) {
        context.err << Fill(_("The catalogue offers no firmware for {1}."), {product}) << " "
                    << NothingSent() << "\n";
        return kExitFailed;
    }
    const std::string entry = ChooseEntry(context, sources, product, options.image);
    if (entry.empty())
        return options.image.empty() ? kExitFailed : kExitUsage;
    report.firmware = entry;
    const SourceEntry offered = SplitSourceEntry(entry);
    uint32_t productCode = 0;
    if (!drives.ProductIdForProduct(drives.Product(d), productCode)) {
        context.err << Fill(_("The catalogue gives no product code (PRODUCT_ID) for {1}."),
                            {product})
                    << " " << NothingSent() << "\n";
        return kExitFailed;
    }
    context.out << Fill(_("Drive:    {1}  {2}"), {name, Describe(drives, d)}) << "\n"
                << Fill(_("Firmware: {1} (the drive runs {2})"), {entry, revision}) << std::endl;

    TerminalProgress progress(context.out, context.progressInPlace);
    MessagesBesideProgress messages(context.messages, progress);
    PassThroughUpdate update(context.clock, messages, context.firmwareFiles, context.strings,
                             drives, d, progress, 0);
    if (!update.Prepare(offered.fileName, productCode))
        return Stopped(context.err, backend, DownloadOutcome(), 0);
    ShowPlan(context.out, offered.fileName, update.Plan());

    const bool older =
        CompareFirmwareVersions(drives.Revision(d), offered.version, kEntryVersionLength) > 0;
    if (options.dryRun) {
        const DiscProbe disc = update.ProbeDisc();
        context.out << _("Dry run: nothing was written and the kernel's media polling was left "
                         "as it was.")
                    << "\n";
        if (disc == DiscProbe::DiscLoaded) {
            context.err << _("A disc is in the drive: the update would eject it and stop.") << "\n";
            return kExitFailed;
        }
        const bool asks = older && !options.allowOlder;
        const char* said =
            disc == DiscProbe::TrayOpen
                ? (asks ? _("The tray is open: the update would close it, look for a disc again "
                            "and then ask whether to install the firmware offered ({1}), older "
                            "than the drive's ({2}); --allow-older answers that question.")
                        : _("The tray is open: the update would close it, look for a disc again "
                            "and then start."))
                : (asks ? _("The drive holds no disc: the update would ask whether to install "
                            "the firmware offered ({1}), older than the drive's ({2}); "
                            "--allow-older answers that question.")
                        : _("The drive holds no disc: the update would start."));
        context.out << Fill(said, {offered.version, revision}) << "\n";
        context.out << std::flush;
        return kExitDone;
    }

    ResourceTexts& texts = context.strings;
    if (older) {
        (context.questions ? *context.questions : context.out)
            << Fill(_("The firmware offered ({1}) is older than the drive's ({2})."),
                    {offered.version, revision})
            << std::endl;
        // The Windows program's own question, on one line.
        std::string question = texts.DialogText(IDD_OLD_VERSION, IDC_OLD_VERSION_TEXT);
        for (size_t at = question.find('\n'); at != std::string::npos; at = question.find('\n'))
            question.erase(at, question.find_first_not_of('\n', at) - at).insert(at, " ");
        if (!Answered(context, options, options.allowOlder,
                      question.empty() ? _("Install it anyway?") : question,
                      _("the firmware offered is older than the drive's"),
                      _("--allow-older goes on")))
            return SayWhereTheDriveStands(context.err, DownloadOutcome(), 0);
    }
    context.out << _("Do not power down the computer or the drive while the update runs.")
                << std::endl;
    if (!Answered(context, options, options.yes, _("Start the update?"),
                  _("the update was not confirmed"), _("--yes confirms it")))
        return SayWhereTheDriveStands(context.err, DownloadOutcome(), 0);

    TerminalWatch watch(context.err, progress, update.Plan().blocks);
    const DownloadOutcome outcome = update.Write(&watch);
    report.outcome = outcome;
    // Every block taken and nothing stopped them: the closing command went to the drive and
    // failed. Unless the drive itself refused it, it may be saving the firmware now.
    if (!outcome.closed && !outcome.stopped && outcome.blocksTaken == update.Plan().blocks &&
        !backend.DriveRefusedLast()) {
        progress.BreakLine();
        return ClosingUnanswered(context, backend, watch, update.Plan());
    }
    progress.BreakLine();
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
    return Stopped(context.err, backend, outcome, watch.Left());
}

}  // namespace

int UpdateDrive(CommandContext& context, DriveBackend& backend, const UpdateOptions& options) {
    UpdateReport report;
    const int code = UpdateSteps(context, backend, options, report);
    if (context.json) {
        static const char* const kResults[] = {"done",
                                               "nothing written",
                                               "not started",
                                               "incomplete download",
                                               "programming wait cut short",
                                               "a step after the programming wait failed",
                                               "closing command unanswered"};
        const DownloadOutcome& outcome = report.outcome;
        *context.json << nlohmann::json{{"device", options.device},
                                        {"dry_run", options.dryRun},
                                        {"firmware", report.firmware.empty()
                                                         ? nlohmann::json()
                                                         : nlohmann::json(report.firmware)},
                                        {"result", options.dryRun && code == kExitDone
                                                       ? "update would start"
                                                       : kResults[code]},
                                        {"exit", code},
                                        {"blocks_taken", outcome.blocksTaken},
                                        {"closed", outcome.closed},
                                        {"wait_cut", outcome.waitCut}}
                             .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                      << std::endl;
    }
    return code;
}

}  // namespace quillet
