#include "customratio/RatioTermEntry.h"

#include <gtest/gtest.h>
#include <limits>

namespace trimlark {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(RatioTermEntry, ParseAcceptsOnlySignAndDigitsWithinRange)
{
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"+5", 5},
        {"-007", -7},
        {"9223372036854775807", kMax},
        {"9223372036854775808", std::nullopt},
        {"2.5", std::nullopt},
        {" 4", std::nullopt},
        {"", std::nullopt},
        {"+-5", std::nullopt},
        {"\xEF\xBC\x95", std::nullopt}, // U+FF15 FULLWIDTH DIGIT FIVE
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseStrictInt64(text), expected) << text;
}

TEST(RatioTermEntry, ReadStoresPositiveWholeNumbersAndResetsEverythingElseToOne)
{
    const std::tuple<const char*, std::int64_t, bool> cases[] = {
        {"007", 7, false},
        {"0", 1, true},
        {"-3", 1, true},
        {"2.5", 1, true},
        {"12345678901234567890", 1, true},
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
