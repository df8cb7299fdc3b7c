#include "ScriptedPlatform.h"
#include "app/Stepper.h"

#include <QAction>
#include <QDir>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
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
        platform->saveProfileAnswers.push_back(path);
        Trigger("actionSaveProfileAs");
    }
    void Load(const QString& path)
    {
        platform->loadProfileAnswers.push_back(path);
        Trigger("actionLoadProfile");
    }
    // A change that marks the profile modified: another origin corner.
    void ChangeACropSetting(const char* corner = "Top Right") { ChooseItem(Find("comboOriginCorner"), corner); }
    // Line 22 of a saved profile holds the origin corner.
    static QByteArray CornerLine(const QString& path) { return ReadFile(path).split('\n').value(21); }
};

TEST_F(ViewControllerProfile, SettingActionsMarkOnceAndOthersNever)
{
    using Act = std::function<void(ViewControllerProfile&)>;
    const auto outputTab = [](const Act& act) {
        return [act](ViewControllerProfile& t) {
            t.Find<QTabWidget>("tabView")->setCurrentIndex(1);
            act(t);
        };
    };
    const std::tuple<const char*, Act, bool> cases[] = {
        {"radio button", [](auto& t) { ClickToggle(t.Find("radioCustomCrop")); }, true},
        {"ratio list", [](auto& t) { ChooseItem(t.Find("comboAutoCropFormat"), "4:3"); }, true},
        {"corner list", [](auto& t) { t.ChangeACropSetting(); }, true},
        {"pixel field", [](auto& t) { TypeInto(t.Find("textFieldCustomCropPixelsWidth"), "64"); }, true},
        {"percent stepper",
         [](auto& t) {
             QTest::mouseClick(t.template Find<Stepper>("stepperCustomCropPercentsWidth")
                                   ->template findChild<QToolButton*>("buttonUp"),
                               Qt::LeftButton);
         },
         true},
        {"format list", outputTab([](auto& t) { ChooseItem(t.Find("comboFormat"), "PNG"); }), true},
        {"quality slider", outputTab([](auto& t) {
             t.Find("sliderQuality")->setFocus();
             QTest::keyClick(t.Find("sliderQuality"), Qt::Key_Left);
         }),
         true},
        {"name field", outputTab([](auto& t) { TypeInto(t.Find("textFieldName"), "[FileName]"); }), true},
        // The percent fields are read when needed; only their steppers count as a change.
        {"percent field", [](auto& t) { TypeInto(t.Find("textFieldCustomCropPercentsWidth"), "35"); }, false},
        {"metadata box", outputTab([](auto& t) { ClickToggle(t.Find("checkKeepEXIFInformationAndCreationDate")); }),
         false},
        {"output folder", outputTab([](auto& t) {
             t.platform->folderAnswers.push_back(QString("/srv/crops"));
             t.Click("buttonBrowse");
         }),
         false},
        {"images added, opened and removed",
         [](auto& t) {
             t.platform->fileAnswers.push_back(QStringList{t.MakeImage("b.png", 8, 8)});
             t.Click("buttonAddImages");
             OpenWith({t.MakeImage("a.png", 8, 8)});
             t.Click("buttonRemoveAll");
         },
         false},
    };
    for (const auto& [name, act, marks] : cases) {
        SCOPED_TRACE(name);
        Trigger("actionNew"); // asks nothing while unmodified, "Yes" otherwise
        ASSERT_EQ(Title(), "Trimlark");
        const CropSettings before = window->GetCropSettings();
        act(*this);
        EXPECT_EQ(Title(), marks ? "Trimlark*" : "Trimlark");
        if (marks) {
            EXPECT_NE(window->GetCropSettings(), before);
            act(*this);
            EXPECT_EQ(Title(), "Trimlark*") << "one mark only";
        }
    }
}

