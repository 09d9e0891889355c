#include "sim/events.h"

namespace quillet::sim {

EventHandle SimulatedEvents::Create() {
    if (createFails_)
        return kNoEvent;
    EventHandle event = next_++;
    signalled_[event] = false;
    return event;
}

bool SimulatedEvents::Signal(EventHandle event) {
    auto found = signalled_.find(event);
    if (found == signalled_.end())
        return false;
    found->second = true;
    return true;
}

WaitOutcome SimulatedEvents::Wait(EventHandle event, uint32_t milliseconds) {
    const uint64_t start = clock_.NowMilliseconds();
    const uint64_t deadline = start + milliseconds;
    WaitOutcome outcome = WaitOutcome::Failed;
    while (!waitFails_) {
        auto found = signalled_.find(event);
        if (found == signalled_.end())
            break;
        if (completions_)
            completions_->CompleteDue();
        if (found->second) {
            found->second = false;  // auto-reset
            outcome = WaitOutcome::Signalled;
            break;
        }
        std::optional<uint64_t> next;
        if (completions_)
            next = completions_->NextCompletionTime();
        const uint64_t now = clock_.NowMilliseconds();
        if (!next || *next > deadline) {
            clock_.Advance(deadline - now);
            outcome = WaitOutcome::TimedOut;
            break;
        }
        // Something finishes within the wait: move to it and look again.
        if (*next > now)
            clock_.Advance(*next - now);
    }
    waits_.push_back(WaitRecord{milliseconds, outcome, clock_.NowMilliseconds() - start});
    return outcome;
}

void SimulatedEvents::Close(EventHandle event) {
    signalled_.erase(event);
}

}  // namespace quillet::sim
