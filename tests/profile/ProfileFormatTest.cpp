#include "profile/ProfileFormat.h"

#include "profile/ProfileFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <utf8.h>

namespace trimlark {
namespace {

const FormatList kFormats(WritableFormats{true, true, true});

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

// Every field away from its default (the position "Subject": the later version); the format is "Original"
// (index 12).
const ProfileContent kSome{
    {false, 5,     1,   true, 3,  true,  " 12 ", "-4.5", "640", "not a number", false,
     "35",  21.5f, "1", 0.1f, "", 99.0f, "50",   1e-3f,  12,    79.9f,          "Ünïcode [FileIndex] ✂",
     "",    false, true},
    {21, 9, false}};

void ExpectSameProfile(const ProfileContent& a, const ProfileContent& b)
{
    EXPECT_EQ(a.settings, b.settings);
    EXPECT_EQ(a.customRatio, b.customRatio);
}

TEST(ProfileFormat, WritesTwentyFiveLinesUnlessALaterSettingIsUsed)
{
    const std::string text = WriteProfileText(CropSettings{}, CustomRatio{}, kFormats);
    // One line a setting, in this order; floats in their shortest form with a fraction.
    EXPECT_EQ(text, "1\n0\n0\n1\n20\n20\n20.0\n20.0\n60\n60\n60.0\n60.0\n0\n0\n0\n0\n0\n0\n80.0\n"
                    "[FileName]_cropped ([FileIndex])\n1\n0\n1\n1\n1\n");
    const auto read = Read(WriteProfileText(kSome.settings, kSome.customRatio, kFormats));
    ASSERT_TRUE(read.has_value());
    ExpectSameProfile(*read, kSome);
    EXPECT_EQ(Lines(WriteProfileText(kSome.settings, kSome.customRatio, kFormats))[18], "79.9");
    // The later version: the 25 lines, then the position and the lossless box; a format after "Original" needs
    // it too. The 26-line version before it reads with the box off.
    const auto later = Lines(WriteProfileText(kSome.settings, kSome.customRatio, kFormats));
    EXPECT_EQ(later.size(), 27u);
    EXPECT_FALSE(Read(Join(later, 26), {})->settings.checkLosslessJpeg);
    CropSettings webp;
    webp.comboFormat = kFormats.IndexOfTitle("WEBP");
    EXPECT_EQ(Lines(WriteProfileText(webp, {}, kFormats)).size(), 27u);
    EXPECT_EQ(Read(WriteProfileText(webp, {}, kFormats))->settings, webp);
    // A size needs the version after: 35 lines, read back exactly; the 27 lines before it read as no size.
    CropSettings sized = kSome.settings;
    sized.comboSize = 4;
    sized.textFieldSizeWidth = "10.5";
    sized.textFieldSizeHeight = "line\nbreak";
    sized.comboSizeUnit = 2;
    sized.textFieldSizePpi = "300";
    sized.checkDoNotEnlarge = sized.checkFillToSize = true;
    sized.colorFill = "transparent";
    const auto sizedLines = Lines(WriteProfileText(sized, {}, kFormats));
    EXPECT_EQ(sizedLines.size(), 35u);
    sized.textFieldSizeHeight = "line break";
    EXPECT_EQ(Read(Join(sizedLines, 35))->settings, sized);
    EXPECT_EQ(Read(Join(sizedLines, 27), ProfileContent{sized, {}})->settings.comboSize, 0);
    // The border trim needs the version after that: 38 lines.
    sized.radioTrimBorders = true;
    sized.textFieldTrimTolerance = "15", sized.textFieldTrimMargin = "20";
    const auto trimLines = Lines(WriteProfileText(sized, {}, kFormats));
    EXPECT_EQ(trimLines.size(), 38u);
    EXPECT_EQ(Read(Join(trimLines, 38))->settings, sized);
    // The 25 lines hold the later settings' defaults, whatever the window had.
    EXPECT_EQ(Read(text, kSome)->settings.comboAutoCropPosition, 0);
    // The output folder is not stored: reading keeps the current one.
    ProfileContent current;
    current.settings.textFieldOutputFolder = "/keep/me";
    EXPECT_EQ(Read(text, current)->settings.textFieldOutputFolder, "/keep/me");
}

TEST(ProfileFormat, OlderVersionsKeepWhatTheyLack)
{
    const auto full = Lines(WriteProfileText(CropSettings{}, CustomRatio{3, 2, true}, kFormats));
    const struct Case
    {
        const char* name;
        std::size_t lines;
        const char* formatLine;
        int expectedFormat;
    } cases[] = {
        // The 20-line version had no JPEG 2000 entries: its formats above 1 shift by 3.
        {"20 lines, format above 1 shifts", 20, "5", 8},
        {"20 lines, format 1 stays", 20, "1", 1},
        {"20 lines, no format", 20, "-1", -1},
        {"21 lines", 21, "5", 5},
        {"22 lines", 22, "5", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto lines = full;
        lines[17] = c.formatLine;
        const auto read = Read(Join(lines, c.lines), kSome);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->settings.comboFormat, c.expectedFormat);
        EXPECT_EQ(read->settings.textFieldName, "[FileName]_cropped ([FileIndex])");
        EXPECT_EQ(read->settings.checkKeepEXIFInformationAndCreationDate, c.lines >= 21 ? true : false);
        EXPECT_EQ(read->settings.comboOriginCorner, c.lines >= 22 ? 0 : 3);
        EXPECT_EQ(read->settings.comboAutoCropPosition, 0);
        EXPECT_EQ(read->customRatio, kSome.customRatio);
    }
    // Line 21 without its line feed is no line: the file has 20.
    const auto read = Read(Join(full, 20) + "1", kSome);
    ASSERT_TRUE(read.has_value());
    EXPECT_FALSE(read->settings.checkKeepEXIFInformationAndCreationDate);
}

// One line changed in a valid file: other spellings of its numbers are read; a defect refuses the whole file.
TEST(ProfileFormat, ReadsEachLineStrictly)
{
    const auto base = Lines(WriteProfileText(CropSettings{}, CustomRatio{}, kFormats));
    const struct Case
    {
        const char* name;
        std::size_t line;
        const char* value;
        bool accepted;
    } cases[] = {
        {"stepper without fraction", 7, "20", true},
        {"stepper with exponent", 11, "6e1", true},
        {"state with plus sign", 1, "+1", true},
        {"state not a number", 1, "yes", false},
        {"state 2", 3, "2", false},
        {"index with spaces", 2, " 1", false},
        {"ratio index past its list", 2, "6", false},
        {"format after Original", 18, "13", false},
        {"format index below -1", 18, "-2", false},
        {"stepper not a number", 7, "twenty", false},
        {"quality empty", 19, "", false},
        {"quality above 100", 19, "250.0", false},
        {"custom width 0", 23, "0", false},
        {"custom width past 64 bits", 23, "99999999999999999999", false},
        {"flag not a number", 25, "true", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto lines = base;
        lines[c.line - 1] = c.value;
        std::string reason;
        EXPECT_EQ(ReadProfileText(Join(lines, 25), kSome, kFormats, &reason).has_value(), c.accepted);
        // A refusal names the line it refused.
        EXPECT_EQ(reason.starts_with("line " + std::to_string(c.line) + " is "), !c.accepted) << reason;
    }
    // Without an HEIF encoder the format list is two entries shorter.
    auto lines = base;
    lines[17] = "11";
    EXPECT_TRUE(Read(Join(lines, 25)).has_value());
    EXPECT_FALSE(ReadProfileText(Join(lines, 25), {}, FormatList(WritableFormats{})).has_value());
}

TEST(ProfileFormat, RefusesWrongShapesAndReadsEveryUnicodeForm)
{
    const std::string good = WriteProfileText(kSome.settings, kSome.customRatio, kFormats);
    const auto lines = Lines(good);
    CropSettings sized = kSome.settings;
    sized.radioTrimBorders = true;
    const std::string latest = WriteProfileText(sized, kSome.customRatio, kFormats);
    const std::string after19 = good.substr(Join(lines, 20).size());
    std::u16string units;
    utf8::utf8to16(good.begin(), good.end(), std::back_inserter(units));
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (const char16_t unit : units) {
        le += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        be += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    const struct Case
    {
        const char* name;
        std::string bytes;
        bool accepted;
    } cases[] = {
        {"as written", good, true},
        {"utf-8 byte-order mark", "\xEF\xBB\xBF" + good, true},
        {"utf-16 little-endian", le, true},
        {"utf-16 big-endian", be, true},
        {"utf-16 cut in half a unit", le.substr(0, le.size() - 1), false},
        {"line 25 without line feed", Join(lines, 24) + lines[24], false},
        {"carriage return and line feed", Join(lines, 25, "\r\n"), false},
        {"23 lines", Join(lines, 23), false},
        {"a line past the latest version", latest + "0\n", false},
        {"empty file", "", false},
        {"invalid utf-8", Join(lines, 19) + "bad \xC3\x28 name\n" + after19, false},
        {"unicode line separator splits a line", Join(lines, 19) + "a\xE2\x80\xA8z\n" + after19, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = Read(c.bytes);
        ASSERT_EQ(read.has_value(), c.accepted);
        if (read)
            ExpectSameProfile(*read, kSome);
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
        {"a cut-off sequence at the end", "crop\xE2\x82", "crop\uFFFD\uFFFD"},
        {"line breaks become spaces", "two\nlines\u2028here", "two lines here"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CropSettings s;
        s.textFieldName = c.text;
        const auto read = Read(WriteProfileText(s, {}, kFormats));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->settings.textFieldName, c.readBack);
    }
}

TEST(ProfileFile, SavesAndLoadsBackAndRefusesWhatIsNoProfile)
{
    const auto folder = std::filesystem::temp_directory_path() / ("trimlark-profile-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "folder.tlp");
    const auto at = [&](const char* name) { return (folder / name).string(); };
    ASSERT_TRUE(SaveProfileFile(at("a.tlp"), kSome, kFormats));
    const auto read = LoadProfileFile(at("a.tlp"), {}, kFormats);
    ASSERT_TRUE(read.has_value());
    ExpectSameProfile(*read, kSome);
    std::string reason;
    EXPECT_FALSE(SaveProfileFile(at("missing/a.tlp"), kSome, kFormats, &reason));
    EXPECT_FALSE(reason.empty());
    ASSERT_EQ(::mkfifo(at("pipe.tlp").c_str(), 0600), 0);
    // Without opening it: that would block.
    EXPECT_FALSE(SaveProfileFile(at("pipe.tlp"), kSome, kFormats, &reason));
    EXPECT_TRUE(std::filesystem::is_fifo(at("pipe.tlp")));

    std::ofstream(at("huge.tlp")) << WriteProfileText(CropSettings{}, {}, kFormats)
                                  << std::string(kMaxProfileBytes, ' ');
    std::ofstream(at("text.tlp")) << "hello\n";
    const std::pair<const char*, const char*> refused[] = {
        {"huge.tlp", "it is larger than any profile"},
        {"text.tlp", "it has 1 line, and a profile has 20, 21, 22 or 25 to 38"},
        {"folder.tlp", "it is not a regular file"},
        {"missing.tlp", "No such file or directory"},
    };
    for (const auto& [name, why] : refused) {
        SCOPED_TRACE(name);
        std::string reason;
        EXPECT_FALSE(LoadProfileFile(at(name), {}, kFormats, &reason).has_value());
        EXPECT_EQ(reason, why);
    }
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace trimlark
