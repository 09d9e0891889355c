// Every SCSI command block the program sends, and the command operations of both transports
// written once against ScsiTransport::Execute. The two transports do not send identical requests
// (allocation, sense and direction values differ); each keeps its own column.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/scsi.h"
#include "platform/clock.h"

namespace quillet {

enum class TransportKind : uint8_t { Aspi, PassThrough };

enum class StartStopMode : uint8_t { Eject, Load };

constexpr uint32_t kTagOffset = 0x8004;  // where the drive keeps its firmware tag
constexpr uint32_t kTagLength = 8;
constexpr uint32_t kAspiInquiryLength = 128;  // ASPI INQUIRY and READ BUFFER transfer size
constexpr uint32_t kPassThroughInquiryLength = 1024;
constexpr uint8_t kAspiSenseLength = 14;
constexpr uint8_t kPassThroughSenseLength = 24;
constexpr uint8_t kWriteBufferSenseLength = 14;  // both transports
constexpr uint32_t kMaxBufferField = 0xFFFFFF;   // 24-bit offset and length fields

constexpr uint8_t kWriteBufferCdbLength = 10;

constexpr int kReadyAttempts = 40;
constexpr uint32_t kReadyRetryMs = 625;

// WRITE BUFFER mode 5 (download and save): `length` bytes at buffer offset `offset`, each in a
// 24-bit field. The request builder below and the ASPI download's own request block use it.
std::array<uint8_t, kWriteBufferCdbLength> WriteBufferCdb(uint32_t offset, uint32_t length);

// Request builders: the CDB, direction, lengths and waiting of one command for one transport.
// Data buffers are the caller's; builders never clear them (the operations do where needed).
ScsiRequest TestUnitReadyRequest(TransportKind kind);
ScsiRequest StartStopUnitRequest(TransportKind kind, StartStopMode mode);
ScsiRequest InquiryRequest(TransportKind kind, uint8_t* buffer, uint32_t length);
ScsiRequest ReadBufferRequest(TransportKind kind, uint32_t offset, uint8_t* buffer,
                              uint32_t allocationLength, uint32_t transferLength);
ScsiRequest WriteBufferRequest(TransportKind kind, uint32_t offset, const uint8_t* data,
                               uint32_t length);

// The pass-through no-medium qualifier: the additional sense code qualifier (byte 13 in fixed
// format, 3 in descriptor format) when the sense says NOT READY, medium not present (0x01 tray
// closed, 0x02 tray open); otherwise 0, also for bytes in no known sense format.
uint8_t NoMediumQualifier(const uint8_t* sense, size_t senseLength);

// The identification text of INQUIRY data: from byte 8 up to the first zero byte or the end of
// the data; empty when the data ends before it.
std::string IdentificationText(const uint8_t* data, size_t length);

// Identification from INQUIRY data (bytes 8.. are the identification text).
// ASPI: -1 for another vendor (compared exactly), else the peripheral device type (byte 0 & 0x1F).
int IdentifyAspiInquiry(const uint8_t* data, size_t length, DriveIdentity* identity);
// Pass-through: accepted when byte 0 is 0x05 and the vendor matches without regard to case.
bool IdentifyPassThroughInquiry(const uint8_t* data, size_t length, DriveIdentity* identity);

// Command operations as the ASPI side uses them: results 0 / -1, completion by polling.
class AspiCommands {
public:
    AspiCommands(ScsiTransport& transport, Clock& clock) : transport_(transport), clock_(clock) {}
    AspiCommands(const AspiCommands&) = delete;
    AspiCommands& operator=(const AspiCommands&) = delete;

    // 0 when the request completed without error and the host adapter saw none, else -1.
    // `request`, when given, receives the finished request (its sense bytes).
    int TestUnitReady(const DriveAddress& address, ScsiRequest* request = nullptr);
    int StartStopUnit(const DriveAddress& address, StartStopMode mode);
    // Fills `buffer` (kAspiInquiryLength bytes, cleared first); true when carried out.
    bool Inquiry(const DriveAddress& address, uint8_t* buffer, ScsiRequest* request);
    bool ReadFirmwareTag(const DriveAddress& address, std::string* tag);
    bool WaitUntilReady(const DriveAddress& address);
    // -1 not carried out or another vendor, 0 request failed, else the peripheral device type.
    // `buffer` (kAspiInquiryLength bytes) takes the INQUIRY data; it must outlive a request
    // the library may still complete after it was given up.
    int IdentifyDrive(const DriveAddress& address, uint8_t* buffer, DriveIdentity* identity);

private:
    ScsiTransport& transport_;
    Clock& clock_;
};

// Command operations as the pass-through side uses them: results follow the device control call.
class PassThroughCommands {
public:
    PassThroughCommands(ScsiTransport& transport, Clock& clock)
        : transport_(transport), clock_(clock) {}
    PassThroughCommands(const PassThroughCommands&) = delete;
    PassThroughCommands& operator=(const PassThroughCommands&) = delete;

    // True when the call succeeded and the drive said GOOD; `qualifier` gets the no-medium
    // qualifier (0 when the call failed).
    bool TestUnitReady(const DriveAddress& address, uint8_t* qualifier);
    // Any non-zero eject flag opens the tray; 0 loads.
    bool StartStopUnit(const DriveAddress& address, int ejectFlag);
    bool Inquiry(const DriveAddress& address, uint8_t* buffer, uint32_t length);
    bool ReadBuffer(const DriveAddress& address, uint32_t offset, uint8_t* buffer, uint32_t length);
    bool WriteFirmwareBlock(const DriveAddress& address, uint32_t offset, const uint8_t* data,
                            uint32_t length, ScsiRequest* request = nullptr);
    // True with the tag when the call succeeded; the tag is empty when it failed.
    bool ReadFirmwareTag(const DriveAddress& address, std::string* tag);
    bool WaitUntilReady(const DriveAddress& address);
    bool IdentifyDrive(const DriveAddress& address, DriveIdentity* identity);

private:
    ScsiTransport& transport_;
    Clock& clock_;
};

}  // namespace quillet
