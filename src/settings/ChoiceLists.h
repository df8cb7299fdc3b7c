#pragma once

#include "settings/FileTypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trimlark {

inline constexpr std::string_view kOriginalFormatTitle = "Original";
inline constexpr int kCustomAutoCropFormatIndex = 5;

// "1:1", "4:3", "3:2", "16:9", "16:10", "Custom".
const std::vector<std::string>& AutoCropFormatTitles();

// "Centred", "Subject", in CropPosition order.
const std::vector<std::string>& AutoCropPositionTitles();

// "Bottom Left", "Bottom Right", "Top Left", "Top Right", in OriginCorner order.
const std::vector<std::string>& OriginCornerTitles();

// The output format list: every file type's title ("JPG" ... "BMP", then "HEIF" and "HEIC" where the system can
// write them), then "Original", then "WEBP" and "AVIF" where the system can write them. Indices are the format
// control's; -1 and other indices outside the list select nothing. Code that must recognise "Original" asks this
// list, never a fixed index.
class FormatList
{
public:
    explicit FormatList(WritableFormats writable);

    const std::vector<std::string>& Titles() const { return titles_; }
    int Count() const { return static_cast<int>(titles_.size()); }

    // The title at index, or "" outside the list.
    std::string TitleAt(int index) const;
    // The index of a title in any letter case ("jpg", "original"), or -1.
    int IndexOfTitle(std::string_view title) const;
    bool IsOriginal(int index) const { return index == originalIndex_; }
    // Whether the entry at index came after "Original" (a stored index the older profile versions cannot hold).
    bool IsAfterOriginal(int index) const { return index > originalIndex_ && index < Count(); }

    // The encoder of the entry at index; for "Original" the one of the source's extension (any case). Nothing
    // outside the list, and for a source extension this system cannot write.
    std::optional<OutputFormat> OutputFormatAt(int index, std::string_view sourcePath) const;

    // The quality slider is enabled for the JPEG, JPEG 2000, WebP, HEIF, HEIC and AVIF entries and for "Original".
    bool QualityApplies(int index) const;

private:
    WritableFormats writable_;
    int originalIndex_ = 0;
    std::vector<std::string> titles_;
    std::vector<OutputFormat> formats_; // of every entry; the one at "Original" is never read
};

} // namespace trimlark
