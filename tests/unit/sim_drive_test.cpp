// The simulated drive as the product tests lean on it: how WRITE BUFFER blocks assemble an
// image and when it counts as complete. Its journal lines and its faults are seen through the
// whole-flow tests, which compare them literally.
#include <gtest/gtest.h>

#include <algorithm>
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

// What the kernel's CD driver asks a drive on its own, answered from the drive's state: the
// bytes it reads (lengths, media status, profile) and the refusals it must be able to tell.
TEST(SimulatedDrive, OperatingSystemCommands) {
    enum class State { Empty, Loaded, TrayOpen };
    struct Row {
        const char* name;
        State state;
        Bytes cdb;
        uint32_t buffer;
        std::string answer;  // GOOD or the sense
        Bytes expected;      // the bytes moved, when GOOD
    };
    const Bytes modeHeader6{0x19, 0, 0, 0};
    // clang-format off
    const Row rows[] = {
        {"vpd page list", State::Empty, {0x12, 0x01, 0x00, 0x00, 0xFF, 0}, 255, "GOOD",
         {0x05, 0x00, 0x00, 0x02, 0x00, 0x80}},
        {"vpd serial number", State::Empty, {0x12, 0x01, 0x80, 0x00, 0xFF, 0}, 255, "GOOD",
         {0x05, 0x80, 0x00, 0x08, 'Q', '0', '0', '0', '0', '0', '0', '1'}},
        {"vpd serial cut by allocation", State::Empty, {0x12, 0x01, 0x80, 0x00, 0x06, 0}, 255,
         "GOOD", {0x05, 0x80, 0x00, 0x08, 'Q', '0'}},
        {"vpd page not kept", State::Empty, {0x12, 0x01, 0x83, 0x00, 0xFF, 0}, 255, "05/24/00", {}},
        {"page code without evpd", State::Empty, {0x12, 0x00, 0x80, 0x00, 0xFF, 0}, 255, "05/24/00", {}},
        {"prevent removal", State::Loaded, {0x1E, 0, 0, 0, 0x01, 0}, 0, "GOOD", {}},
        {"mode sense (6) header", State::Empty, {0x1A, 0x08, 0x2A, 0, 4, 0}, 255, "GOOD", modeHeader6},
        {"mode sense (10) header and page start", State::Empty,
         {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, 10, 0}, 255, "GOOD",
         {0x00, 0x1C, 0, 0, 0, 0, 0, 0, 0x2A, 0x14}},
        {"mode sense other page", State::Empty, {0x1A, 0x08, 0x01, 0, 255, 0}, 255, "05/24/00", {}},
        {"capacity of a loaded disc", State::Loaded, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, "GOOD",
         {0, 0, 0x07, 0xFF, 0, 0, 0x08, 0x00}},
        {"capacity without disc", State::Empty, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, "02/3A/01", {}},
        {"capacity tray open", State::TrayOpen, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, "02/3A/02", {}},
        {"profile without disc", State::Empty, {0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 255, "GOOD",
         {0, 0, 0, 4, 0, 0, 0, 0}},
        {"profile of a loaded disc", State::Loaded, {0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, 255, "GOOD",
         {0, 0, 0, 4, 0, 0, 0, 0x0A}},
        {"media event, empty", State::Empty, {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}, 255, "GOOD",
         {0, 6, 4, 0x10, 0, 0x00, 0, 0}},
        {"media event, loaded", State::Loaded, {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}, 255, "GOOD",
         {0, 6, 4, 0x10, 0, 0x02, 0, 0}},
        {"media event, tray open", State::TrayOpen, {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}, 255,
         "GOOD", {0, 6, 4, 0x10, 0, 0x01, 0, 0}},
        {"event of another class", State::Empty, {0x4A, 0x01, 0, 0, 0x40, 0, 0, 0, 8, 0}, 255, "GOOD",
         {0, 2, 0x80, 0x10}},
        {"event not polled", State::Empty, {0x4A, 0x00, 0, 0, 0x10, 0, 0, 0, 8, 0}, 255, "05/24/00", {}},
        {"event cut by the buffer", State::Empty, {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}, 4, "GOOD",
         {0, 6, 4, 0x10}},
        {"event block cut short", State::Empty, {0x4A, 0x01, 0, 0, 0x10, 0}, 255, "05/24/00", {}},
        {"read (10) still unknown", State::Loaded, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 2048, "05/20/00", {}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriveModel model;
        model.discPresent = row.state == State::Loaded;
        model.trayOpen = row.state == State::TrayOpen;
        SimulatedDrive drive(model);
        TargetCommand command;
        std::copy(row.cdb.begin(), row.cdb.end(), command.cdb.begin());
        command.cdbLength = static_cast<uint8_t>(row.cdb.size());
        Bytes buffer(row.buffer, 0xEE);
        command.direction = row.buffer ? Direction::In : Direction::None;
        command.data = row.buffer ? buffer.data() : nullptr;
        command.dataLength = row.buffer;
        const TargetResult result = drive.Execute(command);
        EXPECT_EQ(Answer(result), row.answer);
        EXPECT_EQ(result.transferred, row.expected.size());
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + result.transferred), row.expected);
        if (row.buffer > result.transferred) {
            EXPECT_EQ(buffer[result.transferred], 0xEE) << "bytes past the answer were written";
        }
    }
}

// Polling for events and asking for the capacity must not use up the spin-up that TEST UNIT
// READY reports: the program's disc check still sees "becoming ready" first.
TEST(SimulatedDrive, PollingLeavesSpinUpAlone) {
    DriveModel model;
    model.discPresent = true;
    model.becomingReadyCommands = 1;
    SimulatedDrive drive(model);
    Bytes buffer(8);
    TargetCommand poll;
    poll.cdb = {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0};
    poll.cdbLength = 10;
    poll.direction = Direction::In;
    poll.data = buffer.data();
    poll.dataLength = 8;
    TargetCommand capacity = poll;
    capacity.cdb = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Answer(drive.Execute(poll)), "GOOD");
    EXPECT_EQ(Answer(drive.Execute(capacity)), "GOOD");
    TargetCommand ready;
    ready.cdbLength = 6;
    EXPECT_EQ(Answer(drive.Execute(ready)), "02/04/01");
    EXPECT_EQ(Answer(drive.Execute(ready)), "GOOD");
}

}  // namespace
}  // namespace quillet::sim
