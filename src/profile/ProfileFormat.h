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

// The lines of a profile, each ending in a line feed; the output folder is not stored. Settings that came after
// the 25-line version (the automatic crop's position, the lossless JPEG crop, the formats after "Original" in
// formats, the size, the border trim) at their defaults give the 25-line version, byte for byte; otherwise the first
// later version that holds every setting in use is written whole: 27 lines, 35 once a size setting is not at its
// default, 38 once a trim setting is not (see kProfileLaterLines).
std::string WriteProfileText(const CropSettings& settings, const CustomRatio& customRatio, const FormatList& formats);

// The lines after the 25th in the latest version. Each later version adds lines at the end and keeps the earlier
// ones, so a profile of 25 + n lines (n from 1 to this) holds the first n of them.
//   26: the automatic crop's position, an index ("Centred" 0, "Subject" 1)
//   27: the lossless JPEG crop, a state (0 off, 1 on)
//   28: the size, an index ("Keep the cropped size" 0, "Exactly" 1, "Fit within" 2, "Long side" 3, "Print size" 4)
//   29, 30: the size's width and height, text (pixels, or the print's lengths in the unit)
//   31: the print's unit, an index ("mm" 0, "cm" 1, "in" 2)
//   32: the print's resolution in ppi, text
//   33: "Do not enlarge", a state
//   34: "Fill to the size with", a state
//   35: the fill colour, text ("#rrggbb" or "transparent")
//   36: the border trim crop, a state (0 off, 1 on)
//   37, 38: the trim's tolerance and margin, text
inline constexpr std::size_t kProfileLaterLines = 13;

// Reads a profile of 20, 21, 22, 25 or 25 + n lines (n up to kProfileLaterLines) over the current values. Fields
// of the first 25 lines that an older version lacks keep their current values; the settings that came later take
// their defaults when the file lacks them (the programs that wrote it knew only those). Absent when the file must
// be refused as a whole: not UTF-8 text (UTF-16 with a byte-order mark is converted), a line count the format does
// not know, a numeric line that does not parse, an index outside its list (other than -1; a format after
// "Original" is outside the lists of the 25-line and older versions), a state other than 0 or 1, or a custom
// width or height below 1. The format line is checked against formats, the format list of the system the profile
// is read on. reason, when given, says why a profile is refused ("line 6 is not a number").
std::optional<ProfileContent> ReadProfileText(std::string_view bytes, const ProfileContent& current,
                                              const FormatList& formats, std::string* reason = nullptr);

} // namespace trimlark
