// The terminal as the Linux program's user interface: message boxes become lines on the error
// stream, the progress bar is drawn in place on a terminal (plain lines otherwise), and the
// dialogs' questions are asked on the input stream.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/message_box.h"
#include "update/progress_control.h"

namespace quillet {

class TerminalMessageBox : public MessageBoxService {
public:
    explicit TerminalMessageBox(std::ostream& out) : out_(out) {}
    // "Caption: text"; a box without caption is headed "quillet". Always answered OK.
    MessageButton Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       bool taskModal, WindowHandle owner) override;

private:
    std::ostream& out_;
};

// The progress bar's messages with the control's rules (the position stays in the range; a step
// past the top starts again at the bottom), drawn as a bar of 40 characters and a percentage.
class TerminalProgress : public ProgressControl {
public:
    // `inPlace`: redraw one line with carriage returns (a terminal); else one line per tenth.
    TerminalProgress(std::ostream& out, bool inPlace) : out_(out), inPlace_(inPlace) {}
    // Ends a line drawn in place.
    ~TerminalProgress() override;

    void SetRange(uint16_t lower, uint16_t upper) override;
    void SetPos(int position) override;
    void SetStep(int step) override { step_ = step; }
    void StepIt() override;
    int GetPos() override { return position_; }
    // Ends a line drawn in place, so that other output starts on a line of its own.
    void BreakLine();

private:
    void Draw();

    std::ostream& out_;
    bool inPlace_;
    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
    int step_ = 10;
    int drawn_ = -1;  // the percentage last shown
    bool lineOpen_ = false;
};

// Message boxes shown while a progress bar is drawn start on a fresh line.
class MessagesBesideProgress : public MessageBoxService {
public:
    MessagesBesideProgress(MessageBoxService& messages, TerminalProgress& progress)
        : messages_(messages), progress_(progress) {}
    MessageButton Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       bool taskModal, WindowHandle owner) override {
        progress_.BreakLine();
        return messages_.Show(text, caption, icon, taskModal, owner);
    }

private:
    MessageBoxService& messages_;
    TerminalProgress& progress_;
};

// Text a device sent, safe to show: anything but printable ASCII becomes ".", so no answer of a
// drive can reach the terminal as a control sequence.
std::string Printable(const std::string& text);

// Asks `question` followed by " [y/N] " in the user's language; true only for an answer that
// means yes there (one starting with y always does).
bool AskYesNo(std::istream& in, std::ostream& out, const std::string& question);

}  // namespace quillet
