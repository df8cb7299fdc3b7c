#pragma once

#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <optional>
#include <string>
#include <string_view>

namespace trimlark {

// Turns the command line's textual choices into settings, the way the window's controls would set them.
// Each Apply... returns an error message for the user, or nothing when the settings were changed.
class CropOptionParser
{
public:
    // "auto:RATIO" (a listed ratio such as "4:3", or "W:H" in whole numbers of at least 1 for the custom ratio),
    // "pixels:X,Y,W,H", "percents:X,Y,W,H" or "none". The numbers are kept as typed; they must be decimal numbers.
    static std::optional<std::string> ApplyCrop(std::string_view text, CropSettings& settings, CustomRatio& ratio);

    // "bottom-left", "bottom-right", "top-left" or "top-right".
    static std::optional<std::string> ApplyCorner(std::string_view text, CropSettings& settings);

    // A format title of the format list, in any case ("jpg", "Original").
    static std::optional<std::string> ApplyFormat(std::string_view text, CropSettings& settings);

    // A whole decimal number in C syntax, nothing before or after it, finite; nothing otherwise.
    static std::optional<double> ParseNumber(std::string_view text);
};

} // namespace trimlark
