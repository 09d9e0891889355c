// The simulated drive's fault source and a drive that is gone, as each front end reports them:
// the answer a test draws per command, a data-in transfer cut short or reported too long, and a
// removed device that every request then misses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/aspi_blocks.h"
#include "platform/pass_through_record.h"
#include "platform/virtual_clock.h"
#include "sim/direct_transport.h"
#include "sim/simulated_drive.h"
#include "sim/volumes.h"
#include "support/aspi_rig.h"

namespace quillet::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// READ BUFFER of the 8 tag bytes at 8004 into `buffer`.
TargetCommand TagRead(Bytes& buffer) {
    TargetCommand command;
    command.cdb = {0x3C, 0x02, 0, 0x00, 0x80, 0x04, 0, 0, 8, 0};
    command.cdbLength = 10;
    command.direction = Direction::In;
    command.data = buffer.data();
    command.dataLength = static_cast<uint32_t>(buffer.size());
    return command;
}

CommandFault Cut(uint32_t bytes) {
    CommandFault fault;
    fault.cutTo = bytes;
    return fault;
}

// The source is asked about every command no added fault hits, with its number; its answer
// decides the outcome, and a cut leaves the rest of the buffer as it was.
TEST(FaultSource, AnswersEachCommandNoAddedFaultHits) {
    struct Row {
        const char* name;
        CommandFault fault;
        Outcome outcome;
        uint8_t status;
        Bytes data;
        uint32_t transferred;
        bool cut;
        uint32_t overrun;
    };
    const Bytes tag = {'M', 'T', 'X', '5', '1', '6', '0', 'E'};
    const Bytes untouched(8, 0xEE);
    CommandFault check;
    check.kind = CommandFault::Kind::CheckCondition;
    check.sense = Sense{0x03, 0x11, 0x05};
    CommandFault never;
    never.kind = CommandFault::Kind::NeverCompletes;
    CommandFault over;
    over.overrun = 7;
    const Row rows[] = {
        {"none", CommandFault(), Outcome::Completed, 0x00, tag, 8, false, 0},
        {"check condition", check, Outcome::Completed, 0x02, untouched, 0, false, 0},
        {"never completes", never, Outcome::NeverCompletes, 0x00, untouched, 0, false, 0},
        {"cut to three", Cut(3), Outcome::Completed, 0x00,
         Bytes{'M', 'T', 'X', 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, 3, true, 0},
        {"cut above the answer", Cut(20), Outcome::Completed, 0x00, tag, 8, false, 0},
        {"over-run", over, Outcome::Completed, 0x00, tag, 8, false, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedDrive drive;
        Fault added;
        added.commandNumber = 1;
        drive.AddFault(added);
        std::vector<uint32_t> asked;
        drive.SetFaultSource([&](uint32_t number, const TargetCommand& command) {
            asked.push_back(number);
            EXPECT_EQ(command.cdb[0], 0x3C);
            return row.fault;
        });
        Bytes buffer(8, 0xEE);
        EXPECT_EQ(drive.Execute(TagRead(buffer)).status, 0x02) << "the added fault comes first";
        buffer.assign(8, 0xEE);
        const TargetResult result = drive.Execute(TagRead(buffer));
        EXPECT_EQ(asked, std::vector<uint32_t>{2});
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(result.status, row.status);
        if (row.status == 0x02) {
            EXPECT_EQ(result.sense[2], 0x03);
            EXPECT_EQ(result.sense[12], 0x11);
            EXPECT_EQ(result.sense[13], 0x05);
        }
        EXPECT_EQ(buffer, row.data);
        EXPECT_EQ(result.transferred, row.transferred);
        EXPECT_EQ(result.cut, row.cut);
        EXPECT_EQ(result.overrun, row.overrun);
    }
}

// The source may change the drive before its command: the command then finds it so.
TEST(FaultSource, MayChangeTheDriveBeforeTheCommand) {
    SimulatedDrive drive;
    drive.SetFaultSource([&](uint32_t, const TargetCommand&) {
        drive.SetTrayOpen(true);
        return CommandFault();
    });
    TargetCommand testUnitReady;
    testUnitReady.cdbLength = 6;
    const TargetResult result = drive.Execute(testUnitReady);
    EXPECT_EQ(result.sense[12], 0x3A);
    EXPECT_EQ(result.sense[13], 0x02) << "tray open";
}

// Over ASPI a cut or over-long transfer is a data over-run or under-run of the host adapter
// (status 04, host status 12) with the bytes moved; a drive that is gone answers 82.
TEST(FaultSource, AspiLayerReportsRunsAndAGoneDrive) {
    struct Row {
        const char* name;
        CommandFault fault;
        bool gone;
        uint8_t status;
        uint8_t hostStatus;
        size_t journal;
    };
    CommandFault over;
    over.overrun = 1;
    const Row rows[] = {
        {"whole", CommandFault(), false, 0x01, 0x00, 1},
        {"cut", Cut(2), false, 0x04, 0x12, 1},
        {"over-run", over, false, 0x04, 0x12, 1},
        {"gone", CommandFault(), true, 0x82, 0x00, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::AspiRig rig;
        rig.layer.AddAdapter(7);
        SimulatedDrive& drive = rig.AddDrive(0, 2, 0);
        drive.SetFaultSource([&](uint32_t, const TargetCommand&) { return row.fault; });
        drive.SetGone(row.gone);
        Bytes buffer(8, 0);
        SrbExecScsiCommand block{};
        block.SRB_Cmd = kSrbExecScsiCommand;
        block.SRB_Target = 2;
        block.SRB_Flags = kSrbDirectionIn;
        block.SRB_BufLen = 8;
        block.SRB_BufPointer = buffer.data();
        block.SRB_CDBLen = 10;
        const TargetCommand read = TagRead(buffer);
        std::copy_n(read.cdb.begin(), 10, block.CDBByte);
        rig.layer.Load("WNASPI32.DLL");

        EXPECT_EQ(rig.layer.SendCommand(&block), row.status);
        EXPECT_EQ(block.SRB_Status, row.status);
        EXPECT_EQ(block.SRB_HaStat, row.hostStatus);
        EXPECT_EQ(drive.Journal().size(), row.journal);
        EXPECT_EQ(buffer[0], row.gone ? 0 : 'M');
        EXPECT_EQ(buffer[2], row.gone || row.name == std::string("cut") ? 0 : 'X');
    }
}

// On a volume the transferred length shows the cut or the over-run; a drive that is gone can no
// longer be opened, and a handle still open to it fails every request.
TEST(FaultSource, VolumesReportTheLengthAndAGoneDrive) {
    struct Row {
        const char* name;
        CommandFault fault;
        uint32_t transferred;
    };
    CommandFault over;
    over.overrun = 5;
    const Row rows[] = {
        {"whole", CommandFault(), 8},
        {"cut", Cut(3), 3},
        {"over-run", over, 13},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VirtualClock clock;
        SimulatedVolumes volumes(&clock);
        SimulatedDrive drive;
        volumes.MapDrive('F', drive);
        drive.SetFaultSource([&](uint32_t, const TargetCommand&) { return row.fault; });
        const VolumeHandle handle = volumes.Open('F', VolumeAccess::ReadWrite);
        ASSERT_NE(handle, kInvalidVolumeHandle);

        Bytes buffer(8, 0);
        PassThroughFields fields;
        const TargetCommand read = TagRead(buffer);
        fields.cdb = read.cdb;
        fields.cdbLength = 10;
        fields.dataLength = 8;
        fields.data = buffer.data();
        fields.timeoutSeconds = 30;
        fields.senseLength = 24;
        Bytes record(kPassThroughFixedSize + 24, 0);
        EncodePassThroughRecord(fields, record.data());
        uint32_t returned = 0;
        ASSERT_TRUE(volumes.IoControl(handle, kIoctlScsiPassThroughDirect, record.data(),
                                      static_cast<uint32_t>(record.size()), record.data(),
                                      static_cast<uint32_t>(record.size()), &returned));
        PassThroughFields answer;
        ASSERT_TRUE(DecodePassThroughRecord(record.data(), static_cast<uint32_t>(record.size()),
                                            static_cast<uint32_t>(record.size()), &answer));
        EXPECT_EQ(answer.dataLength, row.transferred);

        drive.SetGone(true);
        EXPECT_FALSE(volumes.IoControl(handle, kIoctlScsiPassThroughDirect, record.data(),
                                       static_cast<uint32_t>(record.size()), record.data(),
                                       static_cast<uint32_t>(record.size()), &returned));
        uint8_t off = 1;
        EXPECT_FALSE(
            volumes.IoControl(handle, kIoctlStorageMcnControl, &off, 1, nullptr, 0, &returned));
        EXPECT_EQ(volumes.Open('F', VolumeAccess::ReadWrite), kInvalidVolumeHandle);
        EXPECT_EQ(drive.Journal().size(), 1u) << "a drive that is gone takes nothing";
        volumes.Close(handle);
        EXPECT_EQ(volumes.OpenHandles(), 0u);
    }
}

// The in-process executor: a run is host status 12 with request status 04; gone is 82.
TEST(FaultSource, DirectTransportReportsRunsAndAGoneDrive) {
    SimulatedDrive drive;
    DirectTransport transport;
    DriveAddress address;
    address.target = 1;
    transport.AddDrive(address, drive);
    drive.SetFaultSource([](uint32_t, const TargetCommand&) { return Cut(4); });
    Bytes buffer(8, 0);
    ScsiRequest request;
    const TargetCommand read = TagRead(buffer);
    request.cdb = read.cdb;
    request.cdbLength = 10;
    request.direction = DataDirection::In;
    request.data = buffer.data();
    request.dataLength = 8;
    EXPECT_TRUE(transport.Execute(address, request));
    EXPECT_EQ(request.requestStatus, 0x04);
    EXPECT_EQ(request.hostStatus, 0x12);

    drive.SetGone(true);
    EXPECT_FALSE(transport.Execute(address, request));
    EXPECT_EQ(request.requestStatus, 0x82);
    EXPECT_EQ(drive.Journal().size(), 1u);
}

}  // namespace
}  // namespace quillet::sim
