// The ASPI load's request settings, the identification rules over captured INQUIRY answers, the
// no-medium qualifier and the firmware tag's text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/commands.h"
#include "platform/virtual_clock.h"
#include "support/recording_transport.h"

namespace quillet {
namespace {

using test::RecordingTransport;

// The whole flows show every ASPI command's bytes and the other commands' completions; what
// only the request shows is that START STOP UNIT is polled with sleeps between looks.
TEST(DriveCommandBlocks, AspiLoadIsPolledWithSleeps) {
    RecordingTransport transport;
    VirtualClock clock;
    DriveAddress address;
    address.target = 3;
    AspiCommands(transport, clock).StartStopUnit(address, StartStopMode::Load);

    ASSERT_EQ(transport.Sent().size(), 1u);
    const ScsiRequest& sent = transport.Sent()[0].request;
    ASSERT_EQ(sent.cdbLength, 6);
    EXPECT_EQ(std::vector<uint8_t>(sent.cdb.begin(), sent.cdb.end()),
              (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sent.direction, DataDirection::None);
    EXPECT_EQ(sent.dataLength, 0u);
    EXPECT_EQ(sent.senseLength, 14);
    EXPECT_EQ(sent.completion, Completion::PollSleeping);
    EXPECT_EQ(transport.Sent()[0].address.target, 3);
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
            // The text is the first 28 characters, up to a zero byte.
            EXPECT_EQ(passThrough.text, passThrough.vendor + row.product + row.revision);
        }
    }
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

// A failed pass-through call rejects the drive whatever the buffer holds.
TEST(DriveIdentification, RefusedPassThroughCallRejectsTheDrive) {
    VirtualClock clock;
    DriveAddress address;
    DriveIdentity identity;
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

// The tray and becoming-ready answers are read in every wait for readiness; here the sense a
// drive double never gives: no medium under another key, and sense too short for a qualifier.
TEST(NoMediumQualifier, OnlyNotReadyWithoutMediumCounts) {
    const QualifierRow rows[] = {
        {"tray closed", 0x02, 0x3A, 0x01, 0x01},
        {"no medium but unit attention", 0x06, 0x3A, 0x01, 0x00},
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

// The fields are read where the sense's format puts them: descriptor-format sense has its key,
// code and qualifier in bytes 1 to 3, and bytes that are not sense data say nothing.
TEST(NoMediumQualifier, FieldsAreReadWhereTheFormatPutsThem) {
    struct Row {
        const char* name;
        std::vector<uint8_t> sense;
        uint8_t expected;
    };
    const Row rows[] = {
        {"descriptor format, tray closed", {0x72, 0x02, 0x3A, 0x01, 0, 0, 0, 0}, 0x01},
        {"deferred descriptor format, tray open", {0x73, 0x02, 0x3A, 0x02, 0, 0, 0, 0}, 0x02},
        {"descriptor format whose code is 02h, with 3Ah in byte 12",
         {0x72, 0x05, 0x02, 0x00, 0, 0, 0, 0x06, 0x80, 0x04, 0, 0, 0x3A, 0x01},
         0x00},
        {"not sense data", {0x00, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01}, 0x00},
        {"deferred fixed format, tray open",
         {0x71, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x02},
         0x02},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NoMediumQualifier(row.sense.data(), row.sense.size()), row.expected);
    }
}

// The tag is cut at its first zero byte; a failed call says so, and on pass-through leaves an
// empty tag whatever the buffer got.
TEST(FirmwareTag, TextIsCutAtTheFirstZeroByte) {
    struct Row {
        const char* name;
        bool aspi;
        std::string answer;  // 8 bytes
        bool answered;       // the request completed (ASPI) or the call was carried (pass-through)
        const char* tag;     // nullptr: the call fails
    };
    const Row rows[] = {
        {"eight characters", true, "MTX5160E", true, "MTX5160E"},
        {"zero inside", true, std::string("MTX\0Z60E", 8), true, "MTX"},
        {"all zero", true, std::string(8, '\0'), true, ""},
        {"ASPI request failed", true, "MTX5160E", false, nullptr},
        {"pass-through call refused", false, "MTX5160E", false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VirtualClock clock;
        RecordingTransport transport([&row](ScsiRequest& r) {
            std::memcpy(r.data, row.answer.data(), 8);
            r.requestStatus = row.answered ? kRequestCompleted : kRequestError;
            return row.aspi || row.answered;
        });
        std::string tag = "stale";
        DriveAddress address;
        const bool read =
            row.aspi ? AspiCommands(transport, clock).ReadFirmwareTag(address, &tag)
                     : PassThroughCommands(transport, clock).ReadFirmwareTag(address, &tag);
        EXPECT_EQ(read, row.tag != nullptr);
        if (row.tag) {
            EXPECT_EQ(tag, row.tag);
        } else if (!row.aspi) {
            EXPECT_EQ(tag, "");
        }
    }
}

}  // namespace
}  // namespace quillet
