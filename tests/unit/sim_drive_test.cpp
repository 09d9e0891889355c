// The simulated drive as the product tests lean on it: how WRITE BUFFER blocks assemble an
// image, when it counts as complete, and where faults strike. The journal lines are compared
// literally by the whole-flow tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/direct_transport.h"
#include "sim/simulated_drive.h"

namespace quillet::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kTestUnitReady{0x00, 0, 0, 0, 0, 0};
const Bytes kReadTag{0x3C, 0x02, 0, 0x00, 0x80, 0x04, 0, 0, 0x08, 0};

TargetResult Send(SimulatedDrive& drive, const Bytes& cdb, Direction direction = Direction::None,
                  uint8_t* data = nullptr, uint32_t dataLength = 0) {
    TargetCommand command;
    std::copy(cdb.begin(), cdb.end(), command.cdb.begin());
    command.cdbLength = static_cast<uint8_t>(cdb.size());
    command.direction = direction;
    command.data = data;
    command.dataLength = dataLength;
    return drive.Execute(command);
}

// "GOOD", "NEVER" or "kk/cc/qq" from the fixed-format sense bytes.
std::string Answer(const TargetResult& result) {
    if (result.outcome == Outcome::NeverCompletes) {
        return "NEVER";
    }
    if (result.status == 0x00) {
        return "GOOD";
    }
    EXPECT_EQ(result.status, 0x02);
    EXPECT_EQ(result.sense[0], 0x70);
    EXPECT_EQ(result.sense[7], 10);
    char text[16];
    std::snprintf(text, sizeof text, "%02X/%02X/%02X", result.sense[2], result.sense[12],
                  result.sense[13]);
    return text;
}

// Sends a WRITE BUFFER block of `length` bytes that differ per offset; adds them to `sent`.
TargetResult Write(SimulatedDrive& drive, uint32_t offset, uint32_t length, Bytes* sent = nullptr) {
    Bytes block(length);
    for (uint32_t i = 0; i < length; ++i) {
        block[i] = uint8_t((offset + i) * 7);
    }
    if (sent != nullptr) {
        sent->insert(sent->end(), block.begin(), block.end());
    }
    // clang-format off
    const Bytes cdb{0x3B, 0x05, 0, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset),
                    uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0};
    // clang-format on
    return Send(drive, cdb, Direction::Out, length ? block.data() : nullptr, length);
}

TEST(SimulatedDrive, WriteBufferSequence) {
    const uint32_t p = 0x123456;
    struct Step {
        uint32_t offset, length;
        bool good;
    };
    struct Row {
        const char* name;
        uint32_t productCode;  // only the low 24 bits are an offset
        std::vector<Step> steps;
        bool complete;
    };
    // clang-format off
    const Row rows[] = {
        {"blocks and the closing command", 0xAB000000 | p,
         {{p, 16384, true}, {p + 16384, 16384, true}, {p + 32768, 8192, true}, {p + 40960, 0, true}}, true},
        {"wrong start", p, {{p + 1, 16, false}, {p - 16, 16, false}, {p, 16, true}}, false},
        {"closing at the wrong offset", p, {{p, 16, true}, {p + 32, 0, false}}, false},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriveModel model;
        model.productCode = row.productCode;
        model.discPresent = true;  // the program, not the drive, refuses a loaded disc
        SimulatedDrive drive(model);
        Bytes accepted;
        for (const Step& step : row.steps) {
            Bytes sent;
            const TargetResult result = Write(drive, step.offset, step.length, &sent);
            EXPECT_EQ(Answer(result), step.good ? "GOOD" : "05/24/00") << "offset " << step.offset;
            if (step.good) {
                accepted.insert(accepted.end(), sent.begin(), sent.end());
            }
        }
        EXPECT_EQ(drive.ReceivedImage(), accepted);
        EXPECT_EQ(drive.ImageComplete(), row.complete);
    }
}

TEST(SimulatedDrive, FaultsHitTheirCommandsAndChangeNothing) {
    DriveModel model;
    model.discPresent = true;
    model.becomingReadyCommands = 1;
    SimulatedDrive drive(model);
    drive.AddFault({FaultKind::CheckCondition, 1, std::nullopt, {0x03, 0x11, 0x05}});
    drive.AddFault({FaultKind::CheckCondition, 0, 0x3C, {0x04, 0x44, 0x00}});
    drive.AddFault({FaultKind::NeverCompletes, 4, std::nullopt, {}});
    drive.AddFault({FaultKind::NeverCompletes, 5, 0x12, {}});  // command 5 is no INQUIRY

    Bytes tag(8, 0);
    EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), "03/11/05");
    EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), "02/04/01") << "spin-up not consumed by a fault";
    EXPECT_EQ(Answer(Write(drive, 0, 16)), "GOOD");
    const TargetResult never = Write(drive, 16, 16);
    EXPECT_EQ(Answer(never), "NEVER");
    EXPECT_EQ(never.transferred, 0u);
    EXPECT_EQ(Answer(Write(drive, 16, 16)), "GOOD") << "the lost block can be sent again";
    EXPECT_EQ(Answer(Send(drive, kReadTag, Direction::In, tag.data(), 8)), "04/44/00");
    EXPECT_EQ(Answer(Send(drive, kReadTag, Direction::In, tag.data(), 8)), "04/44/00");
    EXPECT_EQ(tag, Bytes(8, 0));
    EXPECT_EQ(drive.ReceivedImage().size(), 32u);
    ASSERT_EQ(drive.Journal().size(), 7u);
    EXPECT_EQ(drive.Journal()[3].outcome, Outcome::NeverCompletes);
    EXPECT_EQ(drive.Journal()[0].sense.code, 0x11);
}

}  // namespace
}  // namespace quillet::sim
