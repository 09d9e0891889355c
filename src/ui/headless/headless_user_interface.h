// The headless backend: dialogs run without a window system. Each dialog is made from its
// template in the program's compiled resources (the same ones the program carries), in the
// language the test chooses, with in-memory controls that answer messages as the platform's do.
// User actions come from a script the test queues beforehand; each names the dialog that must be
// on top when it runs. What the dialogs paint, their results, beeps and the wait cursor are
// recorded, and message boxes go to the MessageBoxService the test passes (a RecordedMessageBox).
//
// A modal run: the window is made and gets WM_INITDIALOG; then, until the dialog ends, posted
// messages are delivered first, then a pending paint, then the next scripted action. A script
// that runs out (and that the test, asked through SetOnScriptEnd, does not extend), or whose next
// action names another dialog, is an error: it is recorded and the dialog ends with
// kDialogFailed, as does a handler that throws.
//
// Texts are bytes in the headless user's code page, as they are in the user's ANSI code page on
// the platform: controls store and count bytes. That code page is UTF-8 (65001), which holds the
// texts of every language the resources carry; they reach the dialogs converted into it.
//
// An action may name any dialog that is open, not only the topmost one; it is refused, as the
// platform refuses input, when that dialog or its control is disabled. A refusal the test expects
// (ExpectRefused) is recorded; any other is an error. While a handler holds its dialog and waits,
// ServeMessages delivers what was posted and performs at most one scripted action each time.
// Dialogs lie on a screen of kScreenWidth by kScreenHeight pixels, each opened centred over its
// owner or, without one, on the screen.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/input_holds.h"
#include "ui/resource_data.h"
#include "ui/user_interface.h"

namespace quillet {

struct HeadlessWindow;
class HeadlessUserInterface;

struct PaintedText {
    int x = 0;
    int y = 0;
    std::string text;
    Colour colour = 0;
    int backgroundMode = 0;
    LogFont font;  // the font selected when the text was drawn
};

struct PaintedIcon {
    int x = 0;
    int y = 0;
    IconHandle icon = 0;
};

// What one WM_PAINT drew.
struct PaintRecord {
    std::vector<PaintedText> texts;
    std::vector<PaintedIcon> icons;
};

struct SystemMenuItem {
    unsigned commandId = 0;  // 0 for a separator
    std::string text;
};

struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// One modal run of a dialog, in the order the dialogs were shown.
struct DialogRecord {
    int templateId = 0;
    int ownerTemplateId = 0;  // 0: no owner
    WindowRect openedAt;      // screen pixels, as the dialog opened
    LanguageId language = 0;  // the language of the template that was found
    std::string caption;
    int result = 0;
    std::vector<PaintRecord> paints;
    std::vector<SystemMenuItem> systemMenu;
    IconHandle bigIcon = 0;
    IconHandle smallIcon = 0;
};

// A live dialog as a scripted check sees it.
class HeadlessDialogView {
public:
    HeadlessDialogView(HeadlessUserInterface& ui, HeadlessWindow& window)
        : ui_(ui), window_(window) {}

    int TemplateId() const;
    WindowHandle Handle() const;
    std::string Caption() const;
    // Control `id`, 0 when the dialog has none.
    WindowHandle Item(int id) const;
    std::string Text(int id) const;
    bool IsEnabled(int id) const;
    bool IsDialogEnabled() const;
    WindowRect Bounds() const;
    // Moves the window (as the user drags it by its title bar).
    void MoveTo(int x, int y);
    // Minimises or restores the window (as the user does with the minimise box).
    void SetIconic(bool iconic);

private:
    HeadlessUserInterface& ui_;
    HeadlessWindow& window_;
};

class HeadlessUserInterface final : public UserInterface {
public:
    // Over the program's own compiled resources.
    HeadlessUserInterface(LanguageId language, MessageBoxService& messageBoxes);
    HeadlessUserInterface(ResourceFile resources, LanguageId language,
                          MessageBoxService& messageBoxes);
    static constexpr int kScreenWidth = 1024;
    static constexpr int kScreenHeight = 768;
    ~HeadlessUserInterface() override;

    // The environment.
    void SetPixelsPerInch(int pixelsPerInch) { pixelsPerInch_ = pixelsPerInch; }
    // A test's stand-in for string `id`, for texts the resources do not hold.
    void ReplaceString(int id, std::string text) { replacedStrings_[id] = std::move(text); }

    // The script: user actions in the order they will happen.
    void QueueClick(int templateId, int buttonId);
    void QueueEscape(int templateId);
    void QueueEnter(int templateId);
    void QueueCloseBox(int templateId);
    void QueueSelect(int templateId, int listId, int index);
    void QueueRepaint(int templateId);
    void QueueCheck(int templateId, std::function<void(HeadlessDialogView&)> check);
    // The action queued last is to be refused; performed instead, it is an error.
    void ExpectRefused();
    // Called each time ServeMessages serves, after what it delivered and performed.
    void SetOnServe(std::function<void()> onServe) { onServe_ = std::move(onServe); }
    // Called with the template id of a modal dialog whose loop finds the script empty, before
    // that counts as an error: a test that answers whatever comes queues its answer here.
    void SetOnScriptEnd(std::function<void(int templateId)> onScriptEnd) {
        onScriptEnd_ = std::move(onScriptEnd);
    }
    std::size_t PendingActions() const { return script_.size(); }

