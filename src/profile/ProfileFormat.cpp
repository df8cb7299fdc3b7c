#include "profile/ProfileFormat.h"

#include "base/Numbers.h"
#include "settings/OutputSize.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <utf8.h>
#include <variant>
#include <vector>

namespace trimlark {

namespace {

constexpr float kMaxQuality = 100.0f;
constexpr std::size_t kBaseLines = 25;

bool IsNewline(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// UTF-16 of the given byte order as UTF-8; nothing for an odd length or a surrogate without its pair.
std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    std::string text;
    try {
        utf8::utf16to8(units.begin(), units.end(), std::back_inserter(text));
    } catch (const utf8::exception&) {
        return std::nullopt;
    }
    return text;
}

// The text of a profile file as UTF-8, without its byte-order mark; absent when it is not text.
std::optional<std::string> DecodeText(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE"))
        return Utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return Utf16ToUtf8(bytes.substr(2), true);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (!utf8::is_valid(bytes.begin(), bytes.end()))
        return std::nullopt;
    return std::string(bytes);
}

// Pieces of valid UTF-8 text between newline characters; each newline character is one separator.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> pieces;
    auto start = text.begin();
    for (auto it = text.begin(); it != text.end();) {
        const auto at = it;
        if (IsNewline(static_cast<char32_t>(utf8::unchecked::next(it)))) {
            pieces.emplace_back(start, at);
            start = it;
        }
    }
    pieces.emplace_back(start, text.end());
    return pieces;
}

std::string FloatForm(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string text(buffer, result.ptr);
    if (text.find('.') == std::string::npos && std::isfinite(value))
        text += ".0";
    return text;
}

// A text value on one line, as UTF-8 the reader takes: newline characters would split it, so they become
// spaces, and each byte that is not UTF-8 (a name typed on a terminal in another encoding) becomes U+FFFD.
std::string TextForm(std::string_view text)
{
    std::string out;
    for (auto it = text.begin(); it != text.end();) {
        std::uint32_t c = 0xFFFD;
        try {
            c = utf8::next(it, text.end());
        } catch (const utf8::exception&) {
            ++it;
        }
        utf8::append(IsNewline(static_cast<char32_t>(c)) ? U' ' : c, std::back_inserter(out));
    }
    return out;
}

class LineReader
{
public:
    explicit LineReader(const std::vector<std::string>& lines) : lines_(lines) {}

    bool ok() const { return reason_.empty(); }
    // Why the first refused line was refused ("line 6 is not a number"); empty while every line reads.
    const std::string& Reason() const { return reason_; }
    const std::string& Text(std::size_t line) const { return lines_[line - 1]; }

    bool State(std::size_t line)
    {
        const auto value = ParseInteger(Text(line));
        if (!value || (*value != 0 && *value != 1))
            Refuse(line, "is not 0 or 1");
        return value && *value == 1;
    }

    int Index(std::size_t line, std::size_t listSize, bool oldFormatRule = false)
    {
        auto value = ParseInteger(Text(line));
        if (value && oldFormatRule && *value > 1)
            *value += 3;
        if (!value || *value < -1 || *value >= static_cast<std::int64_t>(listSize)) {
            Refuse(line, value ? "is not a choice of its list" : "is not a number");
            return -1;
        }
        return static_cast<int>(*value);
    }

    float Float(std::size_t line)
    {
        const auto value = ParseDecimal<float>(Text(line));
        if (!value)
            Refuse(line, "is not a number");
        return value.value_or(0.0f);
    }

    std::int64_t Integer(std::size_t line)
    {
        const auto value = ParseInteger(Text(line));
        if (!value)
            Refuse(line, "is not a whole number");
        return value.value_or(0);
    }

    // Refuses the profile for the line, unless an earlier line already did.
    void Refuse(std::size_t line, std::string_view why)
    {
        if (reason_.empty())
            reason_ = "line " + std::to_string(line) + " " + std::string(why);
    }

private:
    const std::vector<std::string>& lines_;
    std::string reason_;
};

// The settings of the lines after the 25th, in line order, each one field of the settings: a state written 0 or
// 1, a text written on one line, or an index into its list. A later setting is one more row.
class LaterLine
{
public:
    LaterLine(bool CropSettings::*state) : field_(state) {}
    LaterLine(std::string CropSettings::*text) : field_(text) {}
    LaterLine(int CropSettings::*index, const std::vector<std::string>& (*list)()) : field_(index), list_(list) {}

