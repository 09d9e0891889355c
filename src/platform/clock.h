// The clock service: every wait of the program goes through it, so tests run long waits on a
// virtual clock without sleeping.
#pragma once

#include <cstdint>

namespace quillet {

class Clock {
public:
    virtual ~Clock() = default;

    // Blocks the calling thread for the given time (the program's fixed waits).
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Milliseconds since an arbitrary start; only differences mean anything.
    virtual uint64_t NowMilliseconds() = 0;
};

// The real clock of the platform the program runs on.
class SystemClock : public Clock {
public:
    void Sleep(uint32_t milliseconds) override;
    uint64_t NowMilliseconds() override;
};

}  // namespace quillet
