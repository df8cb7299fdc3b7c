#include "settings/SettingsRules.h"

#include "settings/ChoiceLists.h"

#include <cmath>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

TEST(QualityRules, LabelShowsTheWholePartAndAtLeastOne)
{
    const struct Case
    {
        float value;
        const char* label;
    } cases[] = {{0.5f, "1"}, {1.0f, "1"}, {1.5f, "1"}, {79.9f, "79"}, {100.0f, "100"}, {NAN, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(QualityLabelText(c.value), c.label);
    }
}

TEST(FormatList, OffersWhatCanBeWrittenWithoutMovingEarlierEntries)
{
    const struct Case
    {
        const char* name;
        WritableFormats writable;
        int heic, original, webp, avif, count;
    } cases[] = {
        {"JPEG to BMP only", {}, -1, 10, -1, -1, 11},
        {"with WebP, without HEIF", {false, true}, -1, 10, 11, -1, 12},
        {"everything", {true, true, true}, 11, 12, 13, 14, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FormatList formats(c.writable);
        EXPECT_EQ(formats.IndexOfTitle("heic"), c.heic);
        EXPECT_EQ(formats.IndexOfTitle("original"), c.original);
        EXPECT_EQ(formats.IndexOfTitle("webp"), c.webp);
        EXPECT_EQ(formats.IndexOfTitle("AVIF"), c.avif);
        EXPECT_EQ(formats.Count(), c.count);
        EXPECT_EQ(formats.TitleAt(formats.Count()), "");
    }
}

TEST(FormatList, ResolvesEachEntryToItsEncoderAndQualityRule)
{
    const FormatList formats(WritableFormats{false, true});
    const int original = formats.IndexOfTitle("Original");
    const struct Case
    {
        const char* name;
        int index;
        const char* source;
        std::optional<OutputFormat> format;
        bool quality;
    } cases[] = {
        {"JPE", formats.IndexOfTitle("JPE"), "/a/b.png", OutputFormat::Jpeg, true},
        {"JPX", formats.IndexOfTitle("JPX"), "/a/b.png", OutputFormat::Jpeg2000, true},
        {"TIF", formats.IndexOfTitle("TIF"), "/a/b.png", OutputFormat::Tiff, false},
        {"BMP", formats.IndexOfTitle("BMP"), "/a/b.png", OutputFormat::Bmp, false},
        {"Original of a PNG", original, "/a/b.png", OutputFormat::Png, true},
        {"Original of an upper-case GIF", original, "/a/b.GIF", OutputFormat::Gif, true},
        {"Original of a HEIC without its encoder", original, "/a/b.heic", std::nullopt, true},
        {"WEBP", formats.IndexOfTitle("WEBP"), "/a/b.png", OutputFormat::Webp, true},
        {"Original of an unknown type", original, "/a/b.xcf", std::nullopt, true},
        {"Original of a hidden name", original, "/a/.png", std::nullopt, true},
        {"nothing selected", -1, "/a/b.png", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(formats.OutputFormatAt(c.index, c.source), c.format);
        EXPECT_EQ(formats.QualityApplies(c.index), c.quality);
    }
    const FormatList withHeif(WritableFormats{true});
    EXPECT_EQ(withHeif.OutputFormatAt(12, "/a/b.HEIC"), OutputFormat::Heic);
    EXPECT_TRUE(withHeif.QualityApplies(withHeif.IndexOfTitle("HEIC")));
}

} // namespace
} // namespace trimlark
