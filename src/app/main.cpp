// Quillet.exe: shows the main dialog modally; the program ends when the dialog ends.
#include <windows.h>

#include "platform/message_box.h"
#include "res/resource.h"
#include "ui/dialog.h"
#include "ui/win32/win32_user_interface.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    quillet::SystemMessageBox messageBoxes(quillet::ProgramTitle());
    quillet::Win32UserInterface ui(instance, messageBoxes);
    // "Close", the Esc key and the close box end it through the framework's Cancel.
    quillet::Dialog mainDialog(ui, IDD_MAIN);
    mainDialog.DoModal();
    return 0;
}
