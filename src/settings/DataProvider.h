#pragma once

#include <cstdint>

namespace trimlark {

// The custom aspect ratio used when the auto crop format is "Custom".
struct CustomRatio
{
    std::int64_t customWidth = 1;
    std::int64_t customHeight = 1;
    // true: customWidth is laid along the image's longer side.
    bool customWidthLargestDimension = true;

    bool operator==(const CustomRatio&) const = default;
};

// The one shared holder of the custom ratio, edited by the custom aspect-ratio window and read by the
// main window. Read and written on the GUI thread only; a crop run copies the ratio when it starts.
class DataProvider : public CustomRatio
{
public:
    // Created on first use, once, even when first used from several threads at once.
    static DataProvider& Shared();

    bool customWindowIsOpen = false;

    CustomRatio Ratio() const { return *this; }

private:
    DataProvider() = default;
};

} // namespace trimlark
