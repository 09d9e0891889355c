// Window messages, notifications and constants of the dialog framework, numbered as the platform
// numbers them, so that dialogs use them without the platform's headers. The win32 backend checks
// every value against the platform's own at compile time.
#pragma once

#include <cstdint>

namespace quillet {

// Parameters and result of one message, as wide as the platform's WPARAM, LPARAM and LRESULT.
using MessageWParam = std::uintptr_t;
using MessageLParam = std::intptr_t;
using MessageResult = std::intptr_t;

// Window messages.
constexpr unsigned kWmSetText = 0x000C;
constexpr unsigned kWmGetText = 0x000D;
constexpr unsigned kWmGetTextLength = 0x000E;
constexpr unsigned kWmPaint = 0x000F;
constexpr unsigned kWmClose = 0x0010;
constexpr unsigned kWmQueryEndSession = 0x0011;
constexpr unsigned kWmQueryDragIcon = 0x0037;
constexpr unsigned kWmSetIcon = 0x0080;
constexpr unsigned kWmInitDialog = 0x0110;
constexpr unsigned kWmCommand = 0x0111;
constexpr unsigned kWmSysCommand = 0x0112;

// Combo-box messages and results.
constexpr unsigned kCbAddString = 0x0143;
constexpr unsigned kCbDeleteString = 0x0144;
constexpr unsigned kCbGetCount = 0x0146;
constexpr unsigned kCbGetCurSel = 0x0147;
constexpr unsigned kCbGetLbText = 0x0148;
constexpr unsigned kCbGetLbTextLen = 0x0149;
constexpr unsigned kCbInsertString = 0x014A;
constexpr unsigned kCbResetContent = 0x014B;
constexpr unsigned kCbSetCurSel = 0x014E;
constexpr MessageResult kCbOkay = 0;
constexpr MessageResult kCbErr = -1;

// Progress-bar messages (WM_USER + n).
constexpr unsigned kPbmSetRange = 0x0401;
constexpr unsigned kPbmSetPos = 0x0402;
constexpr unsigned kPbmDeltaPos = 0x0403;
constexpr unsigned kPbmSetStep = 0x0404;
constexpr unsigned kPbmStepIt = 0x0405;
constexpr unsigned kPbmGetRange = 0x0407;
constexpr unsigned kPbmGetPos = 0x0408;

// Notification codes carried in the high word of a WM_COMMAND's wParam.
constexpr int kBnClicked = 0;
constexpr int kCbnSelChange = 1;

// Standard command and control identifiers.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// System commands (WM_SYSCOMMAND wParam, low four bits masked off).
constexpr unsigned kScClose = 0xF060;

// WM_SETICON wParam.
constexpr MessageWParam kIconSmall = 0;
constexpr MessageWParam kIconBig = 1;

// Background modes of text drawing.
constexpr int kTransparent = 1;
constexpr int kOpaque = 2;

// Sounds of MessageBeep.
constexpr unsigned kBeepDefault = 0;

// Window styles that the framework looks at.
constexpr std::uint32_t kWsDisabled = 0x08000000;
constexpr std::uint32_t kBsDefPushButton = 0x00000001;
constexpr std::uint32_t kBsTypeMask = 0x0000000F;

constexpr MessageWParam MakeWParam(unsigned low, unsigned high) {
    return static_cast<MessageWParam>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr MessageLParam MakeLParam(unsigned low, unsigned high) {
    // Zero-extended, as the platform widens a DWORD into an LPARAM.
    return static_cast<MessageLParam>(
        static_cast<std::uint32_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16)));
}
constexpr unsigned LowWord(std::uintptr_t value) {
    return static_cast<unsigned>(value & 0xFFFFu);
}
constexpr unsigned HighWord(std::uintptr_t value) {
    return static_cast<unsigned>((value >> 16) & 0xFFFFu);
}

}  // namespace quillet
