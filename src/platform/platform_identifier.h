// The platform identifier: which family of Windows the program runs on, as the version query
// reports it. It decides the transport: 1 (Windows 95, 98, Me) means ASPI, anything else SCSI
// pass-through.
#pragma once

#include <cstdint>

namespace quillet {

// The identifier of the Windows 9x family (VER_PLATFORM_WIN32_WINDOWS).
constexpr uint32_t kPlatformWindows9x = 1;
// The identifier of the NT family (VER_PLATFORM_WIN32_NT).
constexpr uint32_t kPlatformWindowsNt = 2;

class PlatformIdentifier {
public:
    virtual ~PlatformIdentifier() = default;

    // The platform identifier, asked anew at every call.
    virtual uint32_t PlatformId() = 0;
};

// The platform's answer: GetVersionExA on Windows (so Wine's configured Windows version counts).
// Elsewhere there is no Windows 9x family, and the answer is always kPlatformWindowsNt.
class SystemPlatformIdentifier : public PlatformIdentifier {
public:
    uint32_t PlatformId() override;
};

// A fixed answer that a test sets.
class FixedPlatformIdentifier : public PlatformIdentifier {
public:
    explicit FixedPlatformIdentifier(uint32_t id) : id_(id) {}

    uint32_t PlatformId() override { return id_; }
    void Set(uint32_t id) { id_ = id; }

private:
    uint32_t id_;
};

}  // namespace quillet
