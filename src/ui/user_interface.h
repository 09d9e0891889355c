// The window system as the dialog framework sees it. Two backends implement it: win32 (real
// windows made from the program's resource templates) and headless (in-memory windows with the
// same message semantics, for tests). Dialogs and control wrappers reach the window system only
// through this interface, so the same dialog code runs over either.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/message_box.h"
#include "ui/messages.h"

namespace quillet {

class Dialog;

// A language as the platform identifies it (0x0409 English (United States), 0x0411 Japanese ...).
using LanguageId = std::uint16_t;
// An icon loaded from the program's resources; shared, never destroyed by the program. 0 is none.
using IconHandle = std::uintptr_t;
// A drawing object the program created (a font); 0 is none.
using GdiHandle = std::uintptr_t;

// A colour as the platform stores it: 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour Rgb(unsigned red, unsigned green, unsigned blue) {
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}

// The description of a font to create, field for field the platform's LOGFONT. The face name is
// in the user's code page and at most 31 bytes of it (whole characters) reach the platform.
struct LogFont {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string faceName;

    bool operator==(const LogFont& other) const;
};

struct PixelSize {
    int width = 0;
    int height = 0;
};

// One paint of one window, from the platform's BeginPaint to its EndPaint, which the destructor
// performs. Calls on a device whose BeginPaint failed do nothing and return 0.
class PaintDevice {
public:
    virtual ~PaintDevice() = default;

    virtual int PixelsPerInchY() const = 0;
    // Each returns the previous value.
    virtual int SetBackgroundMode(int mode) = 0;
    virtual Colour SetTextColour(Colour colour) = 0;
    virtual GdiHandle SelectObject(GdiHandle object) = 0;
    // Draws `text` (the user's code page) as one line, its top left corner at (x, y) client pixels.
    virtual bool WriteText(int x, int y, const std::string& text) = 0;
    virtual bool DrawIcon(int x, int y, IconHandle icon) = 0;
    // The platform's device context of this paint, as a message parameter (WM_ICONERASEBKGND
    // carries it); 0 where there is none.
    virtual MessageWParam DeviceContext() const { return 0; }
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Modal dialogs. RunModal creates the window from the dialog's template in the user's
    // language, dispatches its messages to `dialog` until EndDialog, and returns the value given
    // to EndDialog, or -1 when the window could not be created. A dialog with a parent is owned by
    // it: the owner takes no input while the dialog runs, and the dialog opens centred over it; a
    // dialog without one opens centred on the screen.
    virtual int RunModal(Dialog& dialog, WindowHandle parent) = 0;
    virtual void EndDialog(WindowHandle dialog, int result) = 0;
    virtual WindowHandle GetDlgItem(WindowHandle dialog, int id) = 0;

    // Messages. Texts travel as bytes of the user's code page, unchanged; ReceiveText asks
    // the length with `lengthMessage`, then the text with `textMessage` (both with `wParam`) and
    // returns "" when the window reports an error.
    virtual MessageResult Send(WindowHandle window, unsigned message, MessageWParam wParam,
                               MessageLParam lParam) = 0;
    virtual MessageResult SendText(WindowHandle window, unsigned message, MessageWParam wParam,
                                   const std::string& text) = 0;
    virtual std::string ReceiveText(WindowHandle window, unsigned lengthMessage,
                                    unsigned textMessage, MessageWParam wParam) = 0;
    virtual bool Post(WindowHandle window, unsigned message, MessageWParam wParam,
                      MessageLParam lParam) = 0;

    // Window state. EnableWindow returns whether the window was disabled before.
    virtual bool EnableWindow(WindowHandle window, bool enable) = 0;
    virtual bool IsWindowEnabled(WindowHandle window) = 0;
    virtual bool IsIconic(WindowHandle window) = 0;
    virtual PixelSize ClientSize(WindowHandle window) = 0;
    virtual bool AppendSystemMenuSeparator(WindowHandle window) = 0;
    virtual bool AppendSystemMenuItem(WindowHandle window, unsigned commandId,
                                      const std::string& text) = 0;

    // Painting and fonts. A font lives until DeleteObject; it must not be deleted while it is
    // selected into a device.
    virtual std::unique_ptr<PaintDevice> BeginPaint(WindowHandle window) = 0;
    virtual GdiHandle CreateFontObject(const LogFont& font) = 0;
    virtual bool DeleteObject(GdiHandle object) = 0;

    // The program's resources in the user's language. A missing string is "".
    virtual std::string LoadStringResource(int id) = 0;
    // The language of the string table that LoadStringResource reads string `id` from; 0 when
    // there is none.
    virtual LanguageId StringLanguage(int id) = 0;
    // The user's ANSI code page, in which every text of this interface is written.
    virtual unsigned UserCodePage() = 0;
    virtual IconHandle LoadIconResource(int id) = 0;
    virtual PixelSize SystemIconSize() = 0;

    // Feedback. The wait cursor shows from the first Begin to the matching End.
    virtual void MessageBeep(unsigned type) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // Message boxes; a box without caption shows the application title.
    virtual MessageBoxService& MessageBoxes() = 0;

    // Input holds (see ui/input_holds.h): from HoldInput to the matching ReleaseInput the window
    // takes no input; holds nest.
    virtual void HoldInput(WindowHandle window) = 0;
    virtual void ReleaseInput(WindowHandle window) = 0;
    // While a window is held, answers what the window system sent or posted meanwhile (paints,
    // pings, close requests, which the held dialog refuses), leaving out the input meant for held
    // windows, and returns true. Without a held window it does nothing and returns false.
    virtual bool ServeMessages() = 0;

    // A handler of `dialog` failed with an exception, which the framework stopped there; the
    // dialog then ends with -1.
    virtual void ReportHandlerFailure(WindowHandle dialog, const std::string& what) = 0;
};

}  // namespace quillet