TEST_F(ViewControllerProfile, QuestionsGuardUnsavedChanges)
{
    // Each command says whether it went on.
    const std::tuple<const char*, std::function<bool(ViewControllerProfile&)>, QString> cases[] = {
        {"New",
         [](auto& t) {
             t.Trigger("actionNew");
             return t.Title() == "Trimlark";
         },
         kContinueQuestion},
        {"Load",
         [](auto& t) {
             t.Trigger("actionLoadProfile");
             return !t.platform->loadProfileStartFolders.empty();
         },
         kContinueQuestion},
        {"Quit",
         [](auto& t) {
             QSignalSpy quit(t.window.get(), &ViewController::quitRequested);
             t.Trigger("actionQuit");
             return quit.count() == 1;
         },
         kExitQuestion},
        {"close the window", [](auto& t) { return t.window->close(); }, kExitQuestion},
    };
    for (const auto& [name, command, question] : cases) {
        for (const int answer : {-1, 1, 0}) { // unmodified, "No", "Yes"
            SCOPED_TRACE(testing::Message() << name << ", answer " << answer);
            Relaunch();
            platform->answer = [answer](const Alert&) { return answer; };
            if (answer >= 0)
                ChangeACropSetting();
            const bool wentOn = command(*this);
            EXPECT_EQ(wentOn, answer != 1);
            if (answer < 0) {
                EXPECT_TRUE(platform->alerts.empty());
                continue;
            }
            ASSERT_EQ(platform->alerts.size(), 1u);
            EXPECT_EQ(platform->alerts[0].informativeText, question);
            EXPECT_EQ(platform->alerts[0].buttons, (QStringList{"Yes", "No"}));
            EXPECT_EQ(platform->alerts[0].escapeButton, 1) << "Escape answers No";
            if (answer == 1) {
                EXPECT_EQ(Title(), "Trimlark*");
            }
        }
    }
}

TEST_F(ViewControllerProfile, QuitAfterYesAsksNothingMoreAsTheWindowCloses)
{
    ChangeACropSetting();
    Trigger("actionQuit");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(platform->alerts.size(), 1u);
}

TEST_F(ViewControllerProfile, SaveAsksForAFileOnceThenWritesAtOnce)
{
    Trigger("actionSaveProfile");
    EXPECT_TRUE(platform->saveProfileProposals.empty()) << "nothing to save";

    ChangeACropSetting("Top Left");
    Trigger("actionSaveProfile"); // the panel is cancelled
    EXPECT_EQ(platform->saveProfileProposals, std::vector<QString>{"profile.tlp"});
    EXPECT_EQ(Title(), "Trimlark*");
    EXPECT_TRUE(window->CurrentProfilePath().empty());

    // An existing file is replaced whole, and nothing is left beside it.
    const QString path = WriteFile("plan.tlp", QByteArray(4000, '#'));
    platform->saveProfileAnswers.push_back(path);
    Trigger("actionSaveProfile");
    EXPECT_EQ(Title(), "Trimlark - plan");
    EXPECT_EQ(CornerLine(path), "2");
    EXPECT_EQ(ReadFile(path).count('\n'), 25);
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList{"plan.tlp"});

    ChangeACropSetting("Bottom Right");
    Trigger("actionSaveProfile");
    EXPECT_EQ(platform->saveProfileProposals.size(), 2u) << "no panel once the profile has a file";
    EXPECT_EQ(Title(), "Trimlark - plan");
    EXPECT_EQ(CornerLine(path), "1");

    WriteFile("plan.tlp", "left alone\n");
    Trigger("actionSaveProfile");
    EXPECT_EQ(ReadFile(path), "left alone\n") << "unmodified: the file is not touched";
    SaveAs(TempPath("second.tlp"));
    EXPECT_EQ(Title(), "Trimlark - second") << "Save As asks whatever the state";
    EXPECT_TRUE(platform->alerts.empty());
}

TEST_F(ViewControllerProfile, FailedSaveKeepsTheTitleAndTheNewPath)
{
    ChangeACropSetting();
    const QString path = TempPath("missing-folder/plan.tlp");
    SaveAs(path);
    EXPECT_EQ(platform->AlertTexts(), QStringList{"Could not save profile."});
    EXPECT_EQ(platform->alerts[0].style, AlertStyle::Warning);
    EXPECT_EQ(Title(), "Trimlark*");
    EXPECT_EQ(window->CurrentProfilePath(), path.toStdString()) << "Save tries the same file again";
}

TEST_F(ViewControllerProfile, SavedProfileLoadsBackOverTheListAndOutputFolder)
{
    CropSettings settings;
    settings.radioAutoCrop = false;
    settings.radioCustomCrop = true;
    settings.comboOriginCorner = 3;
    settings.textFieldCustomCropPixelsWidth = "  640 ";
    settings.stepperCustomCropPercentsHeight = 12.5f;
    settings.sliderQuality = 79.9f;
    settings.textFieldName = QString::fromUtf8("caf\u00e9 [FileIndex]").toStdString();
    window->SetCropSettings(settings);
    static_cast<CustomRatio&>(DataProvider::Shared()) = {21, 9, false};
    const QString path = TempPath("round.tlp");
    SaveAs(path);

    Reset();
    OpenWith({MakeImage("photo.png", 40, 30)});
    CropSettings folder;
    folder.textFieldOutputFolder = "/srv/out"; // not stored in a profile: kept
    window->SetCropSettings(folder);
    ChangeACropSetting();
    Load(path);
    settings.textFieldOutputFolder = "/srv/out";
    EXPECT_EQ(window->GetCropSettings(), settings);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{21, 9, false}));
    EXPECT_EQ(Title(), "Trimlark - round");
    EXPECT_EQ(window->CurrentProfilePath(), path.toStdString());
    EXPECT_EQ(window->ListImagePaths().size(), 1u);
    EXPECT_EQ(platform->loadProfileStartFolders, std::vector<QString>{temp.path()}) << "starts beside the profile";
}

