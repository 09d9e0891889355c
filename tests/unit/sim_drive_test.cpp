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
const Bytes kLoad{0x1B, 0, 0, 0, 0x03, 0};
const Bytes kEject{0x1B, 0, 0, 0, 0x02, 0};
const Bytes kInquiry{0x12, 0, 0, 0, 0x80, 0};
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

Bytes WriteBufferCdb(uint32_t offset, uint32_t length, uint8_t mode = 0x05) {
    // clang-format off
    return {0x3B, mode, 0, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset),
            uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0};
    // clang-format on
}

// Sends a WRITE BUFFER block of `length` bytes that differ per offset; adds them to `sent`.
TargetResult Write(SimulatedDrive& drive, uint32_t offset, uint32_t length, Bytes* sent = nullptr,
                   uint8_t mode = 0x05) {
    Bytes block(length);
    for (uint32_t i = 0; i < length; ++i) {
        block[i] = uint8_t((offset + i) * 7);
    }
    if (sent != nullptr) {
        sent->insert(sent->end(), block.begin(), block.end());
    }
    return Send(drive, WriteBufferCdb(offset, length, mode), Direction::Out,
                length ? block.data() : nullptr, length);
}

TEST(SimulatedDrive, ReadinessFollowsTrayDiscAndSpinUp) {
    struct Row {
        const char* name;
        bool trayOpen, loadClosesTray;
        Bytes first;  // a START STOP UNIT, or nothing
        bool trayOpenAfter;
        std::vector<std::string> ready;  // TEST UNIT READY answers afterwards
    };
    // clang-format off
    const Row rows[] = {
        {"open tray", true, true, {}, true, {"02/3A/02", "02/3A/02"}},
        {"spins up first", false, true, {}, false, {"02/04/01", "02/04/01", "GOOD"}},
        {"load closes and spins up", true, true, kLoad, false, {"02/04/01", "02/04/01", "GOOD"}},
        {"load leaves a stuck tray open", true, false, kLoad, true, {"02/3A/02"}},
        {"eject opens", false, true, kEject, true, {"02/3A/02"}},
        {"byte 4 zero does nothing", true, true, {0x1B, 0, 0, 0, 0x00, 0}, true, {"02/3A/02"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriveModel model;
        model.trayOpen = row.trayOpen;
        model.discPresent = true;
        model.loadClosesTray = row.loadClosesTray;
        model.becomingReadyCommands = 2;
        SimulatedDrive drive(model);
        if (!row.first.empty()) {
            EXPECT_EQ(Answer(Send(drive, row.first)), "GOOD");
        }
        EXPECT_EQ(drive.TrayOpen(), row.trayOpenAfter);
        for (const std::string& expected : row.ready) {
            EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), expected);
        }
    }
}

TEST(SimulatedDrive, OnlyANewlyLoadedDiscSpinsUp) {
    DriveModel model;
    model.becomingReadyCommands = 1;
    SimulatedDrive drive(model);
    EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), "02/3A/01");
    drive.SetDiscPresent(true);
    EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), "02/04/01");
    EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), "GOOD");
    Send(drive, kLoad);
    EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), "GOOD");
    drive.SetTrayOpen(true);
    Send(drive, kLoad);
    EXPECT_EQ(Answer(Send(drive, kTestUnitReady)), "02/04/01");
}

