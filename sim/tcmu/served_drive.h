// One simulated drive served to the kernel through a TCMU ring: each command the kernel queues
// goes to the drive, its answer back into the ring, and a line into the drive's journal. The
// kernel's own commands (its CD driver's, at attach, open, close and media polling) are marked
// where the drive can tell them from a program's.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/simulated_drive.h"
#include "sim/tcmu/tcmu_ring.h"

namespace quillet::sim {

// Whether a command is the kernel's own. The program sends only TEST UNIT READY, INQUIRY without
// vital product data, START STOP UNIT, READ BUFFER and WRITE BUFFER; anything else is the
// kernel's, and so is a TEST UNIT READY that follows the kernel's GET EVENT STATUS NOTIFICATION
// with nothing of the program's between: as the kernel opens and closes the CD device its media
// check asks both. Its periodic polling sends GET EVENT STATUS NOTIFICATION alone, so a
// program's TEST UNIT READY right after a poll is taken for the kernel's too.
bool IsKernelCommand(const std::vector<uint8_t>& cdb, bool afterKernelEventPoll);

// What the server does to the n-th command of an operation code (of any code without one),
// counted from 1 over the commands it has served the drive: the configuration's keys Exit, Stall
// and Delay.
struct ServedTrigger {
    enum class Action : uint8_t {
        Exit,   // the server ends as the command arrives, leaving it unanswered
        Stall,  // the drive takes it and never completes it
        Delay,  // the drive answers it after `ms` milliseconds
    };
    Action action = Action::Exit;
    uint32_t nth = 0;
    std::optional<uint8_t> opcode;
    uint32_t ms = 0;
};

// "N OPCODE [MS]": OPCODE hexadecimal or * for any; false when the text is not of that form.
bool ParseTrigger(const std::string& text, ServedTrigger::Action action, ServedTrigger* trigger);

enum class ServeResult : uint8_t {
    Answered,
    Unanswered,  // the drive never completes it: the kernel's time-out ends it
    ExitNow,     // the server must end without answering
};

class ServedDrive {
public:
    // `journal` gets each journal line as the command is answered (or found never to complete);
    // `sleep` waits the delay a setting asks for.
    ServedDrive(SimulatedDrive& drive, std::vector<ServedTrigger> triggers,
                std::function<void(const std::string&)> journal,
                std::function<void(uint32_t ms)> sleep);

    ServeResult Serve(TcmuRing& ring, const TcmuCommand& command);

private:
    SimulatedDrive& drive_;
    const ServedTrigger* TriggerFor(const std::vector<uint8_t>& cdb);

    std::vector<ServedTrigger> triggers_;
    std::array<uint32_t, 256> seen_{};  // commands served, by operation code
    uint32_t seenAll_ = 0;
    std::function<void(const std::string&)> journal_;
    std::function<void(uint32_t)> sleep_;
    bool kernelPolled_ = false;  // the kernel's GET EVENT STATUS NOTIFICATION came last
};

}  // namespace quillet::sim
