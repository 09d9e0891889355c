// The status report of a failed ASPI request, compared as whole texts, and the box it is shown in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "device/status_report.h"
#include "platform/recorded_message_box.h"

namespace quillet {
namespace {

SrbExecScsiCommand Finished(uint8_t status, uint8_t host, uint8_t target,
                            std::vector<uint8_t> sense = {}, uint8_t senseLength = 14) {
    SrbExecScsiCommand block{};
    block.SRB_Cmd = kSrbExecScsiCommand;
    block.SRB_Status = status;
    block.SRB_HaStat = host;
    block.SRB_TargStat = target;
    block.SRB_SenseLen = senseLength;
    std::copy(sense.begin(), sense.end(), block.SenseArea);
    return block;
}

// Fixed-format sense: illegal request (5), invalid field in CDB (24); 18 bytes, 16 in the area.
const std::vector<uint8_t> kIllegalRequest = {0x70, 0, 0x05, 0, 0,    0, 0,    0x06,
                                              0,    0, 0,    0, 0x24, 0, 0xAB, 0xCD};

struct ReportRow {
    const char* name;
    SrbExecScsiCommand block;
    const char* text;
};

TEST(ScsiStatusReport, ComposesTheWholeMessage) {
    const std::vector<ReportRow> rows = {
        {"completed with error, check condition", Finished(0x04, 0x00, 0x02, kIllegalRequest),
         "SCSI I/O error occurred.\n"
         "  ASPI_STS = 04 : SRB completed with error\n"
         "  HOST_STS = 00 : Host adapter did not detect any error\n"
         "  TARG_STS = 02 : Check status\n"
         "  Sense Data = 70 00 05 00 00 00 00 06 00 00 00 00 24 00\n"},
        {"selection time-out, no target status", Finished(0x04, 0x11, 0x00),
         "SCSI I/O error occurred.\n"
         "  ASPI_STS = 04 : SRB completed with error\n"
         "  HOST_STS = 11 : Selection timeout\n"
         "  TARG_STS = 00 : No taget status\n"},
        {"request status without a text", Finished(0x03, 0x00, 0x00),
         "SCSI I/O error occurred.\n"
         "  ASPI_STS = 03 : SRB status ??? (See ASPI spec.)\n"
         "  HOST_STS = 00 : Host adapter did not detect any error\n"
         "  TARG_STS = 00 : No taget status\n"},
        {"no sense bytes asked for", Finished(0x04, 0x00, 0x02, kIllegalRequest, 0),
         "SCSI I/O error occurred.\n"
         "  ASPI_STS = 04 : SRB completed with error\n"
         "  HOST_STS = 00 : Host adapter did not detect any error\n"
         "  TARG_STS = 02 : Check status\n"
         "  Sense Data =\n"},
        {"other values, lower-case hex", Finished(0xE2, 0xFA, 0x4C, kIllegalRequest),
         "SCSI I/O error occurred.\n"
         "  ASPI_STS = e2 : SRB status ??? (See ASPI spec.)\n"
         "  HOST_STS = fa : Host adapter status ??? (See ASPI spec.)\n"
         "  TARG_STS = 4c : Target status ??? (See ASPI spec.)\n"},
        {"sense length beyond the area stops at its end",
         Finished(0x04, 0x00, 0x02, kIllegalRequest, 0xFF),
         "SCSI I/O error occurred.\n"
         "  ASPI_STS = 04 : SRB completed with error\n"
         "  HOST_STS = 00 : Host adapter did not detect any error\n"
         "  TARG_STS = 02 : Check status\n"
         "  Sense Data = 70 00 05 00 00 00 00 06 00 00 00 00 24 00 ab cd\n"},
    };
    for (const ReportRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ComposeScsiStatusReport(row.block), row.text);
    }
}

TEST(ScsiStatusReport, EveryTableText) {
    struct Line {
        uint8_t value;
        const char* text;
    };
    const std::vector<Line> requests = {{0x00, "SRB being processed\n"},
                                        {0x01, "SRB completed without error\n"},
                                        {0x02, "SRB aborted\n"},
                                        {0x04, "SRB completed with error\n"},
                                        {0x80, "Invalid SCSI request\n"},
                                        {0x81, "Invalid HOST Adapter Number\n"},
                                        {0x82, "SCSI device not installed\n"}};
    const std::vector<Line> hosts = {{0x00, "Host adapter did not detect any error\n"},
                                     {0x11, "Selection timeout\n"},
                                     {0x12, "Data over-run/under-run\n"},
                                     {0x13, "Unexpected bus free\n"},
                                     {0x14, "Target bus phase sequence failure\n"}};
    const std::vector<Line> targets = {{0x00, "No taget status\n"},
                                       {0x08, "Specified Target/LUN is busy\n"},
                                       {0x18, "Reservation conflict\n"}};
    auto lineOf = [](const std::string& report, int n) {
        size_t from = 0;
        for (int i = 0; i < n; ++i)
            from = report.find('\n', from) + 1;
        return report.substr(from, report.find('\n', from) + 1 - from);
    };
    char expected[128];
    for (const Line& line : requests) {
        std::snprintf(expected, sizeof expected, "  ASPI_STS = %02x : %s", line.value, line.text);
        EXPECT_EQ(lineOf(ComposeScsiStatusReport(Finished(line.value, 0, 0)), 1), expected);
    }
    for (const Line& line : hosts) {
        std::snprintf(expected, sizeof expected, "  HOST_STS = %02x : %s", line.value, line.text);
        EXPECT_EQ(lineOf(ComposeScsiStatusReport(Finished(4, line.value, 0)), 2), expected);
    }
    for (const Line& line : targets) {
        std::snprintf(expected, sizeof expected, "  TARG_STS = %02x : %s", line.value, line.text);
        const std::string report = ComposeScsiStatusReport(Finished(4, 0, line.value));
        EXPECT_EQ(lineOf(report, 3), expected);
        EXPECT_EQ(report.find("Sense"), std::string::npos);
    }
}

TEST(ScsiStatusReport, ShownWithTheApplicationTitleOkOnlyNoIconNoOwner) {
    RecordedMessageBox messages("QuilletUnderTest");
    const SrbExecScsiCommand block = Finished(0x04, 0x11, 0x00);
    ReportScsiStatus(messages, block);
    ASSERT_EQ(messages.Boxes().size(), 1u);
    const auto& box = messages.Boxes()[0];
    EXPECT_EQ(box.text, ComposeScsiStatusReport(block));
    EXPECT_EQ(box.caption, "QuilletUnderTest");
    EXPECT_EQ(box.icon, MessageIcon::None);
    EXPECT_EQ(box.owner, 0u);
}

}  // namespace
}  // namespace quillet