    std::string Write(const CropSettings& s) const
    {
        if (const auto* state = std::get_if<bool CropSettings::*>(&field_))
            return s.**state ? "1" : "0";
        if (const auto* text = std::get_if<std::string CropSettings::*>(&field_))
            return TextForm(s.**text);
        return std::to_string(s.*std::get<int CropSettings::*>(field_));
    }

    // Whether the setting is at its default: then a profile needs no line for it.
    bool AtDefault(const CropSettings& s) const { return Write(s) == Write(CropSettings{}); }

    void Read(LineReader& in, std::size_t line, CropSettings& s) const
    {
        if (const auto* state = std::get_if<bool CropSettings::*>(&field_))
            s.** state = in.State(line);
        else if (const auto* text = std::get_if<std::string CropSettings::*>(&field_))
            s.** text = in.Text(line);
        else
            s.*std::get<int CropSettings::*>(field_) = in.Index(line, list_().size());
    }

private:
    std::variant<bool CropSettings::*, std::string CropSettings::*, int CropSettings::*> field_;
    const std::vector<std::string>& (*list_)() = nullptr;
};

const LaterLine kLaterLines[] = {
    {&CropSettings::comboAutoCropPosition, AutoCropPositionTitles},
    {&CropSettings::checkLosslessJpeg},
    {&CropSettings::comboSize, SizeModeTitles},
    {&CropSettings::textFieldSizeWidth},
    {&CropSettings::textFieldSizeHeight},
    {&CropSettings::comboSizeUnit, PrintUnitTitles},
    {&CropSettings::textFieldSizePpi},
    {&CropSettings::checkDoNotEnlarge},
    {&CropSettings::checkFillToSize},
    {&CropSettings::colorFill},
    {&CropSettings::radioTrimBorders},
    {&CropSettings::textFieldTrimTolerance},
    {&CropSettings::textFieldTrimMargin},
};
// The later versions, by their count of lines after the 25th: a profile is written in the first that holds every
// setting it needs.
constexpr std::size_t kLaterVersions[] = {2, 10, 13};
static_assert(std::size(kLaterLines) == kProfileLaterLines);

} // namespace

