// Records shared by both transports: one SCSI command (ScsiRequest), how a drive is reached
// (DriveAddress), what it says it is (DriveIdentity), and the executor both transports implement.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/volume_devices.h"

namespace quillet {

enum class DataDirection : uint8_t { None, In, Out };

// How an ASPI request is waited for; the pass-through side always waits in the storage stack.
enum class Completion : uint8_t {
    EventWait,     // event with a 10 s limit, aborted at the limit
    PollSleeping,  // look at the request status every 1250 ms
    PollBusy,      // look again at once (the firmware transfer)
};

// Operation codes of the commands the program sends.
constexpr uint8_t kOpTestUnitReady = 0x00;
constexpr uint8_t kOpInquiry = 0x12;
constexpr uint8_t kOpStartStopUnit = 0x1B;
constexpr uint8_t kOpWriteBuffer = 0x3B;
constexpr uint8_t kOpReadBuffer = 0x3C;

// Request status (ASPI SRB_Status) and SCSI status values the program looks at.
constexpr uint8_t kRequestPending = 0x00;
constexpr uint8_t kRequestCompleted = 0x01;
constexpr uint8_t kRequestAborted = 0x02;
constexpr uint8_t kRequestError = 0x04;
constexpr uint8_t kHostOk = 0x00;
constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

// Sense bytes the program reads: key at 2, additional sense code at 12, its qualifier at 13.
constexpr size_t kSenseKeyIndex = 2;
constexpr size_t kSenseCodeIndex = 12;
constexpr size_t kSenseQualifierIndex = 13;
constexpr uint8_t kSenseNotReady = 0x02;
constexpr uint8_t kSenseCodeNoMedium = 0x3A;
constexpr size_t kMaxSenseLength = 24;

struct ScsiRequest {
    std::array<uint8_t, 16> cdb{};
    uint8_t cdbLength = 0;
    DataDirection direction = DataDirection::None;
    uint8_t* data = nullptr;  // caller's buffer, not owned
    uint32_t dataLength = 0;
    uint8_t senseLength = 0;                        // 14 or 24, per command and transport
    Completion completion = Completion::EventWait;  // ASPI only
    uint32_t timeoutSeconds = 30;                   // pass-through only

    // Written by the transport.
    uint8_t requestStatus = kRequestPending;
    uint8_t hostStatus = kHostOk;
    uint8_t targetStatus = kStatusGood;
    std::array<uint8_t, kMaxSenseLength> sense{};  // zero-filled when none came back
    bool ioControlSucceeded = false;               // pass-through only
};

struct DriveAddress {
    // ASPI
    int32_t hostAdapter = 0;
    int32_t target = 0;
    int32_t lun = 0;
    // Pass-through: the letter and its open handle; the address bytes are always 0 because the
    // class driver fills in the real address.
    char letter = 0;
    VolumeHandle handle = kInvalidVolumeHandle;
    uint8_t pathId = 0;
    uint8_t targetId = 0;
    uint8_t lunId = 0;
};

struct DriveIdentity {
    std::string vendor;    // up to 8 characters, INQUIRY bytes 8..15
    std::string product;   // up to 16, bytes 16..31
    std::string revision;  // up to 4, bytes 32..35: the drive's firmware version
    std::string text;      // pass-through only: bytes 8..35, at most 28 characters
};

class ScsiTransport {
public:
    virtual ~ScsiTransport() = default;

    // Sends the request and waits as it says. True when the request was carried out (ASPI:
    // submitted and not abandoned; pass-through: the device control call succeeded); the SCSI
    // outcome is in the request's result fields, not in this value.
    virtual bool Execute(const DriveAddress& address, ScsiRequest& request) = 0;
};

}  // namespace quillet
