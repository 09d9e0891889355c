// FileCatalog over real folders: its searches at construction, the lenient reader and the
// product lookups of the NT family.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace quillet {
namespace {

using test::EncodeProductId;

using FileCatalogTest = test::CatalogueTest;

const char* const kDrive = "MTX5160E        ";

TEST_F(FileCatalogTest, WarnsOnceForEachMissingKindOfFile) {
    {
        SCOPED_TRACE("empty folder");
        auto catalog = MakeFileCatalog();
        EXPECT_EQ(catalog->ConfigFileCount(), 0);
        EXPECT_EQ(messages.Texts(),
                  (std::vector<std::string>{test::kFirmwareNotFound, test::kConfigNotFound}));
        uint32_t code = 7;
        EXPECT_EQ(catalog->FindConfigForProduct(kDrive), -1);
        EXPECT_FALSE(catalog->ProductIdForProduct(kDrive, code));
        EXPECT_EQ(code, 0u);
    }
    for (const char* image : {"FW.BIN", "fw.cdr", "fw.binary"}) {
        SCOPED_TRACE(image);
        test::TempDir rowDir;
        rowDir.WriteFile(image, "x");
        rowDir.WriteFile("TARVEX.INI", "[MAIN]\n");
        messages.Clear();
        auto catalog = MakeFileCatalog();
        EXPECT_TRUE(messages.Boxes().empty());
        EXPECT_EQ(catalog->ConfigFileCount(), 1);
        EXPECT_EQ(catalog->ConfigFileName(0), "TARVEX.INI");
    }
}

TEST_F(FileCatalogTest, ConfigFilesComeLastFoundFirst) {
    dir.WriteFile("a.ini", "[MAIN]\nDEVICE_NUM=1\n");
    dir.WriteFile("B.INI", "[MAIN]\nDEVICE_NUM=2\n");
    dir.WriteFile("c.ini.bak", "[MAIN]\n");
    const std::vector<std::string> order = directory.FindFiles("*.ini");
    ASSERT_EQ(order.size(), 2u);

    auto catalog = MakeFileCatalog();
    ASSERT_EQ(catalog->ConfigFileCount(), 2);
    EXPECT_EQ(catalog->ConfigFileName(0), order[1]);
    EXPECT_EQ(catalog->ConfigFileName(1), order[0]);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(catalog->ConfigFilePath(i),
                  JoinToDirectory(files.CurrentDirectory(), catalog->ConfigFileName(i)));
        EXPECT_EQ(catalog->ReadDeviceCount(i), catalog->ConfigFileName(i) == "a.ini" ? 1 : 2);
    }
    EXPECT_EQ(catalog->ConfigFileName(2), "");
    EXPECT_EQ(catalog->ReadDeviceCount(2), 0);
}

TEST_F(FileCatalogTest, LenientReader) {
    dir.WriteFile("fw.bin", "x");
    dir.WriteFile(
        "tarvex.ini",
        "[MAIN]\nDEVICE_NUM=2a\n"
        "[DEVICE0]\nPRODUCT_NUM=+2\nPRODUCT0=MTX5160E\nFILE_NUM= 1\nFILENAME1=1.00 A.BIN\n"
        "PRODUCT_ID=\n"
        "[DEVICE3]\nPRODUCT_NUM=99999999999\nFILE_NUM=100000\n"
        "[DEVICE1]\nPRODUCT_NUM=x\nFILE_NUM=2147483648\nFILENAME0=" +
            std::string(200, 'f') +
            "\n"
            "PRODUCT_ID=" +
            EncodeProductId(0x1234567) + "A\n");
    auto catalog = MakeFileCatalog();
    EXPECT_EQ(catalog->ReadDeviceCount(0), 2);
    EXPECT_EQ(catalog->ReadProductCount(0, 0), 2);
    EXPECT_EQ(catalog->ReadProductCount(0, 1), 0);
    EXPECT_EQ(catalog->ReadProductCount(0, 2), 0);
    EXPECT_EQ(catalog->ReadFileCount(0, 0), 1);
    // Too large for an int32_t reads as 0; a count a walk could not finish reads as the bound.
    EXPECT_EQ(catalog->ReadFileCount(0, 1), 0);
    EXPECT_EQ(catalog->ReadProductCount(0, 3), 0);
    EXPECT_EQ(catalog->ReadFileCount(0, 3), 65536);
    EXPECT_EQ(catalog->ReadProductName(0, 0, 1), "NOT_FOUND");
    // The NT list shows a missing entry as it reads.
    EXPECT_EQ(catalog->ReadFileEntry(0, 0, 0), "NOT_FOUND");
    EXPECT_EQ(catalog->ReadFileEntry(0, 0, 1), "1.00 A.BIN");
    EXPECT_EQ(catalog->ReadFileEntry(0, 1, 0), std::string(127, 'f'));

    uint32_t code = 99;
    EXPECT_TRUE(catalog->ReadProductId(0, 0, code)) << "an empty PRODUCT_ID decodes to 0";
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(catalog->ReadProductId(0, 1, code)) << "nine digits";
    EXPECT_FALSE(catalog->ReadProductId(0, 2, code)) << "missing: NOT_FOUND never decodes";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(messages.Boxes().empty());
}

TEST_F(FileCatalogTest, SearchesEveryFileLastFoundFirst) {
    dir.WriteFile("fw.bin", "x");
    // Both files list the drive; the one found last is asked first. A name longer than the
    // drive's is not the drive; one it starts with is, whatever the case of its letters.
    const std::string config =
        "[MAIN]\nDEVICE_NUM=3\n"
        "[DEVICE1]\nPRODUCT_NUM=1\nPRODUCT0=MTX5160EX\n"
        "[DEVICE2]\nPRODUCT_NUM=1\nPRODUCT0=mtx\nPRODUCT_ID=";
    dir.WriteFile("one.ini", config + EncodeProductId(0x111) + "\n");
    dir.WriteFile("two.ini", config + EncodeProductId(0x222) + "\n");
    dir.WriteFile("none.ini", "[OTHER]\nX=1\n");  // a profile file without MAIN adds nothing
    const std::vector<std::string> order = directory.FindFiles("*.ini");
    std::vector<std::string> listing;
    for (const auto& name : order) {
        if (name != "none.ini")
            listing.push_back(name);
    }
    ASSERT_EQ(listing.size(), 2u);
    const uint32_t expectedCode = listing.back() == "one.ini" ? 0x111 : 0x222;

    auto catalog = MakeFileCatalog();
    const int i = catalog->FindConfigForProduct(kDrive);
    ASSERT_NE(i, -1);
    EXPECT_EQ(catalog->ConfigFileName(i), listing.back());
    EXPECT_EQ(catalog->FindDeviceForProduct(kDrive, i), 2);
    uint32_t code = 0;
    EXPECT_TRUE(catalog->ProductIdForProduct(kDrive, code));
    EXPECT_EQ(code, expectedCode);
}

}  // namespace
}  // namespace quillet
