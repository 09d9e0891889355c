// The TCMU ring as the kernel fills it: entries laid out by hand in a buffer shaped like the
// device's mapping (mailbox, ring, data area), taken and answered by the server's code, and the
// answers read back where the kernel reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sim/tcmu/served_drive.h"
#include "sim/tcmu/tcmu_abi.h"
#include "sim/tcmu/tcmu_ring.h"

namespace quillet::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kRingOffset = 128;
constexpr uint32_t kRingSize = 1024;
constexpr uint32_t kDataOffset = kRingOffset + kRingSize;
constexpr uint32_t kMapSize = kDataOffset + 65536;

// The kernel's side: puts entries in and reads answers out.
class FakeKernel {
public:
    FakeKernel() : memory(kMapSize, 0) {
        Put16(kTcmuMailboxVersion, kTcmuMailboxVersionNumber);
        Put16(kTcmuMailboxFlags, kTcmuMailboxTakesReadLength);
        Put32(kTcmuMailboxRingOffset, kRingOffset);
        Put32(kTcmuMailboxRingSize, kRingSize);
    }

    // A command entry at the head, its CDB right after its iovecs, the data pieces given as
    // offsets into the mapping. Returns where the entry starts in the ring.
    uint32_t Queue(uint16_t id, const Bytes& cdb,
                   const std::vector<std::pair<uint32_t, uint32_t>>& data) {
        const uint32_t at = head;
        const uint32_t iovEnd = kTcmuRequestIovs + uint32_t(data.size()) * kTcmuIovSize;
        // As the kernel sizes it: room for an answer at least, then the CDB, 8-byte aligned.
        const uint32_t base = std::max<uint32_t>(iovEnd, kTcmuEntrySize);
        const uint32_t length = (base + uint32_t(cdb.size()) + 7) & ~7u;
        uint8_t* entry = Entry(at);
        Put32(kRingOffset + at, length | kTcmuOpCommand);
        std::memcpy(entry + kTcmuEntryCommandId, &id, 2);
        const uint32_t count = uint32_t(data.size());
        std::memcpy(entry + kTcmuRequestIovCount, &count, 4);
        const uint64_t cdbOffset = kRingOffset + at + base;
        std::memcpy(entry + kTcmuRequestCdbOffset, &cdbOffset, 8);
        for (size_t i = 0; i < data.size(); ++i) {
            const uint64_t base = data[i].first, len = data[i].second;
            std::memcpy(entry + kTcmuRequestIovs + i * kTcmuIovSize, &base, 8);
            std::memcpy(entry + kTcmuRequestIovs + i * kTcmuIovSize + 8, &len, 8);
        }
        std::memcpy(memory.data() + cdbOffset, cdb.data(), cdb.size());
        Advance(length);
        return at;
    }
    // Padding to the ring's end, as the kernel puts in when an entry would not fit.
    void Pad() {
        const uint32_t length = kRingSize - head;
        Put32(kRingOffset + head, length | kTcmuOpPad);
        Advance(length);
    }
    uint32_t Tail() const { return Get32(kTcmuMailboxTail); }
    uint16_t AnsweredId(uint32_t at) const {
        uint16_t id;
        std::memcpy(&id, memory.data() + kRingOffset + at + kTcmuEntryCommandId, 2);
        return id;
    }
    uint8_t Status(uint32_t at) const { return memory[kRingOffset + at + kTcmuResponseStatus]; }
    uint8_t Flags(uint32_t at) const { return memory[kRingOffset + at + kTcmuEntryUserFlags]; }
    uint32_t ReadLength(uint32_t at) const {
        return Get32(kRingOffset + at + kTcmuResponseReadLength);
    }
    uint8_t SenseByte(uint32_t at, size_t i) const {
        return memory[kRingOffset + at + kTcmuResponseSense + i];
    }

