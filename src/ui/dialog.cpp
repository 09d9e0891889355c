#include "ui/dialog.h"

#include <exception>
#include <string>

namespace quillet {

namespace {

// Holds a dialog for the length of one of its command handlers, on every path out of it.
class BusyScope {
public:
    BusyScope(UserInterface& ui, WindowHandle dialog, int& busy)
        : ui_(ui), dialog_(dialog), busy_(busy) {
        ++busy_;
        ui_.HoldInput(dialog_);
    }
    ~BusyScope() {
        ui_.ReleaseInput(dialog_);
        --busy_;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    UserInterface& ui_;
    WindowHandle dialog_;
    int& busy_;
};

bool IsCloseRequest(unsigned message, MessageWParam wParam) {
    return message == kWmClose || message == kWmQueryEndSession ||
           (message == kWmSysCommand && (wParam & 0xFFF0u) == kScClose);
}

}  // namespace

void DataExchange::BindControl(int id, ControlWindow& control) {
    control.Attach(dialog_.Ui(), dialog_.Ui().GetDlgItem(dialog_.Handle(), id));
}

void DataExchange::ExchangeText(int id, std::string& value) {
    if (direction_ == Direction::Bind)
        return;
    StaticText control;
    BindControl(id, control);
    if (direction_ == Direction::Save)
        value = control.GetText();
    else
        control.SetText(value);
}

void DataExchange::ExchangeComboText(int id, std::string& value) {
    if (direction_ == Direction::Bind)
        return;
    ComboBox list;
    BindControl(id, list);
    int selected = list.GetCurSel();
    if (direction_ == Direction::Save) {
        value = selected < 0 ? std::string() : list.GetLBText(selected);
        return;
    }
    if (value.empty() || (selected >= 0 && list.GetLBText(selected) == value))
        return;
    for (int i = 0, count = list.GetCount(); i < count; ++i) {
        if (list.GetLBText(i) == value) {
            list.SetCurSel(i);
            return;
        }
    }
}

int Dialog::DoModal() {
    int result = ui_.RunModal(*this, parent_);
    handle_ = 0;
    return result;
}

void Dialog::EndDialog(int result) {
    if (handle_ != 0)
        ui_.EndDialog(handle_, result);
}

bool Dialog::OnInitDialog() {
    DataExchange exchange(*this, DataExchange::Direction::Bind);
    DoDataExchange(exchange);
    return true;
}

void Dialog::OnOK() {
    if (UpdateData(true))
        EndDialog(kIdOk);
}

void Dialog::OnCancel() {
    EndDialog(kIdCancel);
}

bool Dialog::UpdateData(bool saveAndValidate) {
    DataExchange exchange(
        *this, saveAndValidate ? DataExchange::Direction::Save : DataExchange::Direction::Load);
    DoDataExchange(exchange);
    return true;
}

bool Dialog::HandleMessage(unsigned message, MessageWParam wParam, MessageLParam lParam,
                           MessageResult& result) noexcept {
    result = 0;
    try {
        return Dispatch(message, wParam, lParam, result);
    } catch (const std::exception& failure) {
        Fail(failure.what());
    } catch (...) {
        Fail("unknown exception");
    }
    return true;
}

void Dialog::Fail(const char* what) noexcept {
    try {
        ui_.ReportHandlerFailure(handle_, what);
    } catch (...) {
    }
    // The user learns why the dialog (the main one: the program) ends.
    try {
        ui_.MessageBoxes().Show(std::string(kHandlerFailureText) + what, std::string(),
                                MessageIcon::Stop, false, handle_);
    } catch (...) {
    }
    try {
        EndDialog(kDialogFailed);
    } catch (...) {
    }
}

bool Dialog::Dispatch(unsigned message, MessageWParam wParam, MessageLParam lParam,
                      MessageResult& result) {
    if (message == kWmInitDialog) {
        result = OnInitDialog() ? 1 : 0;
        return true;
    }
    // A running handler is never interrupted by a second command or by the dialog's end: both
    // answer "no" (0, also to the end of the session).
    if (busy_ > 0 && (message == kWmCommand || IsCloseRequest(message, wParam)))
        return true;
    int controlId = static_cast<int>(LowWord(wParam));
    int notification = static_cast<int>(HighWord(wParam));
    for (const MessageMapEntry& entry : GetMessageMap()) {
        if (entry.message != message)
            continue;
        defaultRequested_ = false;
        switch (message) {
            case kWmCommand:
                if (entry.controlId != controlId || entry.notification != notification)
                    continue;
                {
                    BusyScope busy(ui_, handle_, busy_);
                    (this->*entry.onEvent)();
                }
                break;
            case kWmPaint:
                (this->*entry.onEvent)();
                break;
            case kWmSysCommand:
                (this->*entry.onSysCommand)(static_cast<unsigned>(wParam), lParam);
                break;
            case kWmQueryDragIcon:
                result = static_cast<MessageResult>((this->*entry.onQueryDragIcon)());
                break;
            default:
                continue;
        }
        return !defaultRequested_;
    }
    // OK and Cancel reach the framework's handlers from their buttons, the Enter and Esc keys
    // and the close box (which sends IDCANCEL).
    if (message == kWmCommand && notification == kBnClicked) {
        if (controlId == kIdOk) {
            OnOK();
            return true;
        }
        if (controlId == kIdCancel) {
            OnCancel();
            return true;
        }
    }
    return false;
}

}  // namespace quillet
