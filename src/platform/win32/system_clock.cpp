#include <windows.h>

#include "platform/clock.h"

namespace quillet {

void SystemClock::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

uint64_t SystemClock::NowMilliseconds() {
    // GetTickCount wraps after 49 days; widen it so differences stay right across one wrap.
    static DWORD last = 0;
    static uint64_t high = 0;
    DWORD now = ::GetTickCount();
    if (now < last)
        high += 0x100000000ULL;
    last = now;
    return high + now;
}

}  // namespace quillet
