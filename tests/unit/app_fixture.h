// Shared ground of the main dialog's tests: the whole program over simulated services (AppRig),
// configuration files written from a short description, and the two platform paths as a test
// parameter.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "support/app_rig.h"
#include "support/download_harness.h"
#include "unit/catalogue_fixture.h"

namespace quillet::test {

constexpr int kMain = IDD_MAIN;
constexpr int kCaution = IDD_CAUTION;
constexpr int kStartConfirm = IDD_START_CONFIRM;
constexpr int kCompletion = IDD_COMPLETION;
constexpr int kOldVersion = IDD_OLD_VERSION;
constexpr int kAbout = IDD_ABOUTBOX;
// The version static's text in the template, shown until a drive's version replaces it.
constexpr const char* kTemplateVersion = "1.0q";
// The update tests' image: two tagged sections, the drive's (MTX5160S) the second.
constexpr const char* kTaggedImage = "FW.BIN";
constexpr uint32_t kProductCode = 0x123456;
constexpr uint32_t kFirstSection = 16384 + 100;
constexpr uint32_t kDriveSection = 2 * 16384 + 7232;

// A drive of the tagged family with the given revision.
inline sim::DriveModel TaggedDrive(const std::string& revision) {
    sim::DriveModel model = MakerDrive("MTX5160S", revision, kProductCode);
    model.firmwareTag = {{'M', 'T', 'X', '5', '1', '6', '0', 'S'}};
    return model;
}

// One DEVICE section: its product names, its FILENAME values and its product code.
struct DeviceSection {
    std::vector<std::string> products;
    std::vector<std::string> files;
    uint32_t productCode = 0x123456;
    bool hasProductId = true;
};

// A configuration file with the given device sections, CR LF line ends as Windows writes them.
inline std::string Catalogue(const std::vector<DeviceSection>& devices) {
    std::string text = "[MAIN]\r\nDEVICE_NUM=" + std::to_string(devices.size()) + "\r\n";
    for (size_t d = 0; d < devices.size(); ++d) {
        const DeviceSection& device = devices[d];
        text += "[DEVICE" + std::to_string(d) + "]\r\n";
        text += "PRODUCT_NUM=" + std::to_string(device.products.size()) + "\r\n";
        for (size_t k = 0; k < device.products.size(); ++k)
            text += "PRODUCT" + std::to_string(k) + "=" + device.products[k] + "\r\n";
        text += "FILE_NUM=" + std::to_string(device.files.size()) + "\r\n";
        for (size_t k = 0; k < device.files.size(); ++k)
            text += "FILENAME" + std::to_string(k) + "=" + device.files[k] + "\r\n";
        if (device.hasProductId)
            text += "PRODUCT_ID=" + EncodeProductId(device.productCode) + "\r\n";
    }
    return text;
}

enum class Path { Aspi, PassThrough };

// The test name of a table row: its name with every character but letters and digits as "_".
template <class Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

inline std::string PathName(const ::testing::TestParamInfo<Path>& info) {
    return info.param == Path::Aspi ? "Aspi" : "PassThrough";
}

class AppTest : public ::testing::Test {
protected:
    void Use(Path path) {
        path_ = path;
        rig.platform.Set(path == Path::Aspi ? kPlatformWindows9x : kPlatformWindowsNt);
    }
    bool Aspi() const { return path_ == Path::Aspi; }

    // Drive i of the path: ASPI target i + 1 (so the search finds them in this order), or the
    // letters from M down (so the pass-through list, highest letter first, has them in order).
    sim::SimulatedDrive& AddDrive(int i, sim::DriveModel model) {
        if (Aspi())
            return rig.AddAspiDrive(i + 1, std::move(model));
        return rig.MapDrive(static_cast<char>('M' - i), std::move(model));
    }
    // The list entry the path shows for drive i.
    std::string DriveEntry(int i, const std::string& product) const {
        std::string padded = product;
        padded.resize(16, ' ');
        if (Aspi())
            return "HA#0 ID#" + std::to_string(i + 1) + ":KORVIN   " + padded;
        return std::string(1, static_cast<char>('M' - i)) + ":  KORVIN  " + padded;
    }

    // Drive 0 of the tagged family, the image and a catalogue that offers `entry` for it.
    sim::SimulatedDrive& PrepareTagged(const std::string& revision = "1.0q",
                                       const std::string& entry = "1.1a FW.BIN") {
        rig.folder.Add(kTaggedImage, Section("MTX5160E", kFirstSection, 1) +
                                         Section("MTX5160S", kDriveSection, 2));
        DeviceSection device{{"MTX5160E", "MTX5160S"}, {entry}, kProductCode};
        rig.folder.Add("tarvex.ini", Catalogue({device}));
        return AddDrive(0, TaggedDrive(revision));
    }

    // The start goes on past the caution; `check` then looks at the main dialog, and "Close"
    // ends it.
    void ContinueThen(std::function<void(HeadlessDialogView&)> check) {
        rig.ui.QueueClick(kCaution, kIdCancel);
        rig.ui.QueueCheck(kMain, std::move(check));
        rig.ui.QueueClick(kMain, kIdCancel);
    }
    // Runs the main dialog; the script must be used up without errors.
    void RunToEnd() {
        EXPECT_EQ(rig.Run(), kIdCancel);
        EXPECT_THAT(rig.ui.Errors(), ::testing::IsEmpty());
        EXPECT_EQ(rig.ui.PendingActions(), 0u) << "the script was not used up";
    }

    AppRig rig;
    Path path_ = Path::PassThrough;
};

class AppPathTest : public AppTest, public ::testing::WithParamInterface<Path> {
protected:
    AppPathTest() { Use(GetParam()); }
};

}  // namespace quillet::test
