// The win32 backend: real dialog windows made from the program's resource templates, found in
// the user's language by the platform's resource lookup; texts through the ANSI API, in the user's
// code page (the system converts the resources' texts into it).
#pragma once

#include <map>

#include "ui/input_holds.h"
#include "ui/user_interface.h"

namespace quillet {

class Win32UserInterface final : public UserInterface {
public:
    // `module` is the instance (HINSTANCE) whose resources hold the templates, strings and icons.
    Win32UserInterface(void* module, MessageBoxService& messageBoxes);

    int RunModal(Dialog& dialog, WindowHandle parent) override;
    void EndDialog(WindowHandle dialog, int result) override;
    WindowHandle GetDlgItem(WindowHandle dialog, int id) override;
    MessageResult Send(WindowHandle window, unsigned message, MessageWParam wParam,
                       MessageLParam lParam) override;
    MessageResult SendText(WindowHandle window, unsigned message, MessageWParam wParam,
                           const std::string& text) override;
    std::string ReceiveText(WindowHandle window, unsigned lengthMessage, unsigned textMessage,
                            MessageWParam wParam) override;
    bool Post(WindowHandle window, unsigned message, MessageWParam wParam,
              MessageLParam lParam) override;
    bool EnableWindow(WindowHandle window, bool enable) override;
    bool IsWindowEnabled(WindowHandle window) override;
    bool IsIconic(WindowHandle window) override;
    PixelSize ClientSize(WindowHandle window) override;
    bool AppendSystemMenuSeparator(WindowHandle window) override;
    bool AppendSystemMenuItem(WindowHandle window, unsigned commandId,
                              const std::string& text) override;
    std::unique_ptr<PaintDevice> BeginPaint(WindowHandle window) override;
    GdiHandle CreateFontObject(const LogFont& font) override;
    bool DeleteObject(GdiHandle object) override;
    std::string LoadStringResource(int id) override;
    LanguageId StringLanguage(int id) override;
    unsigned UserCodePage() override;
    IconHandle LoadIconResource(int id) override;
    PixelSize SystemIconSize() override;
    void MessageBeep(unsigned type) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    MessageBoxService& MessageBoxes() override { return liftingBoxes_; }
    void HoldInput(WindowHandle window) override;
    void ReleaseInput(WindowHandle window) override;
    bool ServeMessages() override;
    void ReportHandlerFailure(WindowHandle dialog, const std::string& what) override;

private:
    void* module_;
    MessageBoxService& messageBoxes_;
    InputHolds holds_{*this};
    HoldLiftingMessageBoxes liftingBoxes_{messageBoxes_, holds_};
    // The control that had the keyboard focus when a window's hold began, for its end.
    std::map<WindowHandle, void*> focusBeforeHold_;
    int waitCursorDepth_ = 0;
    void* cursorBeforeWait_ = nullptr;
};

}  // namespace quillet
