#include "ScriptedPlatform.h"
#include "app/ProfileNames.h"

namespace trimlark {
namespace {

using ViewControllerProfile = WindowFixture;

const QString kContinueQuestion = "You have unsaved changes that will be lost. Continue?";
const QString kExitQuestion =
    "You have unsaved changes that will be lost. Are you sure you want to exit the application?";

TEST_F(ViewControllerProfile, QuestionsGuardUnsavedChanges)
{
    int quits = 0;
    // The command's action (none: closing the window), whether it went on, and its question.
    const std::tuple<const char*, std::function<bool()>, QString> cases[] = {
        {"actionNew", [&] { return Title() == "Trimlark"; }, kContinueQuestion},
        {"actionLoadProfile", [&] { return !platform->panels.empty(); }, kContinueQuestion},
        {"actionQuit", [&] { return quits == 1; }, kExitQuestion},
        {nullptr, [&] { return window->isHidden(); }, kExitQuestion},
    };
    for (const auto& [action, wentOn, question] : cases) {
        for (const int answer : {-1, 1, 0}) { // unmodified, "No", "Yes"
            SCOPED_TRACE(testing::Message() << (action ? action : "close") << ", answer " << answer);
            Relaunch();
            quits = 0;
            QObject::connect(window.get(), &ViewController::quitRequested, [&] { ++quits; });
            platform->answer = [answer](const Alert&) { return answer; };
            if (answer >= 0)
                ChooseItem(Find("comboAutoCropFormat"), "Custom"); // a change, which opens the ratio window
            action ? Trigger(action) : void(window->close());
            EXPECT_EQ(wentOn(), answer != 1);
            EXPECT_EQ(platform->alertTexts, answer < 0 ? QStringList() : QStringList{question});
            if (answer >= 0) {
                EXPECT_EQ(platform->alerts[0].buttons, (QStringList{"Yes", "No"}));
                EXPECT_EQ(platform->alerts[0].escapeButton, 1) << "Escape answers No";
                // Leaving the app closes the ratio window too; refusing keeps it.
                EXPECT_EQ(Shared().customWindowIsOpen, question == kContinueQuestion || answer == 1);
            }
        }
    }
    // After Quit was agreed to, the window closing on the way out asks nothing more.
    Relaunch();
    ChooseCorner();
    Trigger("actionQuit");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(platform->alerts.size(), 1u);
}

TEST_F(ViewControllerProfile, SaveAsksForAFileOnceAndLoadTakesItBack)
{
    ChooseCorner("Top Left");
    Shared().customWidth = 21;
    Trigger("actionSaveProfile"); // the panel is cancelled

    // The title shows the name as typed, even what Qt would take for its own modified placeholder.
    const QString plan = TempPath("plan[*].tlp"), second = TempPath("second.tlp");
    UseWith("actionSaveProfile", plan);
    EXPECT_EQ(Title(), "Trimlark - plan[*]");
    ChooseCorner("Bottom Right");
    Trigger("actionSaveProfile");
    EXPECT_EQ(ReadFile(plan).split('\n').value(21), "1") << "the origin corner, line 22";
    WriteFile("plan[*].tlp", "left alone\n");
    Trigger("actionSaveProfile");
    EXPECT_EQ(ReadFile(plan), "left alone\n") << "unmodified: the file is not touched";
    EXPECT_EQ(platform->panels, (QStringList{"save profile.tlp", "save profile.tlp"})) << "no panel once it has a file";
    UseWith("actionSaveProfileAs", second);
    EXPECT_EQ(Title(), "Trimlark - second") << "Save As asks whatever the state";
    const CropSettings saved = window->GetCropSettings();

    ChooseCorner();
    const QString missing = TempPath("missing-folder/plan.tlp");
    UseWith("actionSaveProfileAs", missing);
    EXPECT_EQ(platform->alertTexts, QStringList{"Could not save profile."});
    EXPECT_EQ(Title(), "Trimlark - second*");
    EXPECT_EQ(window->CurrentProfilePath(), missing.toStdString()) << "Save tries the same file again";

    // Loading replaces the settings and the ratio, but neither the list nor the output folder (no part of a profile).
    Reset();
    OpenWith({MakeImage("photo.png", 40, 30)});
    UseWith("buttonBrowse", "/srv/out");
    UseWith("actionLoadProfile", second);
    CropSettings expected = saved;
    expected.textFieldOutputFolder = "/srv/out";
    EXPECT_EQ(window->GetCropSettings(), expected);
    EXPECT_EQ(Shared().customWidth, 21);
    EXPECT_EQ(Title(), "Trimlark - second");
    EXPECT_EQ(window->ListImagePaths().size(), 1u);
    EXPECT_EQ(platform->panels.last(), "load " + TempPath("missing-folder")) << "starts beside the profile";

    // A refused file changes nothing, and Save never writes over it.
    ChooseCorner();
    platform->ClearAlerts();
    UseWith("actionLoadProfile", plan);
    EXPECT_EQ(platform->alertTexts,
              (QStringList{kContinueQuestion, "Could not load profile. It has 1 line, and a profile has 20, "
                                              "21, 22 or 25 to 38."}));
    EXPECT_EQ(window->GetCropSettings().comboOriginCorner, 3);
    EXPECT_EQ(Title(), "Trimlark - second*");
    EXPECT_EQ(window->CurrentProfilePath(), second.toStdString());

    // New: everything back to its defaults but the ratio, without a profile.
    Trigger("actionNew");
    EXPECT_EQ(window->GetCropSettings(), CropSettings{});
    EXPECT_TRUE(window->ListImagePaths().empty());
    EXPECT_TRUE(window->CurrentProfilePath().empty());
    EXPECT_EQ(Shared().customWidth, 21);
}

TEST(ProfileNames, TitleDropsTheLastFourCharactersOnScreenOfTheFileName)
{
    // "e" + U+0301 COMBINING ACUTE is one character on screen, a flag of two code points is one.
    EXPECT_EQ(ProfileTitle(QString::fromUtf8("/p/cafe\u0301.tlp")), QString::fromUtf8("Trimlark - cafe\u0301"));
    EXPECT_EQ(ProfileTitle(QString::fromUtf8("/p/x\U0001F1EB\U0001F1F7abc")), "Trimlark - x");
    EXPECT_EQ(WithProfileExtension("/p/plan"), "/p/plan.tlp");
    EXPECT_EQ(WithProfileExtension("/p/plan.TLP"), "/p/plan.TLP");
}

} // namespace
} // namespace trimlark
