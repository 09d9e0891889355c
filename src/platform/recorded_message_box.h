// A message box that shows nothing: it records every box and answers OK, as every box the program
// shows has that one button. Used by the tests and by the headless user interface.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/message_box.h"

namespace quillet {

class RecordedMessageBox : public MessageBoxService {
public:
    struct Shown {
        std::string text;
        std::string caption;  // as the box shows it: the application title when none was given
        MessageIcon icon;
        bool taskModal;
        WindowHandle owner;
    };

    explicit RecordedMessageBox(std::string applicationTitle = "Quillet")
        : applicationTitle_(std::move(applicationTitle)) {}

    MessageButton Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       bool taskModal, WindowHandle owner) override {
        shown_.push_back(
            Shown{text, caption.empty() ? applicationTitle_ : caption, icon, taskModal, owner});
        return MessageButton::Ok;
    }

    const std::vector<Shown>& Boxes() const { return shown_; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& box : shown_)
            texts.push_back(box.text);
        return texts;
    }
    void Clear() { shown_.clear(); }

private:
    std::string applicationTitle_;
    std::vector<Shown> shown_;
};

}  // namespace quillet
