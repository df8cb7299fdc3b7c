#include "settings/ChoiceLists.h"

#include "imaging/Codecs.h"

#include <algorithm>

namespace trimlark {

const std::vector<std::string>& AutoCropFormatTitles()
{
    static const std::vector<std::string> titles{"1:1", "4:3", "3:2", "16:9", "16:10", "Custom"};
    return titles;
}

std::vector<std::string> FormatTitlesFor(bool canWriteHeif)
{
    std::vector<std::string> titles{"JPG", "JPEG", "JPE", "JP2", "JPX", "PNG", "TIFF", "TIF", "GIF", "BMP"};
    if (canWriteHeif) {
        titles.emplace_back("HEIF");
        titles.emplace_back("HEIC");
    }
    titles.emplace_back(kOriginalFormatTitle);
    return titles;
}

const std::vector<std::string>& FormatTitles()
{
    static const std::vector<std::string> titles = FormatTitlesFor(CanWriteHeif());
    return titles;
}

const std::vector<std::string>& OriginCornerTitles()
{
    static const std::vector<std::string> titles{"Bottom Left", "Bottom Right", "Top Left", "Top Right"};
    return titles;
}

std::string FormatTitleAt(int formatIndex)
{
    const auto& titles = FormatTitles();
    if (formatIndex < 0 || formatIndex >= static_cast<int>(titles.size()))
        return {};
    return titles[static_cast<std::size_t>(formatIndex)];
}

int FormatIndexOfTitle(std::string_view title)
{
    const auto& titles = FormatTitles();
    const auto it = std::find(titles.begin(), titles.end(), title);
    return it == titles.end() ? -1 : static_cast<int>(it - titles.begin());
}

std::string FormatNameFor(int formatIndex)
{
    return LowerAscii(FormatTitleAt(formatIndex));
}

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return lower;
}

} // namespace trimlark
