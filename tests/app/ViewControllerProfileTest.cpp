#include "ScriptedPlatform.h"
#include "app/ProfileNames.h"

#include <QDir>
#include <QSignalSpy>
#include <QWindow>

namespace trimlark {
namespace {

const QString kContinueQuestion = "You have unsaved changes that will be lost. Continue?";
const QString kExitQuestion =
    "You have unsaved changes that will be lost. Are you sure you want to exit the application?";

class ViewControllerProfile : public WindowFixture
{
public:
    void SaveAs(const QString& path)
    {
        platform->panelAnswers.push_back(QStringList{path});
        Trigger("actionSaveProfileAs");
    }
    void Load(const QString& path)
    {
        platform->panelAnswers.push_back(QStringList{path});
        Trigger("actionLoadProfile");
    }
    // A change that marks the profile modified: another origin corner (line 22 of a profile).
    void ChooseCorner(const char* corner = "Top Right") { ChooseItem(Find("comboOriginCorner"), corner); }
    static QByteArray CornerLine(const QString& path) { return ReadFile(path).split('\n').value(21); }
};

TEST_F(ViewControllerProfile, SettingActionsMarkOnceAndOthersNever)
{
    // The output tab's controls are used without showing their tab: input goes to them directly.
    const std::tuple<const char*, std::function<void()>, bool> cases[] = {
        {"radio button", [&] { Click("radioCustomCrop"); }, true},
        {"ratio list", [&] { ChooseItem(Find("comboAutoCropFormat"), "4:3"); }, true},
        {"corner list", [&] { ChooseCorner(); }, true},
        {"pixel field", [&] { TypeInto(Find("textFieldCustomCropPixelsWidth"), "64"); }, true},
        {"percent stepper", [&] { StepUp("Width"); }, true},
        {"format list", [&] { ChooseItem(Find("comboFormat"), "PNG"); }, true},
        {"quality slider", [&] { QTest::keyClick(Find("sliderQuality"), Qt::Key_Left); }, true},
        {"name field", [&] { TypeInto(Find("textFieldName"), "[FileName]"); }, true},
        // The percent fields are read when needed, only their steppers count as a change; the list, the metadata
        // box and the output folder are no part of the crop.
        {"percent field, metadata box, output folder, images",
         [&] {
             TypeInto(Find("textFieldCustomCropPercentsWidth"), "35");
             Click("checkKeepEXIFInformationAndCreationDate");
             Browse("/srv");
             OpenWith({MakeImage("a.png", 8, 8)});
             Click("buttonRemoveAll");
         },
         false},
    };
    for (const auto& [name, act, marks] : cases) {
        SCOPED_TRACE(name);
        Trigger("actionNew"); // asks nothing while unmodified, "Yes" otherwise
        const CropSettings before = window->GetCropSettings();
        act();
        EXPECT_EQ(Title(), marks ? "Trimlark*" : "Trimlark");
        if (marks) {
            EXPECT_NE(window->GetCropSettings(), before);
            act();
            EXPECT_EQ(Title(), "Trimlark*") << "one mark only";
        }
    }
}

TEST_F(ViewControllerProfile, QuestionsGuardUnsavedChanges)
{
    int quits = 0;
    // The command's action (none: closing the window), and whether it went on.
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
                ChooseCorner();
            if (action)
                Trigger(action);
            else
                window->close();
            EXPECT_EQ(wentOn(), answer != 1);
            EXPECT_EQ(platform->AlertTexts(), answer < 0 ? QStringList() : QStringList{question});
            if (answer >= 0) {
                EXPECT_EQ(platform->alerts[0].buttons, (QStringList{"Yes", "No"}));
                EXPECT_EQ(platform->alerts[0].escapeButton, 1) << "Escape answers No";
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

TEST_F(ViewControllerProfile, SaveAsksForAFileOnceThenWritesAtOnce)
{
    Trigger("actionSaveProfile");
    EXPECT_TRUE(platform->panels.empty()) << "nothing to save";
    ChooseCorner("Top Left");
    Trigger("actionSaveProfile"); // the panel is cancelled
    EXPECT_EQ(Title(), "Trimlark*");
    EXPECT_TRUE(window->CurrentProfilePath().empty());

    // An existing file is replaced whole, and nothing is left beside it.
    const QString path = WriteFile("plan.tlp", QByteArray(4000, '#'));
    platform->panelAnswers.push_back(QStringList{path});
    Trigger("actionSaveProfile");
    EXPECT_EQ(Title(), "Trimlark - plan");
    EXPECT_EQ(CornerLine(path), "2");
    EXPECT_FALSE(ReadFile(path).contains('#'));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList{"plan.tlp"});

    ChooseCorner("Bottom Right");
    Trigger("actionSaveProfile");
    EXPECT_EQ(Title(), "Trimlark - plan");
    EXPECT_EQ(CornerLine(path), "1");
    WriteFile("plan.tlp", "left alone\n");
    Trigger("actionSaveProfile");
    EXPECT_EQ(ReadFile(path), "left alone\n") << "unmodified: the file is not touched";
    EXPECT_EQ(platform->panels, (QStringList{"save profile.tlp", "save profile.tlp"})) << "no panel once it has a file";
    SaveAs(TempPath("second.tlp"));
    EXPECT_EQ(Title(), "Trimlark - second") << "Save As asks whatever the state";

    ChooseCorner();
    const QString missing = TempPath("missing-folder/plan.tlp");
    SaveAs(missing);
    EXPECT_EQ(platform->AlertTexts(), QStringList{"Could not save profile."});
    EXPECT_EQ(Title(), "Trimlark - second*");
    EXPECT_EQ(window->CurrentProfilePath(), missing.toStdString()) << "Save tries the same file again";
}

TEST_F(ViewControllerProfile, SavedProfileLoadsBackOverTheListAndOutputFolder)
{
    CropSettings settings;
    settings.radioAutoCrop = false;
    settings.radioCustomCrop = true;
    settings.textFieldCustomCropPixelsWidth = "  640 ";
    settings.stepperCustomCropPercentsHeight = 12.5f;
    settings.sliderQuality = 79.9f;
    settings.textFieldName = QString::fromUtf8("caf\u00e9 [FileIndex]").toStdString();
    window->SetCropSettings(settings);
    static_cast<CustomRatio&>(DataProvider::Shared()) = {21, 9, false};
    SaveAs(TempPath("round.tlp"));

    Reset();
    OpenWith({MakeImage("photo.png", 40, 30)});
    CropSettings folder;
    folder.textFieldOutputFolder = settings.textFieldOutputFolder = "/srv/out"; // not stored in a profile: kept
    window->SetCropSettings(folder);
    ChooseCorner();
    Load(TempPath("round.tlp"));
    EXPECT_EQ(window->GetCropSettings(), settings);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{21, 9, false}));
    EXPECT_EQ(Title(), "Trimlark - round");
    EXPECT_EQ(window->ListImagePaths().size(), 1u);
    EXPECT_EQ(platform->panels.last(), "load " + temp.path()) << "starts beside the profile";

