// quillet: the Linux program. Lists the maker's CD drives on the SCSI generic nodes and updates
// their firmware with the NT family's pass-through procedure, or does the same with simulated
// drives.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/drive_backends.h"
#include "cli/language.h"
#include "cli/resource_texts.h"
#include "cli/terminal.h"
#include "cli/transcript.h"
#include "platform/linux/sg_system.h"
#include "platform/virtual_clock.h"

namespace {

using namespace quillet;

// What --help prints after the options.
constexpr char kFooter[] = N_(
    "Exit status of update: 0 done (or, with --dry-run, the update would start); 1 nothing was\n"
    "written to the drive; 2 the command line or the catalogue named no usable firmware; 3 the\n"
    "download stopped before its closing command (the drive still runs its old firmware); 4 the\n"
    "drive took the whole firmware but the program ended during its programming wait; 5 the\n"
    "drive took the whole firmware and the wait ran out, but a step after it failed; 6 the drive\n"
    "took every block but the closing command's answer never came (it may have saved the\n"
    "firmware: the program waited the programming time).\n"
    "Ctrl-C (or Ctrl-\\, SIGTERM, SIGHUP) stops an update only where the drive can take it:\n"
    "before the first block at once, during the blocks after the one in flight, and during the\n"
    "programming wait only when pressed twice. Ctrl-Z waits until the update is over.");

// What a command's --help prints after its own options: the options of quillet that apply to it,
// which may stand before or after the command, then `footer`.
std::string OptionsThatApply(const CLI::App& app, std::initializer_list<const char*> names,
                             const std::string& footer) {
    const CLI::Formatter formatter;
    std::string text =
        std::string(_("Options of quillet for this command (before or after it):")) + "\n";
    for (const char* name : names)
        text += formatter.make_option(app.get_option(name), false);
    return text + "\n" + footer;
}

constexpr char kListFooter[] =
    N_("Exit status of list: 0 listed; 1 the folder holds no catalogue (the drives are still\n"
       "listed); 2 the command line was not understood.");

std::string ProgramVersion() {
    ResourceTexts texts;
    return "quillet " + texts.ProductVersion() + " (commit " QUILLET_COMMIT ")";
}

// The first word of the command line that is neither an option nor an option's value, as the
// options of `app` take them.
std::string FirstWord(const CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const CLI::Option* option = app.get_option_no_throw(arg);
        if (option != nullptr && option->get_items_expected_min() > 0)
            ++i;
        else if (!arg.empty() && arg[0] != '-')
            return arg;
    }
    return std::string();
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

    // One definition of every option: the usage line, the option list and the errors all come
    // from it.
    SetUpLanguage();
    CLI::App app(_("Lists the Korvin CD drives on the SCSI generic nodes (/dev/sg*) and puts new "
                   "firmware into one."),
                 "quillet");
    // CLI11's own words in the help, in the user's language; the groups' names too.
    for (const char* label :
         {N_("Usage"), N_("OPTIONS"), N_("SUBCOMMAND"), N_("Positionals"), N_("REQUIRED")})
        app.get_formatter()->label(label, _(label));
    app.option_defaults()->group(_("Options"));
    app.set_help_flag("-h,--help", _("Print this help message and exit"));
    app.footer(_(kFooter));
    app.set_version_flag("--version", ProgramVersion(),
                         _("the program's version and the commit it was built from"));
    app.add_option("--catalog", catalog,
                   _("the folder of the *.ini catalogue and the images (default: here)"))
        ->type_name("DIR")
        ->check(CLI::ExistingDirectory.description(""));
    app.add_option("--simulate", simulate,
                   _("the simulated drives of a WNASPI32.CFG-style file (Drive0, ...)"))
        ->type_name("CONFIG")
        ->check(CLI::ExistingFile.description(""));
    app.add_option("--transcript", transcript,
                   _("a line for every command the drive completes: time, CDB, status, sense"))
        ->type_name("FILE");
    app.add_flag("-v", verbose, _("the transcript's lines on standard error"));
    app.add_flag("--json", json,
                 _("the result as JSON on standard output; on standard error only problems"));
    app.add_flag("--yes", options.yes, _("update: answers the start confirmation"));
    app.add_flag("--allow-older", options.allowOlder,
                 _("update: installs a firmware older than the drive's"));
    app.add_flag("--dry-run", options.dryRun,
                 _("update: every step up to the first that would change the drive, then the "
                   "plan"));
    CLI::App* list = app.add_subcommand(
        "list", _("the drives, their firmware and the firmware the catalogue offers for each"));
    CLI::App* update = app.add_subcommand(
        "update", _("shows what it will send, asks, and puts firmware into DEVICE"));
    update->add_option("DEVICE", options.device, _("/dev/sgN, the drive's /dev/srN, or DriveN"))
        ->type_name("")
        ->required();
    update
        ->add_option("IMAGE", options.image,
                     _("an offered file of the catalogue folder (default: the newest there)"))
        ->type_name("");
    list->footer(OptionsThatApply(app, {"--catalog", "--simulate", "--transcript", "-v", "--json"},
                                  _(kListFooter)));
    update->footer(OptionsThatApply(app,
                                    {"--catalog", "--simulate", "--transcript", "-v", "--json",
                                     "--yes", "--allow-older", "--dry-run"},
                                    _(kFooter)));
    list->group(_("Subcommands"));
    update->group(_("Subcommands"));
    // The options may stand after the command too.
    list->fallthrough();
    update->fallthrough();
    app.require_subcommand(1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        const std::string word = FirstWord(app, argc, argv);
        if (!list->parsed() && !update->parsed() && !word.empty())
            std::cerr << "quillet: "
                      << Fill(_("{1} is not a command: the commands are list and update."), {word})
                      << "\n";
        else
            std::cerr << "quillet: " << error.what() << "\n";
        std::cerr << _("quillet --help lists the commands and options.") << "\n";
        return kExitUsage;
    }
    const bool updating = update->parsed();
    options.interactive = isatty(STDIN_FILENO) && isatty(json ? STDERR_FILENO : STDOUT_FILENO);

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
    ResourceTexts strings(ResourceLanguage());
    LinuxSgSystem sg;

