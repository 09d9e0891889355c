// The Linux volume devices under the pass-through transport, over a scripted kernel: what each
// SG_IO header carries, and the failures a drive cannot be made to show (permission denied, a
// device that goes away, a command that never completes), with the media polling put back.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/drive_backends.h"
#include "device/pass_through.h"
#include "platform/linux/sg_volume_devices.h"
#include "platform/virtual_clock.h"
#include "support/scripted_sg.h"

namespace quillet {
namespace {

constexpr char kPolling[] = "/sys/block/sr0/events_poll_msecs";
constexpr char kDefaultPolling[] = "/sys/module/block/parameters/events_dfl_poll_msecs";

class SgVolumeDevicesTest : public ::testing::Test {
protected:
    SgVolumeDevicesTest() : volumes(sg, {SgNode{"/dev/sg3", "sr0"}}), transport(volumes, clock) {}

    DriveAddress Open() {
        DriveAddress address;
        address.handle = transport.OpenDrive('A', VolumeAccess::ReadWrite);
        return address;
    }

    ScriptedSg sg;
    VirtualClock clock;
    SgVolumeDevices volumes;
    PassThroughTransport transport;
};

TEST_F(SgVolumeDevicesTest, CommandsTravelAsSgIoHeaders) {
    const DriveAddress drive = Open();
    ASSERT_NE(drive.handle, kInvalidVolumeHandle);
    EXPECT_EQ(sg.openFlags & O_ACCMODE, O_RDWR);
    uint8_t block[2048] = {1, 2, 3};
    uint8_t inquiry[1024];
    ASSERT_TRUE(transport.Commands().WriteFirmwareBlock(drive, 0x123456, block, sizeof block));
    ASSERT_TRUE(transport.Commands().Inquiry(drive, inquiry, sizeof inquiry));
    uint8_t qualifier = 9;
    transport.Commands().TestUnitReady(drive, &qualifier);
    ASSERT_EQ(sg.seen.size(), 3u);

    const sg_io_hdr_t& write = sg.seen[0];
    EXPECT_EQ(write.dxfer_direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(write.dxferp, block);
    EXPECT_EQ(write.dxfer_len, sizeof block);
    EXPECT_EQ(write.cmd_len, 10);
    EXPECT_EQ(write.mx_sb_len, 14);
    EXPECT_EQ(write.timeout, 30000u);  // the record's 30 seconds
    EXPECT_EQ(sg.cdbs[0],
              (std::vector<uint8_t>{0x3B, 0x05, 0x00, 0x12, 0x34, 0x56, 0x00, 0x08, 0x00, 0x00}));
    EXPECT_EQ(sg.seen[1].dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(sg.seen[1].dxfer_len, 1024u);
    EXPECT_EQ(sg.seen[2].dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(qualifier, 0);
    transport.CloseDrive(drive.handle);
    EXPECT_EQ(sg.closed, std::vector<int>{7});
}

TEST_F(SgVolumeDevicesTest, CheckConditionReachesTheRecordAndIsToldInWords) {
    sg.answer = [](sg_io_hdr_t* header, int*) {
        const uint8_t sense[18] = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01};
        std::copy(sense, sense + std::min<int>(18, header->mx_sb_len), header->sbp);
        header->sb_len_wr = std::min<int>(18, header->mx_sb_len);
        header->status = 0x02;
        header->driver_status = 0x08;
        return 0;
    };
    const DriveAddress drive = Open();
    uint8_t qualifier = 0;
    EXPECT_FALSE(transport.Commands().TestUnitReady(drive, &qualifier));
    EXPECT_EQ(qualifier, 0x01);  // no medium, tray closed: read from the record's sense
    uint8_t block[2048] = {};
    ScsiRequest request;
    EXPECT_TRUE(transport.Commands().WriteFirmwareBlock(drive, 0, block, sizeof block, &request));
    EXPECT_EQ(request.targetStatus, 0x02);
    // The transcript's host and driver status: sense came back through the driver.
    EXPECT_EQ(volumes.LastHostStatus(), 0x00);
    EXPECT_EQ(volumes.LastDriverStatus(), 0x08);
    EXPECT_EQ(volumes.LastProblem().kind, SgProblemKind::Rejected);
    EXPECT_EQ(DescribeProblem(volumes.LastProblem()),
              "The drive rejected WRITE BUFFER (status 02h): NOT READY (sense key 2h), medium "
              "not present, tray closed (ASC 3Ah, ASCQ 01h).");
}

// The drive's status is GOOD only when status and masked_status both say so.
TEST_F(SgVolumeDevicesTest, StatusFieldsMustAllSayGood) {
    struct Row {
        const char* name;
        uint8_t status;
        uint8_t masked;
        uint8_t seen;  // the request's target status
        SgProblemKind kind;
    };
    const Row rows[] = {
        {"both GOOD", 0x00, 0x00, 0x00, SgProblemKind::None},
        {"CHECK CONDITION in both", 0x02, 0x01, 0x02, SgProblemKind::Rejected},
        {"BUSY in masked_status only", 0x00, 0x04, 0x08, SgProblemKind::Rejected},
        {"every bit of masked_status", 0x00, 0x7F, 0xFE, SgProblemKind::Rejected},
    };
    const DriveAddress drive = Open();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sg.answer = [&row](sg_io_hdr_t* header, int*) {
            header->status = row.status;
            header->masked_status = row.masked;
            return 0;
        };
        uint8_t block[2048] = {};
        ScsiRequest request;
        EXPECT_TRUE(
            transport.Commands().WriteFirmwareBlock(drive, 0, block, sizeof block, &request));
        EXPECT_EQ(request.targetStatus, row.seen);
        EXPECT_EQ(volumes.LastProblem().kind, row.kind);
    }
}

struct Failure {
    const char* name;
    std::function<int(sg_io_hdr_t*, int*)> answer;
    SgProblemKind kind;
    const char* words;  // part of the description
};

TEST_F(SgVolumeDevicesTest, FailedCommandsFailTheRequestAndSayWhy) {
    const Failure failures[] = {
        {"device gone", [](sg_io_hdr_t*, int* e) { return *e = ENODEV, -1; },
         SgProblemKind::DeviceGone, "/dev/sg3 is gone (during WRITE BUFFER)"},
        {"not permitted", [](sg_io_hdr_t*, int* e) { return *e = EPERM, -1; },
         SgProblemKind::NoPermission, "CAP_SYS_RAWIO"},
        {"never completes", [](sg_io_hdr_t* h, int*) { return h->host_status = 0x03, 0; },
         SgProblemKind::NeverCompleted, "did not complete WRITE BUFFER"},
        {"driver timeout", [](sg_io_hdr_t* h, int*) { return h->driver_status = 0x06, 0; },
         SgProblemKind::NeverCompleted, "did not complete"},
        {"bus error", [](sg_io_hdr_t* h, int*) { return h->host_status = 0x07, 0; },
         SgProblemKind::TransportFailed, "host status 07h"},
    };
    const DriveAddress drive = Open();
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        sg.answer = failure.answer;
        uint8_t block[2048] = {};
        EXPECT_FALSE(transport.Commands().WriteFirmwareBlock(drive, 0, block, sizeof block));
        EXPECT_EQ(volumes.LastProblem().kind, failure.kind);
        EXPECT_NE(DescribeProblem(volumes.LastProblem()).find(failure.words), std::string::npos)
            << DescribeProblem(volumes.LastProblem());
    }
}

TEST_F(SgVolumeDevicesTest, RefusedOpenSaysWhatAccessIsNeeded) {
    sg.openError = EACCES;
    EXPECT_EQ(transport.OpenDrive('A', VolumeAccess::ReadWrite), kInvalidVolumeHandle);
    EXPECT_EQ(volumes.LastProblem().kind, SgProblemKind::NoPermission);
    EXPECT_NE(DescribeProblem(volumes.LastProblem()).find("needs read and write access"),
              std::string::npos);
    EXPECT_EQ(volumes.RefusedOpens(), std::vector<std::string>{"/dev/sg3"});
    sg.openError = ENOENT;
    EXPECT_EQ(transport.OpenDrive('A', VolumeAccess::ReadWrite), kInvalidVolumeHandle);
    EXPECT_EQ(volumes.LastProblem().kind, SgProblemKind::DeviceGone);
    EXPECT_EQ(transport.OpenDrive('B', VolumeAccess::ReadWrite), kInvalidVolumeHandle);
}

// Listing reads a drive through its CD device when its generic node is refused (a member of the
// cdrom group), and says which node it could not open and why; an update never takes that way.
TEST(SgCdDeviceDetourTest, ListingReadsThroughTheCdDeviceOnlyWhenTheNodeIsRefused) {
    struct Row {
        const char* name;
        int nodeError;
        int cdError;
        bool listing;
        bool opens;
        std::vector<std::string> opened;  // paths, in order
        std::vector<std::string> refused;
        std::string problem;  // OpenProblems' line, "" for none
    };
    const Row rows[] = {
        {"node opens", 0, 0, true, true, {"/dev/sg3"}, {}, ""},
        {"cdrom member",
         EACCES,
         0,
         true,
         true,
         {"/dev/sg3", "/dev/sr0"},
         {},
         "/dev/sg3 cannot be opened for reading and writing (Permission denied): read through "
         "/dev/sr0 instead."},
        {"neither",
         EACCES,
         EACCES,
         true,
         false,
         {"/dev/sg3", "/dev/sr0"},
         {"/dev/sg3"},
         "/dev/sg3 cannot be opened for reading and writing (Permission denied), nor /dev/sr0 "
         "for reading (Permission denied): not searched."},
        {"node gone", ENOENT, 0, true, false, {"/dev/sg3"}, {}, ""},
        {"update",
         EACCES,
         0,
         false,
         false,
         {"/dev/sg3"},
         {"/dev/sg3"},
         "/dev/sg3 cannot be opened for reading and writing (Permission denied): not searched."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedSg sg;
        sg.folders["/sys/class/scsi_generic/"] = {"sg3"};
        sg.folders["/sys/class/scsi_generic/sg3/device/block"] = {"sr0"};
        sg.openErrors = {{"/dev/sg3", row.nodeError}, {"/dev/sr0", row.cdError}};
        std::unique_ptr<SgBackend> backend = row.listing
                                                 ? std::make_unique<SgBackend>(sg)
                                                 : std::make_unique<SgBackend>(sg, "/dev/sg3");
        const VolumeHandle handle = backend->Volumes().Open('A', VolumeAccess::ReadWrite);
        EXPECT_EQ(handle != kInvalidVolumeHandle, row.opens);
        EXPECT_EQ(sg.opens, row.opened);
        if (row.opened.size() > 1) {
            EXPECT_EQ(sg.openFlags & O_ACCMODE, O_RDONLY);
        }
        EXPECT_EQ(backend->Refused(), row.refused);
        const std::vector<std::string> problems = backend->OpenProblems();
        EXPECT_EQ(problems.empty() ? std::string() : problems[0], row.problem);
        if (handle != kInvalidVolumeHandle)
            backend->Volumes().Close(handle);
    }
}

TEST_F(SgVolumeDevicesTest, MediaPollingIsSwitchedOffAndPutBackOnEveryExit) {
    struct Case {
        const char* name;
        const char* polling;
        const char* fallback;
        bool switchOnFirst;  // false: the handle closes with the polling still off
        std::vector<std::string> writes;
    };
    const Case cases[] = {
        {"switched on again", "2000", "0", true, {"0", "2000"}},
        {"closed while off", "2000\n", "0", false, {"0", "2000"}},
        {"kernel default in force", "-1", "1500", false, {"0", "-1"}},
        {"not polled", "-1", "0", true, {}},
        {"polling off already", "0", "2000", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sg.files = {{kPolling, c.polling}, {kDefaultPolling, c.fallback}};
        sg.writes.clear();
        const VolumeHandle query = transport.OpenDrive('A', VolumeAccess::QueryOnly);
        EXPECT_TRUE(sg.opens.empty());  // a query handle sends the drive nothing
        EXPECT_TRUE(transport.SetMediaChangeNotification(query, 1));
        if (c.switchOnFirst) {
            EXPECT_TRUE(transport.SetMediaChangeNotification(query, 0));
        }
        transport.CloseDrive(query);
        EXPECT_EQ(sg.writes, c.writes);
    }
}

TEST_F(SgVolumeDevicesTest, PollingThatCannotBeSwitchedOffRefusesTheSwitch) {
    sg.files = {{kPolling, "2000"}};
    sg.writeError = EACCES;
    const VolumeHandle query = transport.OpenDrive('A', VolumeAccess::QueryOnly);
    EXPECT_FALSE(transport.SetMediaChangeNotification(query, 1));
    EXPECT_EQ(volumes.LastProblem().kind, SgProblemKind::PollingNotSwitched);
    EXPECT_NE(DescribeProblem(volumes.LastProblem()).find(kPolling), std::string::npos);
    transport.CloseDrive(query);
    EXPECT_TRUE(sg.writes.empty());
}

}  // namespace
}  // namespace quillet
