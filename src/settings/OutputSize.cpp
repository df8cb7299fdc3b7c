#include "settings/OutputSize.h"

#include "base/Numbers.h"
#include "base/PathText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <utility>

namespace trimlark {

namespace {

constexpr double kMillimetresPerInch = 25.4;

// A side that follows another's scale: rounded to the nearest pixel, never 0.
double RoundedSide(double value)
{
    return std::max(1.0, std::round(value));
}

// A whole number of pixels from 1 to the largest side, the whole text but spaces around it.
std::optional<double> PixelSide(const std::string& text)
{
    const auto value = ParseInteger(TrimSpaces(text));
    if (!value || *value < 1 || *value > static_cast<std::int64_t>(kMaxOutputSide))
        return std::nullopt;
    return static_cast<double>(*value);
}

std::optional<double> PositiveNumber(const std::string& text)
{
    const auto value = ParseDecimal<double>(TrimSpaces(text));
    if (!value || !(*value > 0.0))
        return std::nullopt;
    return value;
}

double InchesPer(PrintUnit unit)
{
    switch (unit) {
    case PrintUnit::Millimetres:
        return 1.0 / kMillimetresPerInch;
    case PrintUnit::Centimetres:
        return 10.0 / kMillimetresPerInch;
    case PrintUnit::Inches:
        break;
    }
    return 1.0;
}

std::optional<SizeRequest> Refuse(std::string* problem, std::string why)
{
    if (problem)
        *problem = std::move(why);
    return std::nullopt;
}

std::string WholeText(double value)
{
    return std::to_string(static_cast<std::int64_t>(value));
}

} // namespace

const std::vector<std::string>& SizeModeTitles()
{
    static const std::vector<std::string> titles{"Keep the cropped size", "Exactly", "Fit within", "Long side",
                                                 "Print size"};
    return titles;
}

const std::vector<std::string>& PrintUnitTitles()
{
    static const std::vector<std::string> titles{"mm", "cm", "in"};
    return titles;
}

std::optional<FillColour> ParseFillColour(std::string_view text)
{
    const std::string name = LowerAscii(TrimSpaces(text));
    static const std::array<std::pair<std::string_view, FillColour>, 12> kNames{{
        {"transparent", {0, 0, 0, 0}},
        {"white", {255, 255, 255, 255}},
        {"black", {0, 0, 0, 255}},
        {"grey", {128, 128, 128, 255}},
        {"gray", {128, 128, 128, 255}},
        {"silver", {192, 192, 192, 255}},
        {"red", {255, 0, 0, 255}},
        {"green", {0, 128, 0, 255}},
        {"blue", {0, 0, 255, 255}},
        {"yellow", {255, 255, 0, 255}},
        {"navy", {0, 0, 128, 255}},
        {"whitesmoke", {245, 245, 245, 255}},
    }};
    for (const auto& [known, colour] : kNames) {
        if (name == known)
            return colour;
    }
    if (name.size() != 4 && name.size() != 7)
        return std::nullopt;
    if (name[0] != '#' || !std::all_of(name.begin() + 1, name.end(), [](char c) { return std::isxdigit(c); }))
        return std::nullopt;
    const auto digit = [&](std::size_t i) { return std::stoi(name.substr(i, 1), nullptr, 16); };
    const bool shortForm = name.size() == 4;
    const auto channel = [&](int i) {
        return static_cast<std::uint8_t>(shortForm ? digit(1 + i) * 17 : digit(1 + 2 * i) * 16 + digit(2 + 2 * i));
    };
    return FillColour{channel(0), channel(1), channel(2), 255};
}

std::string FillColourText(const FillColour& colour)
{
    if (colour.alpha == 0)
        return "transparent";
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text = "#";
    for (const std::uint8_t channel : {colour.red, colour.green, colour.blue}) {
        text += kHex[channel >> 4];
        text += kHex[channel & 15];
    }
    return text;
}

std::optional<SizeRequest> ReadSizeRequest(const CropSettings& settings, std::string* problem)
{
    if (problem)
        problem->clear();
    if (settings.comboSize <= 0 || settings.comboSize >= static_cast<int>(SizeModeTitles().size()))
        return std::nullopt;
    SizeRequest request;
    request.mode = static_cast<SizeMode>(settings.comboSize);
    request.noEnlarge = settings.checkDoNotEnlarge;
    if (request.mode == SizeMode::PrintSize) {
        const auto width = PositiveNumber(settings.textFieldSizeWidth);
        const auto height = PositiveNumber(settings.textFieldSizeHeight);
        const auto ppi = PositiveNumber(settings.textFieldSizePpi);
        if (!width || !height)
            return Refuse(problem, "the print's width and height are not lengths above 0");
        if (!ppi)
            return Refuse(problem, "the resolution is not a number of ppi above 0");
        if (settings.comboSizeUnit < 0 || settings.comboSizeUnit >= static_cast<int>(PrintUnitTitles().size()))
            return Refuse(problem, "the print's unit is not one of mm, cm and in");
        const double inches = InchesPer(static_cast<PrintUnit>(settings.comboSizeUnit));
        request.width = std::round(*width * inches * *ppi);
        request.height = std::round(*height * inches * *ppi);
        request.ppi = *ppi;
        if (!(request.width >= 1 && request.width <= kMaxOutputSide && request.height >= 1 &&
              request.height <= kMaxOutputSide))
            return Refuse(problem, "the print's size at that resolution is not from 1 to 65535 pixels a side");
        return request;
    }
    const auto width = PixelSide(settings.textFieldSizeWidth);
    if (!width)
        return Refuse(problem, "the width is not a whole number of pixels from 1 to 65535");
    request.width = *width;
    if (request.mode == SizeMode::LongSide)
        return request;
    const auto height = PixelSide(settings.textFieldSizeHeight);
    if (!height)
        return Refuse(problem, "the height is not a whole number of pixels from 1 to 65535");
    request.height = *height;
    if (request.mode == SizeMode::FitWithin && settings.checkFillToSize) {
        request.fill = ParseFillColour(settings.colorFill);
        if (!request.fill)
            return Refuse(problem, "the fill colour is not a colour (#rrggbb, a name or transparent)");
    }
    return request;
}

std::optional<AspectRatio> SizeCropRatio(const SizeRequest& request, double W, double H)
{
    const auto width = static_cast<std::int64_t>(request.width);
    const auto height = static_cast<std::int64_t>(request.height);
    if (request.mode == SizeMode::PrintSize)
        return AspectRatio{std::max(width, height), std::min(width, height)};
    if (request.mode != SizeMode::Exactly)
        return std::nullopt;
    if (IsLandscapeOrSquare(W, H))
        return AspectRatio{width, height};
    return AspectRatio{height, width};
}

SizedOutput SizeOutput(const SizeRequest& request, double cw, double ch)
{
    SizedOutput out{cw, ch, cw, ch};
    switch (request.mode) {
    case SizeMode::Keep:
        return out;
    case SizeMode::Exactly:
        out.width = request.width;
        out.height = request.height;
        break;
    case SizeMode::PrintSize: {
        const double longer = std::max(request.width, request.height);
        const double shorter = std::min(request.width, request.height);
        const bool landscape = IsLandscapeOrSquare(cw, ch);
        out.width = landscape ? longer : shorter;
        out.height = landscape ? shorter : longer;
        out.ppi = request.ppi;
        out.printPpi = request.ppi * std::min(cw / out.width, ch / out.height);
        break;
    }
    case SizeMode::FitWithin:
        if (request.width / cw <= request.height / ch) {
            out.width = request.width;
            out.height = std::min(request.height, RoundedSide(ch * request.width / cw));
        } else {
            out.height = request.height;
            out.width = std::min(request.width, RoundedSide(cw * request.height / ch));
        }
        break;
    case SizeMode::LongSide:
        if (cw >= ch) {
            out.width = request.width;
            out.height = RoundedSide(ch * request.width / cw);
        } else {
            out.height = request.width;
            out.width = RoundedSide(cw * request.width / ch);
        }
        break;
    }
    if (request.noEnlarge && (out.width > cw || out.height > ch)) {
        out.notEnlarged = true;
        if (request.mode == SizeMode::PrintSize)
            out.ppi = out.printPpi;
        out.width = cw;
        out.height = ch;
    }
    out.canvasWidth = request.fill ? std::max(request.width, out.width) : out.width;
    out.canvasHeight = request.fill ? std::max(request.height, out.height) : out.height;
    return out;
}

Rect CutToShape(const SizeRequest& request, const Rect& region)
{
    if (request.mode != SizeMode::Exactly && request.mode != SizeMode::PrintSize)
        return region;
    // The whole pixels inside the region, then the largest part of the shape centred in them.
    constexpr double kSlack = 1e-6;
    const double left = std::ceil(region.x - kSlack);
    const double bottom = std::ceil(region.y - kSlack);
    const double width = std::floor(region.x + region.w + kSlack) - left;
    const double height = std::floor(region.y + region.h + kSlack) - bottom;
    const auto ratio = SizeCropRatio(request, width, height);
    const Rect cut = GetAutoCropRect(*ratio, width, height);
    if (!(cut.w >= 1.0 && cut.h >= 1.0))
        return region;
    return {left + std::floor(cut.x), bottom + std::floor(cut.y), cut.w, cut.h};
}

std::string SizeRemark(const SizeRequest& request, const SizedOutput& output, const CropSettings& settings)
{
    if (output.notEnlarged)
        return "not enlarged: the crop is " + WholeText(output.width) + " x " + WholeText(output.height);
    if (request.mode == SizeMode::PrintSize && std::floor(output.printPpi) < request.ppi) {
        const std::string& unit = PrintUnitTitles()[static_cast<std::size_t>(settings.comboSizeUnit)];
        return "only " + WholeText(std::floor(output.printPpi)) + " ppi at " +
               std::string(TrimSpaces(settings.textFieldSizeWidth)) + " x " +
               std::string(TrimSpaces(settings.textFieldSizeHeight)) + " " + unit;
    }
    return {};
}

} // namespace trimlark
