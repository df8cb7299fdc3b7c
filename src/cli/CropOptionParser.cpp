#include "cli/CropOptionParser.h"

#include "base/Numbers.h"
#include "base/PathText.h"
#include "base/Reason.h"
#include "settings/OutputSize.h"

#include <algorithm>
#include <array>
#include <vector>

namespace trimlark {

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

bool ApplyAutoRatio(std::string_view ratioText, CropSettings& settings, CustomRatio& ratio, std::string* reason)
{
    const auto& titles = AutoCropFormatTitles();
    for (int i = 0; i < kCustomAutoCropFormatIndex; ++i) {
        if (titles[static_cast<std::size_t>(i)] == ratioText) {
            settings.comboAutoCropFormat = i;
            return true;
        }
    }
    const auto terms = Split(ratioText, ':');
    const auto width = terms.size() == 2 ? ParseInteger(terms[0]) : std::nullopt;
    const auto height = terms.size() == 2 ? ParseInteger(terms[1]) : std::nullopt;
    if (!width || !height || *width < 1 || *height < 1)
        return Fail(reason, "The ratio of an auto crop is 1:1, 4:3, 3:2, 16:9, 16:10 or W:H in whole numbers of at "
                            "least 1, not \"" +
                                std::string(ratioText) + "\".");
    settings.comboAutoCropFormat = kCustomAutoCropFormatIndex;
    ratio.customWidth = *width;
    ratio.customHeight = *height;
    return true;
}

bool ApplyRectangle(std::string_view kind, std::string_view values, CropSettings& settings, std::string* reason)
{
    const auto parts = Split(values, ',');
    if (parts.size() != 4)
        return Fail(reason, "A " + std::string(kind) + " crop takes four numbers, X,Y,W,H.");
    std::array<double, 4> numbers{};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto number = ParseDecimal<double>(parts[i]);
        if (!number)
            return Fail(reason, "\"" + std::string(parts[i]) + "\" is not a number.");
        numbers[i] = *number;
    }
    const bool pixels = kind == "pixels";
    std::array<std::string*, 4> fields{};
    if (pixels)
        fields = {&settings.textFieldCustomCropPixelsOriginX, &settings.textFieldCustomCropPixelsOriginY,
                  &settings.textFieldCustomCropPixelsWidth, &settings.textFieldCustomCropPixelsHeight};
    else
        fields = {&settings.textFieldCustomCropPercentsOriginX, &settings.textFieldCustomCropPercentsOriginY,
                  &settings.textFieldCustomCropPercentsWidth, &settings.textFieldCustomCropPercentsHeight};
    for (std::size_t i = 0; i < 4; ++i)
        *fields[i] = std::string(parts[i]);
    if (!pixels) {
        // The steppers follow the fields, as after typing and a click, so a saved profile reads back the same.
        settings.stepperCustomCropPercentsOriginX = static_cast<float>(numbers[0]);
        settings.stepperCustomCropPercentsOriginY = static_cast<float>(numbers[1]);
        settings.stepperCustomCropPercentsWidth = static_cast<float>(numbers[2]);
        settings.stepperCustomCropPercentsHeight = static_cast<float>(numbers[3]);
    }
    settings.radioAutoCrop = false;
    settings.radioCustomCrop = true;
    settings.radioTrimBorders = false;
    settings.radioCustomCropPixels = pixels;
    settings.radioCustomCropPercents = !pixels;
    return true;
}

} // namespace

bool CropOptionParser::ApplyCrop(std::string_view text, CropSettings& settings, CustomRatio& ratio, std::string* reason)
{
    if (text == "none") {
        settings.radioAutoCrop = false;
        settings.radioCustomCrop = false;
        settings.radioTrimBorders = false;
        return true;
    }
    if (text == "trim" || text.starts_with("trim:")) {
        const auto values = Split(text.size() > 5 ? text.substr(5) : std::string_view("10"), ',');
        CropSettings trimmed = settings;
        trimmed.textFieldTrimTolerance = std::string(values[0]);
        trimmed.textFieldTrimMargin = values.size() > 1 ? std::string(values[1]) : "0";
        if (values.size() > 2 || !ReadTrimRequest(trimmed))
            return Fail(reason, "A trim takes trim, trim:TOLERANCE or trim:TOLERANCE,MARGIN: a tolerance from 0 to "
                                "100 and a margin of 0 or more pixels, in whole numbers; not \"" +
                                    std::string(text) + "\".");
        settings = trimmed;
        settings.radioAutoCrop = false;
        settings.radioCustomCrop = false;
        settings.radioTrimBorders = true;
        return true;
    }
    const std::size_t colon = text.find(':');
    const std::string_view kind = text.substr(0, colon);
    const std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    if (colon != std::string_view::npos && kind == "auto") {
        if (!ApplyAutoRatio(rest, settings, ratio, reason))
            return false;
        settings.radioAutoCrop = true;
        settings.radioCustomCrop = false;
        settings.radioTrimBorders = false;
        return true;
    }
    if (colon != std::string_view::npos && (kind == "pixels" || kind == "percents"))
        return ApplyRectangle(kind, rest, settings, reason);
    return Fail(reason,
                "The crop is auto:RATIO, pixels:X,Y,W,H, percents:X,Y,W,H, trim[:TOLERANCE[,MARGIN]] or none, not \"" +
                    std::string(text) + "\".");
}

