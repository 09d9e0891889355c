#include "ui/paint.h"

#include <cstdint>
#include <limits>

namespace quillet {

bool LogFont::operator==(const LogFont& other) const {
    return height == other.height && width == other.width && escapement == other.escapement &&
           orientation == other.orientation && weight == other.weight && italic == other.italic &&
           underline == other.underline && strikeOut == other.strikeOut &&
           charSet == other.charSet && outPrecision == other.outPrecision &&
           clipPrecision == other.clipPrecision && quality == other.quality &&
           pitchAndFamily == other.pitchAndFamily && faceName == other.faceName;
}

int MultiplyDivide(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    std::int64_t half = denominator / 2;
    if (half < 0)
        half = -half;
    bool negative = (product < 0) != (denominator < 0);
    std::int64_t magnitude = product < 0 ? -product : product;
    std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    std::int64_t quotient = (magnitude + half) / divisor;
    if (negative)
        quotient = -quotient;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(quotient);
}

}  // namespace quillet
