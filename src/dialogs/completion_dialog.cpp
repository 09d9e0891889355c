#include "dialogs/completion_dialog.h"

#include "dialogs/notice_paint.h"
#include "res/resource.h"
#include "ui/paint.h"

namespace quillet {

CompletionDialog::CompletionDialog(UserInterface& ui, WindowHandle parent)
    : Dialog(ui, IDD_COMPLETION, parent) {}

MessageMap CompletionDialog::GetMessageMap() const {
    static const MessageMapEntry entries[] = {OnPaintEntry(&CompletionDialog::OnPaint)};
    return entries;
}

void CompletionDialog::OnPaint() {
    PaintContext context(*this);
    context.SetBackgroundMode(kTransparent);
    context.SetTextColour(kNoticeRed);
    Font font(Ui(), NoticeFont(kPoints, context.PixelsPerInchY(), Ui().UserCodePage(),
                               Ui().StringLanguage(IDS_COMPLETION_1)));
    FontSelection selection(context, font);
    for (int line = 0; line < kLineCount; ++line) {
        context.WriteText(kLineX, kLinePitch * (line + 1),
                          Ui().LoadStringResource(IDS_COMPLETION_1 + line));
    }
}

}  // namespace quillet
