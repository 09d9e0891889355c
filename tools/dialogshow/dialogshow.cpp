// dialogshow: shows one of Quillet's dialogs modally through the program's own dialog classes,
// user interface and resources, for the end-to-end tests of the dialogs the main dialog only
// reaches during an update. The exit code is the dialog's result (1 IDOK, 2 IDCANCEL).
//
// usage: dialogshow caution | old-version | start-confirm | completion | about
// An unknown or missing name shows nothing and exits with 100.
#include <windows.h>

#include <memory>
#include <string>

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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    std::string name = commandLine ? commandLine : "";
    std::size_t first = name.find_first_not_of(" \t");
    std::size_t last = name.find_last_not_of(" \t");
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    quillet::SystemMessageBox messageBoxes(quillet::ProgramTitle());
    quillet::Win32UserInterface ui(instance, messageBoxes);
    std::unique_ptr<quillet::Dialog> dialog = MakeDialog(name, ui);
    if (!dialog)
        return kUnknownDialog;
    return dialog->DoModal();
}
