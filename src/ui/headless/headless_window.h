// The in-memory windows of the headless backend: dialogs made from their templates and the
// controls in them, with the message semantics of the platform's controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/headless/headless_user_interface.h"
#include "ui/messages.h"

namespace quillet {

class Dialog;

enum class HeadlessKind { Dialog, Button, Static, ComboBox, ProgressBar, Other };

struct HeadlessWindow {
    HeadlessKind kind = HeadlessKind::Other;
    HeadlessWindow* parent = nullptr;
    int id = 0;
    std::string className;
    std::uint32_t style = 0;
    bool enabled = true;
    bool destroyed = false;
    std::string text;

    // Drop-down lists: the entries in insertion order and the selected one (-1: none).
    std::vector<std::string> entries;
    int selection = -1;

    // Progress bars.
    int lower = 0;
    int upper = 100;
    int position = 0;
    int step = 10;

    // Dialogs.
    Dialog* dialog = nullptr;
    std::vector<HeadlessWindow*> children;
    std::size_t record = 0;  // index of the dialog's DialogRecord
    int widthUnits = 0;
    int heightUnits = 0;
    bool ended = false;
    int result = 0;
    bool needsPaint = false;
    bool iconic = false;
    HeadlessWindow* owner = nullptr;
    int x = 0;  // screen pixels
    int y = 0;
};

// Handles a message sent to a control (not a dialog). `textIn` carries the text of messages whose
// lParam is a text; `textOut` receives the text of WM_GETTEXT and CB_GETLBTEXT.
MessageResult ControlMessage(HeadlessWindow& control, unsigned message, MessageWParam wParam,
                             MessageLParam lParam, const std::string* textIn, std::string* textOut);

// WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH on a window's own text; other messages give 0.
MessageResult WindowTextMessage(HeadlessWindow& window, unsigned message, MessageWParam wParam,
                                const std::string* textIn, std::string* textOut);

}  // namespace quillet
