#pragma once

#include "settings/CropSettings.h"

#include <optional>
#include <string>

namespace trimlark {

// The quality label: "1" for values of at most 1, else the whole part of the value ("79.9" -> "79").
std::string QualityLabelText(float sliderValue);

// The quality fraction handed to the encoder: the slider value / 100 in single precision, then widened.
double QualityFraction(float sliderValue);

// The corner of the corner list's index; nothing for an index outside the list (no entry selected).
std::optional<OriginCorner> OriginCornerAt(int index);

} // namespace trimlark
