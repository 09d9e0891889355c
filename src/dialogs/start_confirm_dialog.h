// The last confirmation before the firmware is sent: OK (IDOK) starts the update; Cancel, the
// Esc key and the close box give IDCANCEL.
#pragma once

#include "res/resource.h"
#include "ui/dialog.h"

namespace quillet {

class StartConfirmDialog : public Dialog {
public:
    explicit StartConfirmDialog(UserInterface& ui, WindowHandle parent = 0)
        : Dialog(ui, IDD_START_CONFIRM, parent) {}
};

}  // namespace quillet