    std::unique_ptr<DriveBackend> backend;
    bool virtualTime = false;
    if (!simulate.empty()) {
        auto simulated = std::make_unique<SimulatedBackend>(profile, simulate,
                                                            updating ? device : std::string());
        if (updating && !simulated->Found()) {
            std::cerr << "quillet: "
                      << Fill(_("{1} is not a drive of {2} (Drive0, Drive1, ...)"),
                              {device, simulate})
                      << "\n";
            return kExitUsage;
        }
        virtualTime = simulated->VirtualTime();
        backend = std::move(simulated);
    } else if (updating) {
        backend = std::make_unique<SgBackend>(sg, device);
    } else {
        auto nodes = std::make_unique<SgBackend>(sg);
        if (nodes->NodeCount() == 0)
            std::cerr << _("No SCSI generic nodes (/dev/sg*) found: is the sg module loaded?")
                      << "\n";
        backend = std::move(nodes);
    }

    // The transcript's file is opened where the user asked, before anything is sent.
    std::unique_ptr<std::ostream> transcriptFile;
    std::vector<std::ostream*> transcriptOuts;
    if (!transcript.empty()) {
        std::string why;
        transcriptFile = OpenTranscriptFile(transcript, &why);
        if (!transcriptFile) {
            std::cerr << "quillet: " << why << "\n";
            return kExitUsage;
        }
        transcriptOuts.push_back(transcriptFile.get());
    }
    if (verbose)
        transcriptOuts.push_back(&std::cerr);
    Clock& clock = virtualTime ? static_cast<Clock&>(virtualClock) : systemClock;
    std::unique_ptr<TranscribedBackend> transcribed;
    if (!transcriptOuts.empty()) {
        transcribed = std::make_unique<TranscribedBackend>(*backend, clock, transcriptOuts);
        transcribed->Header(ProgramVersion(),
                            updating ? (simulate.empty() ? device : device + " of " + simulate)
                                     : (simulate.empty() ? "every SCSI generic node"
                                                         : "every drive of " + simulate));
    }
    DriveBackend& drives = transcribed ? static_cast<DriveBackend&>(*transcribed) : *backend;

    // --json: standard output carries the document, standard error only problems and the
    // questions asked at a terminal.
    std::ostream discarded(nullptr);
    CommandContext context{directory,
                           files,
                           profile,
                           firmwareFiles,
                           clock,
                           messages,
                           strings,
                           std::cin,
                           json ? discarded : std::cout,
                           std::cerr,
                           !json && isatty(STDOUT_FILENO),
                           json ? &std::cout : nullptr,
                           json ? &std::cerr : nullptr};
    return updating ? UpdateDrive(context, drives, options) : ListDrives(context, drives);
}
