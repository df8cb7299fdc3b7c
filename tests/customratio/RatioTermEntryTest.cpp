#include "customratio/RatioTermEntry.h"

#include <gtest/gtest.h>
#include <limits>

namespace trimlark {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

struct ParseCase
{
    const char* name;
    const char* text;
    std::optional<std::int64_t> expected;
};

TEST(ParseStrictInt64, AcceptsOnlySignAndDigitsWithinRange)
{
    const ParseCase cases[] = {
        {"plain", "16", 16},
        {"plus sign", "+5", 5},
        {"minus sign", "-3", -3},
        {"leading zeros", "007", 7},
        {"minus zero", "-0", 0},
        {"largest", "9223372036854775807", kMax},
        {"smallest", "-9223372036854775808", kMin},
        {"one past largest", "9223372036854775808", std::nullopt},
        {"one past smallest", "-9223372036854775809", std::nullopt},
        {"twenty digits", "12345678901234567890", std::nullopt},
        {"decimal point", "2.5", std::nullopt},
        {"trailing point", "4.", std::nullopt},
        {"leading space", " 4", std::nullopt},
        {"trailing space", "4 ", std::nullopt},
        {"empty", "", std::nullopt},
        {"sign alone", "+", std::nullopt},
        {"minus alone", "-", std::nullopt},
        {"two signs", "+-5", std::nullopt},
        {"plus after minus", "-+5", std::nullopt},
        {"exponent", "1e3", std::nullopt},
        {"hexadecimal", "0x10", std::nullopt},
        {"letters", "abc", std::nullopt},
        {"arabic-indic digit", "\xD9\xA3", std::nullopt},  // U+0663, a digit in another script
        {"fullwidth digit", "\xEF\xBC\x95", std::nullopt}, // U+FF15
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseStrictInt64(c.text), c.expected);
    }
}

struct TermCase
{
    const char* name;
    const char* text;
    std::int64_t value;
    bool resetField;
};

TEST(ReadRatioTerm, StoresPositiveWholeNumbersAndResetsEverythingElseToOne)
{
    const TermCase cases[] = {
        {"plain", "16", 16, false},
        {"leading zeros keep their text", "007", 7, false},
        {"plus sign", "+9", 9, false},
        {"zero", "0", 1, true},
        {"minus zero", "-0", 1, true},
        {"negative", "-3", 1, true},
        {"decimal", "2.5", 1, true},
        {"leading space", " 4", 1, true},
        {"empty", "", 1, true},
        {"beyond 64 bits", "12345678901234567890", 1, true},
        // 16777217 = 2^24 + 1 has no single-precision value; it rounds to the even neighbour 2^24.
        {"past single precision", "16777217", 16777216, false},
        // 9223372036854775807 rounds up to 2^63 in single precision, one past the range: limited to the largest.
        {"largest", "9223372036854775807", kMax, false},
        // 2^63 - 2^39 is the largest single-precision value below 2^63 (spacing 2^39 in [2^62, 2^63)); it is stored
        // exactly.
        {"largest float below 2^63", "9223371487098961920", 9223371487098961920, false},
    };
    for (const TermCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RatioTermEntry entry = ReadRatioTerm(c.text);
        EXPECT_EQ(entry.value, c.value);
        EXPECT_EQ(entry.resetField, c.resetField);
    }
}

TEST(RatioTermText, ShowsTextThatReadsBackAsTheSameStoredValue)
{
    // Every value a field can store, including the limited largest one, must survive the window being closed,
    // reopened (the field shows RatioTermText) and the field confirmed again.
    const std::int64_t stored[] = {1, 7, 16, 1920, 16777216, 9223371487098961920, kMax};
    for (const std::int64_t value : stored) {
        SCOPED_TRACE(value);
        const std::string text = RatioTermText(value);
        const RatioTermEntry entry = ReadRatioTerm(text);
        EXPECT_FALSE(entry.resetField) << text;
        EXPECT_EQ(entry.value, value) << text;
    }
}

} // namespace
} // namespace trimlark
