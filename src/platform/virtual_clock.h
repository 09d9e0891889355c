// A clock whose time moves only when something sleeps on it: waits take no real time and every
// sleep is recorded, so a test can state the exact waits a procedure made. Optionally every
// reading of the time moves it on a little, as a loop that spins on the clock takes time, so
// such a loop reaches its limit without sleeping.
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
    uint64_t NowMilliseconds() override {
        if (perReading_ > 0 && !inReading_) {
            now_ += perReading_;
            if (onReading_) {
                // Readings made by the callback itself cost nothing and call nothing.
                inReading_ = true;
                onReading_();
                inReading_ = false;
            }
        }
        return now_;
    }
    // The time without reading it: never moves it on.
    uint64_t Now() const { return now_; }

    // Moves time without a sleep (something else took time, e.g. a simulated request).
    void Advance(uint64_t milliseconds) { now_ += milliseconds; }
    // Called after every sleep, e.g. to change a simulated drive's state while the program waits.
    void SetOnSleep(std::function<void(uint32_t)> onSleep) { onSleep_ = std::move(onSleep); }
    // Every NowMilliseconds reading moves time on by this much (0, the default: readings are
    // free), then calls the function set by SetOnReading, e.g. to let a simulated request finish.
    void SetTimePerReading(uint32_t milliseconds) { perReading_ = milliseconds; }
    void SetOnReading(std::function<void()> onReading) { onReading_ = std::move(onReading); }

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
    uint32_t perReading_ = 0;
    bool inReading_ = false;
    std::function<void()> onReading_;
};

}  // namespace quillet
