// Shared ground of the main dialog's tests. AppRig is the whole program over simulated services:
// the headless user interface over the program's own resources, recorded message boxes, a
// platform identifier the test sets, a current directory in memory, simulated drives behind the
// in-process ASPI layer (one host adapter) and behind simulated volumes, all on one virtual
// clock; the test queues the user's actions on `ui`, then runs the main dialog with Run. Beside
// it: configuration files written from a short description, and the two platform paths as a test
// parameter.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "app/firmware_update_dialog.h"
#include "platform/platform_identifier.h"
#include "platform/recorded_message_box.h"
#include "platform/virtual_clock.h"
#include "res/resource.h"
#include "sim/aspi_layer.h"
#include "sim/events.h"
#include "sim/simulated_drive.h"
#include "sim/volumes.h"
#include "support/download_harness.h"
#include "support/memory_folder.h"
#include "ui/headless/headless_user_interface.h"
#include "unit/catalogue_fixture.h"

namespace quillet::test {

constexpr LanguageId kEnglishUs = 0x0409;
constexpr const char* kAppTitle = "QuilletUnderTest";

// The drive the tests mostly use: the maker's, with the given product and revision.
inline sim::DriveModel MakerDrive(const std::string& product, const std::string& revision = "1.0q",
                                  uint32_t productCode = 0) {
    sim::DriveModel model;
    model.product = product;
    model.revision = revision;
    model.productCode = productCode;
    return model;
}

class AppRig {
public:
    explicit AppRig(LanguageId language = kEnglishUs) : ui(language, messages) {
        events.Follow(layer);
        clock.SetOnSleep([this](uint32_t) { layer.CompleteDue(); });
        clock.SetOnReading([this] { layer.CompleteDue(); });
        layer.AddAdapter(7);
    }

    // A drive on the ASPI bus (adapter 0) or on a drive letter, owned by the rig.
    sim::SimulatedDrive& AddAspiDrive(int target, sim::DriveModel model, int lun = 0) {
        drives.push_back(std::make_unique<sim::SimulatedDrive>(std::move(model)));
        layer.AddDrive(0, target, lun, *drives.back());
        return *drives.back();
    }
    sim::SimulatedDrive& MapDrive(char letter, sim::DriveModel model) {
        drives.push_back(std::make_unique<sim::SimulatedDrive>(std::move(model)));
        volumes.MapDrive(letter, *drives.back());
        return *drives.back();
    }

    AppServices Services() {
        return AppServices{platform, folder, folder, folder, folder,
                           volumes,  layer,  events, clock,  keep};
    }

    // Constructs the main dialog (its searches run now) and runs it to its end with the queued
    // script; returns its result.
    int Run() {
        dialog = std::make_unique<FirmwareUpdateDialog>(ui, Services());
        return dialog->DoModal();
    }

    // The entries of list `id` of an open dialog, and its selection.
    std::vector<std::string> ListEntries(HeadlessDialogView& view, int id) {
        std::vector<std::string> entries;
        const WindowHandle list = view.Item(id);
        const auto count = ui.Send(list, kCbGetCount, 0, 0);
        for (MessageResult i = 0; i < count; ++i) {
            entries.push_back(
                ui.ReceiveText(list, kCbGetLbTextLen, kCbGetLbText, static_cast<MessageWParam>(i)));
        }
        return entries;
    }
    int Selection(HeadlessDialogView& view, int id) {
        return static_cast<int>(ui.Send(view.Item(id), kCbGetCurSel, 0, 0));
    }

    // The template ids of the dialogs shown so far, in order.
    std::vector<int> DialogsShown() const {
        std::vector<int> ids;
        for (const DialogRecord& record : ui.Dialogs())
            ids.push_back(record.templateId);
        return ids;
    }

    RequestKeep keep;  // outlives the layer, which may finish a given-up request at any time
    VirtualClock clock;
    sim::SimulatedEvents events{clock};
    sim::AspiLayer layer{clock, events};
    sim::SimulatedVolumes volumes{&clock};
    RecordedMessageBox messages{kAppTitle};
    HeadlessUserInterface ui;
    FixedPlatformIdentifier platform{kPlatformWindowsNt};
    MemoryFolder folder;
    std::vector<std::unique_ptr<sim::SimulatedDrive>> drives;
    std::unique_ptr<FirmwareUpdateDialog> dialog;
};

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

    // Drive 0 of the tagged family, the image and a catalogue that offers `entry` for it (and,
    // unless told otherwise, its product code).
    sim::SimulatedDrive& PrepareTagged(const std::string& revision = "1.0q",
                                       const std::string& entry = "1.1a FW.BIN",
                                       bool hasProductId = true) {
        rig.folder.Add(kTaggedImage, Section("MTX5160E", kFirstSection, 1) +
                                         Section("MTX5160S", kDriveSection, 2));
        DeviceSection device{{"MTX5160E", "MTX5160S"}, {entry}, kProductCode, hasProductId};
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
