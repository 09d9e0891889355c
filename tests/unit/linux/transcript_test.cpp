// The transcript over answers a drive could give to harm it: an identification with control
// bytes must not reach the terminal as they are, and a sense area shorter than its fields must
// not be read past.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/transcript.h"
#include "platform/pass_through_record.h"
#include "platform/virtual_clock.h"

namespace quillet {
namespace {

// Answers every pass-through record with the status and data the test sets.
class AnsweringVolumes : public VolumeDevices {
public:
    VolumeHandle Open(char, VolumeAccess) override { return 1; }
    bool IoControl(VolumeHandle, uint32_t, void* in, uint32_t inLength, void*, uint32_t outLength,
                   uint32_t*) override {
        PassThroughFields fields;
        auto* record = static_cast<uint8_t*>(in);
        if (!DecodePassThroughRecord(record, inLength, outLength, &fields))
            return false;
        if (fields.data != nullptr)
            std::copy_n(data.begin(), std::min<size_t>(data.size(), fields.dataLength),
                        static_cast<uint8_t*>(fields.data));
        std::copy_n(sense.begin(), std::min<size_t>(sense.size(), fields.senseLength),
                    record + fields.senseOffset);
        SetPassThroughRecordStatus(record, status);
        return true;
    }
    void Close(VolumeHandle) override {}

    uint8_t status = 0;
    std::vector<uint8_t> data;
    std::vector<uint8_t> sense;
};

class AnsweringBackend : public DriveBackend {
public:
    VolumeDevices& Volumes() override { return volumes; }
    std::string Name(char) const override { return "/dev/sg9"; }
    std::string Problem() const override { return std::string(); }
    bool DriveRefusedLast() const override { return false; }
    bool MayUpdate(std::string*) override { return true; }

    AnsweringVolumes volumes;
};

// One command through the transcript: the line it wrote.
std::string Transcribe(AnsweringBackend& backend, const std::vector<uint8_t>& cdb,
                       uint32_t dataLength, uint8_t senseLength) {
    VirtualClock clock;
    std::ostringstream out;
    TranscribedBackend transcribed(backend, clock, {&out});
    std::array<uint8_t, kPassThroughRecordSize> record{};
    // What lies past the sense area must not show up in the line.
    record.fill(0xEE);
    std::vector<uint8_t> data(dataLength, 0);
    PassThroughFields fields;
    fields.cdbLength = static_cast<uint8_t>(cdb.size());
    std::copy(cdb.begin(), cdb.end(), fields.cdb.begin());
    fields.dataLength = dataLength;
    fields.data = data.data();
    fields.senseLength = senseLength;
    EncodePassThroughRecord(fields, record.data());
    std::fill_n(record.begin() + kPassThroughFixedSize, senseLength, 0);
    transcribed.Volumes().IoControl(1, kIoctlScsiPassThroughDirect, record.data(),
                                    kPassThroughFixedSize, record.data(),
                                    kPassThroughFixedSize + senseLength, nullptr);
    return out.str();
}

TEST(Transcript, HostileAnswersAreShownSafely) {
    struct Row {
        const char* name;
        std::vector<uint8_t> cdb;
        uint32_t dataLength;
        uint8_t senseLength;
        uint8_t status;
        std::vector<uint8_t> data;
        std::vector<uint8_t> sense;
        const char* expected;  // the line after its time
    };
    std::vector<uint8_t> identity(36, ' ');
    std::memcpy(&identity[8], "KORVIN  \x1b[2JCDRW", 16);
    identity[28] = 0;  // the identification ends here
    const Row rows[] = {
        {"control bytes in the identification",
         {0x12, 0, 0, 0, 0xFF, 0},
         1024,
         24,
         0x00,
         identity,
         {},
         "12 00 00 00 FF 00 in 1024 GOOD; \"KORVIN  .[2JCDRW    \"\n"},
        {"sense shorter than its key",
         {0x00, 0, 0, 0, 0, 0},
         0,
         2,
         0x02,
         {},
         {},
         "00 00 00 00 00 00 in 0 CHECK 00/00/00; sense 00 00: "},
        {"descriptor-format sense",
         {0x3C, 0x02, 0, 0x80, 0x04, 0, 0, 0, 0x08, 0},
         8,
         24,
         0x02,
         {},
         {0x72, 0x06, 0x29, 0x00, 0, 0, 0, 0},
         "3C 02 00 80 04 00 00 00 08 00 in 8 CHECK 06/29/00; sense 72 06 29 00 00 00 00 00: UNIT "
         "ATTENTION (sense key 6h), power on, reset, or bus device reset occurred (ASC 29h, ASCQ "
         "00h)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AnsweringBackend backend;
        backend.volumes.status = row.status;
        backend.volumes.data = row.data;
        backend.volumes.sense = row.sense;
        const std::string line = Transcribe(backend, row.cdb, row.dataLength, row.senseLength);
        EXPECT_NE(line.find(row.expected), std::string::npos) << line;
        EXPECT_EQ(line.find('\x1b'), std::string::npos);
        EXPECT_EQ(line.find("EE"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace quillet
