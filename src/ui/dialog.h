// The dialog base: one object per dialog window, linked to its window while it runs modally. The
// window's messages come to HandleMessage, which runs the framework's own handling (initialisation,
// OK and Cancel) and the derived dialog's message map.
#pragma once

#include <cstddef>
#include <string>

#include "ui/controls.h"
#include "ui/user_interface.h"

namespace quillet {

class Dialog;

// The value of DoModal when the window could not be made or a handler failed.
constexpr int kDialogFailed = -1;

// One row of a message map: a message (for WM_COMMAND also the control and the notification)
// and the handler it goes to. Rows are made by the functions below, never by hand.
struct MessageMapEntry {
    unsigned message = 0;
    int controlId = 0;
    int notification = 0;
    void (Dialog::*onEvent)() = nullptr;  // WM_COMMAND, WM_PAINT
    void (Dialog::*onSysCommand)(unsigned commandId, MessageLParam lParam) = nullptr;
    IconHandle (Dialog::*onQueryDragIcon)() = nullptr;
};

template <class D>
MessageMapEntry OnCommandEntry(int controlId, int notification, void (D::*handler)()) {
    MessageMapEntry entry;
    entry.message = kWmCommand;
    entry.controlId = controlId;
    entry.notification = notification;
    entry.onEvent = static_cast<void (Dialog::*)()>(handler);
    return entry;
}

template <class D>
MessageMapEntry OnPaintEntry(void (D::*handler)()) {
    MessageMapEntry entry;
    entry.message = kWmPaint;
    entry.onEvent = static_cast<void (Dialog::*)()>(handler);
    return entry;
}

template <class D>
MessageMapEntry OnSysCommandEntry(void (D::*handler)(unsigned, MessageLParam)) {
    MessageMapEntry entry;
    entry.message = kWmSysCommand;
    entry.onSysCommand = static_cast<void (Dialog::*)(unsigned, MessageLParam)>(handler);
    return entry;
}

template <class D>
MessageMapEntry OnQueryDragIconEntry(IconHandle (D::*handler)()) {
    MessageMapEntry entry;
    entry.message = kWmQueryDragIcon;
    entry.onQueryDragIcon = static_cast<IconHandle (Dialog::*)()>(handler);
    return entry;
}

// A dialog's message map: a view of a static array of entries.
class MessageMap {
public:
    MessageMap() = default;
    template <std::size_t N>
    MessageMap(const MessageMapEntry (&entries)[N]) : entries_(entries), count_(N) {}

    const MessageMapEntry* begin() const { return entries_; }
    const MessageMapEntry* end() const { return entries_ + count_; }

private:
    const MessageMapEntry* entries_ = nullptr;
    std::size_t count_ = 0;
};

// Binds a dialog's control wrappers to its controls and moves values between its controls and
// its fields: binding only (as the dialog starts), loading (fields into controls) or saving
// (controls into fields).
class DataExchange {
public:
    enum class Direction { Bind, Load, Save };

    DataExchange(Dialog& dialog, Direction direction) : dialog_(dialog), direction_(direction) {}

    // Binds `control` to the dialog's control `id` (in every direction).
    void BindControl(int id, ControlWindow& control);
    // The window text of control `id`.
    void ExchangeText(int id, std::string& value);
    // The text of the selected entry of drop-down list `id` ("" when none is selected). Loading
    // selects the first entry with exactly that text unless the selected one has it already; an
    // empty text, or one that no entry has, leaves the selection as it is.
    void ExchangeComboText(int id, std::string& value);

private:
    Dialog& dialog_;
    Direction direction_;
};

class Dialog {
public:
    Dialog(UserInterface& ui, int templateId, WindowHandle parent = 0)
        : ui_(ui), templateId_(templateId), parent_(parent) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog modally; returns the id of the command that ended it (kIdOk, kIdCancel
    // or what a handler gave EndDialog), or kDialogFailed.
    int DoModal();
    void EndDialog(int result);

    int TemplateId() const { return templateId_; }
    WindowHandle Handle() const { return handle_; }
    UserInterface& Ui() const { return ui_; }

    // For the backends: link the window while it exists, and hand over each of its messages.
    // HandleMessage returns whether the dialog handled the message (`result` then holds its
    // value); when it did not, the backend gives it the platform's default processing. No
    // exception leaves it: a failing handler is reported and ends the dialog with kDialogFailed.
    void AttachWindow(WindowHandle handle) { handle_ = handle; }
    void DetachWindow() { handle_ = 0; }
    // While one of its mapped command handlers runs, the dialog is held (it takes no input) and
    // refuses every other command and every close request, the end of the session included.
    bool HandleMessage(unsigned message, MessageWParam wParam, MessageLParam lParam,
                       MessageResult& result) noexcept;

protected:
    // The framework's handlers. OnInitDialog binds the control wrappers of DoDataExchange and
    // returns true (the default focus); it writes no field into a control, so the controls show
    // their template texts until the first UpdateData(false). OnOK saves the controls into the
    // fields and ends with kIdOk; OnCancel ends with kIdCancel.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(DataExchange&) {}
    virtual MessageMap GetMessageMap() const { return MessageMap(); }

    bool UpdateData(bool saveAndValidate = true);
    // Called by a mapped handler: the message goes on to the platform's default processing.
    void Default() { defaultRequested_ = true; }

    WindowHandle GetDlgItem(int id) const { return ui_.GetDlgItem(handle_, id); }
    MessageResult Send(unsigned message, MessageWParam wParam = 0, MessageLParam lParam = 0) {
        return ui_.Send(handle_, message, wParam, lParam);
    }
    bool IsIconic() const { return ui_.IsIconic(handle_); }
    PixelSize ClientSize() const { return ui_.ClientSize(handle_); }
    void SetIcon(IconHandle icon, bool big) {
        ui_.Send(handle_, kWmSetIcon, big ? kIconBig : kIconSmall,
                 static_cast<MessageLParam>(icon));
    }
    // A box owned by this dialog; no caption shows the application title.
    MessageButton ShowMessage(const std::string& text, const std::string& caption = std::string(),
                              MessageIcon icon = MessageIcon::None) {
        return ui_.MessageBoxes().Show(text, caption, icon, false, handle_);
    }

private:
    bool Dispatch(unsigned message, MessageWParam wParam, MessageLParam lParam,
                  MessageResult& result);
    void Fail(const char* what) noexcept;

    UserInterface& ui_;
    int templateId_;
    WindowHandle parent_;
    WindowHandle handle_ = 0;
    bool defaultRequested_ = false;
    int busy_ = 0;
};

// The text of the box that reports a handler that failed unexpectedly.
inline constexpr char kHandlerFailureText[] = "An unexpected error stopped this operation: ";

}  // namespace quillet
