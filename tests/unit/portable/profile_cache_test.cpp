// The portable reader keeps parsed files: a lookup that asks many keys reads the file once, and a
// changed file is read again.
#include <gtest/gtest.h>

#include "catalogue/file_catalog.h"
#include "catalogue/ini_catalog.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/profile_reader.h"
#include "platform/recorded_message_box.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

std::string Read(SystemProfileReader& reader, const char* key) {
    char buffer[16];
    reader.ReadString("MAIN", key, "NOT_FOUND", buffer, sizeof buffer, "tarvex.ini");
    return buffer;
}

TEST(ProfileCache, ReadsTheFileOnceForManyKeys) {
    test::TempDir dir;
    dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=1\nOTHER=2\n");
    SystemProfileReader reader;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Read(reader, "DEVICE_NUM"), "1");
        ASSERT_EQ(Read(reader, "OTHER"), "2");
        ASSERT_EQ(Read(reader, "MISSING"), "NOT_FOUND");
    }
    EXPECT_EQ(reader.FileLoads(), 1u);
}

TEST(ProfileCache, SeesAFileReplacedWithinOneClockTick) {
    test::TempDir dir;
    SystemProfileReader reader;
    dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=1\n");
    ASSERT_EQ(Read(reader, "DEVICE_NUM"), "1");
    // Same size, written at once: the file's identity tells the change, its time may not.
    dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=2\n");
    EXPECT_EQ(Read(reader, "DEVICE_NUM"), "2");
    EXPECT_EQ(reader.FileLoads(), 2u);
}

TEST(ProfileCache, ForgetsAFileThatWasRemoved) {
    test::TempDir dir;
    SystemProfileReader reader;
    dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=1\n");
    ASSERT_EQ(Read(reader, "DEVICE_NUM"), "1");
    std::filesystem::remove(dir.Path() / "tarvex.ini");
    EXPECT_EQ(Read(reader, "DEVICE_NUM"), "NOT_FOUND");
}

TEST(ProfileCache, LooksAtAFileOnceInALookup) {
    test::TempDir dir;
    SystemProfileReader reader;
    dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=1\n");
    {
        ProfileLookup lookup(reader);
        ASSERT_EQ(Read(reader, "DEVICE_NUM"), "1");
        dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=2\n");
        {
            ProfileLookup nested(reader);
            EXPECT_EQ(Read(reader, "DEVICE_NUM"), "1") << "a lookup sees one state of the file";
        }
        EXPECT_EQ(Read(reader, "DEVICE_NUM"), "1");
    }
    EXPECT_EQ(Read(reader, "DEVICE_NUM"), "2");
    {
        ProfileLookup lookup(reader);
        EXPECT_EQ(Read(reader, "DEVICE_NUM"), "2");
    }
    EXPECT_EQ(reader.FileLoads(), 2u);
}

TEST(ProfileCache, CatalogueLookupsReadTheFileOnce) {
    test::TempDir dir;
    std::string config = "[MAIN]\nDEVICE_NUM=40\n";
    for (int d = 0; d < 40; ++d) {
        config += "[DEVICE" + std::to_string(d) + "]\nPRODUCT_NUM=2\nPRODUCT0=X\nPRODUCT1=Y" +
                  std::to_string(d) + "\nFILE_NUM=1\nFILENAME0=1.00 A.BIN\nPRODUCT_ID=P\n";
    }
    dir.WriteFile("tarvex.ini", config);
    dir.WriteFile("A.BIN", "x");
    SystemDirectorySearch directory;
    SystemFileSystem files;
    RecordedMessageBox messages;
    {
        SystemProfileReader reader;
        IniCatalog catalog(directory, files, reader, messages);
        ASSERT_TRUE(catalog.Load());
        TextTable versions;
        TextTable names;
        ASSERT_EQ(catalog.FilesForProduct("Y39", versions, names), 1);
        EXPECT_EQ(catalog.ProductIdForProduct("Y39"), 0);
        EXPECT_EQ(reader.FileLoads(), 1u);
    }
    {
        SystemProfileReader reader;
        FileCatalog catalog(directory, files, reader, messages);
        uint32_t code = 1;
        ASSERT_TRUE(catalog.ProductIdForProduct("Y39", code));
        EXPECT_EQ(reader.FileLoads(), 1u);
    }
    EXPECT_TRUE(messages.Boxes().empty());
}

}  // namespace
}  // namespace quillet
