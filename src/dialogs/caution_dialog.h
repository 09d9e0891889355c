// The caution shown while the main dialog starts: advice to switch off the drive's automatic
// insert notification and DMA before updating, painted line by line from the string table, and
// the choice to leave the program. "Exit" is IDOK and "continue" IDCANCEL, so the Esc key and
// the close box go on with the start.
#pragma once

#include "ui/dialog.h"

namespace quillet {

class CautionDialog : public Dialog {
public:
    static constexpr int kLineCount = 13;
    static constexpr int kLineX = 60;
    static constexpr int kLinePitch = 15;
    static constexpr int kPoints = 9;

    explicit CautionDialog(UserInterface& ui, WindowHandle parent = 0);

protected:
    MessageMap GetMessageMap() const override;

private:
    // Line i is string IDS_CAUTION_1 + i at (kLineX, kLinePitch * i), red where character i of
    // the mask is "1" and black otherwise (also where the mask is too short to have one).
    void OnPaint();
};

}  // namespace quillet
