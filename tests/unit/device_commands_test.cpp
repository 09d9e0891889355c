// The command blocks and per-transport settings every drive command sends, checked against the
// byte tables, and the identification rules over captured INQUIRY answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device/commands.h"
#include "platform/virtual_clock.h"
#include "support/recording_transport.h"

namespace quillet {
namespace {

using test::RecordingTransport;

struct CommandRow {
    const char* name;
    std::function<void(AspiCommands&, PassThroughCommands&, const DriveAddress&)> send;
    TransportKind kind;
    std::vector<uint8_t> cdb;
    DataDirection direction;
    uint32_t dataLength;
    uint8_t senseLength;
    Completion completion;  // looked at on ASPI only
};

TEST(DriveCommandBlocks, EachCommandSendsItsTableRow) {
    uint8_t block[16384] = {};
    const std::vector<CommandRow> rows = {
        {"ASPI TEST UNIT READY",
         [](auto& a, auto&, auto& d) { a.TestUnitReady(d); },
         TransportKind::Aspi,
         {0x00, 0, 0, 0, 0, 0},
         DataDirection::None,
         0,
         14,
         Completion::PollSleeping},
        {"ASPI START STOP load",
         [](auto& a, auto&, auto& d) { a.StartStopUnit(d, StartStopMode::Load); },
         TransportKind::Aspi,
         {0x1B, 0, 0, 0, 0x03, 0},
         DataDirection::None,
         0,
         14,
         Completion::PollSleeping},
        {"ASPI START STOP eject",
         [](auto& a, auto&, auto& d) { a.StartStopUnit(d, StartStopMode::Eject); },
         TransportKind::Aspi,
         {0x1B, 0, 0, 0, 0x02, 0},
         DataDirection::None,
         0,
         14,
         Completion::PollSleeping},
        {"ASPI START STOP neither",
         [](auto& a, auto&, auto& d) { a.StartStopUnit(d, StartStopMode::Neither); },
         TransportKind::Aspi,
         {0x1B, 0, 0, 0, 0x00, 0},
         DataDirection::None,
         0,
         14,
         Completion::PollSleeping},
        {"ASPI INQUIRY",
         [](auto& a, auto&, auto& d) {
             DriveIdentity identity;
             a.IdentifyDrive(d, &identity);
         },
         TransportKind::Aspi,
         {0x12, 0, 0, 0, 0x80, 0},
         DataDirection::In,
         128,
         14,
         Completion::EventWait},
        {"ASPI READ BUFFER tag",
         [](auto& a, auto&, auto& d) {
             std::string tag;
             a.ReadFirmwareTag(d, &tag);
         },
         TransportKind::Aspi,
         {0x3C, 0x02, 0, 0x00, 0x80, 0x04, 0, 0, 0x08, 0},
         DataDirection::In,
         128,
         14,
         Completion::EventWait},
        {"pass-through TEST UNIT READY",
         [](auto&, auto& p, auto& d) {
             uint8_t q;
             p.TestUnitReady(d, &q);
         },
         TransportKind::PassThrough,
         {0x00, 0, 0, 0, 0, 0},
         DataDirection::In,
         0,
         24,
         Completion::PollSleeping},
        {"pass-through START STOP load",
         [](auto&, auto& p, auto& d) { p.StartStopUnit(d, 0); },
         TransportKind::PassThrough,
         {0x1B, 0, 0, 0, 0x03, 0},
         DataDirection::In,
         0,
         24,
         Completion::PollSleeping},
        {"pass-through START STOP eject (any non-zero flag)",
         [](auto&, auto& p, auto& d) { p.StartStopUnit(d, 7); },
         TransportKind::PassThrough,
         {0x1B, 0, 0, 0, 0x02, 0},
         DataDirection::In,
         0,
         24,
         Completion::PollSleeping},
        {"pass-through INQUIRY",
         [](auto&, auto& p, auto& d) {
             DriveIdentity identity;
             p.IdentifyDrive(d, &identity);
         },
         TransportKind::PassThrough,
         {0x12, 0, 0, 0, 0xFF, 0},
         DataDirection::In,
         1024,
         24,
         Completion::EventWait},
        {"pass-through READ BUFFER tag",
         [](auto&, auto& p, auto& d) {
             std::string tag;
             p.ReadFirmwareTag(d, &tag);
         },
         TransportKind::PassThrough,
         {0x3C, 0x02, 0, 0x00, 0x80, 0x04, 0, 0, 0x08, 0},
         DataDirection::In,
         8,
         24,
         Completion::EventWait},
        {"pass-through WRITE BUFFER block",
         [&block](auto&, auto& p, auto& d) { p.WriteFirmwareBlock(d, 0x123456, block, 0x4000); },
         TransportKind::PassThrough,
         {0x3B, 0x05, 0, 0x12, 0x34, 0x56, 0x00, 0x40, 0x00, 0},
         DataDirection::Out,
         0x4000,
         14,
         Completion::PollBusy},
        {"pass-through WRITE BUFFER closing command",
         [&block](auto&, auto& p, auto& d) { p.WriteFirmwareBlock(d, 0xABCDEF, block, 0); },
         TransportKind::PassThrough,
         {0x3B, 0x05, 0, 0xAB, 0xCD, 0xEF, 0, 0, 0, 0},
         DataDirection::Out,
         0,
         14,
         Completion::PollBusy},
    };
    for (const CommandRow& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingTransport transport;
        VirtualClock clock;
        AspiCommands aspi(transport, clock);
        PassThroughCommands passThrough(transport, clock);
        DriveAddress address;
        address.hostAdapter = 1;
        address.target = 3;
        row.send(aspi, passThrough, address);

        ASSERT_EQ(transport.Sent().size(), 1u);
        const ScsiRequest& sent = transport.Sent()[0].request;
        ASSERT_EQ(sent.cdbLength, row.cdb.size());
        EXPECT_EQ(std::vector<uint8_t>(sent.cdb.begin(), sent.cdb.begin() + sent.cdbLength),
                  row.cdb);
        EXPECT_TRUE(std::all_of(sent.cdb.begin() + sent.cdbLength, sent.cdb.end(),
                                [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(sent.direction, row.direction);
        EXPECT_EQ(sent.dataLength, row.dataLength);
        EXPECT_EQ(sent.senseLength, row.senseLength);
        EXPECT_TRUE(sent.dataLength == 0 || sent.data != nullptr);
        if (row.kind == TransportKind::Aspi) {
            EXPECT_EQ(sent.completion, row.completion);
        } else {
            EXPECT_EQ(sent.timeoutSeconds, 30u);
        }
        EXPECT_EQ(transport.Sent()[0].address.target, 3);
    }
}

TEST(DriveCommandBlocks, AspiWriteBufferCarriesOffsetAndLengthBigEndian) {
    uint8_t data[2048] = {};
    ScsiRequest r = WriteBufferRequest(TransportKind::Aspi, 0x01020304, data, 2048);
    // Only the low 24 bits of an offset fit the command block.
    const uint8_t expected[10] = {0x3B, 0x05, 0x00, 0x02, 0x03, 0x04, 0x00, 0x08, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(r.cdb.data(), expected, 10));
    EXPECT_EQ(r.cdbLength, 10);
    EXPECT_EQ(r.direction, DataDirection::Out);
    EXPECT_EQ(r.dataLength, 2048u);
    EXPECT_EQ(r.senseLength, 14);
}

// A standard INQUIRY answer with the given first byte and identification bytes 8..35.
std::vector<uint8_t> InquiryAnswer(uint8_t peripheral, const std::string& identification,
                                   size_t size = 128) {
    std::vector<uint8_t> data(size, 0);
    data[0] = peripheral;
    data[4] = 31;
    std::memcpy(&data[8], identification.data(), identification.size());
    return data;
}

struct IdentifyRow {
    const char* name;
    std::vector<uint8_t> inquiry;
    int aspiResult;  // -1, or the device type
    bool passThroughAccepted;
    std::string product;
    std::string revision;
};

TEST(DriveIdentification, VendorTypeAndTextRulesOfBothTransports) {
    using namespace std::string_literals;
    const std::vector<IdentifyRow> rows = {
        {"maker's CD/DVD drive", InquiryAnswer(0x05, "KORVIN  CDRW-8432       1.0q"), 5, true,
         "CDRW-8432       ", "1.0q"},
        {"vendor in lower case", InquiryAnswer(0x05, "korvin  CDRW-8432       1.0q"), -1, true,
         "CDRW-8432       ", "1.0q"},
        {"vendor with mixed case", InquiryAnswer(0x05, "Korvin  CDRW-8432       1.0q"), -1, true,
         "CDRW-8432       ", "1.0q"},
        {"one space after the name", InquiryAnswer(0x05, "KORVIN CDRW-8432        1.0q"), -1, false,
         "", ""},
        {"other character in the padding", InquiryAnswer(0x05, "KORVIN X"), -1, false, "", ""},
        {"vendor cut short by a zero byte", InquiryAnswer(0x05, "KORVIN "), -1, false, "", ""},
        {"another vendor", InquiryAnswer(0x05, "TARVEX  CDRW-8432       1.0q"), -1, false, "", ""},
        {"qualifier 1, type 5", InquiryAnswer(0x25, "KORVIN  CDRW-8432       1.0q"), 5, false,
         "CDRW-8432       ", "1.0q"},
        {"hard disk of the maker", InquiryAnswer(0x00, "KORVIN  HD-1            1.00"), 0, false,
         "HD-1            ", "1.00"},
        {"zero byte inside the product",
         InquiryAnswer(0x05,
                       "KORVIN  CDRW\0"
                       "8432      1.0q"s),
         5, true, "CDRW", ""},
        {"vendor only", InquiryAnswer(0x05, "KORVIN  "), 5, true, "", ""},
        {"text running on past the revision",
         InquiryAnswer(0x05, "KORVIN  CDRW-8432       1.0q2002/06/18"), 5, true, "CDRW-8432       ",
         "1.0q"},
    };
    for (const IdentifyRow& row : rows) {
        SCOPED_TRACE(row.name);
        DriveIdentity aspi;
        EXPECT_EQ(IdentifyAspiInquiry(row.inquiry.data(), row.inquiry.size(), &aspi),
                  row.aspiResult);
        if (row.aspiResult >= 0) {
            EXPECT_EQ(aspi.product, row.product);
            EXPECT_EQ(aspi.revision, row.revision);
            EXPECT_EQ(aspi.vendor, "KORVIN  ");
        }
        DriveIdentity passThrough;
        std::vector<uint8_t> big = row.inquiry;
        big.resize(kPassThroughInquiryLength, 0);
        EXPECT_EQ(IdentifyPassThroughInquiry(big.data(), big.size(), &passThrough),
                  row.passThroughAccepted);
        if (row.passThroughAccepted) {
            EXPECT_EQ(passThrough.product, row.product);
            EXPECT_EQ(passThrough.revision, row.revision);
            EXPECT_LE(passThrough.text.size(), 28u);
            EXPECT_EQ(passThrough.text.substr(0, 8), passThrough.vendor);
        }
    }
}

TEST(DriveIdentification, PassThroughTextIsCutAt28Characters) {
    std::vector<uint8_t> data =
        InquiryAnswer(0x05, "KORVIN  CDRW-8432       1.0qMORE TEXT", kPassThroughInquiryLength);
    DriveIdentity identity;
    ASSERT_TRUE(IdentifyPassThroughInquiry(data.data(), data.size(), &identity));
    EXPECT_EQ(identity.text, "KORVIN  CDRW-8432       1.0q");
}

TEST(DriveIdentification, ShortOrUnterminatedAnswersStayInBounds) {
    // A buffer that ends inside the text and holds no zero byte: the text ends with the buffer.
    std::vector<uint8_t> data = {0x05, 0,   0,   0,   0,   0,   0,   0,   'K',
                                 'O',  'R', 'V', 'I', 'N', ' ', ' ', 'C', 'D'};
    DriveIdentity identity;
    EXPECT_EQ(IdentifyAspiInquiry(data.data(), data.size(), &identity), 5);
    EXPECT_EQ(identity.product, "CD");
    EXPECT_EQ(identity.revision, "");
    EXPECT_TRUE(IdentifyPassThroughInquiry(data.data(), data.size(), &identity));
    EXPECT_EQ(IdentifyAspiInquiry(data.data(), 8, &identity), -1);
    EXPECT_FALSE(IdentifyPassThroughInquiry(data.data(), 0, &identity));
    EXPECT_EQ(IdentifyAspiInquiry(nullptr, 0, &identity), -1);
}

TEST(DriveIdentification, AspiRequestOutcomes) {
    VirtualClock clock;
    DriveAddress address;
    DriveIdentity identity;
    RecordingTransport notCarried([](ScsiRequest&) { return false; });
    EXPECT_EQ(AspiCommands(notCarried, clock).IdentifyDrive(address, &identity), -1);
    RecordingTransport failed([](ScsiRequest& r) {
        r.requestStatus = kRequestError;
        return true;
    });
    EXPECT_EQ(AspiCommands(failed, clock).IdentifyDrive(address, &identity), 0);
    // A failed pass-through call rejects the drive whatever the buffer holds.
    RecordingTransport refused([](ScsiRequest& r) {
        std::vector<uint8_t> answer = InquiryAnswer(0x05, "KORVIN  CDRW-8432       1.0q");
        std::memcpy(r.data, answer.data(), answer.size());
        return false;
    });
    EXPECT_FALSE(PassThroughCommands(refused, clock).IdentifyDrive(address, &identity));
}

struct QualifierRow {
    const char* name;
    uint8_t key, code, qualifier;
    uint8_t expected;
};

TEST(NoMediumQualifier, OnlyNotReadyWithoutMediumCounts) {
    const QualifierRow rows[] = {
        {"tray closed", 0x02, 0x3A, 0x01, 0x01},
        {"tray open", 0x02, 0x3A, 0x02, 0x02},
        {"becoming ready", 0x02, 0x04, 0x01, 0x00},
        {"no medium but unit attention", 0x06, 0x3A, 0x01, 0x00},
        {"no sense", 0x00, 0x00, 0x00, 0x00},
    };
    for (const QualifierRow& row : rows) {
        SCOPED_TRACE(row.name);
        uint8_t sense[24] = {0x70};
        sense[2] = row.key;
        sense[12] = row.code;
        sense[13] = row.qualifier;
        EXPECT_EQ(NoMediumQualifier(sense, 24), row.expected);
        EXPECT_EQ(NoMediumQualifier(sense, 13), 0) << "sense too short to hold a qualifier";
    }
}

TEST(FirmwareTag, TextIsCutAtTheFirstZeroByte) {
    struct Row {
        const char* name;
        std::vector<uint8_t> answer;
        std::string tag;
    } rows[] = {
        {"eight characters", {'M', 'T', 'X', '5', '1', '6', '0', 'E'}, "MTX5160E"},
        {"zero inside", {'M', 'T', 'X', 0, '1', '6', '0', 'E'}, "MTX"},
        {"all zero", {0, 0, 0, 0, 0, 0, 0, 0}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VirtualClock clock;
        RecordingTransport transport([&row](ScsiRequest& r) {
            std::memcpy(r.data, row.answer.data(), row.answer.size());
            r.requestStatus = kRequestCompleted;
            return true;
        });
        std::string aspiTag = "stale", passThroughTag = "stale";
        DriveAddress address;
        EXPECT_TRUE(AspiCommands(transport, clock).ReadFirmwareTag(address, &aspiTag));
        EXPECT_TRUE(
            PassThroughCommands(transport, clock).ReadFirmwareTag(address, &passThroughTag));
        EXPECT_EQ(aspiTag, row.tag);
        EXPECT_EQ(passThroughTag, row.tag);
    }
}

TEST(FirmwareTag, FailuresOnEachSide) {
    VirtualClock clock;
    DriveAddress address;
    std::string tag = "stale";
    RecordingTransport failedRequest([](ScsiRequest& r) {
        std::memcpy(r.data, "MTX5160E", 8);
        r.requestStatus = kRequestError;
        return true;
    });
    EXPECT_FALSE(AspiCommands(failedRequest, clock).ReadFirmwareTag(address, &tag));
    RecordingTransport refused([](ScsiRequest& r) {
        std::memcpy(r.data, "MTX5160E", 8);
        return false;
    });
    EXPECT_FALSE(PassThroughCommands(refused, clock).ReadFirmwareTag(address, &tag));
    EXPECT_EQ(tag, "") << "a failed call leaves an empty tag";
}

}  // namespace
}  // namespace quillet
