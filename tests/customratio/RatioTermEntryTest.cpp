#include "customratio/RatioTermEntry.h"

#include <gtest/gtest.h>
#include <limits>

namespace trimlark {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(RatioTermEntry, ParseAcceptsOnlySignAndDigitsWithinRange)
{
    const std::tuple<const char*, const char*, std::optional<std::int64_t>> cases[] = {
        {"plain", "16", 16},
        {"signs", "+5", 5},
        {"leading zeros", "-007", -7},
        {"largest", "9223372036854775807", kMax},
        {"smallest", "-9223372036854775808", kMin},
        {"one past largest", "9223372036854775808", std::nullopt},
        {"one past smallest", "-9223372036854775809", std::nullopt},
        {"decimal point", "2.5", std::nullopt},
        {"space", " 4", std::nullopt},
        {"empty", "", std::nullopt},
        {"sign alone", "-", std::nullopt},
        {"two signs", "+-5", std::nullopt},
        {"exponent", "1e3", std::nullopt},
        {"fullwidth digit", "\xEF\xBC\x95", std::nullopt}, // U+FF15
    };
    for (const auto& [name, text, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ParseStrictInt64(text), expected);
    }
}

TEST(RatioTermEntry, ReadStoresPositiveWholeNumbersAndResetsEverythingElseToOne)
{
    const std::tuple<const char*, const char*, std::int64_t, bool> cases[] = {
        {"plain", "16", 16, false},
        {"leading zeros keep their text", "007", 7, false},
        {"zero", "0", 1, true},
        {"negative", "-3", 1, true},
        {"decimal", "2.5", 1, true},
        {"beyond 64 bits", "12345678901234567890", 1, true},
        // 2^24 + 1 has no single-precision value; it rounds to the even neighbour 2^24.
        {"past single precision", "16777217", 16777216, false},
        // Rounds up to 2^63 in single precision, one past the range: limited to the largest.
        {"largest", "9223372036854775807", kMax, false},
    };
    for (const auto& [name, text, value, resetField] : cases) {
        SCOPED_TRACE(name);
        const RatioTermEntry entry = ReadRatioTerm(text);
        EXPECT_EQ(entry.value, value);
        EXPECT_EQ(entry.resetField, resetField);
    }
}

TEST(RatioTermEntry, TextOfAStoredValueReadsBackAsTheSameValue)
{
    // 2^63 - 2^39 is the largest single-precision value below 2^63.
    for (const std::int64_t value : {std::int64_t{1}, std::int64_t{1920}, std::int64_t{16777216},
                                     std::int64_t{9223371487098961920}, kMax}) {
        SCOPED_TRACE(value);
        const RatioTermEntry entry = ReadRatioTerm(RatioTermText(value));
        EXPECT_FALSE(entry.resetField);
        EXPECT_EQ(entry.value, value);
    }
}

} // namespace
} // namespace trimlark
