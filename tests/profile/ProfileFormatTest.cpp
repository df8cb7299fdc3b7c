#include "profile/ProfileFormat.h"

#include "settings/ChoiceLists.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace trimlark {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Join(const std::vector<std::string>& lines, std::size_t count, const char* end = "\n")
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += lines[i] + end;
    return text;
}

ProfileContent SomeSettings()
{
    ProfileContent p;
    CropSettings& s = p.settings;
    s.radioAutoCrop = false;
    s.comboAutoCropFormat = 5;
    s.radioCustomCrop = true;
    s.comboOriginCorner = 3;
    s.radioCustomCropPixels = true;
    s.radioCustomCropPercents = false;
    s.textFieldCustomCropPixelsOriginX = " 12 ";
    s.textFieldCustomCropPixelsOriginY = "-4.5";
    s.textFieldCustomCropPixelsWidth = "640";
    s.textFieldCustomCropPixelsHeight = "not a number";
    s.textFieldCustomCropPercentsOriginX = "35";
    s.stepperCustomCropPercentsOriginX = 21.5f;
    s.textFieldCustomCropPercentsOriginY = "1";
    s.stepperCustomCropPercentsOriginY = 0.1f;
    s.textFieldCustomCropPercentsWidth = "";
    s.stepperCustomCropPercentsWidth = 99.0f;
    s.textFieldCustomCropPercentsHeight = "50";
    s.stepperCustomCropPercentsHeight = 1e-3f;
    s.comboFormat = FormatIndexOfTitle("Original");
    s.sliderQuality = 79.9f;
    s.textFieldName = "Ünïcode [FileIndex] ✂";
    s.checkKeepEXIFInformationAndCreationDate = false;
    p.customRatio = {21, 9, false};
    return p;
}

void ExpectSameProfile(const ProfileContent& a, const ProfileContent& b)
{
    CropSettings sa = a.settings;
    CropSettings sb = b.settings;
    sa.textFieldOutputFolder = sb.textFieldOutputFolder = "";
    EXPECT_EQ(sa, sb);
    EXPECT_EQ(a.customRatio, b.customRatio);
}

TEST(ProfileFormat, DefaultsGiveTheKnownLines)
{
    const std::string text = WriteProfileText(CropSettings{}, CustomRatio{});
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 25u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
    const struct Case
    {
        std::size_t line;
        const char* value;
    } cases[] = {{1, "1"},
                 {2, "0"},
                 {3, "0"},
                 {4, "1"},
                 {5, "20"},
                 {7, "20.0"},
                 {13, "0"},
                 {14, "0"},
                 {18, "0"},
                 {19, "80.0"},
                 {20, "[FileName]_cropped ([FileIndex])"},
                 {21, "1"},
                 {22, "0"},
                 {23, "1"},
                 {24, "1"},
                 {25, "1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(lines[c.line - 1], c.value);
    }
}

TEST(ProfileFormat, WriteThenReadGivesTheSameSettings)
{
    const ProfileContent written = SomeSettings();
    const auto read = ReadProfileText(WriteProfileText(written.settings, written.customRatio), ProfileContent{});
    ASSERT_TRUE(read.has_value());
    ExpectSameProfile(*read, written);
}

TEST(ProfileFormat, FloatsAreShortestWithAFraction)
{
    ProfileContent p;
    p.settings.sliderQuality = 79.9f;
    p.settings.stepperCustomCropPercentsOriginX = 0.1f;
    p.settings.stepperCustomCropPercentsWidth = 100.0f;
    const auto lines = Lines(WriteProfileText(p.settings, p.customRatio));
    EXPECT_EQ(lines[18], "79.9");
    EXPECT_EQ(lines[6], "0.1");
    EXPECT_EQ(lines[10], "100.0");
}

TEST(ProfileFormat, OutputFolderIsNotStored)
{
    ProfileContent current;
    current.settings.textFieldOutputFolder = "/keep/me";
    CropSettings other;
    other.textFieldOutputFolder = "/not/stored";
    const auto read = ReadProfileText(WriteProfileText(other, {}), current);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->settings.textFieldOutputFolder, "/keep/me");
}

TEST(ProfileFormat, OlderVersionsKeepWhatTheyLack)
{
    const ProfileContent current = SomeSettings();
    const auto full = Lines(WriteProfileText(CropSettings{}, CustomRatio{3, 2, true}));
    const struct Case
    {
        const char* name;
        std::size_t lines;
        const char* formatLine;
        int expectedFormat;
        bool metadataFromFile;
        bool cornerFromFile;
    } cases[] = {
        {"20 lines, format above 1 shifts by 3", 20, "5", 8, false, false},
        {"20 lines, format 1 stays", 20, "1", 1, false, false},
        {"20 lines, no format", 20, "-1", -1, false, false},
        {"21 lines", 21, "5", 5, true, false},
        {"22 lines", 22, "5", 5, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto lines = full;
        lines[17] = c.formatLine;
        const auto read = ReadProfileText(Join(lines, c.lines), current);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->settings.comboFormat, c.expectedFormat);
        EXPECT_EQ(read->settings.radioAutoCrop, true);
        EXPECT_EQ(read->settings.textFieldName, "[FileName]_cropped ([FileIndex])");
        EXPECT_EQ(read->settings.checkKeepEXIFInformationAndCreationDate,
                  c.metadataFromFile ? true : current.settings.checkKeepEXIFInformationAndCreationDate);
        EXPECT_EQ(read->settings.comboOriginCorner, c.cornerFromFile ? 0 : current.settings.comboOriginCorner);
        EXPECT_EQ(read->customRatio, current.customRatio);
    }
}

