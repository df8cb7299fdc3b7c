#include "profile/ProfileFile.h"
#include "profile/ProfileFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utf8.h>
#include <vector>

namespace trimlark {
namespace {

const FormatList kFormats(true);

std::optional<ProfileContent> Read(std::string_view bytes, const ProfileContent& current = {})
{
    return ReadProfileText(bytes, current, kFormats);
}

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
    s.comboFormat = kFormats.IndexOfTitle("Original");
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
                 {11, "60.0"},
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
    const auto read = Read(WriteProfileText(written.settings, written.customRatio));
    ASSERT_TRUE(read.has_value());
    ExpectSameProfile(*read, written);
    EXPECT_EQ(Lines(WriteProfileText(written.settings, written.customRatio))[18], "79.9"); // shortest form
}

TEST(ProfileFormat, OutputFolderIsNotStored)
{
    ProfileContent current;
    current.settings.textFieldOutputFolder = "/keep/me";
    CropSettings other;
    other.textFieldOutputFolder = "/not/stored";
    const auto read = Read(WriteProfileText(other, {}), current);
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
        const auto read = Read(Join(lines, c.lines), current);
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
    const auto read = Read(text, SomeSettings());
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
        EXPECT_EQ(Read(Join(lines, 25), SomeSettings()).has_value(), c.accepted);
    }
    auto lines = base;
    lines[19] = "  spaced  ";
    EXPECT_EQ(Read(Join(lines, 25))->settings.textFieldName, "  spaced  ");
    // Without an HEIF encoder the format list is two entries shorter.
    lines = base;
    lines[17] = "11";
    EXPECT_TRUE(Read(Join(lines, 25)).has_value());
    EXPECT_FALSE(ReadProfileText(Join(lines, 25), {}, FormatList(false)).has_value());
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
        EXPECT_EQ(Read(c.bytes).has_value(), c.accepted);
    }
}

TEST(ProfileFormat, ReadsUtf16WithByteOrderMark)
{
    const ProfileContent written = SomeSettings();
    const std::string utf8 = WriteProfileText(written.settings, written.customRatio);
    std::u16string units;
    utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(units));
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        std::string utf16 = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (const char16_t unit : units) {
            const char high = static_cast<char>(unit >> 8);
            const char low = static_cast<char>(unit & 0xFF);
            utf16 += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        const auto read = Read(utf16);
        ASSERT_TRUE(read.has_value());
        ExpectSameProfile(*read, written);
        EXPECT_FALSE(Read(utf16.substr(0, utf16.size() - 1)).has_value());
    }
}

// Whatever a text field holds, the file written has 25 lines and reads back.
TEST(ProfileFormat, AnyTextIsWrittenReadablyOnOneLine)
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
        {"line breaks become spaces", "two\nlines\u2028here", "two lines here"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CropSettings s;
        s.textFieldName = c.text;
        const auto read = Read(WriteProfileText(s, {}));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->settings.textFieldName, c.readBack);
    }
}

class ProfileFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path() / ("trimlark-profile-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string PathOf(const char* name) const { return (folder_ / name).string(); }

    std::filesystem::path folder_;
};

TEST_F(ProfileFile, SavedProfileLoadsBackAndAFailedSaveSaysWhy)
{
    const ProfileContent written = SomeSettings();
    ASSERT_TRUE(SaveProfileFile(PathOf("a.tlp"), written));
    const auto read = LoadProfileFile(PathOf("a.tlp"), {}, kFormats);
    ASSERT_TRUE(read.has_value());
    ExpectSameProfile(*read, written);

    std::string reason;
    EXPECT_FALSE(SaveProfileFile(PathOf("missing/a.tlp"), written, &reason));
    EXPECT_FALSE(reason.empty());
}

TEST_F(ProfileFile, RefusesWhatIsNotAProfileFile)
{
    const std::string good = WriteProfileText(CropSettings{}, CustomRatio{});
    std::ofstream(PathOf("huge.tlp")) << good << std::string(kMaxProfileBytes, ' ');
    std::ofstream(PathOf("text.tlp")) << "hello\n";
    std::filesystem::create_directory(PathOf("folder.tlp"));
    for (const char* name : {"huge.tlp", "text.tlp", "folder.tlp", "missing.tlp"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(LoadProfileFile(PathOf(name), {}, kFormats).has_value());
    }
}

} // namespace
} // namespace trimlark
