// dialogshow: shows one of Quillet's dialogs modally through the program's own dialog classes,
// user interface and resources, for the end-to-end tests of the dialogs the main dialog only
// reaches during an update. The exit code is the dialog's result (1 IDOK, 2 IDCANCEL).
//
// usage: dialogshow caution | old-version | start-confirm | completion | about | main-nt
// An unknown or missing name shows nothing and exits with 100.
//
// main-nt runs the whole program on the NT path with the platform's real services, except that
// the drive letters are simulated volumes: F: is the maker's CDRW-8432 (revision 1.0q, product
// code 0x340000, as in the demo folder). When the program ends, the bytes the drive received are
// written to RECEIVED.IMG in the current directory; the exit code is 0 when the download was
// complete, 1 when not.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/app_services.h"
#include "app/firmware_update_app.h"
#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/directory_search.h"
#include "platform/event_service.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/platform_identifier.h"
#include "platform/profile_reader.h"
#include "sim/simulated_drive.h"
#include "sim/volumes.h"

#include "dialogs/about_dialog.h"
#include "dialogs/caution_dialog.h"
#include "dialogs/completion_dialog.h"
#include "dialogs/old_version_dialog.h"
#include "dialogs/start_confirm_dialog.h"
#include "platform/message_box.h"
#include "ui/win32/win32_user_interface.h"

namespace {

constexpr int kUnknownDialog = 100;

std::unique_ptr<quillet::Dialog> MakeDialog(const std::string& name, quillet::UserInterface& ui) {
    if (name == "caution")
        return std::make_unique<quillet::CautionDialog>(ui);
    if (name == "old-version")
        return std::make_unique<quillet::OldVersionDialog>(ui);
    if (name == "start-confirm")
        return std::make_unique<quillet::StartConfirmDialog>(ui);
    if (name == "completion")
        return std::make_unique<quillet::CompletionDialog>(ui);
    if (name == "about")
        return std::make_unique<quillet::AboutDialog>(ui);
    return nullptr;
}

int RunMainOverSimulatedVolumes(quillet::UserInterface& ui) {
    quillet::sim::DriveModel model;
    model.product = "CDRW-8432";
    model.revision = "1.0q";
    model.productCode = 0x340000;
    quillet::sim::SimulatedDrive drive(model);
    quillet::sim::SimulatedVolumes volumes;
    volumes.MapDrive('F', drive);

    quillet::SystemPlatformIdentifier platform;
    quillet::SystemDirectorySearch directory;
    quillet::SystemFileSystem files;
    quillet::SystemProfileReader profile;
    quillet::SystemFirmwareFiles firmwareFiles;
    quillet::SystemAspiLibrary aspi;
    quillet::SystemEvents events;
    quillet::SystemClock clock;
    const quillet::AppServices services{platform, directory, files,  profile, firmwareFiles,
                                        volumes,  aspi,      events, clock};
    quillet::FirmwareUpdateApp app;
    app.InitInstance(ui, services);

    const std::vector<std::uint8_t>& image = drive.ReceivedImage();
    std::FILE* out = std::fopen("RECEIVED.IMG", "wb");
    if (!out)
        return 1;
    bool written = image.empty() || std::fwrite(image.data(), 1, image.size(), out) == image.size();
    bool closed = std::fclose(out) == 0;
    return written && closed && drive.ImageComplete() ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    std::string name = commandLine ? commandLine : "";
    std::size_t first = name.find_first_not_of(" \t");
    std::size_t last = name.find_last_not_of(" \t");
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    quillet::SystemMessageBox messageBoxes(quillet::ProgramTitle());
    quillet::Win32UserInterface ui(instance, messageBoxes);
    if (name == "main-nt")
        return RunMainOverSimulatedVolumes(ui);
    std::unique_ptr<quillet::Dialog> dialog = MakeDialog(name, ui);
    if (!dialog)
        return kUnknownDialog;
    return dialog->DoModal();
}
