#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include "ui/win32/win32_user_interface.h"

#include <algorithm>

#include "ui/dialog.h"

namespace quillet {

// The framework's numbers are the platform's.
static_assert(kWmSetText == WM_SETTEXT && kWmGetText == WM_GETTEXT &&
              kWmGetTextLength == WM_GETTEXTLENGTH && kWmPaint == WM_PAINT &&
              kWmClose == WM_CLOSE && kWmQueryDragIcon == WM_QUERYDRAGICON &&
              kWmSetIcon == WM_SETICON && kWmInitDialog == WM_INITDIALOG &&
              kWmCommand == WM_COMMAND && kWmSysCommand == WM_SYSCOMMAND);
static_assert(kCbAddString == CB_ADDSTRING && kCbDeleteString == CB_DELETESTRING &&
              kCbGetCount == CB_GETCOUNT && kCbGetCurSel == CB_GETCURSEL &&
              kCbGetLbText == CB_GETLBTEXT && kCbGetLbTextLen == CB_GETLBTEXTLEN &&
              kCbInsertString == CB_INSERTSTRING && kCbResetContent == CB_RESETCONTENT &&
              kCbSetCurSel == CB_SETCURSEL && kCbOkay == CB_OKAY && kCbErr == CB_ERR);
static_assert(kPbmSetRange == PBM_SETRANGE && kPbmSetPos == PBM_SETPOS &&
              kPbmDeltaPos == PBM_DELTAPOS && kPbmSetStep == PBM_SETSTEP &&
              kPbmStepIt == PBM_STEPIT && kPbmGetRange == PBM_GETRANGE && kPbmGetPos == PBM_GETPOS);
static_assert(kBnClicked == BN_CLICKED && kCbnSelChange == CBN_SELCHANGE && kIdOk == IDOK &&
              kIdCancel == IDCANCEL && kScClose == SC_CLOSE && kIconSmall == ICON_SMALL &&
              kIconBig == ICON_BIG && kTransparent == TRANSPARENT && kOpaque == OPAQUE &&
              kBeepDefault == MB_OK);
static_assert(kWsDisabled == WS_DISABLED && kBsDefPushButton == BS_DEFPUSHBUTTON &&
              kBsTypeMask == BS_TYPEMASK);
static_assert(kWmQueryEndSession == WM_QUERYENDSESSION);
static_assert(sizeof(WindowHandle) == sizeof(HWND) && sizeof(MessageWParam) == sizeof(WPARAM) &&
              sizeof(MessageLParam) == sizeof(LPARAM) && sizeof(MessageResult) == sizeof(LRESULT));

namespace {

HWND ToWindow(WindowHandle handle) {
    return reinterpret_cast<HWND>(handle);
}

HCURSOR SystemCursor(LPCSTR id) {
    return ::LoadCursorA(nullptr, id);
}

// Places a dialog that is about to show: centred over its owner, or on the screen's work area
// without one, and kept inside that work area.
void CentreDialog(HWND dialog) {
    RECT work = {};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    RECT area = work;
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    RECT own = {};
    if (!::GetWindowRect(dialog, &own))
        return;
    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    LONG x = area.left + (area.right - area.left - width) / 2;
    LONG y = area.top + (area.bottom - area.top - height) / 2;
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The top-level window that holds `window`. Written out because GetAncestor, which does this,
// came with Windows 98 and 2000: NT 4.0 would refuse to load the program.
HWND RootWindow(HWND window) {
    while (window && (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) {
        HWND parent = ::GetParent(window);
        if (!parent)
            break;
        window = parent;
    }
    return window;
}

bool IsInputMessage(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->AttachWindow(reinterpret_cast<WindowHandle>(window));
        lParam = 0;
        CentreDialog(window);
    } else {
        dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!dialog)
        return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->DetachWindow();
        return FALSE;
    }
    MessageResult result = 0;
    if (!dialog->HandleMessage(message, wParam, static_cast<MessageLParam>(lParam), result))
        return FALSE;
    switch (message) {
        // These return their value directly; the others through DWLP_MSGRESULT.
        case WM_INITDIALOG:
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrA(window, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
            return TRUE;
    }
}

class Win32PaintDevice final : public PaintDevice {
public:
    explicit Win32PaintDevice(HWND window) : window_(window) {
        dc_ = ::BeginPaint(window_, &paint_);
    }
    ~Win32PaintDevice() override {
        if (dc_)
            ::EndPaint(window_, &paint_);
    }
    Win32PaintDevice(const Win32PaintDevice&) = delete;
    Win32PaintDevice& operator=(const Win32PaintDevice&) = delete;

    int PixelsPerInchY() const override { return dc_ ? ::GetDeviceCaps(dc_, LOGPIXELSY) : 0; }
    int SetBackgroundMode(int mode) override { return dc_ ? ::SetBkMode(dc_, mode) : 0; }
    Colour SetTextColour(Colour colour) override {
        return dc_ ? static_cast<Colour>(::SetTextColor(dc_, colour)) : 0;
    }
    GdiHandle SelectObject(GdiHandle object) override {
        if (!dc_)
            return 0;
        return reinterpret_cast<GdiHandle>(::SelectObject(dc_, reinterpret_cast<HGDIOBJ>(object)));
    }
    bool WriteText(int x, int y, const std::string& text) override {
        if (!dc_)
            return false;
        return ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size())) != FALSE;
    }
    bool DrawIcon(int x, int y, IconHandle icon) override {
        return dc_ && ::DrawIcon(dc_, x, y, reinterpret_cast<HICON>(icon)) != FALSE;
    }
    MessageWParam DeviceContext() const override { return reinterpret_cast<MessageWParam>(dc_); }

private:
    HWND window_;
    PAINTSTRUCT paint_ = {};
    HDC dc_ = nullptr;
};

}  // namespace

