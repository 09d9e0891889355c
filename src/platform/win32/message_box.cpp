#include <windows.h>

#include <vector>

#include "platform/message_box.h"

namespace quillet {

namespace {

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
    // Texts are in the user's ANSI code page, as the system hands them to the program.
    int pressed = ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(),
                                (caption.empty() ? applicationTitle_ : caption).c_str(), style);
    return pressed == 0 ? MessageButton::Cancel : static_cast<MessageButton>(pressed);
}

MessageButton SystemMessageBox::ShowUntitled(const std::string& text, MessageIcon icon,
                                             bool taskModal, WindowHandle owner) {
    // No caption: the system puts its own word for "Error" in the title bar.
    UINT style = MB_OK | IconStyle(icon) | (taskModal ? MB_TASKMODAL : 0);
    int pressed = ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), nullptr, style);
    return pressed == 0 ? MessageButton::Cancel : static_cast<MessageButton>(pressed);
}

std::string ProgramTitle() {
    std::vector<char> path(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    std::string name(path.data(), length);
    // A trail byte of a double-byte character can equal '\\'; walk the characters, not the bytes.
    std::size_t base = 0;
    for (const char* at = name.c_str(); *at; at = ::CharNextA(at)) {
        if (*at == '\\' || *at == '/')
            base = static_cast<std::size_t>(at - name.c_str()) + 1;
    }
    name.erase(0, base);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

}  // namespace quillet
