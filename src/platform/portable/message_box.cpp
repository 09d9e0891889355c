#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/message_box.h"

namespace quillet {

MessageButton SystemMessageBox::Show(const std::string& text, const std::string& caption,
                                     MessageIcon, bool, WindowHandle) {
    std::fprintf(stderr, "[%s] %s\n", caption.empty() ? applicationTitle_.c_str() : caption.c_str(),
                 text.c_str());
    return MessageButton::Ok;
}

MessageButton SystemMessageBox::ShowUntitled(const std::string& text, MessageIcon icon,
                                             bool taskModal, WindowHandle owner) {
    return Show(text, kUntitledCaption, icon, taskModal, owner);
}

std::string ProgramTitle() {
    std::vector<char> path(4096);
    ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return std::string();
    std::string name(path.data(), static_cast<std::size_t>(length));
    std::size_t slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

}  // namespace quillet
