// IniCatalog over real folders: loading, the lookups of the Windows 9x family and their messages.
#include <gtest/gtest.h>

#include "catalogue_fixture.h"

namespace quillet {
namespace {

using test::EncodeProductId;
using test::MissingKeyText;

using IniCatalogTest = test::CatalogueTest;

const char* const kDrive = "MTX5160E        ";

// One device for the drive above with three images, of which only A and C lie in the folder.
const std::string kConfig =
    "[MAIN]\nDEVICE_NUM=2\n"
    "[DEVICE0]\nPRODUCT_NUM=1\nPRODUCT0=MTX4x\nFILE_NUM=1\nFILENAME0=0.90 OLD.BIN\n"
    "[DEVICE1]\nPRODUCT_NUM=2\nPRODUCT0=MTX5160S\nPRODUCT1=mtx5160\n"
    "FILE_NUM=3\nFILENAME0=1.00 A.BIN\nFILENAME1=1.01 B.BIN\nFILENAME2=1.02 C.BIN\n"
    "PRODUCT_ID=" +
    EncodeProductId(0x00C0FFEE) + "\n";

// A .bin image names the folder even when a .cdr image is found first.
TEST_F(IniCatalogTest, LoadFillsTheFourFields) {
    dir.WriteFile("A.BIN", "x");
    dir.WriteFile("C.BIN", "x");
    dir.WriteFile("0.cdr", "x");
    dir.WriteFile("tarvex.ini", kConfig);
    auto catalog = MakeIniCatalog();
    ASSERT_TRUE(catalog->Load());
    EXPECT_TRUE(messages.Boxes().empty());
    EXPECT_EQ(catalog->firmwareName(), directory.FindFiles("*.bin").front());
    std::string folder = files.CurrentDirectory();
    EXPECT_EQ(catalog->firmwareFolder(), JoinToDirectory(folder, ""));
    EXPECT_EQ(catalog->configPath(), JoinToDirectory(folder, "tarvex.ini"));
    EXPECT_EQ(catalog->deviceCount(), 2);
}

TEST_F(IniCatalogTest, LoadStopsAtItsFirstFault) {
    struct Row {
        const char* name;
        std::vector<std::string> files;
        std::vector<std::string> messages;
    };
    const Row rows[] = {
        {"nothing", {}, {test::kFirmwareNotFound}},
        {"no_ini", {"a.cdr"}, {test::kConfigNotFound}},
        {"ini_without_main", {"a.cdr", "other.ini"}, {MissingKeyText("DEVICE_NUM")}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir rowDir;
        for (const auto& name : row.files)
            rowDir.WriteFile(name, "[OTHER]\nX=1\n");
        messages.Clear();
        auto catalog = MakeIniCatalog();
        EXPECT_FALSE(catalog->Load());
        EXPECT_EQ(messages.Texts(), row.messages);
    }
}

TEST_F(IniCatalogTest, UsesOnlyTheFirstConfigFile) {
    dir.WriteFile("fw.bin", "x");
    dir.WriteFile("one.ini", "[MAIN]\nDEVICE_NUM=1\n");
    dir.WriteFile("two.ini", "[MAIN]\nDEVICE_NUM=2\n");
    const std::string first = directory.FindFiles("*.ini").front();
    auto catalog = MakeIniCatalog();
    ASSERT_TRUE(catalog->Load());
    EXPECT_EQ(catalog->configPath(), JoinToDirectory(files.CurrentDirectory(), first));
    EXPECT_EQ(catalog->deviceCount(), first == "one.ini" ? 1 : 2);
}

TEST_F(IniCatalogTest, FilesForProductListsExistingImagesHighestFirst) {
    dir.WriteFile("A.BIN", "x");
    dir.WriteFile("C.BIN", "x");
    dir.WriteFile("tarvex.ini", kConfig);
    auto catalog = MakeIniCatalog();
    ASSERT_TRUE(catalog->Load());
    TextTable versions;
    TextTable names;
    ASSERT_EQ(catalog->FilesForProduct(kDrive, versions, names), 2);
    EXPECT_EQ(versions[0], "1.02");
    EXPECT_EQ(names[0], "C.BIN");
    EXPECT_EQ(versions[1], "1.00");
    EXPECT_EQ(names[1], "A.BIN");
    EXPECT_TRUE(messages.Boxes().empty()) << "a missing image is left out silently";

    EXPECT_EQ(catalog->ProductIdForProduct(kDrive), 0x00C0FFEE);
    std::string section;
    // A drive text shorter than a product name does not match it.
    EXPECT_EQ(catalog->FindDeviceByProduct("MTX4", section), -1);
    EXPECT_EQ(catalog->FindDeviceByProduct("mtx5160e", section), 1);
    EXPECT_EQ(section, "DEVICE1");
}

TEST_F(IniCatalogTest, FileWordWithoutExtension) {
    dir.WriteFile("MTX5160E.BIN", "x");
    dir.WriteFile("tarvex.ini",
                  "[MAIN]\nDEVICE_NUM=1\n[DEVICE0]\nPRODUCT_NUM=1\nPRODUCT0=MTX5160E\n"
                  "FILE_NUM=2\nFILENAME0=1.00 MTX5160E\nFILENAME1=1.01\n");
    auto catalog = MakeIniCatalog();
    ASSERT_TRUE(catalog->Load());
    TextTable products;
    // The image name starts with the word, so the word identifies the device.
    ASSERT_EQ(catalog->ProductsForFile(catalog->firmwareName(), products), 1);
    EXPECT_EQ(products[0], "MTX5160E");
    // No file is named exactly so, and a one-word entry names no file at all.
    TextTable versions;
    TextTable names;
    EXPECT_EQ(catalog->FilesForProduct(kDrive, versions, names), 0);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{test::kFirmwareNotFound});
    // A drive no device lists has no list at all, and no box.
    messages.Clear();
    EXPECT_EQ(catalog->FilesForProduct("UNKNOWN", versions, names), -1);
    EXPECT_TRUE(messages.Boxes().empty());
}

// Only the folder's own entries are images: an entry naming the folder, its parent or a file
// elsewhere is left out of the list, as one naming no file is.
TEST_F(IniCatalogTest, FileNameOutsideTheFolderNamesNoImage) {
    dir.MakeFolder("SUB");
    dir.WriteFile("SUB/B.BIN", "x");
    dir.WriteFile("A.BIN", "x");
    const std::string here = dir.Path().filename().string();
    struct Row {
        std::string name;
        bool exists;
    };
    const Row rows[] = {
        {"A.BIN", true},       {"SUB", true},  // a folder of its own is an entry, as the Windows
                                               // finder lists it
        {"", false},           {".", false},         {"..", false},
        {"...", false},  // the folder itself on Windows, which drops trailing dots
        {"SUB\\B.BIN", false}, {"SUB/B.BIN", false}, {"..\\" + here + "\\A.BIN", false},
    };
    dir.WriteFile("tarvex.ini",
                  "[MAIN]\nDEVICE_NUM=1\n[DEVICE0]\nPRODUCT_NUM=1\nPRODUCT0=MTX\nFILE_NUM=4\n"
                  "FILENAME0=1.00 A.BIN\nFILENAME1=1.01 ..\nFILENAME2=1.02 .\n"
                  "FILENAME3=1.03 SUB\\B.BIN\n");
    auto catalog = MakeIniCatalog();
    ASSERT_TRUE(catalog->Load());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(catalog->FirmwareFileExists(row.name), row.exists);
    }
    TextTable versions;
    TextTable names;
    ASSERT_EQ(catalog->FilesForProduct(kDrive, versions, names), 1);
    EXPECT_EQ(names[0], "A.BIN");
}

// The strict reader stops at a device without PRODUCT_NUM and says so at every lookup; the
// lenient reader passes it over in silence.
TEST_F(IniCatalogTest, DeviceWithoutProductCount) {
    dir.WriteFile("fw.bin", "x");
    dir.WriteFile("tarvex.ini",
                  "[MAIN]\nDEVICE_NUM=2\n[DEVICE0]\nPRODUCT0=MTX5160E\n"
                  "[DEVICE1]\nPRODUCT_NUM=1\nPRODUCT0=MTX5160E\nPRODUCT_ID=" +
                      EncodeProductId(0xBEEF) + "\n");
    auto strict = MakeIniCatalog();
    ASSERT_TRUE(strict->Load());
    EXPECT_EQ(strict->ProductIdForProduct(kDrive), -1);
    TextTable versions;
    TextTable names;
    EXPECT_EQ(strict->FilesForProduct(kDrive, versions, names), -1);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(2, MissingKeyText("DEVICE0:PRODUCT_NUM")));

