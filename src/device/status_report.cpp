#include "device/status_report.h"

#include <algorithm>
#include <cstdio>

#include "device/scsi.h"

namespace quillet {

namespace {

const char* RequestStatusText(uint8_t status) {
    switch (status) {
        case 0x00:
            return "SRB being processed\n";
        case 0x01:
            return "SRB completed without error\n";
        case 0x02:
            return "SRB aborted\n";
        case 0x04:
            return "SRB completed with error\n";
        case 0x80:
            return "Invalid SCSI request\n";
        case 0x81:
            return "Invalid HOST Adapter Number\n";
        case 0x82:
            return "SCSI device not installed\n";
        default:
            return "SRB status ??? (See ASPI spec.)\n";
    }
}

const char* HostStatusText(uint8_t status) {
    switch (status) {
        case 0x00:
            return "Host adapter did not detect any error\n";
        case 0x11:
            return "Selection timeout\n";
        case 0x12:
            return "Data over-run/under-run\n";
        case 0x13:
            return "Unexpected bus free\n";
        case 0x14:
            return "Target bus phase sequence failure\n";
        default:
            return "Host adapter status ??? (See ASPI spec.)\n";
    }
}

// "No taget status" is the message's own wording and stays as it is.
const char* TargetStatusText(uint8_t status) {
    switch (status) {
        case 0x00:
            return "No taget status\n";
        case 0x02:
            return "Check status\n";
        case 0x08:
            return "Specified Target/LUN is busy\n";
        case 0x18:
            return "Reservation conflict\n";
        default:
            return "Target status ??? (See ASPI spec.)\n";
    }
}

std::string Hex(const char* format, uint8_t value) {
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string ComposeScsiStatusReport(const SrbExecScsiCommand& request) {
    std::string message = "SCSI I/O error occurred.\n";
    message += Hex("  ASPI_STS = %02x : ", request.SRB_Status);
    message += RequestStatusText(request.SRB_Status);
    message += Hex("  HOST_STS = %02x : ", request.SRB_HaStat);
    message += HostStatusText(request.SRB_HaStat);
    message += Hex("  TARG_STS = %02x : ", request.SRB_TargStat);
    message += TargetStatusText(request.SRB_TargStat);
    if (request.SRB_TargStat == kStatusCheckCondition) {
        message += "  Sense Data =";
        // A sense length beyond the block's sense area would read past the block.
        const size_t count = std::min<size_t>(request.SRB_SenseLen, kSenseAreaSize);
        for (size_t i = 0; i < count; ++i)
            message += Hex(" %02x", request.SenseArea[i]);
        message += "\n";
    }
    return message;
}

void ReportScsiStatus(MessageBoxService& messages, const SrbExecScsiCommand& request) {
    messages.Show(ComposeScsiStatusReport(request), std::string(), MessageIcon::None, false, 0);
}

}  // namespace quillet
