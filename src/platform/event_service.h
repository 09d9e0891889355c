// Events for waiting on requests that finish elsewhere: create (auto-reset, unsignalled), signal,
// wait with a limit, close. The ASPI transport waits on one per request; the ASPI layer signals it.
#pragma once

#include <cstdint>

namespace quillet {

// An event of the platform, opaque to the core; 0 is none.
using EventHandle = std::uintptr_t;
constexpr EventHandle kNoEvent = 0;

enum class WaitOutcome : uint8_t { Signalled, TimedOut, Failed };

class EventService {
public:
    virtual ~EventService() = default;

    // An unnamed, auto-reset, initially unsignalled event; kNoEvent when none can be made.
    virtual EventHandle Create() = 0;
    // Signals the event (what the ASPI layer does when it finishes a request with notification).
    virtual bool Signal(EventHandle event) = 0;
    // Waits until the event is signalled (and resets it) or `milliseconds` have passed.
    virtual WaitOutcome Wait(EventHandle event, uint32_t milliseconds) = 0;
    virtual void Close(EventHandle event) = 0;
};

// The platform's events: CreateEventA, SetEvent, WaitForSingleObject and CloseHandle on Windows;
// a mutex and condition variable per event elsewhere.
class SystemEvents : public EventService {
public:
    SystemEvents();
    ~SystemEvents() override;
    SystemEvents(const SystemEvents&) = delete;
    SystemEvents& operator=(const SystemEvents&) = delete;

    EventHandle Create() override;
    bool Signal(EventHandle event) override;
    WaitOutcome Wait(EventHandle event, uint32_t milliseconds) override;
    void Close(EventHandle event) override;

private:
    struct Table;
    Table* table_ = nullptr;  // portable implementation only
};

}  // namespace quillet
