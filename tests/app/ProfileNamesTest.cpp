#include "app/ProfileNames.h"

#include <gtest/gtest.h>

namespace trimlark {
namespace {

TEST(ProfileDisplayName, RemovesTheLastFourCharactersOfTheFileName)
{
    struct Case
    {
        const char* name;
        QString path;
        QString displayName;
    };
    const Case cases[] = {
        {"saved with the extension", "/home/ann/profile.tlp", "profile"},
        {"no folder", "settings.tlp", "settings"},
        {"a dot in a folder name is not looked at", "/srv/v1.2/plan.tlp", "plan"},
        {"by count, not by extension", "/home/ann/plan.json", "plan."},
        {"four characters give nothing", "/home/ann/.tlp", ""},
        {"fewer than four give nothing", "/home/ann/abc", ""},
        {"five leave one", "/home/ann/abcde", "a"},
        {"a trailing slash is not a component", "/home/ann/plan.tlp/", "plan"},
        // "e" + U+0301 COMBINING ACUTE is one character on screen: "café.tlp" keeps its accent.
        {"combining accent", QString::fromUtf8("/p/cafe\u0301.tlp"), QString::fromUtf8("cafe\u0301")},
        // A flag is two code points (four UTF-16 units) and one character: flag + "abc" is four characters.
        {"flag counts as one", QString::fromUtf8("/p/x\U0001F1EB\U0001F1F7abc"), "x"},
        {"emoji with skin tone", QString::fromUtf8("/p/ok\U0001F44D\U0001F3FD.tl"), "ok"},
        {"non-Latin letters", QString::fromUtf8("/p/\u65e5\u672c\u8a9e.tlp"), QString::fromUtf8("\u65e5\u672c\u8a9e")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProfileDisplayName(c.path), c.displayName);
    }
}

TEST(ProfileTitle, NamesTheProfileAfterTheAppName)
{
    EXPECT_EQ(ProfileTitle("/home/ann/settings.tlp"), "Trimlark - settings");
    EXPECT_EQ(ProfileTitle("/home/ann/abcd"), "Trimlark - ");
}

TEST(WithProfileExtension, AddsTheExtensionOnlyWhenMissing)
{
    struct Case
    {
        const char* name;
        QString path;
        QString expected;
    };
    const Case cases[] = {
        {"plain name", "/p/plan", "/p/plan.tlp"},
        {"already there", "/p/plan.tlp", "/p/plan.tlp"},
        {"upper case", "/p/plan.TLP", "/p/plan.TLP"},
        {"another extension", "/p/plan.v2", "/p/plan.v2.tlp"},
        {"extension only in the folder", "/p/x.tlp/plan", "/p/x.tlp/plan.tlp"},
        {"ends in tlp without the dot", "/p/atlp", "/p/atlp.tlp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WithProfileExtension(c.path), c.expected);
    }
}

} // namespace
} // namespace trimlark
