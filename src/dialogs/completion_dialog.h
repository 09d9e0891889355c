// The notice after a successful update: three red lines telling the user to power down and
// restart the PC and the drive, painted from the string table, and an OK button.
#pragma once

#include "ui/dialog.h"

namespace quillet {

class CompletionDialog : public Dialog {
public:
    static constexpr int kLineCount = 3;
    static constexpr int kLineX = 10;
    static constexpr int kLinePitch = 15;
    static constexpr int kPoints = 10;

    explicit CompletionDialog(UserInterface& ui, WindowHandle parent = 0);

protected:
    MessageMap GetMessageMap() const override;

private:
    // Line i is string IDS_COMPLETION_1 + i at (kLineX, kLinePitch * (i + 1)), in red.
    void OnPaint();
};

}  // namespace quillet
