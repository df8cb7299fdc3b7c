#include "profile/ProfileFormat.h"

#include "settings/ChoiceLists.h"
#include "settings/SettingsRules.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace trimlark {

namespace {

constexpr float kMaxQuality = 100.0f;

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

struct DecodedChar
{
    char32_t c = 0;
    std::size_t size = 0;
};

// The character that starts at bytes[i], decoded strictly (no overlong forms, no surrogates, nothing above
// U+10FFFF); nothing when the bytes there are not UTF-8.
std::optional<DecodedChar> DecodeUtf8Char(std::string_view bytes, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (b0 < 0x80)
        return DecodedChar{b0, 1};
    if ((b0 & 0xE0) == 0xC0)
        extra = 1, c = b0 & 0x1F, minimum = 0x80;
    else if ((b0 & 0xF0) == 0xE0)
        extra = 2, c = b0 & 0x0F, minimum = 0x800;
    else if ((b0 & 0xF8) == 0xF0)
        extra = 3, c = b0 & 0x07, minimum = 0x10000;
    else
        return std::nullopt;
    if (i + static_cast<std::size_t>(extra) >= bytes.size())
        return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    return DecodedChar{c, static_cast<std::size_t>(extra) + 1};
}

std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view bytes)
{
    std::vector<char32_t> out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto decoded = DecodeUtf8Char(bytes, i);
        if (!decoded)
            return std::nullopt;
        out.push_back(decoded->c);
        i += decoded->size;
    }
    return out;
}

std::optional<std::vector<char32_t>> DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::vector<char32_t> out;
    out.reserve(bytes.size() / 2);
    auto unitAt = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return std::nullopt;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= bytes.size())
                return std::nullopt;
            const char32_t low = unitAt(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            out.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            i += 2;
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

// The text of a profile file as code points, without its byte-order mark; absent when it is not text.
std::optional<std::vector<char32_t>> DecodeText(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return DecodeUtf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return DecodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return DecodeUtf16(bytes.substr(2), true);
    return DecodeUtf8(bytes);
}

bool IsNewline(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Pieces between newline characters; each newline character is one separator.
std::vector<std::string> SplitLines(const std::vector<char32_t>& text)
{
    std::vector<std::string> pieces(1);
    for (const char32_t c : text) {
        if (IsNewline(c))
            pieces.emplace_back();
        else
            AppendUtf8(pieces.back(), c);
    }
    return pieces;
}

// An optional sign and decimal digits, the whole text.
std::optional<std::int64_t> ParseInteger(std::string_view text)
{
    // from_chars takes a "-" but no "+"; one sign at most ("+-1" is no number).
    if (text.starts_with('+') && !text.substr(1).starts_with('-'))
        text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A finite decimal number ("20", "20.0", "-1.5", "2e1"), the whole text.
std::optional<float> ParseFloat(std::string_view text)
{
    std::string_view body = text;
    if (body.starts_with('+') || body.starts_with('-'))
        body.remove_prefix(1);
    if (body.empty() || !(std::isdigit(static_cast<unsigned char>(body.front())) || body.front() == '.'))
        return std::nullopt;
    if (text.starts_with('+'))
        text.remove_prefix(1);
    float value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
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
// spaces, and a byte that is not UTF-8 (a name typed on a terminal in another encoding) becomes U+FFFD.
std::string TextForm(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto decoded = DecodeUtf8Char(text, i);
        const char32_t c = decoded ? decoded->c : U'\uFFFD';
        AppendUtf8(out, IsNewline(c) ? U' ' : c);
        i += decoded ? decoded->size : 1;
    }
    return out;
}

class LineReader
{
public:
    explicit LineReader(const std::vector<std::string>& lines) : lines_(lines) {}

    bool ok() const { return ok_; }
    const std::string& Text(std::size_t line) const { return lines_[line - 1]; }

    bool State(std::size_t line)
    {
        const auto value = ParseInteger(Text(line));
        if (!value || (*value != 0 && *value != 1))
            ok_ = false;
        return value && *value == 1;
    }

    int Index(std::size_t line, std::size_t listSize, bool oldFormatRule = false)
    {
        auto value = ParseInteger(Text(line));
        if (value && oldFormatRule && *value > 1)
            *value += 3;
        if (!value || *value < -1 || *value >= static_cast<std::int64_t>(listSize)) {
            ok_ = false;
            return -1;
        }
        return static_cast<int>(*value);
    }

    float Float(std::size_t line)
    {
        const auto value = ParseFloat(Text(line));
        ok_ = ok_ && value.has_value();
        return value.value_or(0.0f);
    }

    std::int64_t Integer(std::size_t line)
    {
        const auto value = ParseInteger(Text(line));
        ok_ = ok_ && value.has_value();
        return value.value_or(0);
    }

    void Refuse() { ok_ = false; }

private:
    const std::vector<std::string>& lines_;
    bool ok_ = true;
};

} // namespace

std::string WriteProfileText(const CropSettings& s, const CustomRatio& ratio)
{
    const auto state = [](bool on) { return on ? std::string("1") : std::string("0"); };
    const std::vector<std::string> lines{
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
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::optional<ProfileContent> ReadProfileText(std::string_view bytes, const ProfileContent& current)
{
    const auto decoded = DecodeText(bytes);
    if (!decoded)
        return std::nullopt;
    const std::vector<std::string> pieces = SplitLines(*decoded);
    // A file of L lines, each ending in a line feed, has L + 1 pieces; the last is never read.
    const std::size_t lineCount = pieces.size() - 1;
    if (lineCount != 20 && lineCount != 21 && lineCount != 22 && lineCount != 25)
        return std::nullopt;

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
    s.comboFormat = in.Index(18, FormatTitles().size(), lineCount == 20);
    s.sliderQuality = in.Float(19);
    if (!(s.sliderQuality >= 0.0f && s.sliderQuality <= kMaxQuality))
        in.Refuse();
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
        if (result.customRatio.customWidth < 1 || result.customRatio.customHeight < 1)
            in.Refuse();
    }
    if (!in.ok())
        return std::nullopt;
    return result;
}

} // namespace trimlark
