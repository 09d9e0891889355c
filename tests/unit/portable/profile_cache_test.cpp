// The portable reader keeps parsed files: a lookup that asks many keys reads the file once, and a
// changed file is read again.
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

}  // namespace
}  // namespace quillet
