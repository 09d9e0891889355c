#include "ui/headless/headless_window.h"

namespace quillet {

namespace {

// A list index or position as the control reads it from wParam.
int SignedParam(MessageWParam wParam) {
    return static_cast<int>(static_cast<std::intptr_t>(wParam));
}

MessageResult ComboMessage(HeadlessWindow& list, unsigned message, MessageWParam wParam,
                           const std::string* textIn, std::string* textOut) {
    int count = static_cast<int>(list.entries.size());
    int index = SignedParam(wParam);
    bool valid = index >= 0 && index < count;
    switch (message) {
        case kCbAddString:
            if (!textIn)
                return kCbErr;
            list.entries.push_back(*textIn);
            return count;
        case kCbInsertString:
            if (!textIn || index < -1 || index > count)
                return kCbErr;
            if (index == -1)
                index = count;
            list.entries.insert(list.entries.begin() + index, *textIn);
            if (list.selection >= index)
                ++list.selection;
            return index;
        case kCbDeleteString:
            if (!valid)
                return kCbErr;
            list.entries.erase(list.entries.begin() + index);
            if (list.selection == index)
                list.selection = -1;
            else if (list.selection > index)
                --list.selection;
            return count - 1;
        case kCbGetCount:
            return count;
        case kCbGetCurSel:
            return list.selection;
        case kCbSetCurSel:
            // -1 clears the selection; another index outside the list changes nothing.
            if (index == -1)
                list.selection = -1;
            else if (valid)
                list.selection = index;
            return valid ? index : kCbErr;
        case kCbGetLbTextLen:
            return valid ? static_cast<MessageResult>(list.entries[index].size()) : kCbErr;
        case kCbGetLbText:
            if (!valid)
                return kCbErr;
            if (textOut)
                *textOut = list.entries[index];
            return static_cast<MessageResult>(list.entries[index].size());
        case kCbResetContent:
            list.entries.clear();
            list.selection = -1;
            return kCbOkay;
        case kWmGetText:
        case kWmGetTextLength: {
            // A drop-down list's window text is its selected entry.
            HeadlessWindow shown;
            if (list.selection >= 0)
                shown.text = list.entries[list.selection];
            return WindowTextMessage(shown, message, wParam, nullptr, textOut);
        }
        case kWmSetText:
            return kCbErr;
        default:
            return 0;
    }
}

int Clamp(int value, int lower, int upper) {
    if (value < lower)
        return lower;
    return value > upper ? upper : value;
}

MessageResult ProgressMessage(HeadlessWindow& bar, unsigned message, MessageWParam wParam,
                              MessageLParam lParam) {
    int previous = bar.position;
    switch (message) {
        case kPbmSetRange: {
            MessageResult old =
                MakeLParam(static_cast<unsigned>(bar.lower), static_cast<unsigned>(bar.upper));
            bar.lower = static_cast<int>(LowWord(static_cast<std::uintptr_t>(lParam)));
            bar.upper = static_cast<int>(HighWord(static_cast<std::uintptr_t>(lParam)));
            bar.position = Clamp(bar.position, bar.lower, bar.upper);
            return old;
        }
        case kPbmSetPos:
            bar.position = Clamp(SignedParam(wParam), bar.lower, bar.upper);
            return previous;
        case kPbmDeltaPos:
            bar.position = Clamp(bar.position + SignedParam(wParam), bar.lower, bar.upper);
            return previous;
        case kPbmSetStep: {
            int old = bar.step;
            bar.step = SignedParam(wParam);
            return old;
        }
        case kPbmStepIt: {
            int span = bar.upper - bar.lower;
            if (span == 0)
                return previous;
            bar.position += bar.step;
            // Past either end the bar starts again from the other.
            if (bar.position > bar.upper)
                bar.position = (bar.position - bar.lower) % span + bar.lower;
            if (bar.position < bar.lower)
                bar.position = (bar.position - bar.lower) % span + bar.upper;
            return previous;
        }
        case kPbmGetRange:
            return wParam != 0 ? bar.lower : bar.upper;
        case kPbmGetPos:
            return bar.position;
        default:
            return 0;
    }
}

}  // namespace

MessageResult WindowTextMessage(HeadlessWindow& window, unsigned message, MessageWParam wParam,
                                const std::string* textIn, std::string* textOut) {
    switch (message) {
        case kWmSetText:
            window.text = textIn ? *textIn : std::string();
            return 1;
        case kWmGetTextLength:
            return static_cast<MessageResult>(window.text.size());
        case kWmGetText: {
            // wParam is the buffer's size with room for the terminating zero.
            if (wParam == 0)
                return 0;
            std::size_t copied = window.text.size() < wParam - 1 ? window.text.size() : wParam - 1;
            if (textOut)
                *textOut = window.text.substr(0, copied);
            return static_cast<MessageResult>(copied);
        }
        default:
            return 0;
    }
}

MessageResult ControlMessage(HeadlessWindow& control, unsigned message, MessageWParam wParam,
                             MessageLParam lParam, const std::string* textIn,
                             std::string* textOut) {
    switch (control.kind) {
        case HeadlessKind::ComboBox:
            return ComboMessage(control, message, wParam, textIn, textOut);
        case HeadlessKind::ProgressBar:
            if (message >= kPbmSetRange && message <= kPbmGetPos)
                return ProgressMessage(control, message, wParam, lParam);
            return WindowTextMessage(control, message, wParam, textIn, textOut);
        default:
            return WindowTextMessage(control, message, wParam, textIn, textOut);
    }
}

}  // namespace quillet