TEST(SimulatedDrive, InquiryAnswersAndTruncates) {
    // The drive pads the short vendor and cuts the long product.
    const std::string standard =
        std::string("\x05\x80\x02\x02\x1F\0\0\0", 8) + "KORVIN  CDRW-8432-PLUS-X1.0q";
    const Bytes custom{0x25, 0, 2, 2, 7, 0, 0, 0, 'K', 0, 'X'};
    struct Row {
        const char* name;
        Bytes cdb;
        bool customData;
        Direction direction;
        uint32_t dataLength;
        std::string expected;  // the bytes transferred
    };
    // clang-format off
    const Row rows[] = {
        {"standard answer", kInquiry, false, Direction::In, 128, standard},
        {"allocation shorter", {0x12, 0, 0, 0, 10, 0}, false, Direction::In, 128, standard.substr(0, 10)},
        {"buffer shorter", {0x12, 0, 0, 0, 0xFF, 0}, false, Direction::In, 5, standard.substr(0, 5)},
        {"allocation in bytes 3..4", {0x12, 0, 0, 1, 0, 0}, false, Direction::In, 1024, standard},
        {"set data answered as is", kInquiry, true, Direction::In, 128, {custom.begin(), custom.end()}},
        {"no data-in buffer", kInquiry, false, Direction::Out, 128, ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriveModel model;
        model.vendor = "KORVIN";
        model.product = "CDRW-8432-PLUS-XYZ";
        if (row.customData) {
            model.inquiryData = custom;
        }
        SimulatedDrive drive(model);
        Bytes buffer(1024, 0xEE);
        const TargetResult result =
            Send(drive, row.cdb, row.direction, buffer.data(), row.dataLength);
        EXPECT_EQ(Answer(result), "GOOD");
        ASSERT_EQ(result.transferred, row.expected.size());
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + result.transferred), row.expected);
        EXPECT_EQ(buffer[result.transferred], 0xEE) << "bytes past the answer must stay untouched";
    }
}

TEST(SimulatedDrive, ReadBufferServesTheTagAndRefusesBadRanges) {
    const std::string tag = "MTX5160E", zero2(2, '\0');
    struct Row {
        const char* name;
        Bytes cdb;
        uint32_t dataLength;
        std::string answer;
        std::string data;  // the bytes transferred
    };
    // clang-format off
    const Row rows[] = {
        {"tag", kReadTag, 8, "GOOD", tag},
        {"around the tag", {0x3C, 2, 0, 0, 0x80, 0x02, 0, 0, 12, 0}, 12, "GOOD", zero2 + tag + zero2},
        {"buffer shorter than allocation", kReadTag, 3, "GOOD", tag.substr(0, 3)},
        {"last byte of the buffer", {0x3C, 2, 0, 0, 0xFF, 0xFF, 0, 0, 1, 0}, 1, "GOOD", {'\0'}},
        {"past the buffer", {0x3C, 2, 0, 0, 0xFF, 0xFC, 0, 0, 8, 0}, 8, "05/24/00", ""},
        {"offset past the buffer", {0x3C, 2, 0, 0x01, 0, 0, 0, 0, 0, 0}, 0, "05/24/00", ""},
        {"descriptor mode", {0x3C, 3, 0, 0, 0x80, 0x04, 0, 0, 8, 0}, 8, "05/24/00", ""},
        {"buffer id 1", {0x3C, 2, 1, 0, 0x80, 0x04, 0, 0, 8, 0}, 8, "05/24/00", ""},
        {"unknown opcode", {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, "05/20/00", ""},
        {"no command block", {}, 8, "05/20/00", ""},
        {"10-byte command in 6 bytes", {0x3C, 2, 0, 0, 0x80, 0x04}, 8, "05/24/00", ""},
        {"vital product data", {0x12, 0x01, 0x00, 0, 0x80, 0}, 8, "05/24/00", ""},
        {"page code without EVPD", {0x12, 0x00, 0x80, 0, 0x80, 0}, 8, "05/24/00", ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedDrive drive;
        Bytes buffer(16, 0xEE);
        const TargetResult result =
            Send(drive, row.cdb, Direction::In, buffer.data(), row.dataLength);
        EXPECT_EQ(Answer(result), row.answer);
        ASSERT_EQ(result.transferred, row.data.size());
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + result.transferred), row.data);
        EXPECT_EQ(buffer[result.transferred], 0xEE);
    }
}