TEST_F(ViewControllerProfile, RefusedFilesChangeNothing)
{
    const QString earlier = TempPath("earlier.tlp");
    SaveAs(earlier);
    const QByteArray valid = ReadFile(earlier);
    QByteArray oversized = valid;
    // A well-formed profile that is larger than a profile can be (its name line alone is 1 MiB).
    oversized.replace("[FileName]_cropped ([FileIndex])", QByteArray(1 << 20, 'n'));
    QByteArray badLine = valid;
    badLine[0] = '2'; // a state neither 0 nor 1
    const std::pair<const char*, QString> cases[] = {
        {"absent", TempPath("absent.tlp")},
        {"a folder", temp.path()},
        {"larger than a profile", WriteFile("large.tlp", oversized)},
        {"a line the format refuses", WriteFile("bad.tlp", badLine)},
    };
    ChangeACropSetting();
    const CropSettings settings = window->GetCropSettings();
    for (const auto& [name, path] : cases) {
        SCOPED_TRACE(name);
        platform->alerts.clear();
        Load(path);
        // The unsaved-changes question first (answered "Yes"), then the refusal.
        EXPECT_EQ(platform->AlertTexts(), (QStringList{kContinueQuestion, "Could not load profile."}));
        EXPECT_EQ(window->GetCropSettings(), settings);
        EXPECT_EQ(Title(), "Trimlark - earlier*");
        EXPECT_EQ(window->CurrentProfilePath(), earlier.toStdString()) << "Save never writes over a refused file";
    }
}

TEST_F(ViewControllerProfile, NewResetsEverythingButTheRatio)
{
    SaveAs(TempPath("plan.tlp"));
    OpenWith({MakeImage("photo.png", 40, 30)});
    CropSettings settings;
    settings.textFieldName = "x";
    window->SetCropSettings(settings);
    DataProvider::Shared().customWidth = 5;
    Trigger("actionNew");
    EXPECT_TRUE(platform->alerts.empty()) << "the list and the settings set from code did not mark";
    EXPECT_EQ(window->GetCropSettings(), CropSettings{});
    EXPECT_TRUE(window->ListImagePaths().empty());
    EXPECT_TRUE(window->CurrentProfilePath().empty());
    EXPECT_EQ(Title(), "Trimlark");
    EXPECT_EQ(DataProvider::Shared().customWidth, 5);
}

TEST_F(ViewControllerProfile, TitleShowsTheProfileNameAsTyped)
{
    SaveAs(TempPath("a[*]b.tlp"));
    EXPECT_EQ(window->windowHandle()->title(), "Trimlark - a[*]b");
    EXPECT_FALSE(window->IsModified());
    ChangeACropSetting();
    EXPECT_EQ(window->windowHandle()->title(), "Trimlark - a[*]b*");
    // The mark is the title's last character, so a name ending in "*" counts as modified.
    SaveAs(TempPath("plan*.tlp"));
    EXPECT_EQ(Title(), "Trimlark - plan*");
    EXPECT_TRUE(window->IsModified());
}

TEST_F(ViewControllerProfile, ShortcutsReachTheirCommands)
{
    const std::pair<QKeyCombination, const char*> cases[] = {
        {Qt::CTRL | Qt::Key_N, "actionNew"},
        {Qt::CTRL | Qt::Key_O, "actionLoadProfile"},
        {Qt::CTRL | Qt::Key_S, "actionSaveProfile"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_S, "actionSaveProfileAs"},
        {Qt::CTRL | Qt::Key_Q, "actionQuit"},
    };
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const auto& [keys, action] : cases) {
        SCOPED_TRACE(action);
        QSignalSpy triggered(window->findChild<QAction*>(action), &QAction::triggered);
        QTest::keyClick(window.get(), keys.key(), keys.keyboardModifiers());
        EXPECT_EQ(triggered.count(), 1);
    }
}

} // namespace
} // namespace trimlark
