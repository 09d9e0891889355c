// The wait cursor for the length of a synchronous operation.
#pragma once

#include "ui/user_interface.h"

namespace quillet {

// Shows the wait cursor from construction until Restore or the end of the object, whichever
// comes first, so that it goes away on every path.
class WaitCursor {
public:
    explicit WaitCursor(UserInterface& ui) : ui_(&ui) { ui.BeginWaitCursor(); }
    ~WaitCursor() { Restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void Restore() {
        if (ui_ != nullptr)
            ui_->EndWaitCursor();
        ui_ = nullptr;
    }

private:
    UserInterface* ui_;
};

}  // namespace quillet
