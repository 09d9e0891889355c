// Why the Windows profile reader is always handed a path with a folder: the profile functions
// look a bare file name up in the Windows directory, not in the current directory.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/profile_reader.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

TEST(ProfilePath, BareNameMeansTheCurrentDirectory) {
    test::TempDir dir;
    dir.WriteFile("qlt-profile-path.ini", "[MAIN]\nDEVICE_NUM=1\n");
    char buffer[16];

    ::GetPrivateProfileStringA("MAIN", "DEVICE_NUM", "NOT_FOUND", buffer, sizeof buffer,
                               "qlt-profile-path.ini");
    EXPECT_STREQ(buffer, "NOT_FOUND") << "the platform looked in the current directory";
    ::GetPrivateProfileStringA("MAIN", "DEVICE_NUM", "NOT_FOUND", buffer, sizeof buffer,
                               ".\\qlt-profile-path.ini");
    EXPECT_STREQ(buffer, "1");

    SystemProfileReader reader;
    reader.ReadString("MAIN", "DEVICE_NUM", "NOT_FOUND", buffer, sizeof buffer,
                      "qlt-profile-path.ini");
    EXPECT_STREQ(buffer, "1");
}

}  // namespace
}  // namespace quillet
