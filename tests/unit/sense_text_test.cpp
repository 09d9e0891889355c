#include <gtest/gtest.h>

#include <vector>

#include "device/sense_text.h"

namespace quillet {
namespace {

TEST(SenseInWords, FormatsAndShortBuffers) {
    struct Case {
        const char* name;
        std::vector<uint8_t> sense;
        const char* words;
    };
    const Case cases[] = {
        {"fixed",
         {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00},
         "ILLEGAL REQUEST (sense key 5h), invalid command operation code (ASC 20h, ASCQ 00h)"},
        {"fixed, valid bit set",
         {0xF0, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x02},
         "NOT READY (sense key 2h), medium not present, tray open (ASC 3Ah, ASCQ 02h)"},
        {"descriptor",
         {0x72, 0x06, 0x29, 0x00},
         "UNIT ATTENTION (sense key 6h), power on, reset, or bus device reset occurred (ASC 29h, "
         "ASCQ 00h)"},
        {"unknown condition",
         {0x70, 0, 0x04, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x99, 0x07},
         "HARDWARE ERROR (sense key 4h), additional sense not known to Quillet (ASC 99h, ASCQ "
         "07h)"},
        {"key only", {0x70, 0, 0x0B}, "ABORTED COMMAND (sense key Bh)"},
        {"too short for the key", {0x70, 0}, "sense data too short to read"},
        {"unknown format", {0x00, 0, 5}, "sense data in an unknown format (00h)"},
        {"none", {}, "no sense data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SenseInWords(c.sense.data(), c.sense.size()), c.words);
    }
}

}  // namespace
}  // namespace quillet
