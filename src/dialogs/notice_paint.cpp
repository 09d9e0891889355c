#include "dialogs/notice_paint.h"

#include "ui/paint.h"

namespace quillet {

namespace {

constexpr int kNormalWeight = 400;
constexpr int kShiftJisCharSet = 128;
constexpr int kPointsPerInch = 72;
constexpr const char* kNoticeFace = "ＭＳ Ｐゴシック";

}  // namespace

LogFont NoticeFont(int points, int pixelsPerInch) {
    LogFont font;
    // A negative height asks for the character height rather than the cell height.
    font.height = MultiplyDivide(points, -pixelsPerInch, kPointsPerInch);
    font.weight = kNormalWeight;
    font.charSet = kShiftJisCharSet;
    font.faceName = kNoticeFace;
    return font;
}

}  // namespace quillet
