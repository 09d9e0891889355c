// The strict reader of IniCatalog over real files: counts, lists, product codes and the messages
// that report a missing or malformed key.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace quillet {
namespace {

using test::EncodeProductId;
using test::MissingKeyText;

using StrictReader = test::CatalogueTest;

TEST_F(StrictReader, DeviceCount) {
    struct Row {
        const char* name;
        const char* main;  // the MAIN section's lines
        bool ok;
        int16_t deviceCount;
        const char* message;  // "" for none
    };
    const Row rows[] = {
        {"plain", "DEVICE_NUM=2", true, 2, ""},
        {"letter_after_digits", "DEVICE_NUM=2a", false, 0, "illegal"},
        {"empty", "DEVICE_NUM=", false, 0, "missing"},
        {"missing", "OTHER=1", false, 0, "missing"},
        {"low_16_bits", "DEVICE_NUM=65537", true, 1, ""},
        {"negative_16_bits", "DEVICE_NUM=32768", true, -32768, ""},
        {"all_ones_16_bits", "DEVICE_NUM=65535", true, -1, ""},
        {"too_large_for_32_bits", "DEVICE_NUM=4294967298", false, 0, "illegal"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A folder per row: the Windows reader keeps files by name and time.
        test::TempDir rowDir;
        auto catalog = IniReading(rowDir, std::string("[MAIN]\n") + row.main + "\n");
        EXPECT_EQ(catalog->LoadDeviceCount(), row.ok);
        EXPECT_EQ(catalog->deviceCount(), row.deviceCount);
        EXPECT_EQ(messages.Texts(), test::KeyBoxes(row.message, "DEVICE_NUM"));
    }
}

TEST_F(StrictReader, NegativeDeviceCountSearchesNoSection) {
    auto catalog = IniReading(
        "[MAIN]\nDEVICE_NUM=32768\n[DEVICE0]\nPRODUCT_NUM=1\nPRODUCT0=MTX\nFILE_NUM=x\n");
    ASSERT_TRUE(catalog->LoadDeviceCount());
    std::string section;
    EXPECT_EQ(catalog->FindDeviceByProduct("MTX", section), -1);
    // FILE_NUM of DEVICE0 is malformed: had the section been read, it would have been reported.
    EXPECT_EQ(catalog->FindDeviceByFile("A.BIN", section), -1);
    EXPECT_TRUE(messages.Boxes().empty());
}

// Files are listed from the highest key down, products from the lowest up; both close the gap
// a missing key leaves, and a value is cut to 255 characters.
TEST_F(StrictReader, ListsSkipMissingEntries) {
    auto catalog = IniReading(
        "[DEVICE0]\nFILE_NUM=3\nFILENAME0=1.00 A.BIN\nFILENAME1=1.01 B.BIN\n"
        "PRODUCT_NUM=3\nPRODUCT0=" +
        std::string(400, 'M') + "\nPRODUCT2=MTX5160S\n");
    TextTable versions;
    TextTable names;
    TextTable products;
    ASSERT_EQ(catalog->ReadFileList("DEVICE0", versions, names), 2);
    EXPECT_EQ(versions[0], "1.01");
    EXPECT_EQ(names[0], "B.BIN");
    EXPECT_EQ(versions[1], "1.00");
    EXPECT_EQ(names[1], "A.BIN");
    ASSERT_EQ(catalog->ReadProductList("DEVICE0", products), 2);
    EXPECT_EQ(products[0], std::string(255, 'M'));
    EXPECT_EQ(products[1], "MTX5160S");
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{MissingKeyText("DEVICE0:FILENAME2"),
                                                          MissingKeyText("DEVICE0:PRODUCT1")}));
}

TEST_F(StrictReader, FileListEdges) {
    {
        SCOPED_TRACE("zero entries");
        test::TempDir rowDir;
        auto catalog = IniReading(rowDir, "[DEVICE1]\nFILE_NUM=0\nFILENAME0=1.00 A.BIN\n");
        TextTable versions;
        TextTable names;
        EXPECT_EQ(catalog->ReadFileList("DEVICE1", versions, names), 0);
        EXPECT_TRUE(messages.Boxes().empty());
    }
    for (const char* count : {"", "3x", "-1", "2147483648", "4294967297"}) {
        SCOPED_TRACE(std::string("FILE_NUM=") + count);
        test::TempDir rowDir;
        auto catalog = IniReading(rowDir, std::string("[DEVICE2]\nFILE_NUM=") + count + "\n");
        TextTable versions;
        TextTable names;
        EXPECT_EQ(catalog->ReadFileList("DEVICE2", versions, names), -1);
        EXPECT_EQ(messages.Texts(),
                  test::KeyBoxes(*count ? "illegal" : "missing", "DEVICE2:FILE_NUM"));
    }
}

