// The pieces of image handling that the whole-flow tests reach only in part: how tags compare
// where they end early, and the edges of the 24-bit offset limit.
#include <gtest/gtest.h>

#include <string>

#include "update/firmware_image.h"

namespace quillet::test {
namespace {

TEST(FirmwareImage, TagsCompareUpToTheirCommonEnd) {
    struct Row {
        const char* name;
        std::string drive;
        std::string section;  // 8 bytes
        bool match;
    };
    const Row rows[] = {
        {"equal", "ABCDEFGH", "ABCDEFGH", true},
        {"last byte differs", "ABCDEFGH", "ABCDEFGX", false},
        {"both end early at the same place", "ABC", std::string("ABC\0XYZW", 8), true},
        {"drive's tag ends first", "ABC", "ABCDEFGH", false},
        {"section's tag ends first", "ABCDEFGH", std::string("ABC\0\0\0\0\0", 8), false},
        {"both empty", "", std::string(8, '\0'), true},
        {"case matters", "abcdefgh", "ABCDEFGH", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TagsMatch(row.drive, reinterpret_cast<const uint8_t*>(row.section.data())),
                  row.match);
    }
}

TEST(FirmwareImage, OffsetsMustFitTwentyFourBits) {
    struct Row {
        uint32_t productCode;
        uint64_t imageLength;
        bool fits;
    };
    const Row rows[] = {
        {0, 0xFFF800, true},           // closing offset 0xFFF800
        {0, 0xFFF801, false},          // padded to 0x1000000
        {0xFFB7FF, 18432, true},       // closing offset exactly 0xFFFFFF
        {0xFFB800, 18432, false},      // closing offset would wrap to 0
        {0xFFC000, 16383, false},      // padding counts
        {0xFF000000, 0xFFF800, true},  // bits above 24 are not an offset
        {0x12FFFFFF, 1, false},       {0, uint64_t{1} << 32, false},  // a whole file of 4 GiB
        {0xFFFFFF, 0, true},  // nothing to send is refused later, as a read error
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.productCode) + " + " + std::to_string(row.imageLength));
        EXPECT_EQ(FitsBufferOffsets(row.productCode, row.imageLength), row.fits);
    }
}

}  // namespace
}  // namespace quillet::test
