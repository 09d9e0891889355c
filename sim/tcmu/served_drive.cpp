#include "sim/tcmu/served_drive.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/scsi.h"

namespace quillet::sim {

namespace {

constexpr uint8_t kOpGetEventStatus = 0x4A;

// The kernel does not pass on the direction of a command: it follows from the operation code.
// A command without data is journaled as data in, as the program's pass-through records send it.
Direction DirectionOf(const std::vector<uint8_t>& cdb) {
    return !cdb.empty() && cdb[0] == kOpWriteBuffer ? Direction::Out : Direction::In;
}

}  // namespace

bool IsKernelCommand(const std::vector<uint8_t>& cdb, bool afterKernelEventPoll) {
    if (cdb.empty())
        return false;
    switch (cdb[0]) {
        case kOpTestUnitReady:
            return afterKernelEventPoll;
        case kOpInquiry:
            return cdb.size() > 1 && (cdb[1] & 0x01) != 0;
        case kOpStartStopUnit:
        case kOpReadBuffer:
        case kOpWriteBuffer:
            return false;
        default:
            return true;
    }
}

bool ParseTrigger(const std::string& text, ServedTrigger::Action action, ServedTrigger* trigger) {
    unsigned long nth = 0, ms = 0;
    char opcode[8] = {};
    const int fields = std::sscanf(text.c_str(), "%lu %7s %lu", &nth, opcode, &ms);
    const int needed = action == ServedTrigger::Action::Delay ? 3 : 2;
    if (fields < needed || nth == 0)
        return false;
    *trigger = ServedTrigger();
    trigger->action = action;
    trigger->nth = static_cast<uint32_t>(nth);
    trigger->ms = static_cast<uint32_t>(ms);
    if (std::strcmp(opcode, "*") != 0) {
        char* end = nullptr;
        const unsigned long code = std::strtoul(opcode, &end, 16);
        if (*end != '\0' || code > 0xFF)
            return false;
        trigger->opcode = static_cast<uint8_t>(code);
    }
    return true;
}

ServedDrive::ServedDrive(SimulatedDrive& drive, std::vector<ServedTrigger> triggers,
                         std::function<void(const std::string&)> journal,
                         std::function<void(uint32_t ms)> sleep)
    : drive_(drive),
      triggers_(std::move(triggers)),
      journal_(std::move(journal)),
      sleep_(std::move(sleep)) {}

const ServedTrigger* ServedDrive::TriggerFor(const std::vector<uint8_t>& cdb) {
    ++seenAll_;
    const uint32_t ofCode = cdb.empty() ? 0 : ++seen_[cdb[0]];
    for (const ServedTrigger& trigger : triggers_) {
        const bool codeMatches = !trigger.opcode || (!cdb.empty() && cdb[0] == *trigger.opcode);
        if (codeMatches && trigger.nth == (trigger.opcode ? ofCode : seenAll_))
            return &trigger;
    }
    return nullptr;
}

ServeResult ServedDrive::Serve(TcmuRing& ring, const TcmuCommand& command) {
    const ServedTrigger* trigger = TriggerFor(command.cdb);
    if (trigger != nullptr && trigger->action == ServedTrigger::Action::Exit)
        return ServeResult::ExitNow;
    // The model's own fault, for this command alone, journals it as never completed.
    if (trigger != nullptr && trigger->action == ServedTrigger::Action::Stall) {
        Fault stall;
        stall.kind = FaultKind::NeverCompletes;
        stall.commandNumber = drive_.CommandCount() + 1;
        drive_.AddFault(stall);
    }
    const bool kernel = IsKernelCommand(command.cdb, kernelPolled_);
    // The kernel's media check may send other commands of its own before its TEST UNIT READY.
    if (!kernel || command.cdb[0] == kOpTestUnitReady)
        kernelPolled_ = false;
    else if (command.cdb[0] == kOpGetEventStatus)
        kernelPolled_ = true;

    TargetCommand target;
    target.cdbLength = static_cast<uint8_t>(std::min(command.cdb.size(), target.cdb.size()));
    std::copy(command.cdb.begin(), command.cdb.begin() + target.cdbLength, target.cdb.begin());
    target.direction = DirectionOf(command.cdb);
    std::vector<uint8_t> data = target.direction == Direction::Out
                                    ? ring.Gather(command)
                                    : std::vector<uint8_t>(command.DataLength(), 0);
    target.dataLength = static_cast<uint32_t>(data.size());
    target.data = data.empty() ? nullptr : data.data();
    const TargetResult result = drive_.Execute(target);

    if (!drive_.Journal().empty())
        journal_(FormatJournalEntry(drive_.Journal().back()) + (kernel ? " kernel" : ""));
    if (result.outcome == Outcome::NeverCompletes)
        return ServeResult::Unanswered;
    if (trigger != nullptr && trigger->action == ServedTrigger::Action::Delay)
        sleep_(trigger->ms);

    TcmuAnswer answer;
    answer.status = result.status;
    if (result.status != 0)
        answer.sense.assign(result.sense.begin(), result.sense.end());
    if (target.direction == Direction::In && !data.empty()) {
        // The whole buffer goes back, so that nothing of an earlier command's data is left in
        // it; the read length tells the kernel how much of it the drive moved.
        ring.Scatter(command, data);
        answer.readLength = result.transferred;
        answer.hasReadLength = true;
    }
    ring.Answer(command, answer);
    return ServeResult::Answered;
}

}  // namespace quillet::sim
