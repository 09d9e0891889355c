// The program writes paths in the Windows form (a backslash between folder and name); the
// portable services turn them into POSIX paths before they reach the system.
#pragma once

#include <string>

namespace quillet {

inline std::string NativePath(std::string path) {
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

}  // namespace quillet
