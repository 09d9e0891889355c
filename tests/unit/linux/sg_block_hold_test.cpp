// Holding the drive's CD device for an update, over a scripted kernel: a mounted file system of
// it is named and nothing is opened; otherwise it is opened exclusively and let go at the end.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/drive_backends.h"
#include "platform/linux/sg_block_hold.h"
#include "support/scripted_sg.h"

namespace quillet {
namespace {

TEST(SgBlockHold, MountedDeviceIsNamedOtherwiseHeldExclusively) {
    const std::string mountedHere =
        "36 35 11:0 / /media/my\\040disc ro,nosuid - iso9660 /dev/sr0 ro\n";
    const std::string otherDrive = "37 35 11:1 / /media/other ro - iso9660 /dev/sr1 ro\n";
    struct Row {
        const char* name;
        std::string block;
        std::string mounts;
        int openError;
        SgHoldRefusal::Kind kind;
        const char* words;  // part of the description
        bool opened;
    };
    const Row rows[] = {
        {"no CD device", "", mountedHere, 0, SgHoldRefusal::Kind::None, "", false},
        {"mounted, a space in the mount point", "sr0", otherDrive + mountedHere, 0,
         SgHoldRefusal::Kind::Mounted, "/dev/sr0 is mounted on /media/my disc: unmount it first",
         false},
        {"another drive mounted", "sr0", otherDrive, 0, SgHoldRefusal::Kind::None, "", true},
        {"held by another program", "sr0", "", EBUSY, SgHoldRefusal::Kind::Busy,
         "Another program holds /dev/sr0", false},
        {"no permission", "sr0", "", EACCES, SgHoldRefusal::Kind::Failed,
         "/dev/sr0 cannot be held for the update: Permission denied.", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedSg sg;
        sg.files["/sys/block/sr0/dev"] = "11:0\n";
        sg.files["/proc/self/mountinfo"] = row.mounts;
        sg.openError = row.openError;
        {
            SgBlockHold hold(sg);
            SgHoldRefusal refusal;
            EXPECT_EQ(hold.Hold(row.block, &refusal), row.kind == SgHoldRefusal::Kind::None);
            EXPECT_EQ(refusal.kind, row.kind);
            EXPECT_NE(DescribeRefusal(refusal).find(row.words), std::string::npos)
                << DescribeRefusal(refusal);
            if (row.kind != SgHoldRefusal::Kind::Mounted && !row.block.empty()) {
                ASSERT_EQ(sg.opens, std::vector<std::string>{"/dev/sr0"});
                EXPECT_EQ(sg.openFlags, O_RDONLY | O_NONBLOCK | O_EXCL);
            } else {
                EXPECT_TRUE(sg.opens.empty());
            }
            EXPECT_TRUE(sg.closed.empty());
        }
        EXPECT_EQ(sg.closed, row.opened ? std::vector<int>{7} : std::vector<int>{});
    }
}

}  // namespace
}  // namespace quillet