TEST(SimulatedDrive, WriteBufferSequence) {
    const uint32_t p = 0x123456;
    struct Step {
        uint32_t offset, length;
        bool good;
        uint8_t mode = 0x05;
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
        {"gap, then the right block", p, {{p, 16, true}, {p + 17, 16, false}, {p + 16, 16, true}}, false},
        {"same block again", p, {{p, 16, true}, {p, 16, false}}, false},
        {"closing at the wrong offset", p, {{p, 16, true}, {p + 32, 0, false}}, false},
        {"closing without a block", p, {{p, 0, false}}, false},
        {"block after closing", p, {{p, 16, true}, {p + 16, 0, true}, {p + 16, 16, false}, {p + 16, 0, false}}, true},
        {"wrong mode", p, {{p, 16, false, 0x04}, {p, 16, false, 0x07}, {p, 16, true}}, false},
        {"block past the 24-bit offsets", 0xFFC000, {{0xFFC000, 16384, false}}, false},
        {"block up to the last offset", 0xFFC000, {{0xFFC000, 16383, true}, {0xFFFFFF, 0, true}}, true},
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
            const TargetResult result = Write(drive, step.offset, step.length, &sent, step.mode);
            EXPECT_EQ(Answer(result), step.good ? "GOOD" : "05/24/00") << "offset " << step.offset;
            if (step.good) {
                accepted.insert(accepted.end(), sent.begin(), sent.end());
            }
        }
        EXPECT_EQ(drive.ReceivedImage(), accepted);
        EXPECT_EQ(drive.ImageComplete(), row.complete);
    }
}

