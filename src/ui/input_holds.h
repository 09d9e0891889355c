// Which windows take no input for now, shared by the backends. A window is held while one of its
// command handlers runs: it is disabled from the first hold to the last release. A modal dialog or
// message box owned by a held window lifts the hold while it runs, so that it disables its owner
// itself and hands the activation back to it when it closes; the hold returns afterwards.
#pragma once

#include <map>

#include "ui/user_interface.h"

namespace quillet {

class InputHolds {
public:
    explicit InputHolds(UserInterface& ui) : ui_(ui) {}
    InputHolds(const InputHolds&) = delete;
    InputHolds& operator=(const InputHolds&) = delete;

    void Hold(WindowHandle window) {
        if (depths_[window]++ == 0)
            ui_.EnableWindow(window, false);
    }
    // Returns whether this ended the last hold on the window.
    bool Release(WindowHandle window) {
        auto held = depths_.find(window);
        if (held == depths_.end() || --held->second > 0)
            return false;
        depths_.erase(held);
        ui_.EnableWindow(window, true);
        return true;
    }
    bool Held(WindowHandle window) const { return depths_.count(window) != 0; }
    bool Any() const { return !depths_.empty(); }

    // The hold on `owner`, if any, is lifted for the life of this object.
    class Lift {
    public:
        Lift(InputHolds& holds, WindowHandle owner)
            : holds_(holds), owner_(owner != 0 && holds.Held(owner) ? owner : 0) {
            if (owner_ != 0)
                holds_.ui_.EnableWindow(owner_, true);
        }
        ~Lift() {
            if (owner_ != 0 && holds_.Held(owner_))
                holds_.ui_.EnableWindow(owner_, false);
        }
        Lift(const Lift&) = delete;
        Lift& operator=(const Lift&) = delete;

    private:
        InputHolds& holds_;
        WindowHandle owner_;
    };

private:
    UserInterface& ui_;
    std::map<WindowHandle, int> depths_;
};

// Message boxes over another service that lift the hold on their owner while they are up.
class HoldLiftingMessageBoxes : public MessageBoxService {
public:
    HoldLiftingMessageBoxes(MessageBoxService& boxes, InputHolds& holds)
        : boxes_(boxes), holds_(holds) {}

    MessageButton Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       bool taskModal, WindowHandle owner) override {
        InputHolds::Lift lift(holds_, owner);
        return boxes_.Show(text, caption, icon, taskModal, owner);
    }
    MessageButton ShowUntitled(const std::string& text, MessageIcon icon, bool taskModal,
                               WindowHandle owner) override {
        InputHolds::Lift lift(holds_, owner);
        return boxes_.ShowUntitled(text, icon, taskModal, owner);
    }

private:
    MessageBoxService& boxes_;
    InputHolds& holds_;
};

}  // namespace quillet
