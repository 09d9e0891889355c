// The layout of target_core_user's shared memory (linux/target_core_user.h, mailbox version 2),
// as offsets: the kernel's header does not compile as C++. tcmu_abi_check.c holds each number
// against the header at build time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::sim {

constexpr uint16_t kTcmuMailboxVersionNumber = 2;
constexpr size_t kTcmuMailboxVersion = 0;     // u16
constexpr size_t kTcmuMailboxFlags = 2;       // u16
constexpr size_t kTcmuMailboxRingOffset = 4;  // u32 cmdr_off
constexpr size_t kTcmuMailboxRingSize = 8;    // u32 cmdr_size
constexpr size_t kTcmuMailboxHead = 12;       // u32 cmd_head, moved by the kernel
constexpr size_t kTcmuMailboxTail = 64;       // u32 cmd_tail, moved by the server
constexpr size_t kTcmuMailboxSize = 128;
constexpr uint16_t kTcmuMailboxTakesReadLength = 1 << 1;

constexpr uint32_t kTcmuOpMask = 0x7;  // low bits of len_op; the rest is the entry's length
constexpr uint32_t kTcmuOpPad = 0;
constexpr uint32_t kTcmuOpCommand = 1;

constexpr size_t kTcmuEntryHeaderSize = 8;
constexpr size_t kTcmuEntryCommandId = 4;  // u16
constexpr size_t kTcmuEntryUserFlags = 7;  // u8
constexpr uint8_t kTcmuUserFlagUnknownOp = 0x1;
constexpr uint8_t kTcmuUserFlagReadLength = 0x2;

constexpr size_t kTcmuRequestIovCount = 8;    // u32
constexpr size_t kTcmuRequestCdbOffset = 24;  // u64, into the shared memory
constexpr size_t kTcmuRequestIovs = 48;       // struct iovec[]: base (an offset), length
constexpr size_t kTcmuIovSize = 16;

constexpr size_t kTcmuResponseStatus = 8;       // u8
constexpr size_t kTcmuResponseReadLength = 12;  // u32
constexpr size_t kTcmuResponseSense = 16;
constexpr size_t kTcmuSenseSize = 96;
constexpr size_t kTcmuEntrySize = 112;  // the smallest command entry: room for the answer

}  // namespace quillet::sim