TEST(SimulatedDrive, WriteBufferRefusesALengthWithoutMatchingData) {
    struct Row {
        const char* name;
        uint32_t cdbLength, dataLength;
        Direction direction;
        bool withBuffer;
    };
    // clang-format off
    const Row rows[] = {
        {"data shorter", 16, 15, Direction::Out, true},
        {"data longer", 16, 17, Direction::Out, true},
        {"closing with data", 0, 16, Direction::Out, true},
        {"no data-out direction", 16, 16, Direction::In, true},
        {"no buffer", 16, 16, Direction::Out, false},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimulatedDrive drive;
        Bytes block(32, 0x5A);
        Write(drive, 0, 16);
        const TargetResult result = Send(drive, WriteBufferCdb(16, row.cdbLength), row.direction,
                                         row.withBuffer ? block.data() : nullptr, row.dataLength);
        EXPECT_EQ(Answer(result), "05/24/00");
        EXPECT_EQ(drive.ReceivedImage().size(), 16u);
        EXPECT_FALSE(drive.ImageComplete());
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

TEST(SimulatedDrive, JournalLines) {
    DriveModel model;
    model.productCode = 0x123456;
    SimulatedDrive drive(model);
    drive.AddFault({FaultKind::NeverCompletes, 4, std::nullopt, {}});
    Bytes inquiry(128);
    Send(drive, kTestUnitReady, Direction::In);
    Send(drive, kInquiry, Direction::In, inquiry.data(), 128);
    Write(drive, 0x123456, 16384);
    Write(drive, 0x127456, 16384);
    Send(drive, WriteBufferCdb(0x127456, 0));
    const std::vector<std::string> expected{
        "1 00 00 00 00 00 00 in 0 CHECK 02/3A/01",
        "2 12 00 00 00 80 00 in 128 GOOD",
        "3 3B 05 00 12 34 56 00 40 00 00 out 16384 GOOD",
        "4 3B 05 00 12 74 56 00 40 00 00 out 16384 NEVER",
        "5 3B 05 00 12 74 56 00 00 00 00 none 0 GOOD",
    };
    ASSERT_EQ(drive.Journal().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(FormatJournalEntry(drive.Journal()[i]), expected[i]);
    }
}

DriveAddress Letter(char letter) {
    DriveAddress address;
    address.letter = letter;
    return address;
}

TEST(DirectTransport, MapsOutcomesToRequestResults) {
    DriveModel loaded;
    loaded.discPresent = true;
    SimulatedDrive aspiDrive;
    SimulatedDrive letterDrive(loaded);
    letterDrive.AddFault({FaultKind::NeverCompletes, 0, 0x3B, {}});
    DirectTransport transport;
    transport.AddDrive(DriveAddress{1, 3, 0}, aspiDrive);
    transport.AddDrive(Letter('F'), letterDrive);

    const Bytes sense{0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01};
    struct Row {
        const char* name;
        DriveAddress address;
        Bytes cdb;
        uint8_t senseLength;
        bool carriedOut;
        uint8_t requestStatus, targetStatus;
        Bytes sense;  // expected prefix, the rest zero
    };
    // clang-format off
    const Row rows[] = {
        {"check, 14 sense bytes", {1, 3, 0}, kTestUnitReady, 14, true, 0x04, 0x02, sense},
        {"check, 24 sense bytes", {1, 3, 0}, kTestUnitReady, 24, true, 0x04, 0x02, sense},
        {"check, 8 sense bytes", {1, 3, 0}, kTestUnitReady, 8, true, 0x04, 0x02, {sense.begin(), sense.begin() + 8}},
        {"good by letter", Letter('F'), kTestUnitReady, 24, true, 0x01, 0x00, {}},
        {"letter in lower case", Letter('f'), kTestUnitReady, 24, true, 0x01, 0x00, {}},
        {"never completes", Letter('F'), WriteBufferCdb(0, 0), 14, false, 0x02, 0x00, {}},
        {"no drive at the letter", Letter('G'), kTestUnitReady, 14, false, 0x82, 0x00, {}},
        {"no drive at the unit", {1, 3, 1}, kTestUnitReady, 14, false, 0x82, 0x00, {}},
    };
    // clang-format on
    uint32_t calls = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScsiRequest request;
        std::copy(row.cdb.begin(), row.cdb.end(), request.cdb.begin());
        request.cdbLength = static_cast<uint8_t>(row.cdb.size());
        request.senseLength = row.senseLength;
        request.sense.fill(0xEE);
        EXPECT_EQ(transport.Execute(row.address, request), row.carriedOut);
        EXPECT_EQ(transport.CallCount(), ++calls);
        EXPECT_EQ(request.ioControlSucceeded, row.carriedOut);
        EXPECT_EQ(request.requestStatus, row.requestStatus);
        EXPECT_EQ(request.hostStatus, 0);
        EXPECT_EQ(request.targetStatus, row.targetStatus);
        Bytes expected = row.sense;
        expected.resize(request.sense.size(), 0);
        EXPECT_EQ(Bytes(request.sense.begin(), request.sense.end()), expected);
    }
    EXPECT_EQ(aspiDrive.Journal().size(), 3u);
    EXPECT_EQ(letterDrive.Journal().size(), 3u);
}

TEST(DirectTransport, CarriesDataBothWays) {
    DriveModel model;
    model.productCode = 0x8000;
    SimulatedDrive drive(model);
    DirectTransport transport;
    transport.AddDrive(DriveAddress{}, drive);
    Bytes tag(8), block{1, 2, 3, 4};
    const Bytes writeCdb = WriteBufferCdb(0x8000, 4);
    struct Row {
        const Bytes& cdb;
        DataDirection direction;
        Bytes& data;
    } rows[] = {{kReadTag, DataDirection::In, tag}, {writeCdb, DataDirection::Out, block}};
    for (Row& row : rows) {
        ScsiRequest request;
        std::copy(row.cdb.begin(), row.cdb.end(), request.cdb.begin());
        request.cdbLength = 10;
        request.direction = row.direction;
        request.data = row.data.data();
        request.dataLength = static_cast<uint32_t>(row.data.size());
        EXPECT_TRUE(transport.Execute(DriveAddress{}, request));
        EXPECT_EQ(request.requestStatus, 0x01);
    }
    EXPECT_EQ(std::string(tag.begin(), tag.end()), "MTX5160E");
    EXPECT_EQ(drive.ReceivedImage(), block);
}

}  // namespace
}  // namespace quillet::sim
