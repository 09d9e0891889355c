// Control wrappers: non-owning, bound to a dialog's control by data exchange, one message each.
// An unbound wrapper sends nothing and reads 0 or "".
#pragma once

#include <string>

#include "ui/user_interface.h"

namespace quillet {

class ControlWindow {
public:
    ControlWindow() = default;
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    void Attach(UserInterface& ui, WindowHandle handle) {
        ui_ = &ui;
        handle_ = handle;
    }
    WindowHandle Handle() const { return handle_; }

    // Attributes
    std::string GetText() const { return ReceiveText(kWmGetTextLength, kWmGetText, 0); }
    bool IsWindowEnabled() const { return ui_ && ui_->IsWindowEnabled(handle_); }

    // Operations
    void SetText(const std::string& text) { SendText(kWmSetText, 0, text); }
    bool EnableWindow(bool enable) { return ui_ && ui_->EnableWindow(handle_, enable); }

protected:
    MessageResult Send(unsigned message, MessageWParam wParam = 0, MessageLParam lParam = 0) const {
        return ui_ ? ui_->Send(handle_, message, wParam, lParam) : 0;
    }
    MessageResult SendText(unsigned message, MessageWParam wParam, const std::string& text) const {
        return ui_ ? ui_->SendText(handle_, message, wParam, text) : 0;
    }
    std::string ReceiveText(unsigned lengthMessage, unsigned textMessage,
                            MessageWParam wParam) const {
        return ui_ ? ui_->ReceiveText(handle_, lengthMessage, textMessage, wParam) : std::string();
    }
    // A list index as the control expects it in wParam (-1 stays -1).
    static MessageWParam Index(int index) { return static_cast<MessageWParam>(index); }

private:
    UserInterface* ui_ = nullptr;
    WindowHandle handle_ = 0;
};

// A drop-down list. Indexes count from 0; -1 (kCbErr) means none or failure.
class ComboBox : public ControlWindow {
public:
    // Attributes
    int GetCount() const { return static_cast<int>(Send(kCbGetCount)); }
    int GetCurSel() const { return static_cast<int>(Send(kCbGetCurSel)); }
    int SetCurSel(int index) { return static_cast<int>(Send(kCbSetCurSel, Index(index))); }
    int GetLBTextLen(int index) const {
        return static_cast<int>(Send(kCbGetLbTextLen, Index(index)));
    }
    std::string GetLBText(int index) const {
        return ReceiveText(kCbGetLbTextLen, kCbGetLbText, Index(index));
    }

    // Operations
    int AddString(const std::string& text) {
        return static_cast<int>(SendText(kCbAddString, 0, text));
    }
    // Index -1 appends.
    int InsertString(int index, const std::string& text) {
        return static_cast<int>(SendText(kCbInsertString, Index(index), text));
    }
    int DeleteString(int index) { return static_cast<int>(Send(kCbDeleteString, Index(index))); }
    void ResetContent() { Send(kCbResetContent); }
};

class Button : public ControlWindow {};

class StaticText : public ControlWindow {};

// A progress bar; positions are clamped to its range.
class ProgressBar : public ControlWindow {
public:
    // Attributes
    int GetPos() const { return static_cast<int>(Send(kPbmGetPos)); }
    int GetRangeLimit(bool lower) const { return static_cast<int>(Send(kPbmGetRange, lower, 0)); }

    // Operations. Each returns the previous value; SetRange the previous limits, lower in the low
    // word. The range has 16-bit limits.
    MessageResult SetRange(unsigned short lower, unsigned short upper) {
        return Send(kPbmSetRange, 0, MakeLParam(lower, upper));
    }
    int SetPos(int position) { return static_cast<int>(Send(kPbmSetPos, Index(position))); }
    int DeltaPos(int increment) { return static_cast<int>(Send(kPbmDeltaPos, Index(increment))); }
    int SetStep(int step) { return static_cast<int>(Send(kPbmSetStep, Index(step))); }
    // Advances by the step; past the upper limit the bar starts again from the lower one.
    int StepIt() { return static_cast<int>(Send(kPbmStepIt)); }
};

}  // namespace quillet
