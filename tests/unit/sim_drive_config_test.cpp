// The keys of a WNASPI32.CFG-style file that place a drive on a drive letter and make its volume
// refuse the media change notification switch: what each spelling gives, bad ones included.
#include <gtest/gtest.h>

#include <string>

#include "sim/drive_config.h"
#include "support/memory_folder.h"

namespace quillet::test {
namespace {

sim::DriveConfig ReadDrive0(const std::string& lines) {
    MemoryFolder folder;
    folder.Add("WNASPI32.CFG", "[ASPI]\r\nDrives=1\r\n[Drive0]\r\n" + lines);
    const sim::DriveConfigFile config(folder, "WNASPI32.CFG");
    return sim::ReadDriveConfig(config, 0);
}

TEST(DriveConfig, LetterTakesOneLetterWithOrWithoutColon) {
    struct Row {
        const char* value;
        char letter;
    };
    const Row rows[] = {{"F", 'F'}, {"f", 'F'},  {"Z:", 'Z'}, {"a:", 'A'}, {"", 0},
                        {"FF", 0},  {"F:\\", 0}, {"1", 0},    {":", 0},    {"F;", 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("Letter=") + row.value);
        EXPECT_EQ(ReadDrive0(std::string("Letter=") + row.value + "\r\n").letter, row.letter);
    }
    EXPECT_EQ(ReadDrive0("Target=2\r\n").letter, 0) << "no key: no letter";
}

TEST(DriveConfig, RefuseMediaChangeNamesTheSwitchesRefused) {
    struct Row {
        const char* value;
        bool off;
        bool on;
    };
    const Row rows[] = {{"off", true, false}, {"on", false, true}, {"both", true, true},
                        {"", false, false},   {"1", false, false}, {"no", false, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("RefuseMediaChange=") + row.value);
        const sim::DriveConfig drive =
            ReadDrive0(std::string("RefuseMediaChange=") + row.value + "\r\n");
        EXPECT_EQ(drive.refusesSwitchOff, row.off);
        EXPECT_EQ(drive.refusesSwitchOn, row.on);
    }
}

}  // namespace
}  // namespace quillet::test
