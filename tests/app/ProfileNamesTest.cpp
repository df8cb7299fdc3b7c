#include "app/ProfileNames.h"

#include <gtest/gtest.h>

namespace trimlark {
namespace {

TEST(ProfileNames, DisplayNameDropsTheLastFourCharactersOfTheFileName)
{
    const std::tuple<const char*, QString, QString> cases[] = {
        {"with the extension", "/home/ann/profile.tlp", "profile"},
        {"by count, not by extension", "/home/ann/plan.json", "plan."},
        {"four characters give nothing", "/home/ann/.tlp", ""},
        {"a trailing slash is not a component", "/home/ann/plan.tlp/", "plan"},
        // "e" + U+0301 COMBINING ACUTE is one character on screen.
        {"combining accent", QString::fromUtf8("/p/cafe\u0301.tlp"), QString::fromUtf8("cafe\u0301")},
        // A flag is two code points (four UTF-16 units) and one character: flag + "abc" is four characters.
        {"flag counts as one", QString::fromUtf8("/p/x\U0001F1EB\U0001F1F7abc"), "x"},
    };
    for (const auto& [name, path, displayName] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ProfileDisplayName(path), displayName);
    }
    EXPECT_EQ(ProfileTitle("/home/ann/settings.tlp"), "Trimlark - settings");
}

TEST(ProfileNames, ExtensionIsAddedOnlyWhenMissing)
{
    const std::pair<QString, QString> cases[] = {
        {"/p/plan", "/p/plan.tlp"},
        {"/p/plan.TLP", "/p/plan.TLP"},
        {"/p/plan.v2", "/p/plan.v2.tlp"},
        {"/p/atlp", "/p/atlp.tlp"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(WithProfileExtension(path), expected) << path.toStdString();
}

} // namespace
} // namespace trimlark
