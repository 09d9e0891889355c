#include "sim/tcmu/tcmu_ring.h"

#include <algorithm>
#include <cstring>

#include "sim/tcmu/tcmu_abi.h"

namespace quillet::sim {

namespace {

// Entries are read field by field with memcpy: the ring's layout is packed.
template <typename T>
T Read(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T>
void Write(uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

constexpr size_t kMaxCdb = 16;

uint32_t EntryLength(uint32_t lenOp) {
    return lenOp & ~kTcmuOpMask;
}

uint32_t EntryOp(uint32_t lenOp) {
    return lenOp & kTcmuOpMask;
}

}  // namespace

uint64_t TcmuCommand::DataLength() const {
    uint64_t total = 0;
    for (const Piece& piece : data)
        total += piece.length;
    return total;
}

TcmuRing::TcmuRing(uint8_t* memory, size_t size) : memory_(memory), size_(size) {
    if (size_ < kTcmuMailboxSize)
        return;
    ringOffset_ = Read<uint32_t>(memory_ + kTcmuMailboxRingOffset);
    ringSize_ = Read<uint32_t>(memory_ + kTcmuMailboxRingSize);
    valid_ = Read<uint16_t>(memory_ + kTcmuMailboxVersion) == kTcmuMailboxVersionNumber &&
             ringOffset_ >= kTcmuMailboxSize && ringSize_ >= kTcmuRequestIovs &&
             ringOffset_ <= size_ && ringSize_ <= size_ - ringOffset_;
    if (valid_)
        taken_ = Tail() % ringSize_;
}

bool TcmuRing::TakesReadLength() const {
    return (Read<uint16_t>(memory_ + kTcmuMailboxFlags) & kTcmuMailboxTakesReadLength) != 0;
}

uint32_t TcmuRing::Head() const {
    return __atomic_load_n(reinterpret_cast<uint32_t*>(memory_ + kTcmuMailboxHead),
                           __ATOMIC_ACQUIRE) %
           ringSize_;
}

uint32_t TcmuRing::Tail() const {
    return Read<uint32_t>(memory_ + kTcmuMailboxTail) % ringSize_;
}

void TcmuRing::SetTail(uint32_t tail) {
    __atomic_store_n(reinterpret_cast<uint32_t*>(memory_ + kTcmuMailboxTail), tail,
                     __ATOMIC_RELEASE);
}

uint8_t* TcmuRing::Entry(uint32_t at) const {
    return memory_ + ringOffset_ + at;
}

bool TcmuRing::Inside(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
}

bool TcmuRing::Take(TcmuCommand* command) {
    while (taken_ != Head()) {
        const uint8_t* entry = Entry(taken_);
        const uint32_t lenOp = Read<uint32_t>(entry);
        const uint32_t length = EntryLength(lenOp);
        // A length the ring cannot hold would loop forever or run past it: the ring is lost.
        if (length < kTcmuEntryHeaderSize || length > ringSize_ - taken_)
            return false;
        taken_ = (taken_ + length) % ringSize_;
        if (EntryOp(lenOp) != kTcmuOpCommand)
            continue;
        // The answer is written over the entry: one too small for it cannot be the kernel's.
        if (length < kTcmuEntrySize)
            return false;
        *command = TcmuCommand();
        command->id = Read<uint16_t>(entry + kTcmuEntryCommandId);
        const uint32_t iovs = Read<uint32_t>(entry + kTcmuRequestIovCount);
        const uint64_t cdbOffset = Read<uint64_t>(entry + kTcmuRequestCdbOffset);
        if (kTcmuRequestIovs + uint64_t{iovs} * kTcmuIovSize > length)
            return true;  // answered as a command without a CDB
        for (uint32_t i = 0; i < iovs; ++i) {
            const uint8_t* piece = entry + kTcmuRequestIovs + i * kTcmuIovSize;
            TcmuCommand::Piece data;
            data.offset = Read<uint64_t>(piece + 0);
            data.length = Read<uint64_t>(piece + 8);
            if (!Inside(data.offset, data.length)) {
                command->data.clear();
                return true;
            }
            command->data.push_back(data);
        }
        // The CDB's length follows from its group; it lies in the ring, after the entry's iovecs.
        if (Inside(cdbOffset, 1)) {
            const uint8_t opcode = memory_[cdbOffset];
            const size_t cdbLength = opcode < 0x20   ? 6
                                     : opcode < 0x60 ? 10
                                     : opcode < 0xA0 ? 16
                                                     : 12;
            if (Inside(cdbOffset, std::min(cdbLength, kMaxCdb)))
                command->cdb.assign(memory_ + cdbOffset, memory_ + cdbOffset + cdbLength);
        }
        return true;
    }
    return false;
}

void TcmuRing::Answer(const TcmuCommand& command, const TcmuAnswer& answer) {
    uint32_t tail = Tail();
    // Padding and task management entries at the tail are passed over, as the kernel expects.
    while (tail != taken_) {
        const uint32_t lenOp = Read<uint32_t>(Entry(tail));
        if (EntryOp(lenOp) == kTcmuOpCommand)
            break;
        tail = (tail + EntryLength(lenOp)) % ringSize_;
    }
    if (tail == taken_)
        return;  // nothing taken is waiting for its answer
    uint8_t* entry = Entry(tail);
    const uint32_t lenOp = Read<uint32_t>(entry);
    Write<uint16_t>(entry + kTcmuEntryCommandId, command.id);
    uint8_t flags = Read<uint8_t>(entry + kTcmuEntryUserFlags);
    flags &= static_cast<uint8_t>(~(kTcmuUserFlagReadLength | kTcmuUserFlagUnknownOp));
    if (answer.hasReadLength && TakesReadLength()) {
        flags |= kTcmuUserFlagReadLength;
        Write<uint32_t>(entry + kTcmuResponseReadLength, answer.readLength);
    }
    Write<uint8_t>(entry + kTcmuEntryUserFlags, flags);
    Write<uint8_t>(entry + kTcmuResponseStatus, answer.status);
    uint8_t* sense = entry + kTcmuResponseSense;
    std::memset(sense, 0, kTcmuSenseSize);
    std::memcpy(sense, answer.sense.data(), std::min<size_t>(answer.sense.size(), kTcmuSenseSize));
    SetTail((tail + EntryLength(lenOp)) % ringSize_);
}

std::vector<uint8_t> TcmuRing::Gather(const TcmuCommand& command) const {
    std::vector<uint8_t> bytes;
    bytes.reserve(command.DataLength());
    for (const TcmuCommand::Piece& piece : command.data)
        bytes.insert(bytes.end(), memory_ + piece.offset, memory_ + piece.offset + piece.length);
    return bytes;
}

void TcmuRing::Scatter(const TcmuCommand& command, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    for (const TcmuCommand::Piece& piece : command.data) {
        if (done >= bytes.size())
            break;
        const size_t count = std::min<size_t>(piece.length, bytes.size() - done);
        std::memcpy(memory_ + piece.offset, bytes.data() + done, count);
        done += count;
    }
}

}  // namespace quillet::sim
