#include "base/Numbers.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace trimlark {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// from_chars takes a "-" but no "+"; one sign at most.
std::optional<std::string_view> WithoutPlusSign(std::string_view text)
{
    if (!text.starts_with('+'))
        return text;
    text.remove_prefix(1);
    if (text.starts_with('-') || text.starts_with('+'))
        return std::nullopt;
    return text;
}

// strtof in the C locale, whatever locale the process (e.g. a Qt app) has set.
float StrToFloatC(const std::string& text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtof_l(text.c_str(), nullptr, cLocale);
}

} // namespace

std::optional<std::int64_t> ParseInteger(std::string_view text)
{
    const auto number = WithoutPlusSign(text);
    if (!number)
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(number->data(), number->data() + number->size(), value);
    if (error != std::errc{} || end != number->data() + number->size())
        return std::nullopt;
    return value;
}

template <typename T> std::optional<T> ParseDecimal(std::string_view text)
{
    const auto number = WithoutPlusSign(text);
    if (!number)
        return std::nullopt;
    T value = 0;
    const auto [end, error] =
        std::from_chars(number->data(), number->data() + number->size(), value, std::chars_format::general);
    if (error != std::errc{} || end != number->data() + number->size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

template std::optional<float> ParseDecimal<float>(std::string_view text);
template std::optional<double> ParseDecimal<double>(std::string_view text);

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

std::string_view TrimSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ReadsAsNumber(std::string_view text)
{
    return ParseDecimal<double>(TrimSpaces(text)).has_value();
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

} // namespace trimlark
