// Quillet.exe: the Windows program. The one application object starts with the platform's real
// services and runs the main dialog; the program ends when the dialog ends.
#include <windows.h>

#include "app/app_services.h"
#include "app/firmware_update_app.h"
#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/directory_search.h"
#include "platform/event_service.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/message_box.h"
#include "platform/platform_identifier.h"
#include "platform/profile_reader.h"
#include "platform/volume_devices.h"
#include "ui/win32/win32_user_interface.h"

namespace {

quillet::FirmwareUpdateApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    quillet::SystemPlatformIdentifier platform;
    quillet::SystemDirectorySearch directory;
    quillet::SystemFileSystem files;
    quillet::SystemProfileReader profile;
    quillet::SystemFirmwareFiles firmwareFiles;
    quillet::SystemVolumeDevices volumes;
    quillet::SystemAspiLibrary aspi;
    quillet::SystemEvents events;
    quillet::SystemClock clock;
    const quillet::AppServices services{platform, directory, files,  profile, firmwareFiles,
                                        volumes,  aspi,      events, clock};
    // Message boxes without a caption of their own show the program file's base name.
    quillet::SystemMessageBox messageBoxes(quillet::ProgramTitle());
    quillet::Win32UserInterface ui(instance, messageBoxes);
    theApp.InitInstance(ui, services);
    return 0;
}
