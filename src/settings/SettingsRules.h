#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trimlark {

// The number a text field holds, read the way a numeric control reads its text: the leading decimal number
// (C locale, "." as the decimal point), in single precision; 0 when the text does not start with one.
// Leading spaces and tabs are skipped; a "+" or "-" sign and a decimal exponent ("1e3") are part of the number;
// "inf", "nan" and hexadecimal forms are not numbers (they read as 0, and "0x10" reads as the leading 0).
// A number too large for single precision reads as infinity; the geometry copes with that.
float ReadFloatValue(std::string_view text);

// Text a numeric control shows for a value it was set to: the shortest decimal that reads back the same,
// with no fractional part for whole numbers ("20", "2.5").
std::string FormatFloatValue(float value);

// Truncation toward zero to a signed 64-bit integer, defined for every input: NaN gives 0 and values
// beyond the range give its nearest end.
std::int64_t TruncateToInt64(double value);

// The quality slider is enabled for the JPEG and JPEG 2000 entries (indices 0-4) and for "Original".
bool QualitySliderEnabled(int formatIndex);

// The quality label: "1" for values of at most 1, else the whole part of the value ("79.9" -> "79").
std::string QualityLabelText(float sliderValue);

// The quality fraction handed to the encoder: the slider value / 100 in single precision, then widened.
double QualityFraction(float sliderValue);

} // namespace trimlark
