// The simulated drive as the product tests lean on it: how WRITE BUFFER blocks assemble an
// image and when it counts as complete. Its journal lines and its faults are seen through the
// whole-flow tests, which compare them literally.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/simulated_drive.h"

namespace quillet::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// "GOOD" or "kk/cc/qq" from the fixed-format sense bytes.
std::string Answer(const TargetResult& result) {
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

// Sends a WRITE BUFFER block of `length` bytes that differ per offset, kept in `sent`.
TargetResult Write(SimulatedDrive& drive, uint32_t offset, uint32_t length, Bytes* sent) {
    sent->resize(length);
    for (uint32_t i = 0; i < length; ++i) {
        (*sent)[i] = uint8_t((offset + i) * 7);
    }
    TargetCommand command;
    // clang-format off
    command.cdb = {0x3B, 0x05, 0, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset),
                   uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0};
    // clang-format on
    command.cdbLength = 10;
    command.direction = Direction::Out;
    command.data = length ? sent->data() : nullptr;
    command.dataLength = length;
    return drive.Execute(command);
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

}  // namespace
}  // namespace quillet::sim
