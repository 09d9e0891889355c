// Events on a virtual clock: waiting takes no real time. A wait asks the simulated layer it
// follows when its next request finishes; time moves to then, or to the end of the wait.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "platform/event_service.h"
#include "platform/virtual_clock.h"

namespace quillet::sim {

// Something that finishes requests at set times of the clock (the simulated ASPI layer).
class TimedCompletions {
public:
    virtual ~TimedCompletions() = default;
    // The time of the next request it will finish, if any will.
    virtual std::optional<uint64_t> NextCompletionTime() const = 0;
    // Finishes every request whose time has come.
    virtual void CompleteDue() = 0;
};

class SimulatedEvents : public EventService {
public:
    struct WaitRecord {
        uint32_t limit = 0;
        WaitOutcome outcome = WaitOutcome::Failed;
        uint64_t waited = 0;  // virtual milliseconds
    };

    explicit SimulatedEvents(VirtualClock& clock) : clock_(clock) {}

    // The layer whose completions signal the events; waits let its time run.
    void Follow(TimedCompletions& completions) { completions_ = &completions; }
    // Makes Create fail from now on (true) or work again.
    void SetCreateFails(bool fails) { createFails_ = fails; }
    // Makes Wait fail at once (true) or work again.
    void SetWaitFails(bool fails) { waitFails_ = fails; }

    EventHandle Create() override;
    bool Signal(EventHandle event) override;
    WaitOutcome Wait(EventHandle event, uint32_t milliseconds) override;
    void Close(EventHandle event) override;

    const std::vector<WaitRecord>& Waits() const { return waits_; }
    // Events created and not closed.
    size_t OpenCount() const { return signalled_.size(); }

private:
    VirtualClock& clock_;
    TimedCompletions* completions_ = nullptr;
    bool createFails_ = false;
    bool waitFails_ = false;
    EventHandle next_ = 1;
    std::map<EventHandle, bool> signalled_;
    std::vector<WaitRecord> waits_;
};

}  // namespace quillet::sim
