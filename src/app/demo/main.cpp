// QuilletDemo.exe: the Windows program over simulated drives. Everything but the drive services
// is Quillet.exe's own: its main dialog (the caption marked as the demo), dialogs, texts, files and
// real-time waits. The ASPI library and the volume devices are the simulated layer's, serving
// the drives of WNASPI32.CFG beside the program; no library is loaded and no device opened, so
// nothing here can reach a real drive.
#include <windows.h>

#include <string>
#include <vector>

#include "app/app_services.h"
#include "app/demo/demo_update_dialog.h"
#include "platform/clock.h"
#include "platform/directory_search.h"
#include "platform/event_service.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/message_box.h"
#include "platform/platform_identifier.h"
#include "platform/profile_reader.h"
#include "sim/configured_drives.h"
#include "ui/win32/win32_user_interface.h"

namespace {

// The folder of the program file, with its backslash.
std::string ProgramFolder() {
    std::vector<char> path(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    const std::string name(path.data(), length);
    // A trail byte of a double-byte character can equal '\\'; walk the characters, not the bytes.
    std::size_t end = 0;
    for (const char* at = name.c_str(); *at; at = ::CharNextA(at)) {
        if (*at == '\\' || *at == '/')
            end = static_cast<std::size_t>(at - name.c_str()) + 1;
    }
    return name.substr(0, end);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    quillet::SystemPlatformIdentifier platform;
    quillet::SystemDirectorySearch directory;
    quillet::SystemFileSystem files;
    quillet::SystemProfileReader profile;
    quillet::SystemFirmwareFiles firmwareFiles;
    quillet::SystemEvents events;
    // The user watches the waits: they take real time, as in the program.
    quillet::SystemClock clock;
    quillet::sim::ConfiguredDrives drives(profile, ProgramFolder() + quillet::sim::kDriveConfigName,
                                          clock, events);
    // As the systems do: volume pass-through on the NT family only, so that each family's path
    // finds the drives, and only it.
    if (platform.PlatformId() != quillet::kPlatformWindows9x)
        drives.ServeLetters();
    const quillet::AppServices services{platform,      directory,     files,
                                        profile,       firmwareFiles, drives.Volumes(),
                                        drives.Aspi(), events,        clock};
    // Message boxes without a caption of their own show the program file's base name.
    quillet::SystemMessageBox messageBoxes(quillet::ProgramTitle());
    quillet::Win32UserInterface ui(instance, messageBoxes);
    quillet::DemoUpdateDialog mainDialog(ui, services);
    mainDialog.DoModal();
    return 0;
}
