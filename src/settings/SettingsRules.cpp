#include "settings/SettingsRules.h"

#include "base/Numbers.h"

#include <cmath>

namespace trimlark {

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

std::optional<OriginCorner> OriginCornerAt(int index)
{
    if (index < 0 || index > 3)
        return std::nullopt;
    return static_cast<OriginCorner>(index);
}

} // namespace trimlark
