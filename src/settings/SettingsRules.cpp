#include "settings/SettingsRules.h"

#include "settings/ChoiceLists.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace trimlark {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// strtof in the C locale, whatever locale the process (e.g. a Qt app) has set.
float StrToFloatC(const std::string& text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtof_l(text.c_str(), nullptr, cLocale);
}

} // namespace

float ReadFloatValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0f;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j]))
                ++j;
            end = j;
        }
    }
    return StrToFloatC(std::string(text.substr(start, end - start)));
}

std::string FormatFloatValue(float value)
{
    if (!std::isfinite(value))
        return "0";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::int64_t TruncateToInt64(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it saturates.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (value < -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

bool QualitySliderEnabled(int formatIndex)
{
    if (formatIndex >= 0 && formatIndex <= 4)
        return true;
    return FormatTitleAt(formatIndex) == kOriginalFormatTitle;
}

std::string QualityLabelText(float sliderValue)
{
    if (sliderValue <= 1.0f)
        return "1";
    return std::to_string(TruncateToInt64(std::floor(sliderValue)));
}

double QualityFraction(float sliderValue)
{
    return static_cast<double>(sliderValue / 100.0f);
}

} // namespace trimlark
