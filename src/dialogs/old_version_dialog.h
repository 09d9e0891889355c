// The question when the chosen firmware is older than the drive's. Everything comes from its
// template: "Continue" (IDOK) lets the update go on, "Cancel" (IDCANCEL) stops it.
#pragma once

#include "res/resource.h"
#include "ui/dialog.h"

namespace quillet {

class OldVersionDialog : public Dialog {
public:
    explicit OldVersionDialog(UserInterface& ui, WindowHandle parent = 0)
        : Dialog(ui, IDD_OLD_VERSION, parent) {}
};

}  // namespace quillet
