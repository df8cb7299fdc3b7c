#include "customratio/RatioTermEntry.h"

#include <gtest/gtest.h>
#include <limits>

namespace trimlark {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(RatioTermEntry, StoresPositiveWholeNumbersAndResetsEverythingElseToOne)
{
    const std::tuple<const char*, std::int64_t, bool> cases[] = {
        {"007", 7, false},
        {"+9", 9, false},
        {"0", 1, true},
        {"-3", 1, true},
        {"2.5", 1, true},
        {" 4", 1, true},
        {"", 1, true},
        {"+-5", 1, true},
        {"1e3", 1, true},
        {"\xEF\xBC\x95", 1, true},            // U+FF15 FULLWIDTH DIGIT FIVE
        {"9223372036854775808", 1, true},     // one past the 64-bit range
        {"16777217", 16777216, false},        // 2^24 + 1 has no single-precision value: the even neighbour 2^24
        {"9223372036854775807", kMax, false}, // rounds up to 2^63 in single precision: limited to the largest
    };
    for (const auto& [text, value, resetField] : cases) {
        const RatioTermEntry entry = ReadRatioTerm(text);
        EXPECT_EQ(entry.value, value) << text;
        EXPECT_EQ(entry.resetField, resetField) << text;
    }
    // The text shown for a stored value reads back as that value; 2^63 - 2^39 is the largest float below 2^63.
    for (const std::int64_t value : {std::int64_t{1920}, std::int64_t{9223371487098961920}, kMax})
        EXPECT_EQ(ReadRatioTerm(RatioTermText(value)).value, value);
}

} // namespace
} // namespace trimlark
