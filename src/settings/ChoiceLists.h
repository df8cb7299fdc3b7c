#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trimlark {

inline constexpr std::string_view kOriginalFormatTitle = "Original";
inline constexpr int kCustomAutoCropFormatIndex = 5;

// "1:1", "4:3", "3:2", "16:9", "16:10", "Custom".
const std::vector<std::string>& AutoCropFormatTitles();

// "JPG" ... "BMP", then "HEIF" and "HEIC" when the image library can write HEIF, then "Original" last.
// Code that must recognise "Original" compares titles, never a fixed index.
const std::vector<std::string>& FormatTitles();
std::vector<std::string> FormatTitlesFor(bool canWriteHeif);

// "Bottom Left", "Bottom Right", "Top Left", "Top Right", in OriginCorner order.
const std::vector<std::string>& OriginCornerTitles();

// The format list's title at index, or "" when the index is outside the list (no item selected).
std::string FormatTitleAt(int formatIndex);

// The index of a format title (exact match), or -1.
int FormatIndexOfTitle(std::string_view title);

// Lower-cased title used for output extensions: "JPEG" -> "jpeg", "Original" -> "original".
std::string FormatNameFor(int formatIndex);

// The text with A-Z lower-cased and every other byte as it is: titles, extensions and option words, which are
// compared without regard to case.
std::string LowerAscii(std::string_view text);

} // namespace trimlark
