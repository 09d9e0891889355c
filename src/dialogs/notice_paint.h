// What the caution and completion dialogs paint their lines with.
#pragma once

#include "ui/user_interface.h"

namespace quillet {

constexpr Colour kNoticeRed = Rgb(255, 0, 0);
constexpr Colour kNoticeBlack = Rgb(0, 0, 0);

// The font of the painted lines: `points` high on a device of `pixelsPerInch`, normal weight,
// the Shift-JIS character set and the Japanese face in every language, named in `codePage`.
LogFont NoticeFont(int points, int pixelsPerInch, unsigned codePage);

}  // namespace quillet
