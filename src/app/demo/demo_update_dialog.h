// The demo program's main dialog: the program's own main dialog, whose caption says that it is
// the demo, so that nobody takes the simulated drives it lists for real ones.
#pragma once

#include "app/app_services.h"
#include "app/firmware_update_dialog.h"
#include "ui/user_interface.h"

namespace quillet {

// Put before the main dialog's caption (the same in every language): the caption is longer than
// its title bar, so only its start is sure to be seen.
inline constexpr char kDemoCaptionPrefix[] = "(demo) ";

class DemoUpdateDialog : public FirmwareUpdateDialog {
public:
    DemoUpdateDialog(UserInterface& ui, const AppServices& services)
        : FirmwareUpdateDialog(ui, services) {}

protected:
    // Marks the caption before the main dialog's own start-up, which may already show the
    // caution over it.
    bool OnInitDialog() override;
};

}  // namespace quillet