    messages.Clear();
    auto lenient = MakeFileCatalog();
    uint32_t code = 0;
    EXPECT_EQ(lenient->FindDeviceForProduct(kDrive, 0), 1);
    EXPECT_TRUE(lenient->ProductIdForProduct(kDrive, code));
    EXPECT_EQ(code, 0xBEEFu);
    EXPECT_TRUE(messages.Boxes().empty());
}

TEST_F(IniCatalogTest, FindDeviceByFileStopsAtAnUnreadableList) {
    dir.WriteFile("B.BIN", "x");
    dir.WriteFile("tarvex.ini",
                  "[MAIN]\nDEVICE_NUM=2\n[DEVICE0]\nFILE_NUM=one\n"
                  "[DEVICE1]\nFILE_NUM=1\nFILENAME0=1.0 B.BIN\nPRODUCT_NUM=1\nPRODUCT0=X\n");
    auto catalog = MakeIniCatalog();
    ASSERT_TRUE(catalog->Load());
    std::string section = "unchanged";
    EXPECT_EQ(catalog->FindDeviceByFile("B.BIN", section), -1);
    EXPECT_EQ(section, "unchanged");
    TextTable products;
    EXPECT_EQ(catalog->ProductsForFile("B.BIN", products), -1);
    EXPECT_EQ(messages.Texts().size(), 2u);
}

}  // namespace
}  // namespace quillet
