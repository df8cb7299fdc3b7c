#pragma once

#include "settings/ChoiceLists.h"
#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <string>
#include <string_view>

namespace trimlark {

// Turns the command line's textual choices into settings, the way the window's controls would set them.
// Each Apply... changes the settings and returns true, or returns false with a message for the user.
class CropOptionParser
{
public:
    // "auto:RATIO" (a listed ratio such as "4:3", or "W:H" in whole numbers of at least 1 for the custom ratio),
    // "pixels:X,Y,W,H", "percents:X,Y,W,H" or "none". The numbers are kept as typed; they must be decimal numbers.
    static bool ApplyCrop(std::string_view text, CropSettings& settings, CustomRatio& ratio, std::string* reason);

    // "bottom-left", "bottom-right", "top-left" or "top-right".
    static bool ApplyCorner(std::string_view text, CropSettings& settings, std::string* reason);

    // The size step: option is the one given ("--size" WxH, "--fit" WxH, "--long-side" N, "--print"
    // WxHUNIT@PPI with the unit mm, cm or in, e.g. 10x15cm@300). Pixel sides are whole numbers from 1 to 65535,
    // print sides and the resolution numbers above 0; the message names the option.
    static bool ApplySize(std::string_view option, std::string_view text, CropSettings& settings, std::string* reason);

    // "--fill": a colour (#rrggbb, #rgb, a name or transparent) the fit's box is filled with.
    static bool ApplyFill(std::string_view text, CropSettings& settings, std::string* reason);

    // A title of the format list, in any case ("jpg", "Original").
    static bool ApplyFormat(std::string_view text, const FormatList& formats, CropSettings& settings,
                            std::string* reason);
};

} // namespace trimlark
