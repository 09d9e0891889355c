// The Linux program's two commands over any drive backend: `list` (the maker's drives with the
// firmware the catalogue offers each) and `update` (the NT family's update command, its dialogs
// asked on the terminal, then the pass-through download itself).
#pragma once

#include <iosfwd>
#include <string>

#include "cli/drive_backends.h"
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
constexpr int kExitFailed = 1;  // nothing or not everything done; the messages say which
constexpr int kExitUsage = 2;

struct UpdateOptions {
    std::string device;
    std::string image;         // a file name the catalogue offers for the drive; empty: the first
    bool yes = false;          // answers the start confirmation
    bool allowOlder = false;   // answers the old-version question
    bool interactive = false;  // questions may be asked on `in`
};

// Everything the commands use; the services must outlive the object.
struct CommandContext {
    DirectorySearch& directory;
    FileSystem& files;
    ProfileReader& profile;
    FirmwareFiles& firmwareFiles;
    Clock& clock;
    MessageBoxService& messages;
    StringSource& strings;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool progressInPlace = false;
};

int ListDrives(CommandContext& context, DriveBackend& backend);
int UpdateDrive(CommandContext& context, DriveBackend& backend, const UpdateOptions& options);

}  // namespace quillet
