// The value rules both readers share: product-code decoding, counts, the FILENAME split, the
// product match rule and path joining.
#include <gtest/gtest.h>

#include "catalogue/config_values.h"
#include "catalogue/ini_catalog.h"
#include "catalogue_fixture.h"

namespace quillet {
namespace {

using test::EncodeProductId;

TEST(DecodeProductId, Texts) {
    struct Row {
        const char* name;
        std::string text;
        bool ok;
        uint32_t code;
    };
    const Row rows[] = {
        {"empty_is_zero", "", true, 0},
        {"leading_space_is_zero", " A", true, 0},
        {"one_above_key_is_15", "A", true, 0xF},
        {"sixteen_above_key_is_0", "P", true, 0x0},
        {"two_digits", "AL", true, 0xFF},
        {"key_character_itself", "@", false, 0},
        {"seventeen_above", "Q", false, 0},
        {"lowercase_out_of_range", "a", false, 0},
        {"high_byte", "\xC1", false, 0},
        {"all_fifteen", "ALFTUSVN", true, 0xFFFFFFFF},
        {"nine_in_range", "ALFTUSVNA", false, 0},
        {"not_found_text", "NOT_FOUND", false, 0},
        {"eight_then_space_and_text", EncodeProductId(0x12345678) + " junk", true, 0x12345678},
        {"ends_at_tab", EncodeProductId(0xABC, 3) + "\tQQQ", true, 0xABC},
        {"ends_at_carriage_return", EncodeProductId(0x5, 1) + "\r", true, 0x5},
        {"bad_fourth_digit", "PPP@", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        uint32_t code = 0x55555555;
        EXPECT_EQ(DecodeProductId(row.text, code), row.ok);
        EXPECT_EQ(code, row.ok ? row.code : 0u);
    }
}

TEST(CountParsing, StrictAndLoose) {
    struct Row {
        const char* text;
        bool decimal;
        int32_t loose;
        bool fits;  // the strict value, when decimal
    };
    const Row rows[] = {
        {"2", true, 2, true},
        {"", true, 0, true},
        {"2a", false, 2, true},
        {"+2", false, 2, true},
        {"-3", false, -3, true},
        {" 7", false, 7, true},
        {"x1", false, 0, true},
        {"NOT_FOUND", false, 0, true},
        {"65537", true, 65537, true},
        {"0042", true, 42, true},
        {"2147483647", true, INT32_MAX, true},
        {"-2147483648", false, INT32_MIN, true},
        {"2147483648", true, 0, false},
        {"-2147483649", false, 0, true},
        {"4294967297", true, 0, false},
        {"000000000000012", true, 12, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(IsDecimalText(row.text), row.decimal);
        EXPECT_EQ(ParseLooseCount(row.text), row.loose);
        if (row.decimal) {
            int32_t value = -1;
            EXPECT_EQ(DecimalValue(row.text, value), row.fits);
            EXPECT_EQ(value, row.loose);
        }
    }
}

TEST(SplitFileEntry, Words) {
    struct Row {
        const char* name;
        std::string value;
        std::string version;
        std::string fileName;
    };
    const Row rows[] = {
        {"two_words", "1.05 MTX5160E.BIN", "1.05", "MTX5160E.BIN"},
        {"one_word", "1.05", "1.05", ""},
        {"third_word_ignored", "1.05 A.BIN B.BIN", "1.05", "A.BIN"},
        {"tabs_and_runs", "\t1.05 \t  A.BIN  ", "1.05", "A.BIN"},
        {"long_words_cut_to_31", std::string(40, 'v') + " " + std::string(40, 'f'),
         std::string(31, 'v'), std::string(31, 'f')},
        {"exactly_31", std::string(31, 'v') + " x", std::string(31, 'v'), "x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string version = "old";
        std::string fileName = "old";
        SplitFileEntry(row.value, version, fileName);
        EXPECT_EQ(version, row.version);
        EXPECT_EQ(fileName, row.fileName);
    }
}

TEST(ProductMatches, DriveTextStartsWithName) {
    const std::string drive = "MTX5160E        ";
    struct Row {
        const char* name;
        bool matches;
    };
    const Row rows[] = {
        {"MTX5160E", true},
        {"mtx5160e", true},
        {"MTX5160", true},
        {"", true},
        {"MTX5160EX", false},
        {"MTX5160S", false},
        {"MTX5160E        X", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ProductMatches(row.name, drive), row.matches);
    }
    // Only A to Z fold; other bytes must be equal.
    EXPECT_FALSE(ProductMatches("[", "{"));
    EXPECT_FALSE(ProductMatches("\xC9", "\xE9"));
}

TEST(Paths, JoinSplitAndLimits) {
    EXPECT_EQ(JoinToDirectory("C:\\FW", "A.BIN"), "C:\\FW\\A.BIN");
    EXPECT_EQ(JoinToDirectory("C:\\", "A.BIN"), "C:\\A.BIN");
    EXPECT_EQ(FolderOfPath("C:\\FW\\A.BIN"), "C:\\FW\\");
    EXPECT_EQ(FolderOfPath("C:\\A.BIN"), "C:\\");
    EXPECT_EQ(FolderOfPath("C:A.BIN"), "C:");

    // A root folder already ends in its backslash.
    EXPECT_EQ(IniCatalog::MakeFirmwarePath("C:\\", "A.BIN"), "C:\\A.BIN");
    EXPECT_EQ(IniCatalog::MakeFirmwarePath("C:\\FW", "A.BIN"), "C:\\FW\\A.BIN");

    const std::string folder250 = "C:\\" + std::string(246, 'd') + "\\";
    ASSERT_EQ(folder250.size(), 250u);
    EXPECT_EQ(IniCatalog::MakeFirmwarePath(folder250, "A.BIN").size(), 255u);
    EXPECT_EQ(IniCatalog::MakeFirmwarePath(folder250, "AB.BIN"), "");
    EXPECT_EQ(IniCatalog::MakeFirmwarePath("C:\\" + std::string(257, 'd'), ""), "");
}

}  // namespace
}  // namespace quillet