TEST(ProfileFormat, TwentyOneLinesWithoutFinalLineFeedReadAsTwenty)
{
    auto lines = Lines(WriteProfileText(CropSettings{}, CustomRatio{}));
    lines[17] = "2";
    std::string text = Join(lines, 20) + "0"; // line 21 without its line feed
    const auto read = ReadProfileText(text, SomeSettings());
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->settings.comboFormat, 5);
    EXPECT_FALSE(read->settings.checkKeepEXIFInformationAndCreationDate); // line 21 ignored
}

// One line changed in a valid file: other spellings of its numbers are read; a defect refuses the whole file.
TEST(ProfileFormat, ReadsEachLineStrictly)
{
    const auto base = Lines(WriteProfileText(CropSettings{}, CustomRatio{}));
    const struct Case
    {
        const char* name;
        std::size_t line;
        const char* value;
        bool accepted;
    } cases[] = {
        {"stepper without fraction", 7, "20", true},
        {"stepper with fraction", 8, "20.0", true},
        {"stepper with exponent", 11, "6e1", true},
        {"quality without fraction", 19, "80", true},
        {"state with plus sign", 1, "+1", true},
        {"text with spaces", 20, "  spaced  ", true},
        {"state not a number", 1, "yes", false},
        {"state 2", 3, "2", false},
        {"index with spaces", 2, " 1", false},
        {"index with two signs", 18, "+-1", false},
        {"ratio index beyond its list", 2, "6", false},
        {"format index beyond its list", 18, "13", false},
        {"format index below -1", 18, "-2", false},
        {"corner beyond its list", 22, "4", false},
        {"stepper not a number", 7, "twenty", false},
        {"stepper infinite", 8, "inf", false},
        {"stepper hexadecimal", 11, "0x10", false},
        {"quality empty", 19, "", false},
        {"quality above 100", 19, "250.0", false},
        {"quality NaN", 19, "nan", false},
        {"custom width 0", 23, "0", false},
        {"custom height negative", 24, "-5", false},
        {"custom width beyond 64 bits", 23, "99999999999999999999", false},
        {"flag not a number", 25, "true", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto lines = base;
        lines[c.line - 1] = c.value;
        EXPECT_EQ(ReadProfileText(Join(lines, 25), SomeSettings()).has_value(), c.accepted);
    }
    auto lines = base;
    lines[19] = "  spaced  ";
    EXPECT_EQ(ReadProfileText(Join(lines, 25), {})->settings.textFieldName, "  spaced  ");
}

TEST(ProfileFormat, RefusesWrongShapesAndEncodings)
{
    const std::string good = WriteProfileText(CropSettings{}, CustomRatio{});
    const auto lines = Lines(good);
    const struct Case
    {
        const char* name;
        std::string bytes;
        bool accepted;
    } cases[] = {
        {"as written", good, true},
        {"last line without line feed", good.substr(0, good.size() - 1), false},
        {"carriage return and line feed", Join(lines, 25, "\r\n"), false},
        {"23 lines", Join(lines, 23), false},
        {"empty file", "", false},
        {"utf-8 byte-order mark", "\xEF\xBB\xBF" + good, true},
        {"invalid utf-8 in a text line", Join(lines, 19) + "bad \xC3\x28 name\n" + good.substr(Join(lines, 20).size()),
         false},
        {"overlong utf-8", Join(lines, 19) + "\xC0\xAF\n" + good.substr(Join(lines, 20).size()), false},
        {"unicode line separator splits a line",
         Join(lines, 19) +
             "a\xE2\x80\xA8"
             "b\n" +
             good.substr(Join(lines, 20).size()),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadProfileText(c.bytes, ProfileContent{}).has_value(), c.accepted);
    }
}

TEST(ProfileFormat, ReadsUtf16WithByteOrderMark)
{
    ProfileContent written = SomeSettings();
    const std::string utf8 = WriteProfileText(written.settings, written.customRatio);
    // Re-encode as UTF-16LE: every code point of this text is in the basic plane.
    std::u32string points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        points += c;
        i += static_cast<std::size_t>(n);
    }
    std::string utf16 = "\xFF\xFE";
    for (const char32_t c : points) {
        ASSERT_LT(c, 0x10000u);
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    const auto read = ReadProfileText(utf16, ProfileContent{});
    ASSERT_TRUE(read.has_value());
    ExpectSameProfile(*read, written);
    EXPECT_FALSE(ReadProfileText(utf16.substr(0, utf16.size() - 1), ProfileContent{}).has_value());
}

// Whatever a text field holds, the file written reads back.
TEST(ProfileFormat, TextThatIsNotUtf8IsWrittenReadably)
{
    const struct Case
    {
        const char* name;
        std::string text;
        std::string readBack;
    } cases[] = {
        {"a Latin-1 byte", "caf\xE9", "caf\uFFFD"},
        {"a lone continuation byte", "a\x80z", "a\uFFFDz"},
        {"a cut-off sequence at the end", "crop\xE2\x82", "crop\uFFFD\uFFFD"},
        {"valid text is kept", "r\u00E9sum\u00E9 \u2702", "r\u00E9sum\u00E9 \u2702"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CropSettings s;
        s.textFieldName = c.text;
        const auto read = ReadProfileText(WriteProfileText(s, {}), ProfileContent{});
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->settings.textFieldName, c.readBack);
    }
}

TEST(ProfileFormat, TextWithALineBreakStillWritesTwentyFiveLines)
{
    CropSettings s;
    s.textFieldName = "two\nlines\u2028here";
    const std::string text = WriteProfileText(s, {});
    const auto read = ReadProfileText(text, ProfileContent{});
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->settings.textFieldName, "two lines here");
}

} // namespace
} // namespace trimlark
