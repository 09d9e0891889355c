#include "dialogs/caution_dialog.h"

#include <string>

#include "dialogs/notice_paint.h"
#include "res/resource.h"
#include "ui/paint.h"

namespace quillet {

CautionDialog::CautionDialog(UserInterface& ui, WindowHandle parent)
    : Dialog(ui, IDD_CAUTION, parent) {}

MessageMap CautionDialog::GetMessageMap() const {
    static const MessageMapEntry entries[] = {OnPaintEntry(&CautionDialog::OnPaint)};
    return entries;
}

void CautionDialog::OnPaint() {
    PaintContext context(*this);
    context.SetBackgroundMode(kTransparent);
    context.SetTextColour(kNoticeRed);
    Font font(Ui(), NoticeFont(kPoints, context.PixelsPerInchY(), Ui().UserCodePage(),
                               Ui().StringLanguage(IDS_CAUTION_1)));
    FontSelection selection(context, font);
    // Digits are single bytes in every code page.
    std::string mask = Ui().LoadStringResource(IDS_CAUTION_MASK);
    for (int line = 0; line < kLineCount; ++line) {
        bool red = static_cast<std::size_t>(line) < mask.size() && mask[line] == '1';
        context.SetTextColour(red ? kNoticeRed : kNoticeBlack);
        context.WriteText(kLineX, kLinePitch * line, Ui().LoadStringResource(IDS_CAUTION_1 + line));
    }
}

}  // namespace quillet
