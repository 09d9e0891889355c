// The pieces of image handling that the whole-flow tests reach only in part: which products are
// tagged, how tags compare, the 24-bit offset limit, and block padding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/memory_firmware_files.h"
#include "update/firmware_image.h"

namespace quillet::test {
namespace {

TEST(FirmwareImage, TaggedModelsAreTheFirstEightCharactersExactly) {
    struct Row {
        const char* product;
        bool tagged;
    };
    const Row rows[] = {
        {"MTX5160S", true},    {"MTX5160E        ", true},
        {"MTX5160SXYZ", true}, {"mtx5160s", false},
        {"MTX5160e", false},   {"MTX5160", false},
        {"", false},           {" MTX5160S", false},
        {"MTX5160X", false},   {"CDRW-8432       ", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.product);
        EXPECT_EQ(IsTaggedModel(row.product), row.tagged);
    }
}

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

// Short blocks are padded with zeros whatever the buffer held before; a block is never more
// than the image still owes.
TEST(FirmwareImage, BlocksArePaddedWithZerosUpToTheUnit) {
    struct Row {
        size_t length;
        std::vector<uint32_t> data;
        std::vector<uint32_t> transfers;
    };
    const Row rows[] = {
        {1, {1}, {2048}},
        {2048, {2048}, {2048}},
        {2049, {2049}, {4096}},
        {16383, {16383}, {16384}},
        {16384 + 14337, {16384, 14337}, {16384, 16384}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.length) + " bytes");
        MemoryFirmwareFiles files;
        files.Add("F", std::string(row.length + 100, '\x5A'));  // bytes past the image too
        auto file = files.OpenExclusive("F", nullptr);
        ImageBlockReader reader(*file, row.length);
        std::vector<uint8_t> buffer(kFirmwareBlockSize, 0xEE);
        for (size_t i = 0; i < row.data.size(); ++i) {
            const ImageBlock block = reader.ReadNext(buffer.data());
            ASSERT_EQ(block.kind, ImageBlock::Kind::Data);
            EXPECT_EQ(block.dataLength, row.data[i]);
            EXPECT_EQ(block.transferLength, row.transfers[i]);
            EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + block.dataLength),
                      std::vector<uint8_t>(block.dataLength, 0x5A));
            EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + block.dataLength,
                                           buffer.begin() + block.transferLength),
                      std::vector<uint8_t>(block.transferLength - block.dataLength, 0));
        }
        EXPECT_EQ(reader.ReadNext(buffer.data()).kind, ImageBlock::Kind::End);
        EXPECT_EQ(files.EndOfBytesRead(), row.length);
    }
}

}  // namespace
}  // namespace quillet::test
