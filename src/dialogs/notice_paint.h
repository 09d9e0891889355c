// What the caution and completion dialogs paint their lines with.
#pragma once

#include "ui/user_interface.h"

namespace quillet {

constexpr Colour kNoticeRed = Rgb(255, 0, 0);
constexpr Colour kNoticeBlack = Rgb(0, 0, 0);

// The font of the painted lines: `points` high on a device of `pixelsPerInch`, normal weight, the
// Japanese face named in `codePage`, and a character set that reads the lines as their string
// table means them: Shift-JIS for texts of `textLanguage` Japanese, the user's own (the system
// default) for every other language, whose texts arrive in the user's code page.
LogFont NoticeFont(int points, int pixelsPerInch, unsigned codePage, LanguageId textLanguage);

}  // namespace quillet
