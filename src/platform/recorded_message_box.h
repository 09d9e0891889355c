// A message box that shows nothing: it records every box and answers from a queue the test fills,
// OK when the queue is empty. Used by the tests and by the headless user interface.
#pragma once

#include <deque>
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
        if (answers_.empty())
            return MessageButton::Ok;
        MessageButton answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    // The answer for the next box not yet shown.
    void QueueAnswer(MessageButton answer) { answers_.push_back(answer); }

    const std::vector<Shown>& Boxes() const { return shown_; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& box : shown_)
            texts.push_back(box.text);
        return texts;
    }
    void Clear() { shown_.clear(); }
    const std::string& ApplicationTitle() const { return applicationTitle_; }

private:
    std::string applicationTitle_;
    std::vector<Shown> shown_;
    std::deque<MessageButton> answers_;
};

}  // namespace quillet