    // What happened.
    const std::vector<DialogRecord>& Dialogs() const { return records_; }
    const std::vector<std::string>& Errors() const { return errors_; }
    const std::vector<std::string>& Refused() const { return refused_; }
    const std::vector<unsigned>& Beeps() const { return beeps_; }
    int WaitCursorDepth() const { return waitCursorDepth_; }
    int WaitCursorShown() const { return waitCursorShown_; }
    int FontsCreated() const { return static_cast<int>(fonts_.size()); }
    int LiveFonts() const;
    int OpenPaints() const { return openPaints_; }

    // UserInterface.
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
    unsigned UserCodePage() override { return kUtf8CodePage; }
    static constexpr unsigned kUtf8CodePage = 65001;
    IconHandle LoadIconResource(int id) override;
    PixelSize SystemIconSize() override { return PixelSize{32, 32}; }
    void MessageBeep(unsigned type) override { beeps_.push_back(type); }
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    MessageBoxService& MessageBoxes() override { return liftingBoxes_; }
    void HoldInput(WindowHandle window) override { holds_.Hold(window); }
    void ReleaseInput(WindowHandle window) override { holds_.Release(window); }
    bool ServeMessages() override;
    void ReportHandlerFailure(WindowHandle dialog, const std::string& what) override;

private:
    friend class HeadlessDialogView;
    friend class HeadlessPaintDevice;

    struct Action {
        enum class Kind { Click, Escape, Enter, CloseBox, Select, Repaint, Check } kind;
        int templateId = 0;
        int controlId = 0;
        int index = 0;
        std::function<void(HeadlessDialogView&)> check;
        bool refusalExpected = false;
    };
    // Message boxes as the platform shows them: a box disables its enabled owner while it is up.
    class OwnerDisablingBoxes final : public MessageBoxService {
    public:
        OwnerDisablingBoxes(HeadlessUserInterface& ui, MessageBoxService& boxes)
            : ui_(ui), boxes_(boxes) {}
        MessageButton Show(const std::string& text, const std::string& caption, MessageIcon icon,
                           bool taskModal, WindowHandle owner) override;
        MessageButton ShowUntitled(const std::string& text, MessageIcon icon, bool taskModal,
                                   WindowHandle owner) override;

    private:
        HeadlessUserInterface& ui_;
        MessageBoxService& boxes_;
    };
    struct Posted {
        WindowHandle window;
        unsigned message;
        MessageWParam wParam;
        MessageLParam lParam;
    };
    struct FontObject {
        LogFont font;
        bool alive = true;
        int selections = 0;  // paint devices that have it selected
    };

    HeadlessWindow* Window(WindowHandle handle) const;
    HeadlessWindow* Child(HeadlessWindow& dialog, int id) const;
    static WindowHandle HandleOf(const HeadlessWindow* window);
    HeadlessWindow& MakeWindow();
    HeadlessWindow* CreateDialogWindow(Dialog& dialog, const DialogTemplate& layout);
    MessageResult Deliver(HeadlessWindow& window, unsigned message, MessageWParam wParam,
                          MessageLParam lParam, const std::string* textIn = nullptr,
                          std::string* textOut = nullptr);
    MessageResult DefaultDialogMessage(HeadlessWindow& dialog, unsigned message,
                                       MessageWParam wParam, MessageLParam lParam,
                                       const std::string* textIn, std::string* textOut);
    // Performs `action` on `dialog`; a mistake ends `running`, the dialog whose loop runs.
    void Perform(const Action& action, HeadlessWindow& dialog, HeadlessWindow& running);
    HeadlessWindow* OpenDialog(int templateId) const;
    void PlaceDialog(HeadlessWindow& dialog);
    void Command(HeadlessWindow& dialog, int id, int notification);
    void Fail(HeadlessWindow& dialog, const std::string& error);
    FontObject* Font(GdiHandle handle);
    const LogFont& FontDescription(GdiHandle handle);
    DialogRecord& RecordOf(const HeadlessWindow& dialog);

    ResourceFile resources_;
    LanguageId language_;
    MessageBoxService& messageBoxes_;
    InputHolds holds_{*this};
    OwnerDisablingBoxes ownedBoxes_{*this, messageBoxes_};
    HoldLiftingMessageBoxes liftingBoxes_{ownedBoxes_, holds_};
    std::function<void()> onServe_;
    std::function<void(int)> onScriptEnd_;
    int pixelsPerInch_ = 96;
    std::map<int, std::string> replacedStrings_;

    // Windows live until the interface ends, so that a stale handle finds a destroyed window
    // rather than freed memory.
    std::vector<std::unique_ptr<HeadlessWindow>> windows_;
    std::set<WindowHandle> handles_;
    std::vector<HeadlessWindow*> modal_;
    std::deque<Action> script_;
    std::deque<Posted> posted_;

    std::vector<FontObject> fonts_;
    LogFont stockFont_;
    int openPaints_ = 0;

    std::vector<DialogRecord> records_;
    std::vector<std::string> errors_;
    std::vector<std::string> refused_;
    std::vector<unsigned> beeps_;
    int waitCursorDepth_ = 0;
    int waitCursorShown_ = 0;
};

}  // namespace quillet