    Bytes memory;
    uint32_t head = 0;

private:
    uint8_t* Entry(uint32_t at) { return memory.data() + kRingOffset + at; }
    void Advance(uint32_t length) {
        head = (head + length) % kRingSize;
        Put32(kTcmuMailboxHead, head);
    }
    void Put16(size_t at, uint16_t v) { std::memcpy(memory.data() + at, &v, 2); }
    void Put32(size_t at, uint32_t v) { std::memcpy(memory.data() + at, &v, 4); }
    uint32_t Get32(size_t at) const {
        uint32_t v;
        std::memcpy(&v, memory.data() + at, 4);
        return v;
    }
};

const Bytes kInquiry{0x12, 0, 0, 0, 0x24, 0};
const Bytes kTestUnitReady{0, 0, 0, 0, 0, 0};

TEST(TcmuRing, RejectsAMappingItCannotRead) {
    struct Row {
        const char* name;
        size_t at;
        uint32_t value;
        size_t size;
    };
    const Row rows[] = {
        {"another mailbox version", kTcmuMailboxVersion, 3, kMapSize},
        {"ring past the mapping", kTcmuMailboxRingSize, kMapSize, kMapSize},
        {"ring inside the mailbox", kTcmuMailboxRingOffset, 16, kMapSize},
        {"mapping smaller than a mailbox", 0, 2, 64},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeKernel kernel;
        const uint16_t value16 = uint16_t(row.value);
        if (row.at == kTcmuMailboxVersion)
            std::memcpy(kernel.memory.data() + row.at, &value16, 2);
        else
            std::memcpy(kernel.memory.data() + row.at, &row.value, 4);
        EXPECT_FALSE(TcmuRing(kernel.memory.data(), row.size).Valid());
    }
    FakeKernel kernel;
    EXPECT_TRUE(TcmuRing(kernel.memory.data(), kMapSize).Valid());
}

// A data-in command answered by the drive: its data in the pieces, the rest of the buffer
// cleared, the read length and GOOD in the entry, the tail past it.
TEST(TcmuRing, DataInAnsweredInPlace) {
    FakeKernel kernel;
    std::memset(kernel.memory.data() + kDataOffset, 0xEE, 4096);  // an earlier command's data
    const uint32_t at = kernel.Queue(7, kInquiry, {{kDataOffset, 20}, {kDataOffset + 4096, 108}});
    TcmuRing ring(kernel.memory.data(), kMapSize);
    SimulatedDrive drive;
    std::vector<std::string> journal;
    ServedDrive served(
        drive, {}, [&](const std::string& line) { journal.push_back(line); }, [](uint32_t) {});
    TcmuCommand command;
    ASSERT_TRUE(ring.Take(&command));
    EXPECT_EQ(command.id, 7);
    EXPECT_EQ(command.cdb, kInquiry);
    EXPECT_EQ(command.DataLength(), 128u);
    EXPECT_EQ(served.Serve(ring, command), ServeResult::Answered);
    EXPECT_FALSE(ring.Take(&command));

    EXPECT_EQ(kernel.Tail(), kernel.head);
    EXPECT_EQ(kernel.AnsweredId(at), 7);
    EXPECT_EQ(kernel.Status(at), 0);
    EXPECT_EQ(kernel.Flags(at) & kTcmuUserFlagReadLength, kTcmuUserFlagReadLength);
    EXPECT_EQ(kernel.ReadLength(at), 36u);
    // Bytes 0..19 in the first piece, 20..35 at the start of the second, zeros after them.
    EXPECT_EQ(std::string(reinterpret_cast<char*>(kernel.memory.data()) + kDataOffset + 8, 8),
              "KORVIN  ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(kernel.memory.data()) + kDataOffset + 4096, 12),
              "-8432       ");
    EXPECT_EQ(kernel.memory[kDataOffset + 4096 + 16], 0) << "stale data left past the answer";
    EXPECT_EQ(kernel.memory[kDataOffset + 20], 0xEE) << "written outside the pieces";
    EXPECT_EQ(journal, std::vector<std::string>{"1 12 00 00 00 24 00 in 128 GOOD"});
}