TEST_F(StrictReader, ListsStopAt256Entries) {
    std::string config = "[DEVICE0]\nFILE_NUM=300\nPRODUCT_NUM=300\n";
    for (int k = 0; k < 300; ++k) {
        config += "FILENAME" + std::to_string(k) + "=V" + std::to_string(k) + " F" +
                  std::to_string(k) + ".BIN\n";
        config += "PRODUCT" + std::to_string(k) + "=P" + std::to_string(k) + "\n";
    }
    auto catalog = IniReading(config);
    TextTable versions;
    TextTable names;
    TextTable products;
    ASSERT_EQ(catalog->ReadFileList("DEVICE0", versions, names), 256);
    EXPECT_EQ(names[0], "F299.BIN");
    EXPECT_EQ(names[255], "F44.BIN");
    ASSERT_EQ(catalog->ReadProductList("DEVICE0", products), 256);
    EXPECT_EQ(products[0], "P0");
    EXPECT_EQ(products[255], "P255");
    EXPECT_TRUE(messages.Boxes().empty());
}

// A count typed too large asks about a few missing keys, then counts the rest in one box; key
// numbers from 65536 up are not read.
TEST_F(StrictReader, MissingKeysAfterTheFirstThreeAreCounted) {
    auto catalog = IniReading(
        "[DEVICE0]\nFILE_NUM=100000\nFILENAME0=1.00 A.BIN\n"
        "PRODUCT_NUM=5\nPRODUCT0=MTX\nPRODUCT4=MTY\n");
    TextTable versions;
    TextTable names;
    TextTable products;
    EXPECT_EQ(catalog->ReadFileList("DEVICE0", versions, names), 1);
    EXPECT_EQ(catalog->ReadProductList("DEVICE0", products), 2);
    const std::vector<std::string> expected = {
        MissingKeyText("DEVICE0:FILENAME65535"),
        MissingKeyText("DEVICE0:FILENAME65534"),
        MissingKeyText("DEVICE0:FILENAME65533"),
        "tarvex.ini file error !\nNot found key data.  (65532 more missing in DEVICE0)",
        MissingKeyText("DEVICE0:PRODUCT1"),
        MissingKeyText("DEVICE0:PRODUCT2"),
        MissingKeyText("DEVICE0:PRODUCT3"),
    };
    EXPECT_EQ(messages.Texts(), expected);
    for (const auto& box : messages.Boxes())
        EXPECT_TRUE(box.taskModal);
}

TEST_F(StrictReader, ProductId) {
    struct Row {
        const char* name;
        std::string value;  // the PRODUCT_ID line's value; "-" leaves the key out
        int32_t code;
        const char* message;
    };
    const Row rows[] = {
        {"plain", EncodeProductId(0x00012345), 0x12345, ""},
        {"eight_then_text", EncodeProductId(0x7FFFFFFF) + " x", 0x7FFFFFFF, ""},
        {"empty", "", -1, "missing"},
        {"missing", "-", -1, "missing"},
        {"nine_in_range", EncodeProductId(0x1234567) + "A", -1, "illegal"},
        {"out_of_range", "@", -1, "illegal"},
        // Every bit set reads as -1: a failure without a message.
        {"all_fifteen", EncodeProductId(0xFFFFFFFF), -1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir rowDir;
        std::string config = "[DEVICE3]\n";
        if (row.value != "-")
            config += "PRODUCT_ID=" + row.value + "\n";
        auto catalog = IniReading(rowDir, config);
        EXPECT_EQ(catalog->ReadProductId("DEVICE3"), row.code);
        EXPECT_EQ(messages.Texts(), test::KeyBoxes(row.message, "DEVICE3:PRODUCT_ID"));
    }
}

}  // namespace
}  // namespace quillet
