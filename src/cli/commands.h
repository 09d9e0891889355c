// The Linux program's two commands over any drive backend: `list` (the maker's drives with the
// firmware the catalogue offers each) and `update` (the NT family's update command, its dialogs
// asked on the terminal, then the pass-through download itself).
#pragma once

#include <iosfwd>
#include <string>

#include "cli/drive_backends.h"
#include "cli/resource_texts.h"
#include "platform/clock.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/message_box.h"
#include "platform/profile_reader.h"
#include "update/progress_control.h"

namespace quillet {

// Exit codes.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;  // nothing was written to the drive; the messages say why
constexpr int kExitUsage = 2;
// The drive took some blocks but not the closing command: it still runs its old firmware.
constexpr int kExitIncomplete = 3;
// The drive took the whole firmware but the programming wait was cut short.
constexpr int kExitWaitCut = 4;
// The drive took the whole firmware and the wait ran out; a step after it failed.
constexpr int kExitAfterClose = 5;
// The drive took every block, but the answer to the closing command never came: it may have saved
// the firmware or not. The program waited the programming time.
constexpr int kExitClosingUnanswered = 6;

struct UpdateOptions {
    std::string device;
    std::string image;  // a file the catalogue offers for the drive; empty: the newest present
    bool yes = false;   // answers the start confirmation
    bool allowOlder = false;   // answers the old-version question
    bool interactive = false;  // questions may be asked on `in`
    bool dryRun = false;       // every step up to the first that changes the drive, then the plan
};

// Everything the commands use; the services must outlive the object.
struct CommandContext {
    DirectorySearch& directory;
    FileSystem& files;
    ProfileReader& profile;
    FirmwareFiles& firmwareFiles;
    Clock& clock;
    MessageBoxService& messages;
    ResourceTexts& strings;  // the Windows program's texts in the user's language
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool progressInPlace = false;
    // --json: the result as one JSON document here; `out` then carries only what people read.
    std::ostream* json = nullptr;
    // Where the questions and what leads to them are asked, when not on `out` (--json).
    std::ostream* questions = nullptr;
};

int ListDrives(CommandContext& context, DriveBackend& backend);
int UpdateDrive(CommandContext& context, DriveBackend& backend, const UpdateOptions& options);

}  // namespace quillet
