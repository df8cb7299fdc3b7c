#pragma once

#include "settings/ChoiceLists.h"
#include "settings/CropSettings.h"
#include "settings/DataProvider.h"

#include <optional>
#include <string>
#include <string_view>

namespace trimlark {

// The settings a profile file holds, with the custom ratio.
struct ProfileContent
{
    CropSettings settings;
    CustomRatio customRatio;
};

// The 25 lines of the current profile version, each ending in a line feed. The output folder is not stored.
std::string WriteProfileText(const CropSettings& settings, const CustomRatio& customRatio);

// Reads a profile of 20, 21, 22 or 25 lines over the current values (fields an older version lacks keep
// them). Absent when the file must be refused as a whole: not UTF-8 text (UTF-16 with a byte-order mark is
// converted), a line count the format does not know, a numeric line that does not parse, an index outside
// its list (other than -1), a state other than 0 or 1, or a custom width or height below 1.
// The format line is checked against formats, the format list of the system the profile is read on.
std::optional<ProfileContent> ReadProfileText(std::string_view bytes, const ProfileContent& current,
                                              const FormatList& formats);

} // namespace trimlark
