// The whole program over simulated services, for tests of the main dialog: the headless user
// interface over the program's own resources, recorded message boxes, a platform identifier the
// test sets, a current directory in memory, simulated drives behind the in-process ASPI layer
// (one host adapter) and behind simulated volumes, all on one virtual clock. The test queues the
// user's actions on `ui`, then runs the main dialog with Run; ListEntries and Selection read the
// lists of a dialog while it is open.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "app/firmware_update_dialog.h"
#include "platform/platform_identifier.h"
#include "platform/recorded_message_box.h"
#include "platform/virtual_clock.h"
#include "sim/aspi_layer.h"
#include "sim/events.h"
#include "sim/simulated_drive.h"
#include "sim/volumes.h"
#include "support/memory_folder.h"
#include "ui/headless/headless_user_interface.h"

namespace quillet::test {

constexpr LanguageId kEnglishUs = 0x0409;
constexpr LanguageId kGermanStandard = 0x0407;
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
        return AppServices{platform, folder, folder, folder, folder, volumes, layer, events, clock};
    }

    // Constructs the main dialog (its searches run now) and runs it to its end with the queued
    // script; returns its result.
    int Run() {
        dialog = std::make_unique<FirmwareUpdateDialog>(ui, Services());
        const int result = dialog->DoModal();
        return result;
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
    int ProgressPosition(HeadlessDialogView& view) {
        return static_cast<int>(ui.Send(view.Item(1001), kPbmGetPos, 0, 0));
    }

    // The template ids of the dialogs shown so far, in order.
    std::vector<int> DialogsShown() const {
        std::vector<int> ids;
        for (const DialogRecord& record : ui.Dialogs())
            ids.push_back(record.templateId);
        return ids;
    }

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

}  // namespace quillet::test
