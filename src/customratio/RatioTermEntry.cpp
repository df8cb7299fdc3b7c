#include "customratio/RatioTermEntry.h"

#include "base/Numbers.h"

namespace trimlark {

RatioTermEntry ReadRatioTerm(std::string_view text)
{
    if (!ParseInteger(text))
        return {1, true};
    // The field holds its number in single precision, like every numeric field of the app; the geometry
    // computes the ratio from that same precision.
    const float fieldValue = ReadFloatValue(text);
    if (!(fieldValue > 0.0f))
        return {1, true};
    return {TruncateToInt64(fieldValue), false};
}

std::string RatioTermText(std::int64_t value)
{
    // Single precision turns the largest 64-bit values into 2^63, one past the range; TruncateToInt64
    // brings that back to the largest value, which reads as 2^63 again.
    return std::to_string(TruncateToInt64(static_cast<float>(value)));
}

} // namespace trimlark