std::string WriteProfileText(const CropSettings& s, const CustomRatio& ratio, const FormatList& formats)
{
    const auto state = [](bool on) { return on ? std::string("1") : std::string("0"); };
    std::vector<std::string> lines{
        state(s.radioAutoCrop),
        std::to_string(s.comboAutoCropFormat),
        state(s.radioCustomCrop),
        state(s.radioCustomCropPercents),
        TextForm(s.textFieldCustomCropPercentsOriginX),
        TextForm(s.textFieldCustomCropPercentsOriginY),
        FloatForm(s.stepperCustomCropPercentsOriginX),
        FloatForm(s.stepperCustomCropPercentsOriginY),
        TextForm(s.textFieldCustomCropPercentsWidth),
        TextForm(s.textFieldCustomCropPercentsHeight),
        FloatForm(s.stepperCustomCropPercentsWidth),
        FloatForm(s.stepperCustomCropPercentsHeight),
        state(s.radioCustomCropPixels),
        TextForm(s.textFieldCustomCropPixelsOriginX),
        TextForm(s.textFieldCustomCropPixelsOriginY),
        TextForm(s.textFieldCustomCropPixelsWidth),
        TextForm(s.textFieldCustomCropPixelsHeight),
        std::to_string(s.comboFormat),
        FloatForm(s.sliderQuality),
        TextForm(s.textFieldName),
        state(s.checkKeepEXIFInformationAndCreationDate),
        std::to_string(s.comboOriginCorner),
        std::to_string(ratio.customWidth),
        std::to_string(ratio.customHeight),
        ratio.customWidthLargestDimension ? "1" : "0",
    };
    std::size_t needed = formats.IsAfterOriginal(s.comboFormat) ? 1 : 0;
    for (std::size_t i = 0; i < kProfileLaterLines; ++i) {
        if (!kLaterLines[i].AtDefault(s))
            needed = i + 1;
    }
    if (needed > 0) {
        const std::size_t version = *std::find_if(std::begin(kLaterVersions), std::end(kLaterVersions),
                                                  [needed](std::size_t lines) { return lines >= needed; });
        for (std::size_t i = 0; i < version; ++i)
            lines.push_back(kLaterLines[i].Write(s));
    }
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::optional<ProfileContent> ReadProfileText(std::string_view bytes, const ProfileContent& current,
                                              const FormatList& formats, std::string* reason)
{
    auto refuse = [reason](std::string why) {
        if (reason)
            *reason = std::move(why);
        return std::nullopt;
    };
    const auto decoded = DecodeText(bytes);
    if (!decoded)
        return refuse("it is not UTF-8 or UTF-16 text");
    const std::vector<std::string> pieces = SplitLines(*decoded);
    // A file of L lines, each ending in a line feed, has L + 1 pieces; the last is never read.
    const std::size_t lineCount = pieces.size() - 1;
    if (lineCount != 20 && lineCount != 21 && lineCount != 22 &&
        (lineCount < kBaseLines || lineCount > kBaseLines + kProfileLaterLines))
        return refuse("it has " + std::to_string(lineCount) + (lineCount == 1 ? " line" : " lines") +
                      ", and a profile has 20, 21, 22 or 25 to " + std::to_string(kBaseLines + kProfileLaterLines));

    ProfileContent result = current;
    CropSettings& s = result.settings;
    LineReader in(pieces);
    s.radioAutoCrop = in.State(1);
    s.comboAutoCropFormat = in.Index(2, AutoCropFormatTitles().size());
    s.radioCustomCrop = in.State(3);
    s.radioCustomCropPercents = in.State(4);
    s.textFieldCustomCropPercentsOriginX = in.Text(5);
    s.textFieldCustomCropPercentsOriginY = in.Text(6);
    s.stepperCustomCropPercentsOriginX = in.Float(7);
    s.stepperCustomCropPercentsOriginY = in.Float(8);
    s.textFieldCustomCropPercentsWidth = in.Text(9);
    s.textFieldCustomCropPercentsHeight = in.Text(10);
    s.stepperCustomCropPercentsWidth = in.Float(11);
    s.stepperCustomCropPercentsHeight = in.Float(12);
    s.radioCustomCropPixels = in.State(13);
    s.textFieldCustomCropPixelsOriginX = in.Text(14);
    s.textFieldCustomCropPixelsOriginY = in.Text(15);
    s.textFieldCustomCropPixelsWidth = in.Text(16);
    s.textFieldCustomCropPixelsHeight = in.Text(17);
    // The 20-line version had fewer formats before the JPEG 2000 entries; its indices above 1 shift by 3.
    // The formats after "Original" came with the later versions.
    const int formatsKnown = lineCount > kBaseLines ? formats.Count() : formats.IndexOfTitle(kOriginalFormatTitle) + 1;
    s.comboFormat = in.Index(18, static_cast<std::size_t>(formatsKnown), lineCount == 20);
    s.sliderQuality = in.Float(19);
    if (!(s.sliderQuality >= 0.0f && s.sliderQuality <= kMaxQuality))
        in.Refuse(19, "is not a quality from 0 to 100");
    s.textFieldName = in.Text(20);
    if (lineCount >= 21)
        s.checkKeepEXIFInformationAndCreationDate = in.State(21);
    if (lineCount >= 22)
        s.comboOriginCorner = in.Index(22, OriginCornerTitles().size());
    if (lineCount >= 25) {
        result.customRatio.customWidth = in.Integer(23);
        result.customRatio.customHeight = in.Integer(24);
        result.customRatio.customWidthLargestDimension = in.Integer(25) == 1;
        // The ratio divides by these; the custom ratio window never lets them fall below 1 either.
        if (result.customRatio.customWidth < 1)
            in.Refuse(23, "is below 1");
        if (result.customRatio.customHeight < 1)
            in.Refuse(24, "is below 1");
    }
    // A setting the file lacks is read from its default's line: the programs that wrote the shorter versions
    // knew only that.
    std::vector<std::string> defaultLines;
    for (const LaterLine& row : kLaterLines)
        defaultLines.push_back(row.Write(CropSettings{}));
    LineReader defaults(defaultLines);
    for (std::size_t i = 0; i < kProfileLaterLines; ++i) {
        if (kBaseLines + i < lineCount)
            kLaterLines[i].Read(in, kBaseLines + i + 1, s);
        else
            kLaterLines[i].Read(defaults, i + 1, s);
    }
    if (!in.ok())
        return refuse(in.Reason());
    return result;
}

} // namespace trimlark
