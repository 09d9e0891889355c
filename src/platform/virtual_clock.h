// A clock whose time moves only when something sleeps on it: waits take no real time and every
// sleep is recorded, so a test can state the exact waits a procedure made.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace quillet {

class VirtualClock : public Clock {
public:
    void Sleep(uint32_t milliseconds) override {
        sleeps_.push_back(milliseconds);
        now_ += milliseconds;
        if (onSleep_)
            onSleep_(milliseconds);
    }
    uint64_t NowMilliseconds() override { return now_; }

    // Moves time without a sleep (something else took time, e.g. a simulated request).
    void Advance(uint64_t milliseconds) { now_ += milliseconds; }
    // Called after every sleep, e.g. to change a simulated drive's state while the program waits.
    void SetOnSleep(std::function<void(uint32_t)> onSleep) { onSleep_ = std::move(onSleep); }

    const std::vector<uint32_t>& Sleeps() const { return sleeps_; }
    uint64_t TotalSlept() const {
        uint64_t total = 0;
        for (uint32_t s : sleeps_)
            total += s;
        return total;
    }

private:
    uint64_t now_ = 0;
    std::vector<uint32_t> sleeps_;
    std::function<void(uint32_t)> onSleep_;
};

}  // namespace quillet
