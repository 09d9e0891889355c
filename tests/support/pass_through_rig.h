// The pass-through side over simulated volumes and a virtual clock, with catalogue services that
// find one image and one configuration file without touching the disk, so the drive list's base
// searches stay quiet; each search notes how many volumes had been opened before it.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/pass_through.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/profile_reader.h"
#include "platform/recorded_message_box.h"
#include "platform/virtual_clock.h"
#include "sim/simulated_drive.h"
#include "sim/volumes.h"

namespace quillet::test {

class PassThroughRig {
public:
    struct Search {
        std::string pattern;
        size_t opensBefore = 0;
    };

    // A drive owned by the rig, served on the letter.
    sim::SimulatedDrive& MapDrive(char letter, sim::DriveModel model = {}) {
        drives.push_back(std::make_unique<sim::SimulatedDrive>(std::move(model)));
        volumes.MapDrive(letter, *drives.back());
        return *drives.back();
    }

    std::unique_ptr<PassThroughDriveList> MakeList() {
        return std::make_unique<PassThroughDriveList>(directory, files, profile, messages, volumes,
                                                      clock);
    }

    class QuietDirectory : public DirectorySearch {
    public:
        explicit QuietDirectory(PassThroughRig& rig) : rig_(rig) {}
        std::vector<std::string> FindFiles(const std::string& pattern) override {
            rig_.searches.push_back(Search{pattern, rig_.volumes.Opens().size()});
            if (pattern == "*.bin")
                return {"FIRMWARE.BIN"};
            if (pattern == "*.ini")
                return {"TARVEX.INI"};
            return {};
        }

    private:
        PassThroughRig& rig_;
    };
    class QuietFiles : public FileSystem {
    public:
        bool Exists(const std::string&) override { return true; }
        std::string CurrentDirectory() override { return "C:\\QUILLET"; }
    };
    class DefaultsProfile : public ProfileReader {
    public:
        uint32_t ReadString(const std::string&, const std::string&, const std::string& defaultText,
                            char* buffer, uint32_t size, const std::string&) override {
            if (size == 0)
                return 0;
            const uint32_t count =
                static_cast<uint32_t>(std::min<size_t>(defaultText.size(), size - 1));
            std::memcpy(buffer, defaultText.data(), count);
            buffer[count] = '\0';
            return count;
        }
    };

    VirtualClock clock;
    sim::SimulatedVolumes volumes{&clock};
    RecordedMessageBox messages{"QuilletUnderTest"};
    std::vector<Search> searches;
    QuietDirectory directory{*this};
    QuietFiles files;
    DefaultsProfile profile;
    std::vector<std::unique_ptr<sim::SimulatedDrive>> drives;
};

}  // namespace quillet::test
