// The application: one object for the program's life, whose start runs the main dialog modally. The
// program ends when that dialog ends; there is no other window and no message loop of the program's
// own.
#pragma once

#include "app/app_services.h"
#include "ui/user_interface.h"

namespace quillet {

class FirmwareUpdateApp {
public:
    // Constructs the main dialog over `ui` and `services`, runs it modally and destroys it again;
    // its result is not used. Always false: the program ends after the main dialog.
    bool InitInstance(UserInterface& ui, const AppServices& services);
};

}  // namespace quillet
