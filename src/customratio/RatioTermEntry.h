#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trimlark {

// What one term of the custom ratio (width or height) makes of its field's text.
struct RatioTermEntry
{
    // The value to store: the field's single-precision value truncated, limited to the 64-bit range.
    std::int64_t value = 1;
    // true when the text is not a whole number or reads as 0 or less: while typing it waits; once confirmed the
    // field is to show 1, and 1 is stored.
    bool resetField = false;
};

// The entry for a term typed as text. "007" stores 7 and keeps its text; "2.5", " 4", "", "0" and "-3" reset
// to 1. A number near the 64-bit limit rounds up to 2^63 in single precision and is stored as the largest
// 64-bit value.
RatioTermEntry ReadRatioTerm(std::string_view text);

// The text a term field shows for a stored value: the value as the field reads it (single precision), in
// digits the field accepts back, so that reopening the window and confirming the field keeps the value.
std::string RatioTermText(std::int64_t value);

} // namespace trimlark
