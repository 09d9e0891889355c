// The core's box texts and captions that quillet shows, marked for the catalogues so that the
// terminal shows them in the user's language (TerminalMessageBox). They are the Windows program's
// own words, which it shows in English in every language; a test keeps them equal to the core's.
#pragma once

#include "cli/language.h"

namespace quillet {

inline constexpr const char* kBoxTexts[] = {
    N_("This operation was stopped!!"),
    N_("Error"),
    N_("error"),
    N_("Firmware write error !"),
    N_("Media change notification error !"),
    N_("Drive open error !"),
    N_("Firmware file open error !"),
    N_("Firmware file read error !"),
    N_("Firmware file size error !"),
    N_("Firmware file name error !"),
};

}  // namespace quillet
