// The SCSI pass-through request record as the storage stack reads and writes it: the fixed part
// (44 bytes in the 32-bit program) followed by the sense area, in one buffer that is both input
// and output of the request. Byte-packed, little-endian; the data buffer field is a pointer, so
// a 64-bit build has a wider fixed part and the sense area moves with it.
//
// It is what a volume device's SCSI pass-through control carries, so it lives beside that
// service, with its one encoder and decoder: the transport writes records and reads the
// answers; the simulated volumes and the Linux service read records and write the answers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillet {

constexpr uint32_t kIoctlScsiPassThroughDirect = 0x4D014;
constexpr uint32_t kIoctlStorageMcnControl = 0x2D0944;

constexpr uint32_t kPassThroughRecordSize = 300;
// TEST UNIT READY passes only the fixed part in and takes this much back.
constexpr uint32_t kTestUnitReadyOutSize = 2348;
constexpr uint32_t kPassThroughTimeoutSeconds = 30;

constexpr uint8_t kPassThroughDataOut = 0;
constexpr uint8_t kPassThroughDataIn = 1;

#pragma pack(push, 1)

struct PassThroughDirect {
    uint16_t Length;  // size of this fixed part
    uint8_t ScsiStatus;
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t CdbLength;
    uint8_t SenseInfoLength;
    uint8_t DataIn;
    uint8_t Alignment[3];
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;
    void* DataBuffer;
    uint32_t SenseInfoOffset;  // where the sense area starts: right after this fixed part
    uint8_t Cdb[16];
};

// The media change notification switch: 1 turns it off for the device, 0 on again.
struct PreventMediaRemoval {
    uint8_t PreventMediaRemoval;
};

#pragma pack(pop)

constexpr uint32_t kPassThroughFixedSize = sizeof(PassThroughDirect);
// Sense byte 2 (key), 12 (additional sense code) and 13 (its qualifier) within the record.
constexpr uint32_t kRecordSenseKeyOffset = kPassThroughFixedSize + 2;
constexpr uint32_t kRecordSenseCodeOffset = kPassThroughFixedSize + 12;
constexpr uint32_t kRecordSenseQualifierOffset = kPassThroughFixedSize + 13;

static_assert(offsetof(PassThroughDirect, ScsiStatus) == 2, "");
static_assert(offsetof(PassThroughDirect, PathId) == 3, "");
static_assert(offsetof(PassThroughDirect, TargetId) == 4, "");
static_assert(offsetof(PassThroughDirect, Lun) == 5, "");
static_assert(offsetof(PassThroughDirect, CdbLength) == 6, "");
static_assert(offsetof(PassThroughDirect, SenseInfoLength) == 7, "");
static_assert(offsetof(PassThroughDirect, DataIn) == 8, "");
static_assert(offsetof(PassThroughDirect, DataTransferLength) == 12, "");
static_assert(offsetof(PassThroughDirect, TimeOutValue) == 16, "");
static_assert(offsetof(PassThroughDirect, DataBuffer) == 20, "");
static_assert(sizeof(PreventMediaRemoval) == 1, "");

// The layout of the 32-bit program.
static_assert(sizeof(void*) != 4 || sizeof(PassThroughDirect) == 44, "fixed part is 44 bytes");
static_assert(sizeof(void*) != 4 || offsetof(PassThroughDirect, SenseInfoOffset) == 24, "");
static_assert(sizeof(void*) != 4 || offsetof(PassThroughDirect, Cdb) == 28, "");
static_assert(sizeof(void*) != 4 || kRecordSenseKeyOffset == 46, "");
static_assert(sizeof(void*) != 4 || kRecordSenseCodeOffset == 56, "");
static_assert(sizeof(void*) != 4 || kRecordSenseQualifierOffset == 57, "");

// One request as its record describes it.
struct PassThroughFields {
    uint8_t pathId = 0;
    uint8_t targetId = 0;
    uint8_t lun = 0;
    uint8_t cdbLength = 0;
    std::array<uint8_t, 16> cdb{};
    uint8_t dataIn = kPassThroughDataIn;  // kPassThroughDataOut sends the data to the drive
    uint32_t dataLength = 0;
    void* data = nullptr;
    uint32_t timeoutSeconds = 0;
    uint8_t senseLength = 0;
    uint32_t senseOffset = kPassThroughFixedSize;
};

// Writes the fixed part of `fields` at the start of `record` (kPassThroughFixedSize bytes); the
// sense area follows it.
void EncodePassThroughRecord(const PassThroughFields& fields, uint8_t* record);

// Reads a record handed in with `inLength` bytes whose answer may take `outLength`: false when it
// is too short or does not describe itself (its own length, a command of 1 to 16 bytes, a sense
// area after the fixed part that fits the answer, a buffer for any data).
bool DecodePassThroughRecord(const uint8_t* record, uint32_t inLength, uint32_t outLength,
                             PassThroughFields* fields);

// The answer: the drive's status, and how many bytes of data it moved.
uint8_t PassThroughRecordStatus(const uint8_t* record);
void SetPassThroughRecordStatus(uint8_t* record, uint8_t status);
void SetPassThroughRecordTransferred(uint8_t* record, uint32_t length);

}  // namespace quillet
