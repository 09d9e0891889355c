// Who may update a drive, as the kernel decides it: through the drive's SCSI generic node open for
// reading and writing every command passes, through its CD device WRITE BUFFER passes only with
// CAP_SYS_RAWIO, and the media polling switch needs write access to its sysfs attribute. The
// check comes before the drive search: a refusal opens, sends and writes nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/drive_backends.h"
#include "cli/resource_texts.h"
#include "cli/terminal.h"
#include "platform/virtual_clock.h"
#include "support/memory_folder.h"
#include "support/scripted_sg.h"

namespace quillet {
namespace {

constexpr char kPolling[] = "/sys/block/sr0/events_poll_msecs";
constexpr int kReadWrite = R_OK | W_OK;

using Asked = std::vector<std::pair<std::string, int>>;

TEST(UpdatePermission, WhatTheKernelNeedsIsAskedBeforeAnythingIsOpened) {
    struct Row {
        const char* name;
        const char* device;  // as the user names it
        const char* node;    // the node the drive search opens for it
        bool anyCommand;     // CAP_SYS_RAWIO
        bool sgLoaded;       // sysfs lists the generic nodes: sg0 without a CD device, sg1 with sr0
        std::map<std::string, int> accessErrors;
        Asked asked;
        const char* refusal;  // empty: the update goes on to the drive search
    };
    const Row rows[] = {
        {"root", "/dev/sg1", "/dev/sg1", true, true, {}, {{kPolling, W_OK}}, ""},
        {"root through /dev/sr0 without the sg module",
         "/dev/sr0",
         "/dev/sr0",
         true,
         false,
         {},
         {},
         ""},
        {"user with rw on sg1 and the polling attribute, through /dev/sg1",
         "/dev/sg1",
         "/dev/sg1",
         false,
         true,
         {},
         {{"/dev/sg1", kReadWrite}, {kPolling, W_OK}},
         ""},
        {"user with rw on sg1 and the polling attribute, through /dev/sr0",
         "/dev/sr0",
         "/dev/sg1",
         false,
         true,
         {},
         {{"/dev/sg1", kReadWrite}, {kPolling, W_OK}},
         ""},
        {"user who may open /dev/sr0 but not /dev/sg1 for writing",
         "/dev/sr0",
         "/dev/sg1",
         false,
         true,
         {{"/dev/sg1", EACCES}},
         {{"/dev/sg1", kReadWrite}, {kPolling, W_OK}},
         "/dev/sg1, the SCSI generic node of /dev/sr0, cannot be opened for reading and writing "
         "(Permission denied): the kernel passes WRITE BUFFER only through the drive's SCSI "
         "generic node opened for reading and writing, or to a process with the CAP_SYS_RAWIO "
         "capability. Run quillet as root, or as a user with read and write access to /dev/sg1 "
         "(a member of the group that owns it). Nothing was sent to the drive."},
        {"user without rw on /dev/sg1, named as such",
         "/dev/sg1",
         "/dev/sg1",
         false,
         true,
         {{"/dev/sg1", EPERM}},
         {{"/dev/sg1", kReadWrite}, {kPolling, W_OK}},
         "/dev/sg1 cannot be opened for reading and writing (Operation not permitted): the kernel "
         "passes WRITE BUFFER only through the drive's SCSI generic node opened for reading and "
         "writing, or to a process with the CAP_SYS_RAWIO capability. Run quillet as root, or as "
         "a user with read and write access to /dev/sg1 (a member of the group that owns it). "
         "Nothing was sent to the drive."},
        {"polling attribute not writable",
         "/dev/sr0",
         "/dev/sg1",
         false,
         true,
         {{kPolling, EACCES}},
         {{"/dev/sg1", kReadWrite}, {kPolling, W_OK}},
         "/sys/block/sr0/events_poll_msecs cannot be written (Permission denied): switching off "
         "the kernel's media polling of the drive for the download needs write access to it (run "
         "quillet as root). Nothing was sent to the drive."},
        {"CAP_SYS_RAWIO does not make a read-only sysfs writable",
         "/dev/sg1",
         "/dev/sg1",
         true,
         true,
         {{kPolling, EROFS}},
         {{kPolling, W_OK}},
         "/sys/block/sr0/events_poll_msecs cannot be written (Read-only file system): switching "
         "off the kernel's media polling of the drive for the download needs write access to it "
         "(run quillet as root). Nothing was sent to the drive."},
        {"neither, both said at once",
         "/dev/sg1",
         "/dev/sg1",
         false,
         true,
         {{"/dev/sg1", EACCES}, {kPolling, EACCES}},
         {{"/dev/sg1", kReadWrite}, {kPolling, W_OK}},
         "/dev/sg1 cannot be opened for reading and writing (Permission denied): the kernel "
         "passes WRITE BUFFER only through the drive's SCSI generic node opened for reading and "
         "writing, or to a process with the CAP_SYS_RAWIO capability. Run quillet as root, or as "
         "a user with read and write access to /dev/sg1 (a member of the group that owns it). "
         "/sys/block/sr0/events_poll_msecs cannot be written (Permission denied): switching off "
         "the kernel's media polling of the drive for the download needs write access to it (run "
         "quillet as root). Nothing was sent to the drive."},
        {"kernel without media polling",
         "/dev/sg1",
         "/dev/sg1",
         false,
         true,
         {{kPolling, ENOENT}},
         {{"/dev/sg1", kReadWrite}, {kPolling, W_OK}},
         ""},
        {"drive without a CD device",
         "/dev/sg0",
         "/dev/sg0",
         false,
         true,
         {},
         {{"/dev/sg0", kReadWrite}},
         ""},
        {"node that does not exist: the search names it",
         "/dev/sg7",
         "/dev/sg7",
         false,
         true,
         {{"/dev/sg7", ENOENT}},
         {{"/dev/sg7", kReadWrite}},
         ""},
        {"user through /dev/sr0 without the sg module",
         "/dev/sr0",
         "/dev/sr0",
         false,
         false,
         {},
         {{"/dev/sr0", kReadWrite}},
         "/dev/sr0 is not a SCSI generic node, and no generic node of its drive was found: "
         "through a CD device the kernel passes WRITE BUFFER only to a process with the "
         "CAP_SYS_RAWIO capability. Run quillet as root, or name the drive's /dev/sgN (the sg "
         "module must be loaded). Nothing was sent to the drive."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedSg sg;
        if (row.sgLoaded) {
            sg.folders["/sys/class/scsi_generic/"] = {"sg0", "sg1"};
            sg.folders["/sys/class/scsi_generic/sg1/device/block"] = {"sr0"};
        }
        sg.files[kPolling] = "2000";
        sg.anyCommand = row.anyCommand;
        sg.accessErrors = row.accessErrors;
        SgBackend backend(sg, row.device);

        test::MemoryFolder folder;
        VirtualClock clock;
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        TerminalMessageBox messages(err);
        ResourceTexts strings;
        CommandContext context{folder,   folder,  folder, folder, clock,
                               messages, strings, in,     out,    err};
        UpdateOptions options;
        options.device = row.device;
        options.yes = true;
        // Refused or not, this drive answers nothing a search would take: exit status 1.
        EXPECT_EQ(UpdateDrive(context, backend, options), kExitFailed);
        EXPECT_EQ(sg.accessed, row.asked);
        const std::string refusal = row.refusal;
        if (refusal.empty()) {
            // The search went on to the node the check looked at.
            ASSERT_FALSE(sg.opens.empty()) << err.str();
            EXPECT_EQ(sg.opens.front(), row.node);
            EXPECT_EQ(err.str().find("Nothing was sent to the drive."), std::string::npos)
                << err.str();
        } else {
            EXPECT_EQ(err.str(), refusal + "\n");
            EXPECT_TRUE(sg.opens.empty());
            EXPECT_TRUE(sg.cdbs.empty());
        }
        EXPECT_TRUE(sg.writes.empty());
        EXPECT_EQ(sg.files[kPolling], "2000");
    }
}

// A command the kernel refused: what it needs depends on the kind of node it went through.
TEST(UpdatePermission, RefusedCommandSaysWhatTheKernelNeedsOnThatNode) {
    struct Row {
        const char* node;
        const char* words;  // part of the description
    };
    const Row rows[] = {
        {"/dev/sg3",
         "The kernel refused to send WRITE BUFFER to /dev/sg3 (permission denied): through a "
         "SCSI generic node it passes every command when the node is open for reading and "
         "writing, as quillet opens it, or to a process with the CAP_SYS_RAWIO capability"},
        {"/dev/sr0",
         "The kernel refused to send WRITE BUFFER to /dev/sr0 (permission denied): through a CD "
         "device it passes the commands it deems safe to anyone who may open it, and the others, "
         "WRITE BUFFER among them, only to a process with the CAP_SYS_RAWIO capability (root)"},
        {"/dev/cdrom", "through a CD device"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.node);
        SgProblem problem;
        problem.kind = SgProblemKind::NoPermission;
        problem.node = row.node;
        problem.cdb[0] = 0x3B;
        problem.cdbLength = 10;
        problem.error = EPERM;
        const std::string said = DescribeProblem(problem);
        EXPECT_NE(said.find(row.words), std::string::npos) << said;
    }
}

}  // namespace
}  // namespace quillet
