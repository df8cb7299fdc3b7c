#include "customratio/RatioTermEntry.h"

#include "settings/SettingsRules.h"

#include <charconv>

namespace trimlark {

std::optional<std::int64_t> ParseStrictInt64(std::string_view text)
{
    // One optional sign, then digits only. from_chars takes a "-" but not a "+", and would stop quietly at
    // the first non-digit, so the shape is checked first.
    std::string_view number = text;
    if (!number.empty() && number.front() == '+')
        number.remove_prefix(1);
    const bool negative = !number.empty() && number.front() == '-' && number.size() == text.size();
    const std::string_view digits = negative ? number.substr(1) : number;
    if (digits.empty())
        return std::nullopt;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return value;
}

RatioTermEntry ReadRatioTerm(std::string_view text)
{
    if (!ParseStrictInt64(text))
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
