// Modal message boxes with an OK button: the program's failure and notice messages.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

enum class MessageIcon { None, Stop, Exclamation, Information, Question };

// The button that closed a box, numbered as the platform numbers them.
enum class MessageButton { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// A window of the platform, opaque to the core; 0 is none.
using WindowHandle = std::uintptr_t;

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;

    // Shows `text` in a modal box with an OK button and waits for it to close. An empty `caption`
    // shows the application title. A task-modal box without owner keeps the program's other
    // top-level windows disabled while it is up.
    virtual MessageButton Show(const std::string& text, const std::string& caption,
                               MessageIcon icon, bool taskModal, WindowHandle owner) = 0;

    // The title the platform gives a box that has no caption of its own.
    static constexpr const char* kUntitledCaption = "Error";

    // Shows a box without a caption of its own, so the platform shows its default title (not the
    // application title).
    virtual MessageButton ShowUntitled(const std::string& text, MessageIcon icon, bool taskModal,
                                       WindowHandle owner) {
        return Show(text, kUntitledCaption, icon, taskModal, owner);
    }
};

// Real boxes on Windows (MessageBoxA; texts are in the user's ANSI code page). Elsewhere the box is
// written to the standard error stream and answered OK.
class SystemMessageBox : public MessageBoxService {
public:
    explicit SystemMessageBox(std::string applicationTitle)
        : applicationTitle_(std::move(applicationTitle)) {}

    MessageButton Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       bool taskModal, WindowHandle owner) override;
    MessageButton ShowUntitled(const std::string& text, MessageIcon icon, bool taskModal,
                               WindowHandle owner) override;

private:
    std::string applicationTitle_;
};

// The application title: the program file's base name without its extension.
std::string ProgramTitle();

}  // namespace quillet
