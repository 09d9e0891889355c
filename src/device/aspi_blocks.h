// The ASPI request blocks as the ASPI library reads and writes them: host adapter inquiry,
// execute SCSI command and abort. Byte-packed, little-endian; pointers and handles are 4 bytes
// wide in the 32-bit program, where every offset below is pinned. A 64-bit build (native tests
// over the in-process layer) has wider pointer fields and the offsets after them move.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/scsi.h"

namespace quillet {

// SRB_Cmd
constexpr uint8_t kSrbHostAdapterInquiry = 0x00;
constexpr uint8_t kSrbExecScsiCommand = 0x02;
constexpr uint8_t kSrbAbort = 0x03;

// SRB_Flags of an execute request: the transfer direction, plus event notification.
constexpr uint8_t kSrbDirectionIn = 0x08;
constexpr uint8_t kSrbDirectionOut = 0x10;
constexpr uint8_t kSrbNoTransfer = 0x18;
constexpr uint8_t kSrbDirectionMask = 0x18;
constexpr uint8_t kSrbEventNotify = 0x40;

// SRB_Status values beyond those in scsi.h (pending, completed, aborted, completed with error).
constexpr uint8_t kRequestInvalid = 0x80;
constexpr uint8_t kRequestInvalidAdapter = 0x81;
constexpr uint8_t kRequestNoDevice = 0x82;

// The support information word: status in bits 8..15, adapter count in bits 0..7.
constexpr uint32_t SupportInfoStatus(uint32_t info) {
    return (info >> 8) & 0xFF;
}
constexpr uint32_t SupportInfoAdapterCount(uint32_t info) {
    return info & 0xFF;
}

#pragma pack(push, 1)

// SC_HA_INQUIRY: asks a host adapter about itself; the search needs only its own SCSI id.
struct SrbHostAdapterInquiry {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
    uint8_t HA_Count;
    uint8_t HA_SCSI_ID;
    uint8_t HA_Info[50];  // manager and adapter identifiers, unique parameters, reserved
};

// SC_EXEC_SCSI_CMD: one SCSI command with its data buffer and sense area.
struct SrbExecScsiCommand {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;  // 0x00 while the library works on it
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
    uint8_t SRB_Target;
    uint8_t SRB_Lun;
    uint16_t SRB_Rsvd1;
    uint32_t SRB_BufLen;
    uint8_t* SRB_BufPointer;
    uint8_t SRB_SenseLen;
    uint8_t SRB_CDBLen;
    uint8_t SRB_HaStat;
    uint8_t SRB_TargStat;
    void* SRB_PostProc;  // the event to signal when kSrbEventNotify is set
    uint8_t SRB_Rsvd2[20];
    uint8_t CDBByte[16];
    uint8_t SenseArea[16];
};

// SC_ABORT_SRB: asks the library to give up a request it has not finished.
struct SrbAbort {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
    void* SRB_ToAbort;
};

#pragma pack(pop)

constexpr size_t kSenseAreaSize = sizeof(SrbExecScsiCommand::SenseArea);

// The wire layout of the 32-bit program.
constexpr bool kPinnedLayout = sizeof(void*) == 4;

static_assert(sizeof(SrbHostAdapterInquiry) == 60, "SC_HA_INQUIRY is 60 bytes");
static_assert(offsetof(SrbHostAdapterInquiry, SRB_HaId) == 2, "");
static_assert(offsetof(SrbHostAdapterInquiry, SRB_Hdr_Rsvd) == 4, "");
static_assert(offsetof(SrbHostAdapterInquiry, HA_Count) == 8, "");
static_assert(offsetof(SrbHostAdapterInquiry, HA_SCSI_ID) == 9, "");
static_assert(offsetof(SrbHostAdapterInquiry, HA_Info) == 10, "");

static_assert(!kPinnedLayout || sizeof(SrbExecScsiCommand) == 80, "SC_EXEC_SCSI_CMD is 80 bytes");
static_assert(offsetof(SrbExecScsiCommand, SRB_Status) == 1, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_HaId) == 2, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_Flags) == 3, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_Hdr_Rsvd) == 4, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_Target) == 8, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_Lun) == 9, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_Rsvd1) == 10, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_BufLen) == 12, "");
static_assert(offsetof(SrbExecScsiCommand, SRB_BufPointer) == 16, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SRB_SenseLen) == 20, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SRB_CDBLen) == 21, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SRB_HaStat) == 22, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SRB_TargStat) == 23, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SRB_PostProc) == 24, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SRB_Rsvd2) == 28, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, CDBByte) == 48, "");
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SenseArea) == 64, "");
// The additional sense code the readiness wait looks at.
static_assert(!kPinnedLayout || offsetof(SrbExecScsiCommand, SenseArea) + 12 == 76, "");

static_assert(!kPinnedLayout || sizeof(SrbAbort) == 12, "SC_ABORT_SRB is 12 bytes");
static_assert(offsetof(SrbAbort, SRB_HaId) == 2, "");
static_assert(offsetof(SrbAbort, SRB_ToAbort) == 8, "");

// A zero-filled execute request addressed to one drive (host adapter, target, LUN); the caller
// fills in the command.
inline SrbExecScsiCommand AddressedExecBlock(const DriveAddress& address) {
    SrbExecScsiCommand block{};
    block.SRB_Cmd = kSrbExecScsiCommand;
    block.SRB_HaId = static_cast<uint8_t>(address.hostAdapter);
    block.SRB_Target = static_cast<uint8_t>(address.target);
    block.SRB_Lun = static_cast<uint8_t>(address.lun);
    return block;
}

}  // namespace quillet
