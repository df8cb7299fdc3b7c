#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The one way numbers are read from text and written back, for profiles, options and fields alike.
namespace trimlark {

// A whole number, the whole text: one optional "+" or "-", then the digits 0-9 and nothing else (no spaces, no
// decimal point, no exponent), within the signed 64-bit range; nothing otherwise. "+-1" is no number.
std::optional<std::int64_t> ParseInteger(std::string_view text);

// A finite decimal number, the whole text ("20", "-1.5", ".5", "2e1", "+3"), in float or double; nothing for
// anything else, "inf", "nan" and numbers beyond the type's range included.
template <typename T> std::optional<T> ParseDecimal(std::string_view text);

// The number a text field holds, read the way a numeric control reads its text: the leading decimal number
// (C locale, "." as the decimal point), in single precision; 0 when the text does not start with one.
// Leading spaces and tabs are skipped; a "+" or "-" sign and a decimal exponent ("1e3") are part of the number;
// "inf", "nan" and hexadecimal forms are not numbers (they read as 0, and "0x10" reads as the leading 0).
// A number too large for single precision reads as infinity; the geometry copes with that.
float ReadFloatValue(std::string_view text);

// The text without the spaces and tabs around it: how a field's number is read as a whole.
std::string_view TrimSpaces(std::string_view text);

// Whether the whole text, spaces and tabs around it aside, is a finite decimal number: a field whose text is not
// is shown as invalid (ReadFloatValue still reads its leading number).
bool ReadsAsNumber(std::string_view text);

// Text a numeric control shows for a value it was set to: the shortest decimal that reads back the same,
// with no fractional part for whole numbers ("20", "2.5"); "0" for a value that is not finite.
std::string FormatFloatValue(float value);

// Truncation toward zero to a signed 64-bit integer, defined for every input: NaN gives 0 and values
// beyond the range give its nearest end.
std::int64_t TruncateToInt64(double value);

} // namespace trimlark
