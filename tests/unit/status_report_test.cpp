// The status report of a failed ASPI request, compared as whole texts. (The box it is shown in is
// in the table of every message.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/status_report.h"

namespace quillet {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

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

// Each status value the tables name, as its line of the report.
TEST(ScsiStatusReport, EveryTableText) {
    const struct {
        uint8_t request, host, target;
        const char* line;
    } rows[] = {
        {0x00, 0, 0, "  ASPI_STS = 00 : SRB being processed\n"},
        {0x01, 0, 0, "  ASPI_STS = 01 : SRB completed without error\n"},
        {0x02, 0, 0, "  ASPI_STS = 02 : SRB aborted\n"},
        {0x80, 0, 0, "  ASPI_STS = 80 : Invalid SCSI request\n"},
        {0x81, 0, 0, "  ASPI_STS = 81 : Invalid HOST Adapter Number\n"},
        {0x82, 0, 0, "  ASPI_STS = 82 : SCSI device not installed\n"},
        {4, 0x11, 0, "  HOST_STS = 11 : Selection timeout\n"},
        {4, 0x12, 0, "  HOST_STS = 12 : Data over-run/under-run\n"},
        {4, 0x13, 0, "  HOST_STS = 13 : Unexpected bus free\n"},
        {4, 0x14, 0, "  HOST_STS = 14 : Target bus phase sequence failure\n"},
        {4, 0, 0x00, "  TARG_STS = 00 : No taget status\n"},
        {4, 0, 0x08, "  TARG_STS = 08 : Specified Target/LUN is busy\n"},
        {4, 0, 0x18, "  TARG_STS = 18 : Reservation conflict\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const std::string report =
            ComposeScsiStatusReport(Finished(row.request, row.host, row.target, kIllegalRequest));
        EXPECT_THAT(report, HasSubstr(row.line));
        EXPECT_THAT(report, Not(HasSubstr("Sense"))) << "sense data only after a check status";
    }
}

}  // namespace
}  // namespace quillet