bool CropOptionParser::ApplyCorner(std::string_view text, CropSettings& settings, std::string* reason)
{
    static constexpr std::array<std::string_view, 4> names{"bottom-left", "bottom-right", "top-left", "top-right"};
    const std::string lower = LowerAscii(text);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == lower) {
            settings.comboOriginCorner = static_cast<int>(i);
            return true;
        }
    }
    return Fail(reason,
                "The corner is bottom-left, bottom-right, top-left or top-right, not \"" + std::string(text) + "\".");
}

bool CropOptionParser::ApplyFormat(std::string_view text, const FormatList& formats, CropSettings& settings,
                                   std::string* reason)
{
    const int index = formats.IndexOfTitle(text);
    if (index >= 0) {
        settings.comboFormat = index;
        return true;
    }
    std::string known;
    for (const std::string& title : formats.Titles())
        known += (known.empty() ? "" : ", ") + title;
    return Fail(reason, "Unknown format \"" + std::string(text) + "\"; the formats are " + known + ".");
}

bool CropOptionParser::ApplySize(std::string_view option, std::string_view text, CropSettings& settings,
                                 std::string* reason)
{
    const std::string name(option);
    const auto sides = Split(text, 'x');
    if (option == "--long-side") {
        settings.comboSize = static_cast<int>(SizeMode::LongSide);
        settings.textFieldSizeWidth = std::string(text);
    } else if (option == "--print") {
        const std::size_t at = text.find('@');
        const auto lengths = Split(text.substr(0, at), 'x');
        const auto& units = PrintUnitTitles();
        const std::string_view last = lengths.back();
        const auto unit =
            last.size() > 2 ? std::find(units.begin(), units.end(), last.substr(last.size() - 2)) : units.end();
        if (at == std::string_view::npos || lengths.size() != 2 || unit == units.end())
            return Fail(reason, name + " takes WxHUNIT@PPI with the unit mm, cm or in (e.g. 10x15cm@300), not \"" +
                                    std::string(text) + "\".");
        settings.comboSize = static_cast<int>(SizeMode::PrintSize);
        settings.comboSizeUnit = static_cast<int>(unit - units.begin());
        settings.textFieldSizeWidth = std::string(lengths[0]);
        settings.textFieldSizeHeight = std::string(last.substr(0, last.size() - 2));
        settings.textFieldSizePpi = std::string(text.substr(at + 1));
    } else {
        if (sides.size() != 2)
            return Fail(reason, name + " takes WxH in pixels (e.g. 1080x1080), not \"" + std::string(text) + "\".");
        settings.comboSize = static_cast<int>(option == "--fit" ? SizeMode::FitWithin : SizeMode::Exactly);
        settings.textFieldSizeWidth = std::string(sides[0]);
        settings.textFieldSizeHeight = std::string(sides[1]);
    }
    std::string problem;
    if (!ReadSizeRequest(settings, &problem) && !problem.empty())
        return Fail(reason, name + " " + std::string(text) + ": " + problem + ".");
    return true;
}

bool CropOptionParser::ApplyFill(std::string_view text, CropSettings& settings, std::string* reason)
{
    if (!ParseFillColour(text))
        return Fail(reason, "--fill takes a colour (#rrggbb, #rgb, a name such as white or black, or transparent), "
                            "not \"" +
                                std::string(text) + "\".");
    settings.checkFillToSize = true;
    settings.colorFill = std::string(text);
    return true;
}

} // namespace trimlark
