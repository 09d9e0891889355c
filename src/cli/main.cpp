// quillet: the Linux program. Lists the maker's CD drives on the SCSI generic nodes and updates
// their firmware with the NT family's pass-through procedure, or does the same with simulated
// drives.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/drive_backends.h"
#include "cli/resource_texts.h"
#include "cli/terminal.h"
#include "cli/transcript.h"
#include "platform/linux/sg_system.h"
#include "platform/virtual_clock.h"

namespace {

using namespace quillet;

constexpr char kUsage[] =
    "usage: quillet [--catalog DIR] [--simulate CONFIG] [--json] list\n"
    "       quillet [--catalog DIR] [--simulate CONFIG] [--yes] [--allow-older] [--dry-run]\n"
    "               [--transcript FILE] [-v] [--json] update DEVICE [IMAGE]\n"
    "       quillet --version\n"
    "\n"
    "  list             the Korvin CD drives on the SCSI generic nodes (/dev/sg*), their\n"
    "                   firmware and the firmware the catalogue offers for each\n"
    "  update           puts firmware into DEVICE (/dev/sgN, or the drive's /dev/srN): IMAGE,\n"
    "                   a file the catalogue offers for the drive, or else the newest offered\n"
    "                   firmware whose file is in DIR; shows what it will send first\n"
    "  --catalog DIR    the folder with the *.ini catalogue and the images (default: here)\n"
    "  --simulate CONFIG  simulated drives of a WNASPI32.CFG-style file, named Drive0, Drive1 ...\n"
    "  --yes            answers the start confirmation\n"
    "  --allow-older    answers the question about a firmware older than the drive's\n"
    "  --dry-run        every step up to the first that would change the drive (TEST UNIT READY\n"
    "                   for the disc check), then what the update would send; writes nothing\n"
    "  --transcript FILE  a line in FILE for every command the drive completes: the time, the\n"
    "                   CDB, direction and length, the status and sense in words, the host\n"
    "                   and driver status\n"
    "  -v               the same lines on standard error\n"
    "  --json           the result as one JSON document on standard output (list: every drive,\n"
    "                   its firmware, the entries offered and which are present; update: where\n"
    "                   the drive stands); what people read goes to standard error\n"
    "  --version        the program's version and the commit it was built from\n"
    "\n"
    "Exit status of update: 0 done (or, with --dry-run, the update would start); 1 nothing was\n"
    "written to the drive; 2 the command line or the catalogue named no usable firmware; 3 the\n"
    "download stopped before its closing command (the drive still runs its old firmware); 4 the\n"
    "drive took the whole firmware but the program ended during its programming wait; 5 the\n"
    "drive took the whole firmware and the wait ran out, but a step after it failed.\n"
    "Ctrl-C stops an update only where the drive can take it: before the first block at once,\n"
    "during the blocks after the one in flight, and during the programming wait only when\n"
    "pressed twice.\n";

std::string ProgramVersion() {
    EnglishTexts texts;
    return "quillet " + texts.ProductVersion() + " (commit " QUILLET_COMMIT ")";
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/')
        return path;
    char here[4096];
    return getcwd(here, sizeof here) ? std::string(here) + "/" + path : path;
}

}  // namespace

int main(int argc, char** argv) {
    std::string catalog, simulate, transcript;
    bool verbose = false;
    bool json = false;
    UpdateOptions options;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--catalog" || arg == "--simulate" || arg == "--transcript") && i + 1 < argc) {
            (arg == "--catalog"    ? catalog
             : arg == "--simulate" ? simulate
                                   : transcript) = argv[++i];
        } else if (arg == "-v") {
            verbose = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--allow-older") {
            options.allowOlder = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--version") {
            std::cout << ProgramVersion() << "\n";
            return kExitDone;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return kExitDone;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "quillet: unknown option " << arg << "\n" << kUsage;
            return kExitUsage;
        } else {
            words.push_back(arg);
        }
    }
    const bool list = words.size() == 1 && words[0] == "list";
    const bool update = (words.size() == 2 || words.size() == 3) && words[0] == "update";
    if (!list && !update) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    if (update) {
        options.device = words[1];
        options.image = words.size() == 3 ? words[2] : std::string();
    }
    options.interactive = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);

    // Paths the user gave are taken from where the program was started, before the catalogue's
    // folder becomes the current directory (the Windows program works in its own folder).
    simulate = Absolute(simulate);
    transcript = Absolute(transcript);
    const std::string device =
        options.device.find('/') != std::string::npos ? Absolute(options.device) : options.device;
    if (options.image.find('/') != std::string::npos)
        options.image = Absolute(options.image);
    if (!catalog.empty() && chdir(catalog.c_str()) != 0) {
        std::perror(("quillet: " + catalog).c_str());
        return kExitUsage;
    }

    SystemDirectorySearch directory;
    SystemFileSystem files;
    SystemProfileReader profile;
    SystemFirmwareFiles firmwareFiles;
    SystemClock systemClock;
    VirtualClock virtualClock;
    TerminalMessageBox messages(std::cerr);
    EnglishTexts strings;
    LinuxSgSystem sg;

    std::unique_ptr<DriveBackend> backend;
    bool virtualTime = false;
    if (!simulate.empty()) {
        auto simulated =
            std::make_unique<SimulatedBackend>(profile, simulate, update ? device : std::string());
        if (update && !simulated->Found()) {
            std::cerr << "quillet: " << device << " is not a drive of " << simulate
                      << " (Drive0, Drive1, ...)\n";
            return kExitUsage;
        }
        virtualTime = simulated->VirtualTime();
        backend = std::move(simulated);
    } else if (update) {
        backend = std::make_unique<SgBackend>(sg, device);
    } else {
        auto nodes = std::make_unique<SgBackend>(sg);
        if (nodes->NodeCount() == 0)
            std::cerr << "No SCSI generic nodes (/dev/sg*) found: is the sg module loaded?\n";
        backend = std::move(nodes);
    }

    // The transcript's file is opened where the user asked, before anything is sent.
    std::ofstream transcriptFile;
    std::vector<std::ostream*> transcriptOuts;
    if (!transcript.empty()) {
        transcriptFile.open(transcript, std::ios::out | std::ios::trunc);
        if (!transcriptFile) {
            std::perror(("quillet: " + transcript).c_str());
            return kExitUsage;
        }
        transcriptOuts.push_back(&transcriptFile);
    }
    if (verbose)
        transcriptOuts.push_back(&std::cerr);
    Clock& clock = virtualTime ? static_cast<Clock&>(virtualClock) : systemClock;
    std::unique_ptr<TranscribedBackend> transcribed;
    if (!transcriptOuts.empty()) {
        transcribed = std::make_unique<TranscribedBackend>(*backend, clock, transcriptOuts);
        transcribed->Header(
            ProgramVersion(),
            update ? (simulate.empty() ? device : device + " of " + simulate)
                   : (simulate.empty() ? "every SCSI generic node" : "every drive of " + simulate));
    }
    DriveBackend& drives = transcribed ? static_cast<DriveBackend&>(*transcribed) : *backend;

    CommandContext context{directory,
                           files,
                           profile,
                           firmwareFiles,
                           clock,
                           messages,
                           strings,
                           std::cin,
                           json ? std::cerr : std::cout,
                           std::cerr,
                           static_cast<bool>(isatty(json ? STDERR_FILENO : STDOUT_FILENO)),
                           json ? &std::cout : nullptr};
    return list ? ListDrives(context, drives) : UpdateDrive(context, drives, options);
}
