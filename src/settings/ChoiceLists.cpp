#include "settings/ChoiceLists.h"

#include "base/PathText.h"

namespace trimlark {

const std::vector<std::string>& AutoCropFormatTitles()
{
    static const std::vector<std::string> titles{"1:1", "4:3", "3:2", "16:9", "16:10", "Custom"};
    return titles;
}

const std::vector<std::string>& AutoCropPositionTitles()
{
    static const std::vector<std::string> titles{"Centred", "Subject"};
    return titles;
}

const std::vector<std::string>& OriginCornerTitles()
{
    static const std::vector<std::string> titles{"Bottom Left", "Bottom Right", "Top Left", "Top Right"};
    return titles;
}

FormatList::FormatList(WritableFormats writable) : writable_(writable)
{
    for (const bool afterOriginal : {false, true}) {
        if (afterOriginal) {
            originalIndex_ = Count();
            titles_.emplace_back(kOriginalFormatTitle);
            formats_.push_back(OutputFormat::Jpeg);
        }
        for (const FileType& type : FileTypes()) {
            if (ListedAfterOriginal(type.format) != afterOriginal || !writable.CanWrite(type.format))
                continue;
            titles_.emplace_back(type.title);
            formats_.push_back(type.format);
        }
    }
}

std::string FormatList::TitleAt(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return titles_[static_cast<std::size_t>(index)];
}

int FormatList::IndexOfTitle(std::string_view title) const
{
    const std::string wanted = LowerAscii(title);
    for (int i = 0; i < Count(); ++i) {
        if (LowerAscii(titles_[static_cast<std::size_t>(i)]) == wanted)
            return i;
    }
    return -1;
}

std::optional<OutputFormat> FormatList::OutputFormatAt(int index, std::string_view sourcePath) const
{
    if (index < 0 || index >= Count())
        return std::nullopt;
    if (!IsOriginal(index))
        return formats_[static_cast<std::size_t>(index)];
    const FileType* type = FileTypeOfPath(sourcePath);
    if (!type || !writable_.CanWrite(type->format))
        return std::nullopt;
    return type->format;
}

bool FormatList::QualityApplies(int index) const
{
    if (IsOriginal(index))
        return true;
    const auto format = OutputFormatAt(index, {});
    return format == OutputFormat::Jpeg || format == OutputFormat::Jpeg2000 || format == OutputFormat::Webp ||
           format == OutputFormat::Heic || format == OutputFormat::Avif;
}

} // namespace trimlark
