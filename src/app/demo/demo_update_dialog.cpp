#include "app/demo/demo_update_dialog.h"

#include <string>

#include "ui/messages.h"

namespace quillet {

bool DemoUpdateDialog::OnInitDialog() {
    const std::string caption = Ui().ReceiveText(Handle(), kWmGetTextLength, kWmGetText, 0);
    Ui().SendText(Handle(), kWmSetText, 0, kDemoCaptionPrefix + caption);
    return FirmwareUpdateDialog::OnInitDialog();
}

}  // namespace quillet