Win32UserInterface::Win32UserInterface(void* module, MessageBoxService& messageBoxes)
    : module_(module), messageBoxes_(messageBoxes) {
    // The progress bar's window class must exist before a template that holds one is made.
    INITCOMMONCONTROLSEX commonControls = {sizeof(commonControls), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&commonControls);
}

int Win32UserInterface::RunModal(Dialog& dialog, WindowHandle parent) {
    // The owner is enabled when the dialog starts, so the dialog disables it and hands the
    // activation back to it as it closes.
    InputHolds::Lift lift(holds_, parent);
    INT_PTR result =
        ::DialogBoxParamA(static_cast<HINSTANCE>(module_), MAKEINTRESOURCEA(dialog.TemplateId()),
                          ToWindow(parent), DialogProcedure, reinterpret_cast<LPARAM>(&dialog));
    return static_cast<int>(result);
}

void Win32UserInterface::HoldInput(WindowHandle window) {
    if (!holds_.Held(window)) {
        HWND focus = ::GetFocus();
        const bool inside =
            focus && (focus == ToWindow(window) || ::IsChild(ToWindow(window), focus));
        focusBeforeHold_[window] = inside ? focus : nullptr;
    }
    holds_.Hold(window);
}

void Win32UserInterface::ReleaseInput(WindowHandle window) {
    if (!holds_.Release(window))
        return;
    // Disabling took the keyboard focus away; it goes back where it was.
    HWND focus = static_cast<HWND>(focusBeforeHold_[window]);
    focusBeforeHold_.erase(window);
    if (focus && ::IsWindow(focus) && ::IsWindowEnabled(focus) && ::IsWindowVisible(focus) &&
        ::GetActiveWindow() == ToWindow(window))
        ::SetFocus(focus);
}

bool Win32UserInterface::ServeMessages() {
    if (!holds_.Any())
        return false;
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the loop that owns it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        HWND top = RootWindow(message.hwnd);
        if (IsInputMessage(message.message) && top &&
            holds_.Held(reinterpret_cast<WindowHandle>(top)))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return true;
}

