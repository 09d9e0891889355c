// The pass-through drive list over simulated volumes: the search over A to Z after the
// catalogue's own searches, the order of the list, which devices it keeps, the by-index
// commands and what destruction releases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/pass_through_rig.h"

namespace quillet {
namespace {

using test::PassThroughRig;

uint32_t TransferLengthOf(const std::vector<uint8_t>& record) {
    PassThroughDirect fixed{};
    std::memcpy(&fixed, record.data(), std::min(record.size(), sizeof fixed));
    return fixed.DataTransferLength;
}

std::string Letters(const PassThroughDriveList& list) {
    std::string letters;
    for (int i = 0; i < list.DriveCount(); ++i)
        letters += list.DriveLetter(i);
    return letters;
}

TEST(PassThroughDriveList, SearchesFilesFirstThenEveryLetterAndListsTheHighestFirst) {
    PassThroughRig rig;
    sim::DriveModel first;
    first.product = "CDRW-8432";
    first.revision = "1.0d";
    rig.MapDrive('D', first);
    sim::DriveModel second;
    second.product = "CDRW-1216";
    second.revision = "2.1f";
    rig.MapDrive('F', second);
    // Neither a disk of another maker nor a drive whose INQUIRY fails is listed.
    sim::DriveModel disk;
    disk.peripheral = 0x00;
    disk.vendor = "OTHERCO";
    rig.MapDrive('C', disk);
    rig.MapDrive('E');
    rig.volumes.SetIoControlFails('E', true);

    auto list = rig.MakeList();

    EXPECT_TRUE(rig.messages.Boxes().empty());
    ASSERT_GE(rig.searches.size(), 2u);
    for (const auto& search : rig.searches)
        EXPECT_EQ(search.opensBefore, 0u) << search.pattern;
    std::string opened;
    for (const auto& open : rig.volumes.Opens()) {
        opened += open.letter;
        EXPECT_EQ(open.access, VolumeAccess::ReadWrite);
    }
    EXPECT_EQ(opened, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(rig.volumes.OpenHandles(), 0u);
    EXPECT_EQ(rig.volumes.BadCloses(), 0);

    ASSERT_EQ(Letters(*list), "FD");
    EXPECT_EQ(list->Vendor(0), "KORVIN  ");
    EXPECT_EQ(list->Product(0), "CDRW-1216       ");
    EXPECT_EQ(list->Revision(0), "2.1f");
    EXPECT_EQ(list->Product(1), "CDRW-8432       ");
    EXPECT_EQ(list->Revision(1), "1.0d");
    EXPECT_EQ(list->Drive(1)->text, "KORVIN  CDRW-8432       1.0d");
    EXPECT_EQ(list->Drive(0)->handle, kInvalidVolumeHandle);
    // Out of range reads as nothing.
    EXPECT_EQ(list->DriveLetter(2), 0);
    EXPECT_EQ(list->Vendor(-1), "");
    EXPECT_EQ(list->Drive(2), nullptr);
    uint8_t qualifier = 0xEE;
    EXPECT_FALSE(list->TestUnitReady(2, &qualifier));
    EXPECT_EQ(qualifier, 0);
}

TEST(PassThroughDriveList, CommandsByIndexUseTheRecordsHandle) {
    PassThroughRig rig;
    sim::DriveModel model;
    model.firmwareTag = {{'M', 'T', 'X', '5', 0, 'Z', 'Z', 'Z'}};
    model.productCode = 0x400000;
    sim::SimulatedDrive& drive = rig.MapDrive('K', model);
    rig.MapDrive('B');
    auto list = rig.MakeList();
    ASSERT_EQ(Letters(*list), "KB");

    // Not opened yet: every command fails and the tag is empty.
    std::string tag = "stale";
    EXPECT_FALSE(list->ReadFirmwareTag(0, &tag));
    EXPECT_EQ(tag, "");

    PassThroughDrive* record = list->Drive(0);
    record->handle = list->Transport().OpenDrive(record->letter, VolumeAccess::ReadWrite);
    EXPECT_TRUE(list->ReadFirmwareTag(0, &tag));
    EXPECT_EQ(tag, "MTX5");
    const auto& read = rig.volumes.Calls().back();
    EXPECT_EQ(read.letter, 'K');
    EXPECT_EQ(TransferLengthOf(read.in), 8u);

    // The record's address carries its handle to the commands the download sends.
    PassThroughCommands& commands = list->Transport().Commands();
    const std::vector<uint8_t> block(32, 0x5A);
    EXPECT_TRUE(commands.WriteFirmwareBlock(record->Address(), 0x400000, block.data(), 32));
    EXPECT_TRUE(commands.WriteFirmwareBlock(record->Address(), 0x400020, nullptr, 0));
    EXPECT_EQ(drive.ReceivedImage(), block);
    EXPECT_TRUE(drive.ImageComplete());
    EXPECT_EQ(rig.volumes.Calls().back().letter, 'K');

    // A handle still open when the list goes is closed with it.
    EXPECT_EQ(rig.volumes.OpenHandles(), 1u);
    list.reset();
    EXPECT_EQ(rig.volumes.OpenHandles(), 0u);
    EXPECT_EQ(rig.volumes.BadCloses(), 0);
}

}  // namespace
}  // namespace quillet
