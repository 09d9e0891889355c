// The portable reader keeps parsed files: many reads cost one reading of the file, and a changed
// file is read again.
#include <gtest/gtest.h>

#include "platform/profile_reader.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

std::string Read(SystemProfileReader& reader, const char* key) {
    char buffer[16];
    reader.ReadString("MAIN", key, "NOT_FOUND", buffer, sizeof buffer, "tarvex.ini");
    return buffer;
}

// Outside a lookup the file is read again only when it changes, and forgotten when it goes.
TEST(ProfileCache, ReadsTheFileAgainOnlyWhenReplaced) {
    test::TempDir dir;
    SystemProfileReader reader;
    dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=1\nOTHER=2\n");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Read(reader, "DEVICE_NUM"), "1");
        ASSERT_EQ(Read(reader, "OTHER"), "2");
    }
    // Same size, written at once: the file's identity tells the change, its time may not.
    dir.WriteFile("tarvex.ini", "[MAIN]\nDEVICE_NUM=3\nOTHER=4\n");
    EXPECT_EQ(Read(reader, "DEVICE_NUM"), "3");
    EXPECT_EQ(reader.FileLoads(), 2u);
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

}  // namespace
}  // namespace quillet