    // New: everything back to its defaults but the ratio, without a profile.
    platform->alerts.clear();
    Trigger("actionNew");
    EXPECT_EQ(window->GetCropSettings(), CropSettings{});
    EXPECT_TRUE(window->ListImagePaths().empty());
    EXPECT_TRUE(window->CurrentProfilePath().empty());
    EXPECT_EQ(DataProvider::Shared().customWidth, 21);
    EXPECT_TRUE(platform->alerts.empty()) << "loading marked nothing";
}

TEST_F(ViewControllerProfile, RefusedFilesChangeNothing)
{
    const QString earlier = TempPath("earlier.tlp");
    SaveAs(earlier);
    QByteArray oversized = ReadFile(earlier), badLine = ReadFile(earlier);
    // Well formed, but larger than a profile can be: its name line alone is 1 MiB.
    oversized.replace("[FileName]_cropped ([FileIndex])", QByteArray(1 << 20, 'n'));
    badLine[0] = '2'; // a state neither 0 nor 1
    const QString files[] = {TempPath("absent.tlp"), temp.path(), WriteFile("large.tlp", oversized),
                             WriteFile("bad.tlp", badLine)};
    ChooseCorner();
    const CropSettings settings = window->GetCropSettings();
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        platform->alerts.clear();
        Load(path);
        EXPECT_EQ(platform->AlertTexts(), (QStringList{kContinueQuestion, "Could not load profile."}));
        EXPECT_EQ(window->GetCropSettings(), settings);
        EXPECT_EQ(Title(), "Trimlark - earlier*");
        EXPECT_EQ(window->CurrentProfilePath(), earlier.toStdString()) << "Save never writes over a refused file";
    }
}

TEST_F(ViewControllerProfile, TitleShowsTheProfileNameAsTyped)
{
    SaveAs(TempPath("a[*]b.tlp"));
    EXPECT_EQ(window->windowHandle()->title(), "Trimlark - a[*]b");
    EXPECT_FALSE(window->IsModified());
    ChooseCorner();
    EXPECT_EQ(window->windowHandle()->title(), "Trimlark - a[*]b*");
}

TEST(ProfileNames, TitleDropsTheLastFourCharactersOfTheFileName)
{
    // Counted in characters on screen: "e" + U+0301 COMBINING ACUTE is one, a flag of two code points is one.
    const std::pair<QString, QString> cases[] = {
        {"/home/ann/plan.json", "plan."},
        {"/home/ann/.tlp", ""},
        {QString::fromUtf8("/p/cafe\u0301.tlp"), QString::fromUtf8("cafe\u0301")},
        {QString::fromUtf8("/p/x\U0001F1EB\U0001F1F7abc"), "x"},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(ProfileTitle(path), "Trimlark - " + name) << path.toStdString();
    EXPECT_EQ(WithProfileExtension("/p/plan"), "/p/plan.tlp");
    EXPECT_EQ(WithProfileExtension("/p/plan.TLP"), "/p/plan.TLP");
}

} // namespace
} // namespace trimlark