// A WRITE BUFFER block gathered from two pieces reaches the drive whole; a refusal carries the
// drive's sense.
TEST(TcmuRing, DataOutGatheredAndSenseReturned) {
    FakeKernel kernel;
    for (uint32_t i = 0; i < 16; ++i)
        kernel.memory[kDataOffset + (i < 8 ? i : 4096 + i - 8)] = uint8_t(i + 1);
    const Bytes block{0x3B, 0x05, 0, 0x12, 0x34, 0x56, 0, 0, 16, 0};
    const uint32_t first = kernel.Queue(1, block, {{kDataOffset, 8}, {kDataOffset + 4096, 8}});
    const uint32_t second = kernel.Queue(2, block, {{kDataOffset, 8}, {kDataOffset + 4096, 8}});
    TcmuRing ring(kernel.memory.data(), kMapSize);
    DriveModel model;
    model.productCode = 0x123456;
    SimulatedDrive drive(model);
    ServedDrive served(
        drive, {}, [](const std::string&) {}, [](uint32_t) {});
    TcmuCommand command;
    while (ring.Take(&command))
        served.Serve(ring, command);
    Bytes expected(16);
    for (uint32_t i = 0; i < 16; ++i)
        expected[i] = uint8_t(i + 1);
    EXPECT_EQ(drive.ReceivedImage(), expected);
    EXPECT_EQ(kernel.Status(first), 0);
    EXPECT_EQ(kernel.Flags(first) & kTcmuUserFlagReadLength, 0) << "read length on data out";
    // The same offset again is refused: CHECK CONDITION, fixed sense 05/24/00.
    EXPECT_EQ(kernel.Status(second), 0x02);
    EXPECT_EQ(kernel.SenseByte(second, 0), 0x70);
    EXPECT_EQ(kernel.SenseByte(second, 2), 0x05);
    EXPECT_EQ(kernel.SenseByte(second, 12), 0x24);
    EXPECT_EQ(kernel.Tail(), kernel.head);
}

// A command the drive never completes stays unanswered; those after it are answered into the
// entries at the tail under their own ids, past the padding at the ring's end.
TEST(TcmuRing, LaterCommandsPassOneThatNeverCompletes) {
    FakeKernel kernel;
    // Fill the ring to near its end so that the padding comes between the commands.
    while (kernel.head < kRingSize - 200)
        kernel.Queue(90, kTestUnitReady, {});
    TcmuRing ring(kernel.memory.data(), kMapSize);
    std::vector<std::string> journal;
    SimulatedDrive drive;
    ServedDrive served(
        drive, {}, [&](const std::string& line) { journal.push_back(line); }, [](uint32_t) {});
    TcmuCommand command;
    while (ring.Take(&command))
        served.Serve(ring, command);
    ASSERT_EQ(kernel.Tail(), kernel.head);
    journal.clear();

    std::vector<ServedTrigger> stall(1);
    ASSERT_TRUE(ParseTrigger("1 12", ServedTrigger::Action::Stall, &stall[0]));
    SimulatedDrive drive2;
    ServedDrive served2(
        drive2, stall, [&](const std::string& line) { journal.push_back(line); }, [](uint32_t) {});
    const uint32_t stalledAt = kernel.Queue(10, kInquiry, {{kDataOffset, 36}});
    kernel.Pad();
    kernel.Queue(11, kTestUnitReady, {});
    kernel.Queue(12, kTestUnitReady, {});
    std::vector<ServeResult> results;
    while (ring.Take(&command))
        results.push_back(served2.Serve(ring, command));
    EXPECT_EQ(results, (std::vector<ServeResult>{ServeResult::Unanswered, ServeResult::Answered,
                                                 ServeResult::Answered}));
    // The stalled command's entry took the first answer, the padding the kernel passes itself.
    EXPECT_EQ(kernel.AnsweredId(stalledAt), 11);
    EXPECT_EQ(kernel.AnsweredId(0), 12);
    EXPECT_NE(kernel.Tail(), kernel.head) << "one entry stays for the command never answered";
    EXPECT_EQ(journal.front(), "1 12 00 00 00 24 00 in 36 NEVER");
}

