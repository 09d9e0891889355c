// A clock whose waits keep the user interface answering: while a handler holds its dialog, a wait
// is cut into short slices with the window system served between them, so the window repaints
// and answers the system (which would otherwise call it not responding after a few seconds) while
// the held dialog still takes no input. The slices add up to the wait asked for; outside a
// handler a wait is one sleep, as on the clock beneath.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/clock.h"
#include "ui/user_interface.h"

namespace quillet {

class ServingClock : public Clock {
public:
    // The longest the window system waits for an answer during a wait.
    static constexpr uint32_t kServeIntervalMs = 100;

    ServingClock(Clock& clock, UserInterface& ui) : clock_(clock), ui_(ui) {}

    void Sleep(uint32_t milliseconds) override {
        if (!ui_.ServeMessages()) {
            clock_.Sleep(milliseconds);
            return;
        }
        while (milliseconds > 0) {
            const uint32_t slice = std::min(milliseconds, kServeIntervalMs);
            clock_.Sleep(slice);
            milliseconds -= slice;
            ui_.ServeMessages();
        }
    }
    uint64_t NowMilliseconds() override { return clock_.NowMilliseconds(); }

private:
    Clock& clock_;
    UserInterface& ui_;
};

}  // namespace quillet
