#include <windows.h>

#include "platform/event_service.h"

namespace quillet {

SystemEvents::SystemEvents() = default;
SystemEvents::~SystemEvents() = default;

EventHandle SystemEvents::Create() {
    HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return reinterpret_cast<EventHandle>(event);
}

bool SystemEvents::Signal(EventHandle event) {
    return ::SetEvent(reinterpret_cast<HANDLE>(event)) != FALSE;
}

WaitOutcome SystemEvents::Wait(EventHandle event, uint32_t milliseconds) {
    switch (::WaitForSingleObject(reinterpret_cast<HANDLE>(event), milliseconds)) {
        case WAIT_OBJECT_0:
            return WaitOutcome::Signalled;
        case WAIT_TIMEOUT:
            return WaitOutcome::TimedOut;
        default:
            return WaitOutcome::Failed;
    }
}

void SystemEvents::Close(EventHandle event) {
    if (event != kNoEvent)
        ::CloseHandle(reinterpret_cast<HANDLE>(event));
}

}  // namespace quillet
