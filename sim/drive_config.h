// The simulated drives of a WNASPI32.CFG-style profile file (sim/README.md), read through the
// platform's profile reader, for every front end that serves them from such a file.
#pragma once

#include <string>
#include <vector>

#include "platform/profile_reader.h"
#include "sim/simulated_drive.h"

namespace quillet::sim {

// One profile file's values, numbers decimal or hexadecimal with 0x.
class DriveConfigFile {
public:
    // `reader` must outlive the object.
    DriveConfigFile(ProfileReader& reader, std::string path)
        : reader_(reader), path_(std::move(path)) {}

    std::string Text(const std::string& section, const std::string& key,
                     const std::string& fallback) const;
    long Number(const std::string& section, const std::string& key, long fallback) const;

private:
    ProfileReader& reader_;
    std::string path_;
};

// Section Drive<n>: where the drive sits, its model and faults, and its output file names.
struct DriveConfig {
    int adapter = 0;
    int target = 0;
    int lun = 0;
    DriveModel model;
    std::vector<Fault> faults;
    std::string journalName;  // beside the configuration file
    std::string imageName;
    // The drive letter its volume is served on ('A'..'Z'), 0 for none.
    char letter = 0;
    // Media change notification switches the volume refuses: to off (1), back on (0).
    bool refusesSwitchOff = false;
    bool refusesSwitchOn = false;
};

constexpr int kMaxConfiguredDrives = 256;

DriveConfig ReadDriveConfig(const DriveConfigFile& config, int n);
// The drives of [ASPI] Drives, at most kMaxConfiguredDrives.
std::vector<DriveConfig> ReadDriveConfigs(const DriveConfigFile& config);

}  // namespace quillet::sim
