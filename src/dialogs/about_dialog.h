// The about box, the same in every language; its OK button ends it.
#pragma once

#include "res/resource.h"
#include "ui/dialog.h"

namespace quillet {

class AboutDialog : public Dialog {
public:
    explicit AboutDialog(UserInterface& ui, WindowHandle parent = 0)
        : Dialog(ui, IDD_ABOUTBOX, parent) {}
};

}  // namespace quillet
