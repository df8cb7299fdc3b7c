#include "cli/CropOptionParser.h"

#include "settings/ChoiceLists.h"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace trimlark {

namespace {

std::optional<std::int64_t> ParseWholeNumber(std::string_view text)
{
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

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

std::optional<std::string> ApplyAutoRatio(std::string_view ratioText, CropSettings& settings, CustomRatio& ratio)
{
    const auto& titles = AutoCropFormatTitles();
    for (int i = 0; i < kCustomAutoCropFormatIndex; ++i) {
        if (titles[static_cast<std::size_t>(i)] == ratioText) {
            settings.comboAutoCropFormat = i;
            return std::nullopt;
        }
    }
    const auto terms = Split(ratioText, ':');
    const auto width = terms.size() == 2 ? ParseWholeNumber(terms[0]) : std::nullopt;
    const auto height = terms.size() == 2 ? ParseWholeNumber(terms[1]) : std::nullopt;
    if (!width || !height || *width < 1 || *height < 1)
        return "The ratio of an auto crop is 1:1, 4:3, 3:2, 16:9, 16:10 or W:H in whole numbers of at least 1, not \"" +
               std::string(ratioText) + "\".";
    settings.comboAutoCropFormat = kCustomAutoCropFormatIndex;
    ratio.customWidth = *width;
    ratio.customHeight = *height;
    return std::nullopt;
}

std::optional<std::string> ApplyRectangle(std::string_view kind, std::string_view values, CropSettings& settings)
{
    const auto parts = Split(values, ',');
    if (parts.size() != 4)
        return "A " + std::string(kind) + " crop takes four numbers, X,Y,W,H.";
    for (std::string_view part : parts)
        if (!CropOptionParser::ParseNumber(part))
            return "\"" + std::string(part) + "\" is not a number.";
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
        settings.stepperCustomCropPercentsOriginX = static_cast<float>(*CropOptionParser::ParseNumber(parts[0]));
        settings.stepperCustomCropPercentsOriginY = static_cast<float>(*CropOptionParser::ParseNumber(parts[1]));
        settings.stepperCustomCropPercentsWidth = static_cast<float>(*CropOptionParser::ParseNumber(parts[2]));
        settings.stepperCustomCropPercentsHeight = static_cast<float>(*CropOptionParser::ParseNumber(parts[3]));
    }
    settings.radioAutoCrop = false;
    settings.radioCustomCrop = true;
    settings.radioCustomCropPixels = pixels;
    settings.radioCustomCropPercents = !pixels;
    return std::nullopt;
}

} // namespace

std::optional<double> CropOptionParser::ParseNumber(std::string_view text)
{
    // from_chars takes a "-" but no "+"; one sign at most ("+-1" is no number).
    if (text.starts_with('+') && !text.substr(1).starts_with('-'))
        text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::string> CropOptionParser::ApplyCrop(std::string_view text, CropSettings& settings,
                                                       CustomRatio& ratio)
{
    if (text == "none") {
        settings.radioAutoCrop = false;
        settings.radioCustomCrop = false;
        return std::nullopt;
    }
    const std::size_t colon = text.find(':');
    const std::string_view kind = text.substr(0, colon);
    const std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    if (colon != std::string_view::npos && kind == "auto") {
        if (auto error = ApplyAutoRatio(rest, settings, ratio))
            return error;
        settings.radioAutoCrop = true;
        settings.radioCustomCrop = false;
        return std::nullopt;
    }
    if (colon != std::string_view::npos && (kind == "pixels" || kind == "percents"))
        return ApplyRectangle(kind, rest, settings);
    return "The crop is auto:RATIO, pixels:X,Y,W,H, percents:X,Y,W,H or none, not \"" + std::string(text) + "\".";
}

std::optional<std::string> CropOptionParser::ApplyCorner(std::string_view text, CropSettings& settings)
{
    static constexpr std::array<std::string_view, 4> names{"bottom-left", "bottom-right", "top-left", "top-right"};
    const std::string lower = LowerAscii(text);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == lower) {
            settings.comboOriginCorner = static_cast<int>(i);
            return std::nullopt;
        }
    }
    return "The corner is bottom-left, bottom-right, top-left or top-right, not \"" + std::string(text) + "\".";
}

std::optional<std::string> CropOptionParser::ApplyFormat(std::string_view text, CropSettings& settings)
{
    const auto& titles = FormatTitles();
    std::string known;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (LowerAscii(titles[i]) == LowerAscii(text)) {
            settings.comboFormat = static_cast<int>(i);
            return std::nullopt;
        }
        known += (i == 0 ? "" : ", ") + titles[i];
    }
    return "Unknown format \"" + std::string(text) + "\"; the formats are " + known + ".";
}

} // namespace trimlark