TEST(TcmuRing, TriggersCountByOperationCode) {
    struct Row {
        const char* text;
        ServedTrigger::Action action;
        bool parses;
        std::vector<Bytes> commands;
        int hitAt;  // index of the command the trigger hits, -1 none
    };
    const Bytes wb{0x3B, 0x05, 0, 0, 0, 0, 0, 0, 0, 0};
    // clang-format off
    const Row rows[] = {
        {"2 3B", ServedTrigger::Action::Exit, true, {kTestUnitReady, wb, kTestUnitReady, wb}, 3},
        {"3 *", ServedTrigger::Action::Stall, true, {kTestUnitReady, wb, kTestUnitReady, wb}, 2},
        {"1 3b 250", ServedTrigger::Action::Delay, true, {kTestUnitReady, wb}, 1},
        {"1 3B", ServedTrigger::Action::Delay, false, {}, -1},
        {"0 3B", ServedTrigger::Action::Exit, false, {}, -1},
        {"2 3G", ServedTrigger::Action::Exit, false, {}, -1},
        {"", ServedTrigger::Action::Exit, false, {}, -1},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        ServedTrigger trigger;
        ASSERT_EQ(ParseTrigger(row.text, row.action, &trigger), row.parses);
        if (!row.parses)
            continue;
        FakeKernel kernel;
        for (size_t i = 0; i < row.commands.size(); ++i)
            kernel.Queue(uint16_t(i), row.commands[i], {});
        TcmuRing ring(kernel.memory.data(), kMapSize);
        SimulatedDrive drive;
        std::vector<uint32_t> slept;
        ServedDrive served(
            drive, {trigger}, [](const std::string&) {}, [&](uint32_t ms) { slept.push_back(ms); });
        TcmuCommand command;
        int hit = -1;
        for (int i = 0; ring.Take(&command); ++i) {
            const ServeResult result = served.Serve(ring, command);
            if (result == ServeResult::ExitNow || result == ServeResult::Unanswered ||
                (row.action == ServedTrigger::Action::Delay && !slept.empty() && hit < 0))
                hit = i;
            if (result == ServeResult::ExitNow)
                break;
        }
        EXPECT_EQ(hit, row.hitAt);
        if (row.action == ServedTrigger::Action::Delay) {
            EXPECT_EQ(slept, std::vector<uint32_t>{250});
        }
    }
}

TEST(TcmuRing, KernelCommandsMarked) {
    struct Row {
        const char* name;
        std::vector<Bytes> commands;
        std::vector<bool> kernel;
    };
    const Bytes gesn{0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0};
    const Bytes prevent{0x1E, 0, 0, 0, 0, 0};
    const Bytes vpd{0x12, 0x01, 0x80, 0, 0xFF, 0};
    const Bytes readBuffer{0x3C, 0x02, 0, 0, 0x80, 0x04, 0, 0, 8, 0};
    // clang-format off
    const Row rows[] = {
        {"open: event, then its unit check", {gesn, kTestUnitReady, kTestUnitReady}, {true, true, false}},
        {"close: event, removal, unit check", {gesn, prevent, kTestUnitReady}, {true, true, true}},
        {"program between", {gesn, readBuffer, kTestUnitReady}, {true, false, false}},
        {"vital product data", {vpd, kInquiry}, {true, false}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeKernel kernel;
        for (size_t i = 0; i < row.commands.size(); ++i)
            kernel.Queue(uint16_t(i), row.commands[i], {{kDataOffset, 8}});
        TcmuRing ring(kernel.memory.data(), kMapSize);
        SimulatedDrive drive;
        std::vector<bool> marked;
        ServedDrive served(
            drive, {},
            [&](const std::string& line) {
                marked.push_back(line.size() > 7 && line.substr(line.size() - 7) == " kernel");
            },
            [](uint32_t) {});
        TcmuCommand command;
        while (ring.Take(&command))
            served.Serve(ring, command);
        EXPECT_EQ(marked, row.kernel);
    }
}

}  // namespace
}  // namespace quillet::sim
