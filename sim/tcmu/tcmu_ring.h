// One TCMU device's shared memory as the kernel's target_core_user lays it out
// (linux/target_core_user.h): a mailbox, a ring of command entries, and the data area their
// iovecs point into. The kernel puts entries in and moves the head; the server takes them, answers
// each into the entry at the tail and moves the tail on. Answers may come in any order (a command
// that never completes stays unanswered while later ones are answered): an answer names its
// command by id, whichever entry it is written into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillet::sim {

// A command taken from the ring, copied out of its entry (the entry is overwritten by answers).
struct TcmuCommand {
    uint16_t id = 0;
    std::vector<uint8_t> cdb;
    struct Piece {
        uint64_t offset = 0;  // into the shared memory
        uint64_t length = 0;
    };
    std::vector<Piece> data;

    uint64_t DataLength() const;
};

struct TcmuAnswer {
    uint8_t status = 0;
    std::vector<uint8_t> sense;  // at most 96 bytes are passed on
    // Data in: how many bytes the drive moved, reported where the kernel takes a read length.
    uint32_t readLength = 0;
    bool hasReadLength = false;
};

class TcmuRing {
public:
    // `memory` is the device's whole mapping, `size` bytes; it must outlive the object. Taking
    // starts at the mailbox's tail: whatever the kernel queued before the server came is served.
    TcmuRing(uint8_t* memory, size_t size);

    // False when the mailbox's version or its offsets do not fit the mapping; nothing else may
    // be called then.
    bool Valid() const { return valid_; }
    // The kernel passes on how many bytes a data-in command really moved.
    bool TakesReadLength() const;

    // The next command the kernel has queued since the last one taken, skipping padding and task
    // management entries; false when there is none. A command whose CDB or data lie outside the
    // mapping is taken with an empty CDB, so that it is answered and the ring goes on.
    bool Take(TcmuCommand* command);
    // Writes the answer to `command` into the entry at the tail and moves the tail past it.
    void Answer(const TcmuCommand& command, const TcmuAnswer& answer);

    // The command's data, gathered from its pieces (data out), and scattered into them (data in;
    // at most the command's length).
    std::vector<uint8_t> Gather(const TcmuCommand& command) const;
    void Scatter(const TcmuCommand& command, const std::vector<uint8_t>& bytes);

private:
    uint32_t Head() const;
    uint32_t Tail() const;
    void SetTail(uint32_t tail);
    uint8_t* Entry(uint32_t at) const;
    bool Inside(uint64_t offset, uint64_t length) const;

    uint8_t* memory_;
    size_t size_;
    bool valid_ = false;
    uint32_t ringOffset_ = 0;
    uint32_t ringSize_ = 0;
    uint32_t taken_ = 0;  // where the next entry to take starts
};

}  // namespace quillet::sim
