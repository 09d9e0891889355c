#include "dialogs/notice_paint.h"

#include "ui/paint.h"

namespace quillet {

namespace {

constexpr int kNormalWeight = 400;
constexpr int kShiftJisCharSet = 128;
constexpr int kDefaultCharSet = 1;
constexpr LanguageId kPrimaryLanguageMask = 0x03FF;
constexpr LanguageId kJapanese = 0x0011;
constexpr int kPointsPerInch = 72;
constexpr unsigned kShiftJisCodePage = 932;
constexpr unsigned kUtf8CodePage = 65001;

// "ＭＳ Ｐゴシック" written in the user's code page. A code page that cannot write it gets the
// name every system also knows the face by: its bytes read in another code page would name no
// font at all, and the system would pick one that may lack the texts' characters.
const char* NoticeFace(unsigned codePage) {
    switch (codePage) {
        case kShiftJisCodePage:
            return "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
        case kUtf8CodePage:
            return "ＭＳ Ｐゴシック";
        default:
            return "MS PGothic";
    }
}

}  // namespace

LogFont NoticeFont(int points, int pixelsPerInch, unsigned codePage, LanguageId textLanguage) {
    LogFont font;
    // A negative height asks for the character height rather than the cell height.
    font.height = MultiplyDivide(points, -pixelsPerInch, kPointsPerInch);
    font.weight = kNormalWeight;
    // Shift-JIS read the bytes of a Western text (curly quotes, accents) as Japanese characters.
    bool japanese = (textLanguage & kPrimaryLanguageMask) == kJapanese;
    font.charSet = japanese ? kShiftJisCharSet : kDefaultCharSet;
    font.faceName = NoticeFace(codePage);
    return font;
}

}  // namespace quillet
