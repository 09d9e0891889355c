#include "app/firmware_update_app.h"

#include "app/firmware_update_dialog.h"

namespace quillet {

bool FirmwareUpdateApp::InitInstance(UserInterface& ui, const AppServices& services) {
    FirmwareUpdateDialog mainDialog(ui, services);
    mainDialog.DoModal();
    return false;
}

}  // namespace quillet
