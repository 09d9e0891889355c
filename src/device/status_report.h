// The report of a failed ASPI request: its request, host adapter and target status in words and,
// for a CHECK CONDITION, its sense bytes, shown in one message box.
#pragma once

#include <string>

#include "device/aspi_blocks.h"
#include "platform/message_box.h"

namespace quillet {

// The message text for a finished execute request (SRB_Status, SRB_HaStat, SRB_TargStat and, for
// target status 0x02, the first SRB_SenseLen bytes of the sense area, at most the whole area).
std::string ComposeScsiStatusReport(const SrbExecScsiCommand& request);

// Shows the report with the application title, an OK button, no icon and no owner window, and
// returns when the box is closed.
void ReportScsiStatus(MessageBoxService& messages, const SrbExecScsiCommand& request);

}  // namespace quillet
