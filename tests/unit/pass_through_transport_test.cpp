// The pass-through request record each handle command sends, read back from the simulated
// volumes byte by byte; the TEST UNIT READY qualifier; the media change notification switch.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/pass_through_rig.h"

namespace quillet {
namespace {

using test::PassThroughRig;

PassThroughDirect FixedPartOf(const std::vector<uint8_t>& in) {
    PassThroughDirect fixed{};
    EXPECT_GE(in.size(), sizeof fixed);
    std::memcpy(&fixed, in.data(), std::min(in.size(), sizeof fixed));
    return fixed;
}

enum class Call { TestUnitReady, Load, Eject, Inquiry, ReadTag, WriteBlock, WriteClosing };

// Address bytes path 1, target 2, lun 3 show where each lands (the program always sends 0).
DriveAddress Address(VolumeHandle handle) {
    DriveAddress address;
    address.handle = handle;
    address.pathId = 1;
    address.targetId = 2;
    address.lunId = 3;
    return address;
}

bool Send(PassThroughTransport& t, VolumeHandle h, Call call) {
    static uint8_t buffer[1024];
    static const uint8_t block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    switch (call) {
        case Call::TestUnitReady:
            return t.TestUnitReady(h, 1, 2, 3, nullptr);
        case Call::Load:
            return t.StartStopUnit(h, 1, 2, 3, 0);
        case Call::Eject:
            return t.StartStopUnit(h, 1, 2, 3, 7);
        case Call::Inquiry:
            return t.Inquiry(h, 1, 2, 3, buffer, 1024);
        case Call::ReadTag:
            return t.Commands().ReadBuffer(Address(h), 0x8004, buffer, 8);
        case Call::WriteBlock:
            return t.Commands().WriteFirmwareBlock(Address(h), 0x123456, block, 16);
        case Call::WriteClosing:
            return t.Commands().WriteFirmwareBlock(Address(h), 0x123466, nullptr, 0);
    }
    return false;
}

struct RecordRow {
    const char* name;
    Call call;
    std::vector<uint8_t> cdb;
    uint8_t dataIn;
    uint32_t transferLength;
    uint8_t senseLength;
    uint32_t inLength = 300;  // of the device control call
    uint32_t outLength = 300;
};

TEST(PassThroughRecord, EachCommandFillsItsRecord) {
    const std::vector<RecordRow> rows = {
        {"TEST UNIT READY",
         Call::TestUnitReady,
         {0, 3 << 5, 0, 0, 0, 0},
         1,
         0,
         24,
         kPassThroughFixedSize,
         2348},
        {"START STOP UNIT load", Call::Load, {0x1B, 0, 0, 0, 0x03, 0}, 1, 0, 24},
        {"START STOP UNIT eject", Call::Eject, {0x1B, 0, 0, 0, 0x02, 0}, 1, 0, 24},
        {"INQUIRY", Call::Inquiry, {0x12, 0, 0, 0, 0xFF, 0}, 1, 1024, 24},
        {"READ BUFFER tag", Call::ReadTag, {0x3C, 2, 0, 0, 0x80, 4, 0, 0, 8, 0}, 1, 8, 24},
        {"block", Call::WriteBlock, {0x3B, 5, 0, 0x12, 0x34, 0x56, 0, 0, 16, 0}, 0, 16, 14},
        {"closing", Call::WriteClosing, {0x3B, 5, 0, 0x12, 0x34, 0x66, 0, 0, 0, 0}, 0, 0, 14},
    };
    for (const RecordRow& row : rows) {
        SCOPED_TRACE(row.name);
        PassThroughRig rig;
        sim::DriveModel model;
        model.productCode = 0x123456;
        model.discPresent = true;  // so TEST UNIT READY answers GOOD
        rig.MapDrive('F', model);
        PassThroughTransport transport(rig.volumes, rig.clock);
        const VolumeHandle handle = transport.OpenDrive('F', VolumeAccess::ReadWrite);
        ASSERT_NE(handle, kInvalidVolumeHandle);

        EXPECT_TRUE(Send(transport, handle, row.call));

        ASSERT_FALSE(rig.volumes.Calls().empty());
        const auto& call = rig.volumes.Calls().back();
        EXPECT_EQ(call.code, 0x4D014u);
        EXPECT_EQ(call.in.size(), row.inLength);
        EXPECT_EQ(call.outLength, row.outLength);
        const PassThroughDirect fixed = FixedPartOf(call.in);
        EXPECT_EQ(fixed.Length, kPassThroughFixedSize);
        EXPECT_EQ(fixed.ScsiStatus, 0);
        EXPECT_EQ(fixed.PathId, 1);
        EXPECT_EQ(fixed.TargetId, 2);
        EXPECT_EQ(fixed.Lun, 3);
        EXPECT_EQ(fixed.CdbLength, row.cdb.size());
        EXPECT_EQ(fixed.SenseInfoLength, row.senseLength);
        EXPECT_EQ(fixed.DataIn, row.dataIn);
        EXPECT_EQ(fixed.Alignment[0] | fixed.Alignment[1] | fixed.Alignment[2], 0);
        EXPECT_EQ(fixed.DataTransferLength, row.transferLength);
        EXPECT_EQ(fixed.TimeOutValue, 30u);
        EXPECT_EQ(fixed.DataBuffer != nullptr, row.transferLength > 0);
        EXPECT_EQ(fixed.SenseInfoOffset, kPassThroughFixedSize);
        std::vector<uint8_t> cdb(row.cdb.size());
        std::memcpy(cdb.data(), fixed.Cdb, cdb.size());
        EXPECT_EQ(cdb, row.cdb);
        for (size_t i = row.cdb.size(); i < sizeof fixed.Cdb; ++i)
            EXPECT_EQ(fixed.Cdb[i], 0) << "CDB byte " << i;
        // The rest of the record goes in zero.
        for (size_t i = kPassThroughFixedSize; i < call.in.size(); ++i)
            ASSERT_EQ(call.in[i], 0) << "record byte " << i;
    }
}

// A device control call that fails leaves no stale qualifier behind for the disc check.
TEST(PassThroughTestUnitReady, FailedCallIsNotReadyWithQualifierZero) {
    PassThroughRig rig;
    rig.MapDrive('E');
    rig.volumes.SetIoControlFails('E', true);
    PassThroughTransport transport(rig.volumes, rig.clock);
    const VolumeHandle handle = transport.OpenDrive('E', VolumeAccess::ReadWrite);

    uint8_t qualifier = 0xEE;
    EXPECT_FALSE(transport.TestUnitReady(handle, 0, 0, 0, &qualifier));
    EXPECT_EQ(qualifier, 0);
}

// The switch's code and one input byte are seen through the simulated volumes in every
// pass-through download; the output side must be empty.
TEST(PassThroughMediaChange, SwitchSendsOneByteAndAsksForNothingBack) {
    PassThroughRig rig;
    rig.MapDrive('G');
    PassThroughTransport transport(rig.volumes, rig.clock);
    const VolumeHandle query = transport.OpenDrive('G', VolumeAccess::QueryOnly);

    EXPECT_TRUE(transport.SetMediaChangeNotification(query, 0));
    const auto& call = rig.volumes.Calls().back();
    EXPECT_EQ(call.code, 0x2D0944u);
    EXPECT_EQ(call.in, std::vector<uint8_t>{0});
    EXPECT_EQ(call.outLength, 0u);
    transport.CloseDrive(query);
}

TEST(PassThroughTransportFailures, NoDriveOrNoAnswerIsAFailedCall) {
    PassThroughRig rig;
    sim::SimulatedDrive& drive = rig.MapDrive('H');
    sim::Fault never;
    never.kind = sim::FaultKind::NeverCompletes;
    never.opcode = 0x3C;
    drive.AddFault(never);
    PassThroughTransport transport(rig.volumes, rig.clock);
    EXPECT_EQ(transport.OpenDrive('Q', VolumeAccess::ReadWrite), kInvalidVolumeHandle);

    uint8_t tag[8];
    std::memset(tag, 0xAA, sizeof tag);
    DriveAddress address;
    address.handle = transport.OpenDrive('H', VolumeAccess::ReadWrite);
    EXPECT_FALSE(transport.Commands().ReadBuffer(address, 0x8004, tag, 8));
    EXPECT_EQ(rig.clock.NowMilliseconds(), 30000u);  // the storage stack's time-out
    EXPECT_EQ(std::vector<uint8_t>(tag, tag + 8), std::vector<uint8_t>(8, 0));  // cleared first
    EXPECT_FALSE(transport.TestUnitReady(kInvalidVolumeHandle, 0, 0, 0, nullptr));
}

}  // namespace
}  // namespace quillet
