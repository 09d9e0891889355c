#include <windows.h>

#include <vector>

#include "platform/message_box.h"

namespace quillet {

namespace {

// The program's texts are UTF-8; a text that is not valid UTF-8 came from the ANSI side (a file
// name, a configuration value) and is read in the ANSI code page.
std::wstring Widen(const std::string& text) {
    if (text.empty())
        return std::wstring();
    int size = static_cast<int>(text.size());
    UINT codePage = CP_UTF8;
    int length =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length == 0) {
        codePage = CP_ACP;
        length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int size = static_cast<int>(text.size());
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

UINT IconStyle(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return MB_ICONHAND;
        case MessageIcon::Exclamation:
            return MB_ICONEXCLAMATION;
        case MessageIcon::Information:
            return MB_ICONASTERISK;
        case MessageIcon::Question:
            return MB_ICONQUESTION;
        case MessageIcon::None:
            break;
    }
    return 0;
}

}  // namespace

MessageButton SystemMessageBox::Show(const std::string& text, const std::string& caption,
                                     MessageIcon icon, bool taskModal, WindowHandle owner) {
    UINT style = MB_OK | IconStyle(icon) | (taskModal ? MB_TASKMODAL : 0);
    int pressed =
        ::MessageBoxW(reinterpret_cast<HWND>(owner), Widen(text).c_str(),
                      Widen(caption.empty() ? applicationTitle_ : caption).c_str(), style);
    return pressed == 0 ? MessageButton::Cancel : static_cast<MessageButton>(pressed);
}

MessageButton SystemMessageBox::ShowUntitled(const std::string& text, MessageIcon icon,
                                             bool taskModal, WindowHandle owner) {
    // No caption: the system puts its own word for "Error" in the title bar.
    UINT style = MB_OK | IconStyle(icon) | (taskModal ? MB_TASKMODAL : 0);
    int pressed = ::MessageBoxW(reinterpret_cast<HWND>(owner), Widen(text).c_str(), nullptr, style);
    return pressed == 0 ? MessageButton::Cancel : static_cast<MessageButton>(pressed);
}

std::string ProgramTitle() {
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    std::wstring name(path.data(), length);
    std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return Narrow(name);
}

}  // namespace quillet
