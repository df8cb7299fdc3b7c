#pragma once

namespace trimlark {

// A crop moved or drawn by hand for one image, in upright pixels with the origin at the picture's top-left
// corner. It belongs to the image in the list, not to the settings.
struct CropAdjustment
{
    enum class Kind
    {
        Centre,    // an automatic crop's centre: its size still follows the settings
        Rectangle, // a pixel, percent or trimmed crop's rectangle itself
    };
    Kind kind = Kind::Centre;
    double x = 0; // Centre: the centre; Rectangle: the left edge
    double y = 0; // Centre: the centre; Rectangle: the top edge
    double w = 0; // Rectangle only
    double h = 0; // Rectangle only

    bool operator==(const CropAdjustment&) const = default;
};

} // namespace trimlark
