#include "app/ProfileNames.h"

#include <gtest/gtest.h>

namespace trimlark {
namespace {

TEST(ProfileNames, TitleDropsTheLastFourCharactersOfTheFileName)
{
    const std::pair<QString, QString> cases[] = {
        {"/home/ann/profile.tlp", "profile"},
        {"/home/ann/plan.json", "plan."}, // by count, not by extension
        {"/home/ann/.tlp", ""},
        {"/home/ann/plan.tlp/", "plan"},
        // "e" + U+0301 COMBINING ACUTE is one character on screen.
        {QString::fromUtf8("/p/cafe\u0301.tlp"), QString::fromUtf8("cafe\u0301")},
        // A flag is two code points (four UTF-16 units) and one character: flag + "abc" is four characters.
        {QString::fromUtf8("/p/x\U0001F1EB\U0001F1F7abc"), "x"},
    };
    for (const auto& [path, displayName] : cases)
        EXPECT_EQ(ProfileDisplayName(path), displayName) << path.toStdString();
    EXPECT_EQ(ProfileTitle("/home/ann/settings.tlp"), "Trimlark - settings");
}

TEST(ProfileNames, ExtensionIsAddedOnlyWhenMissing)
{
    const std::pair<QString, QString> cases[] = {{"/p/plan", "/p/plan.tlp"},
                                                 {"/p/plan.TLP", "/p/plan.TLP"},
                                                 {"/p/plan.v2", "/p/plan.v2.tlp"},
                                                 {"/p/atlp", "/p/atlp.tlp"}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(WithProfileExtension(path), expected) << path.toStdString();
}

} // namespace
} // namespace trimlark
