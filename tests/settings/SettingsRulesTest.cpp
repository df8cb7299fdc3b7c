#include "list/ImageListRules.h"
#include "settings/ChoiceLists.h"
#include "settings/DataProvider.h"
#include "settings/SettingsRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace trimlark {
namespace {

TEST(ReadFloatValue, ReadsOnlyTheLeadingPlainDecimalNumber)
{
    const struct Case
    {
        const char* text;
        float expected;
    } cases[] = {
        {"", 0.0f},         {"12", 12.0f},      {"  12.5", 12.5f},   {"\t7", 7.0f},      {"+3", 3.0f},
        {"-2.5", -2.5f},    {"1e3", 1000.0f},   {"2E-1", 0.2f},      {"1e", 1.0f},       {"1e+", 1.0f},
        {"12abc", 12.0f},   {"abc", 0.0f},      {"inf", 0.0f},       {"-infinity", 0.0f}, {"nan", 0.0f},
        {"0x10", 0.0f},     {".5", 0.5f},       {"5.", 5.0f},        {".", 0.0f},        {"-", 0.0f},
        {"1,5", 1.0f},      {"35 %", 35.0f},    {"0.1", 0.1f},       {"\n5", 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadFloatValue(c.text), c.expected);
    }
}

TEST(ReadFloatValue, OverflowReadsAsInfinity)
{
    EXPECT_EQ(ReadFloatValue("1e39"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ReadFloatValue("-1e999"), -std::numeric_limits<float>::infinity());
}

TEST(ReadFloatValue, IgnoresTheProcessLocale)
{
    // A desktop session may run with a locale whose decimal point is a comma.
    const char* locales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"};
    for (const char* name : locales) {
        if (!std::setlocale(LC_NUMERIC, name))
            continue;
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadFloatValue("2.5"), 2.5f);
    }
    std::setlocale(LC_NUMERIC, "C");
}

TEST(TruncateToInt64, IsDefinedForEveryDouble)
{
    const struct Case
    {
        double value;
        std::int64_t expected;
    } cases[] = {
        {2999.99991, 2999},
        {-2.7, -2},
        {NAN, 0},
        {INFINITY, std::numeric_limits<std::int64_t>::max()},
        {-1e300, std::numeric_limits<std::int64_t>::min()},
        {9223372036854775808.0, std::numeric_limits<std::int64_t>::max()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(TruncateToInt64(c.value), c.expected);
    }
}

TEST(QualityRules, LabelShowsTheWholePartAndAtLeastOne)
{
    const struct Case
    {
        float value;
        const char* label;
    } cases[] = {{0.5f, "1"}, {1.0f, "1"}, {1.5f, "1"}, {2.0f, "2"}, {79.9f, "79"}, {80.0f, "80"}, {100.0f, "100"},
                 {NAN, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(QualityLabelText(c.value), c.label);
    }
}

TEST(QualityRules, SliderIsOnForJpegJpeg2000AndOriginal)
{
    const struct Case
    {
        const char* title;
        bool enabled;
    } cases[] = {{"JPG", true},  {"JPE", true},   {"JP2", true},  {"JPX", true},       {"PNG", false},
                 {"TIF", false}, {"GIF", false},  {"BMP", false}, {"HEIC", false},     {"HEIF", false},
                 {"Original", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const int index = FormatIndexOfTitle(c.title);
        ASSERT_GE(index, 0);
        EXPECT_EQ(QualitySliderEnabled(index), c.enabled);
    }
    EXPECT_FALSE(QualitySliderEnabled(-1));
    EXPECT_FALSE(QualitySliderEnabled(static_cast<int>(FormatTitles().size())));
}

TEST(QualityRules, FractionIsComputedInSinglePrecision)
{
    EXPECT_DOUBLE_EQ(QualityFraction(80.0f), 0.800000011920929);
    EXPECT_EQ(QualityFraction(100.0f), 1.0);
}

TEST(ChoiceLists, OriginalIsLastWithOrWithoutHeif)
{
    for (const bool heif : {false, true}) {
        SCOPED_TRACE(heif);
        const auto titles = FormatTitlesFor(heif);
        EXPECT_EQ(titles.back(), "Original");
        EXPECT_EQ(titles.size(), heif ? 13u : 11u);
        EXPECT_EQ(std::count(titles.begin(), titles.end(), "HEIC"), heif ? 1 : 0);
    }
    // This machine's image library writes HEIF, so the app offers it.
    EXPECT_EQ(FormatTitleAt(11), "HEIC");
    EXPECT_EQ(FormatNameFor(FormatIndexOfTitle("Original")), "original");
    EXPECT_EQ(FormatNameFor(1), "jpeg");
    EXPECT_EQ(FormatNameFor(-1), "");
}

TEST(DataProvider, IsOneInstanceForEveryThread)
{
    std::vector<DataProvider*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &DataProvider::Shared(); });
    for (auto& t : threads)
        t.join();
    for (DataProvider* p : seen)
        EXPECT_EQ(p, &DataProvider::Shared());
    EXPECT_EQ(DataProvider::Shared().Ratio(), CustomRatio{});
    EXPECT_FALSE(DataProvider::Shared().customWindowIsOpen);
}

TEST(ImageListRules, AcceptsImageExtensionsInAnyCase)
{
    const struct Case
    {
        const char* path;
        bool accepted;
    } cases[] = {{"/a/b.jpg", true},   {"/a/b.JPG", true},  {"/a/b.HeIc", true},   {"/a/b.tiff", true},
                 {"/a/b.jp2", true},   {"/a/b.jfif", false}, {"/a/b.txt", false},  {"/a/jpg", false},
                 {"/a/.jpg", false},   {"/a.jpg/b", false},  {"/a/b.png.txt", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(HasAcceptedExtension(c.path), c.accepted);
    }
}

} // namespace
} // namespace trimlark
