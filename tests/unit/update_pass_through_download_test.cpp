// The download over pass-through: its two handles, its tray handling and disc check, the media
// change notification switch, the 100-step progress scale, and how a refused block is judged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/download_harness.h"
#include "update/firmware_image.h"

namespace quillet::test {
namespace {

constexpr char kFile[] = "FW.BIN";
const std::string kInquiry = "12 00 00 00 FF 00 in 1024 GOOD";
const std::string kNoDisc = "00 00 00 00 00 00 in 0 CHECK 02/3A/01";
const std::string kTrayOpen = "00 00 00 00 00 00 in 0 CHECK 02/3A/02";
const std::string kLoad = "1B 00 00 00 03 00 in 0 GOOD";

// An open tray is closed and the drive given time before the disc check. The figures are the
// waits: 40 x 625 ms when the tray does not close, and 350 ms for each of the 99 steps the bar
// lacks after one block.
TEST(PassThroughDownload, OpenTrayIsClosedBeforeTheDiscCheck) {
    struct Row {
        const char* name;
        bool loadClosesTray;
        std::vector<std::string> beforeBlocks;  // after the list's INQUIRY
        uint64_t waitMs;
    };
    const Row rows[] = {
        {"tray closes", true, Join({Times(11, kTrayOpen), {kLoad, kNoDisc}, Times(11, kNoDisc)}),
         34650},
        {"tray does not close", false,
         Join({Times(11, kTrayOpen), {kLoad}, Times(40, kTrayOpen), Times(11, kTrayOpen)}),
         25000 + 34650},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PassThroughHarness h;
        sim::DriveModel model;
        model.trayOpen = true;
        model.loadClosesTray = row.loadClosesTray;
        model.productCode = 0x40000;
        sim::SimulatedDrive& drive = h.AddDrive(model);
        const std::string image = Pattern(100, 6);
        h.files.Add(kFile, image);

        EXPECT_EQ(h.Run(kFile, 0x40000), 1);

        EXPECT_EQ(
            JournalLines(drive),
            Join({{kInquiry}, row.beforeBlocks, {h.Block(0x40000, 2048), h.Block(0x40800, 0)}}));
        EXPECT_EQ(drive.ReceivedImage(), Padded(image));
        h.ExpectReleased(row.waitMs);
        EXPECT_EQ(h.rig.clock.Now(), row.waitMs);
        EXPECT_TRUE(h.rig.messages.Boxes().empty());
        EXPECT_EQ(h.Switches(), std::vector<int>({1, 0}));
    }
}

// Range 0 .. 100, step 1: one step per block while below 100; an image of 100 blocks or more fills
// the bar during the transfer and leaves no wait, a smaller one is filled at 350 ms a step.
TEST(PassThroughDownload, ProgressStepsPerBlockUpToOneHundred) {
    struct Row {
        const char* name;
        int blocks;
        int getPos;  // one per block, then one per look of the wait
        uint64_t waitMs;
    };
    const Row rows[] = {{"150 blocks", 150, 151, 0}, {"3 blocks", 3, 3 + 98, 97 * 350}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PassThroughHarness h;
        sim::SimulatedDrive& drive = h.AddDrive({});
        h.files.Add(kFile, Pattern(static_cast<size_t>(row.blocks) * 16384, 7));

        EXPECT_EQ(h.Run(kFile, 0), 1);

        const auto& messages = h.progress.Messages();
        ASSERT_GE(messages.size(), 3u);
        EXPECT_EQ(messages[0].name, "SETRANGE");
        EXPECT_EQ(messages[0].first, 0);
        EXPECT_EQ(messages[0].second, 100);
        EXPECT_EQ(messages[1].name, "SETPOS");
        EXPECT_EQ(messages[1].first, 0);
        EXPECT_EQ(messages[2].name, "SETSTEP");
        EXPECT_EQ(messages[2].first, 1);
        EXPECT_EQ(h.progress.Count("STEPIT"), 100);
        EXPECT_EQ(h.progress.Count("GETPOS"), row.getPos);
        EXPECT_EQ(h.progress.Position(), 100);
        EXPECT_EQ(h.rig.clock.TotalSlept(), row.waitMs);
        EXPECT_EQ(drive.ReceivedImage().size(), static_cast<size_t>(row.blocks) * 16384);
        EXPECT_TRUE(drive.ImageComplete());
    }
}

TEST(PassThroughDownload, MediaChangeNotificationRefused) {
    struct Row {
        const char* name;
        uint8_t refusedValue;
        bool written;
        uint64_t waitMs;
    };
    const Row rows[] = {{"off refused", 1, false, 0}, {"on again refused", 0, true, 97 * 350}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PassThroughHarness h;
        sim::SimulatedDrive& drive = h.AddDrive({});
        h.rig.volumes.SetMediaChangeRefused('F', row.refusedValue, true);
        h.files.Add(kFile, Pattern(3 * 16384, 9));

        EXPECT_EQ(h.Run(kFile, 0), 0);

        EXPECT_EQ(drive.ImageComplete(), row.written);
        EXPECT_EQ(h.Outcome().blocksTaken, row.written ? 3 : 0);
        EXPECT_EQ(h.Outcome().closed, row.written);
        EXPECT_FALSE(h.Outcome().updated);
        EXPECT_EQ(JournalLines(drive).size(), 13u + (row.written ? 4 : 0));
        EXPECT_EQ(h.Messages().Texts(), std::vector<std::string>{kMediaChangeNotificationError});
        EXPECT_EQ(h.Switches(), row.written ? std::vector<int>{1} : std::vector<int>{});
        h.ExpectReleased(row.waitMs);
    }
}

// Two handles for one call: commands on the read/write one kept in the drive record, the switch
// on the query-only one; both closed afterwards and the record's handle reset.
TEST(PassThroughDownload, OpensTwoHandlesForTheCallOnly) {
    PassThroughHarness h;
    h.AddDrive({});
    h.files.Add(kFile, Pattern(100, 10));

    EXPECT_EQ(h.Run(kFile, 0), 1);

    const auto& opens = h.rig.volumes.Opens();
    ASSERT_EQ(opens.size(), 26u + 2u);  // the search opens every letter once
    EXPECT_EQ(opens[26].letter, 'F');
    EXPECT_EQ(opens[26].access, VolumeAccess::ReadWrite);
    EXPECT_EQ(opens[27].letter, 'F');
    EXPECT_EQ(opens[27].access, VolumeAccess::QueryOnly);
    EXPECT_EQ(h.list->Drive(0)->handle, kInvalidVolumeHandle);
    EXPECT_EQ(h.rig.volumes.OpenHandles(), 0u);
    EXPECT_EQ(h.rig.volumes.BadCloses(), 0);
}

// A drive whose command handle cannot be opened, or that is not in the list, is reported before
// the file is opened or any command sent.
TEST(PassThroughDownload, DriveThatCannotBeOpenedIsReportedFirst) {
    for (int index : {0, 1, -1}) {
        SCOPED_TRACE("index " + std::to_string(index));
        PassThroughHarness h;
        sim::SimulatedDrive& drive = h.AddDrive({});
        h.files.Add(kFile, Pattern(100, 11));
        h.list = h.rig.MakeList();
        h.rig.volumes.SetOpenFails('F', index == 0);

        EXPECT_EQ(h.download.DownloadFirmware(*h.list, index, kFile, DownloadHarness::kMainDialog,
                                              0, h.progress),
                  0);

        EXPECT_EQ(h.Messages().Texts(), std::vector<std::string>{kDriveOpenError});
        EXPECT_EQ(JournalLines(drive), std::vector<std::string>{kInquiry});
        EXPECT_EQ(h.files.Opens(), 0);
        EXPECT_TRUE(h.progress.Messages().empty());
        EXPECT_EQ(h.rig.volumes.OpenHandles(), 0u);
    }
}

}  // namespace
}  // namespace quillet::test