void Win32UserInterface::EndDialog(WindowHandle dialog, int result) {
    ::EndDialog(ToWindow(dialog), result);
}

WindowHandle Win32UserInterface::GetDlgItem(WindowHandle dialog, int id) {
    return reinterpret_cast<WindowHandle>(::GetDlgItem(ToWindow(dialog), id));
}

MessageResult Win32UserInterface::Send(WindowHandle window, unsigned message, MessageWParam wParam,
                                       MessageLParam lParam) {
    return ::SendMessageA(ToWindow(window), message, wParam, lParam);
}

MessageResult Win32UserInterface::SendText(WindowHandle window, unsigned message,
                                           MessageWParam wParam, const std::string& text) {
    return ::SendMessageA(ToWindow(window), message, wParam,
                          reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Win32UserInterface::ReceiveText(WindowHandle window, unsigned lengthMessage,
                                            unsigned textMessage, MessageWParam wParam) {
    LRESULT length = ::SendMessageA(ToWindow(window), lengthMessage, wParam, 0);
    if (length < 0)
        return std::string();
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    WPARAM textParam = textMessage == WM_GETTEXT ? static_cast<WPARAM>(length) + 1 : wParam;
    LRESULT copied = ::SendMessageA(ToWindow(window), textMessage, textParam,
                                    reinterpret_cast<LPARAM>(&buffer[0]));
    if (copied < 0)
        return std::string();
    buffer.resize(std::min(static_cast<std::size_t>(copied), static_cast<std::size_t>(length)));
    return buffer;
}

bool Win32UserInterface::Post(WindowHandle window, unsigned message, MessageWParam wParam,
                              MessageLParam lParam) {
    return ::PostMessageA(ToWindow(window), message, wParam, lParam) != FALSE;
}

bool Win32UserInterface::EnableWindow(WindowHandle window, bool enable) {
    return ::EnableWindow(ToWindow(window), enable ? TRUE : FALSE) != FALSE;
}

bool Win32UserInterface::IsWindowEnabled(WindowHandle window) {
    return ::IsWindowEnabled(ToWindow(window)) != FALSE;
}

bool Win32UserInterface::IsIconic(WindowHandle window) {
    return ::IsIconic(ToWindow(window)) != FALSE;
}

PixelSize Win32UserInterface::ClientSize(WindowHandle window) {
    RECT client = {};
    if (!::GetClientRect(ToWindow(window), &client))
        return PixelSize{};
    return PixelSize{client.right - client.left, client.bottom - client.top};
}

bool Win32UserInterface::AppendSystemMenuSeparator(WindowHandle window) {
    HMENU menu = ::GetSystemMenu(ToWindow(window), FALSE);
    return menu && ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) != FALSE;
}

bool Win32UserInterface::AppendSystemMenuItem(WindowHandle window, unsigned commandId,
                                              const std::string& text) {
    HMENU menu = ::GetSystemMenu(ToWindow(window), FALSE);
    return menu && ::AppendMenuA(menu, MF_STRING, commandId, text.c_str()) != FALSE;
}

std::unique_ptr<PaintDevice> Win32UserInterface::BeginPaint(WindowHandle window) {
    return std::make_unique<Win32PaintDevice>(ToWindow(window));
}

GdiHandle Win32UserInterface::CreateFontObject(const LogFont& font) {
    LOGFONTA description = {};
    description.lfHeight = font.height;
    description.lfWidth = font.width;
    description.lfEscapement = font.escapement;
    description.lfOrientation = font.orientation;
    description.lfWeight = font.weight;
    description.lfItalic = font.italic;
    description.lfUnderline = font.underline;
    description.lfStrikeOut = font.strikeOut;
    description.lfCharSet = font.charSet;
    description.lfOutPrecision = font.outPrecision;
    description.lfClipPrecision = font.clipPrecision;
    description.lfQuality = font.quality;
    description.lfPitchAndFamily = font.pitchAndFamily;
    // The face's whole characters that fit, never the lead byte of a double-byte one alone.
    const char* face = font.faceName.c_str();
    const char* end = face;
    while (*end) {
        const char* next = ::CharNextA(end);
        if (next - face > LF_FACESIZE - 1)
            break;
        end = next;
    }
    std::copy(face, end, description.lfFaceName);
    return reinterpret_cast<GdiHandle>(::CreateFontIndirectA(&description));
}

bool Win32UserInterface::DeleteObject(GdiHandle object) {
    return ::DeleteObject(reinterpret_cast<HGDIOBJ>(object)) != FALSE;
}

unsigned Win32UserInterface::UserCodePage() {
    return ::GetACP();
}

std::string Win32UserInterface::LoadStringResource(int id) {
    // The system converts the resource's text into the user's code page; a text that fills the
    // buffer may have been cut, so it is read again into a larger one.
    std::string text(256, '\0');
    for (;;) {
        int length = ::LoadStringA(static_cast<HINSTANCE>(module_), static_cast<UINT>(id), &text[0],
                                   static_cast<int>(text.size()));
        if (length <= 0)
            return std::string();
        if (static_cast<std::size_t>(length) + 1 < text.size()) {
            text.resize(static_cast<std::size_t>(length));
            return text;
        }
        text.assign(text.size() * 2, '\0');
    }
}

namespace {

// What StringLanguage looks for: the block the system's own lookup picked, and its language.
struct StringBlockSearch {
    HRSRC picked;
    LPCSTR block;
    LanguageId language;
};

BOOL CALLBACK MatchStringBlock(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                               LONG_PTR parameter) {
    auto* search = reinterpret_cast<StringBlockSearch*>(parameter);
    if (::FindResourceExA(module, type, name, language) != search->picked)
        return TRUE;
    search->language = language;
    return FALSE;
}

}  // namespace

LanguageId Win32UserInterface::StringLanguage(int id) {
    if (id < 0 || id > 0xFFFF)
        return 0;
    // LoadStringA reads the block the plain lookup finds in the user's language; the system
    // names no language for it, so it is the one of the block's languages that gives that block.
    HMODULE module = static_cast<HMODULE>(module_);
    StringBlockSearch search = {nullptr, MAKEINTRESOURCEA(id / 16 + 1), 0};
    search.picked = ::FindResourceA(module, search.block, RT_STRING);
    if (!search.picked)
        return 0;
    ::EnumResourceLanguagesA(module, RT_STRING, search.block, MatchStringBlock,
                             reinterpret_cast<LONG_PTR>(&search));
    return search.language;
}

IconHandle Win32UserInterface::LoadIconResource(int id) {
    return reinterpret_cast<IconHandle>(
        ::LoadIconA(static_cast<HINSTANCE>(module_), MAKEINTRESOURCEA(id)));
}

PixelSize Win32UserInterface::SystemIconSize() {
    return PixelSize{::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)};
}

void Win32UserInterface::MessageBeep(unsigned type) {
    ::MessageBeep(type);
}

void Win32UserInterface::BeginWaitCursor() {
    HCURSOR previous = ::SetCursor(SystemCursor(IDC_WAIT));
    if (waitCursorDepth_++ == 0)
        cursorBeforeWait_ = previous;
}

void Win32UserInterface::EndWaitCursor() {
    if (waitCursorDepth_ == 0 || --waitCursorDepth_ > 0)
        return;
    HCURSOR restored = static_cast<HCURSOR>(cursorBeforeWait_);
    ::SetCursor(restored ? restored : SystemCursor(IDC_ARROW));
    cursorBeforeWait_ = nullptr;
}

void Win32UserInterface::ReportHandlerFailure(WindowHandle, const std::string& what) {
    // The user sees the failure in a box (Dialog); this leaves a trace for a debugger.
    ::OutputDebugStringA(("Quillet: a dialog handler failed: " + what + "\n").c_str());
}

}  // namespace quillet
