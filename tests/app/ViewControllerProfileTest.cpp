#include "ScriptedPlatform.h"
#include "app/NotificationCenter.h"
#include "app/Stepper.h"
#include "settings/ChoiceLists.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

const QString kContinueQuestion = "You have unsaved changes that will be lost. Continue?";
const QString kExitQuestion =
    "You have unsaved changes that will be lost. Are you sure you want to exit the application?";

// A 25-line profile far from the defaults; older versions are its first 20, 21 or 22 lines.
const QStringList kFullProfileLines = {
    "0",    "3",    "1",  "0",  "12", "13",  "12.5", "13", "40",   "45",
    "40.0", "45.0", "1",  "10", "11", "300", "200",  "2",  "55.0", "out_[FileIndex]",
    "0",    "3",    "16", "9",  "0",
};

class ProfileTest : public ::testing::Test, public WindowFixture
{
public:
    void SetUp() override { ResetRatio(); }
    void TearDown() override
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ResetRatio();
    }

    static void ResetRatio()
    {
        static_cast<CustomRatio&>(DataProvider::Shared()) = CustomRatio{};
        DataProvider::Shared().customWindowIsOpen = false;
    }

    QString Title() const { return window->windowTitle(); }
    void Trigger(const char* action) const { window->findChild<QAction*>(action)->trigger(); }

    // A change that marks the profile modified: another origin corner.
    void ChangeACropSetting(const QString& corner = "Top Right")
    {
        ChooseItem(Find<QComboBox>("comboOriginCorner"), corner);
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = TempPath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw std::runtime_error("could not write " + path.toStdString());
        return path;
    }

    static QByteArray Lines(const QStringList& lines)
    {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += line.toUtf8() + '\n';
        return bytes;
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

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

    QString LastAlertText() const
    {
        return platform->alerts.empty() ? QString() : platform->alerts.back().informativeText;
    }
};

TEST_F(ProfileTest, SavingTheDefaultsWritesTheCurrentVersion)
{
    const QString path = TempPath("profile.tlp");
    SaveAs(path);
    ASSERT_EQ(platform->saveProfileProposals, std::vector<QString>{"profile.tlp"});
    const QByteArray written = ReadFile(path);
    EXPECT_FALSE(written.contains('\r'));
    ASSERT_TRUE(written.endsWith('\n'));
    const QStringList lines = QString::fromUtf8(written.chopped(1)).split('\n');
    const QStringList expected = {
        "1",                                // radioAutoCrop
        "0",                                // comboAutoCropFormat "1:1"
        "0",                                // radioCustomCrop
        "1",                                // radioCustomCropPercents
        "20",                               // textFieldCustomCropPercentsOriginX
        "20",                               // textFieldCustomCropPercentsOriginY
        "20.0",                             // stepperCustomCropPercentsOriginX
        "20.0",                             // stepperCustomCropPercentsOriginY
        "60",                               // textFieldCustomCropPercentsWidth
        "60",                               // textFieldCustomCropPercentsHeight
        "60.0",                             // stepperCustomCropPercentsWidth
        "60.0",                             // stepperCustomCropPercentsHeight
        "0",                                // radioCustomCropPixels
        "0",                                // textFieldCustomCropPixelsOriginX
        "0",                                // textFieldCustomCropPixelsOriginY
        "0",                                // textFieldCustomCropPixelsWidth
        "0",                                // textFieldCustomCropPixelsHeight
        "0",                                // comboFormat "JPG"
        "80.0",                             // sliderQuality
        "[FileName]_cropped ([FileIndex])", // textFieldName
        "1",                                // checkKeepEXIFInformationAndCreationDate
        "0",                                // comboOriginCorner "Bottom Left"
        "1",                                // customWidth
        "1",                                // customHeight
        "1",                                // customWidthLargestDimension
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Title(), "Trimlark - profile");
    EXPECT_EQ(window->CurrentProfilePath(), path.toStdString());
    EXPECT_TRUE(platform->alerts.empty());
}

TEST_F(ProfileTest, SavedSettingsLoadBackUnchanged)
{
    CropSettings settings;
    settings.radioAutoCrop = false;
    settings.radioCustomCrop = true;
    settings.comboOriginCorner = 3;
    settings.radioCustomCropPixels = true;
    settings.radioCustomCropPercents = false;
    settings.textFieldCustomCropPixelsWidth = "  640 "; // spaces survive both ways
    settings.stepperCustomCropPercentsHeight = 12.5f;
    settings.comboFormat = FormatIndexOfTitle("Original");
    settings.sliderQuality = 79.9f;
    settings.textFieldName = QString::fromUtf8("caf\u00e9 [FileIndex]").toStdString();
    settings.checkKeepEXIFInformationAndCreationDate = false;
    window->SetCropSettings(settings);
    DataProvider::Shared().customWidth = 21;
    DataProvider::Shared().customHeight = 9;
    DataProvider::Shared().customWidthLargestDimension = false;
    const QString path = TempPath("round.tlp");
    SaveAs(path);

    Trigger("actionNew");
    ResetRatio();
    ASSERT_EQ(window->GetCropSettings(), CropSettings{});
    Load(path);
    EXPECT_EQ(window->GetCropSettings(), settings);
    EXPECT_EQ(DataProvider::Shared().Ratio(), (CustomRatio{21, 9, false}));
    EXPECT_EQ(Title(), "Trimlark - round");
}

TEST_F(ProfileTest, SaveWithoutChangesDoesNothing)
{
    Trigger("actionSaveProfile");
    EXPECT_TRUE(platform->saveProfileProposals.empty());
    EXPECT_EQ(Title(), "Trimlark");

    // Nor once the profile has a file: the file is not touched.
    const QString path = TempPath("kept.tlp");
    SaveAs(path);
    WriteFile("kept.tlp", "left alone\n");
    Trigger("actionSaveProfile");
    EXPECT_EQ(ReadFile(path), "left alone\n");
    EXPECT_TRUE(platform->alerts.empty());
}

TEST_F(ProfileTest, SaveWithChangesAsksForAFileOnceThenWritesAtOnce)
{
    ChangeACropSetting("Top Left");
    ASSERT_EQ(Title(), "Trimlark*");

    // A cancelled panel changes nothing.
    Trigger("actionSaveProfile");
    EXPECT_EQ(platform->saveProfileProposals.size(), 1u);
    EXPECT_EQ(Title(), "Trimlark*");
    EXPECT_TRUE(window->CurrentProfilePath().empty());

    const QString path = TempPath("plan.tlp");
    platform->saveProfileAnswers.push_back(path);
    Trigger("actionSaveProfile");
    EXPECT_EQ(platform->saveProfileProposals.size(), 2u);
    EXPECT_EQ(Title(), "Trimlark - plan");
    EXPECT_EQ(ReadFile(path).split('\n').value(21), "2"); // line 22: "Top Left"

    ChangeACropSetting("Bottom Right");
    EXPECT_EQ(Title(), "Trimlark - plan*");
    Trigger("actionSaveProfile");
    EXPECT_EQ(platform->saveProfileProposals.size(), 2u) << "no panel once the profile has a file";
    EXPECT_EQ(Title(), "Trimlark - plan");
    EXPECT_EQ(ReadFile(path).split('\n').value(21), "1");
    EXPECT_TRUE(platform->alerts.empty());
}

TEST_F(ProfileTest, SaveAsAsksWhateverTheState)
{
    SaveAs(TempPath("first.tlp"));
    SaveAs(TempPath("second.tlp"));
    EXPECT_EQ(platform->saveProfileProposals.size(), 2u);
    EXPECT_EQ(Title(), "Trimlark - second");
    EXPECT_FALSE(ReadFile(TempPath("second.tlp")).isEmpty());
}

TEST_F(ProfileTest, FailedSaveKeepsTheTitleAndTheNewPath)
{
    ChangeACropSetting();
    const QString path = TempPath("missing-folder/plan.tlp");
    SaveAs(path);
    ASSERT_EQ(platform->alerts.size(), 1u);
    EXPECT_EQ(platform->alerts[0].informativeText, "Could not save profile.");
    EXPECT_EQ(platform->alerts[0].style, AlertStyle::Warning);
    EXPECT_EQ(platform->alerts[0].buttons, QStringList{"OK"});
    EXPECT_EQ(Title(), "Trimlark*");
    EXPECT_EQ(window->CurrentProfilePath(), path.toStdString());
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ProfileTest, SavingOverAnExistingProfileReplacesItWhole)
{
    const QString path = WriteFile("old.tlp", QByteArray(4000, '#'));
    SaveAs(path);
    const QByteArray written = ReadFile(path);
    EXPECT_FALSE(written.contains('#'));
    EXPECT_EQ(written.count('\n'), 25);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList{"old.tlp"});
}

TEST_F(ProfileTest, OlderVersionsLoadWhatTheyHold)
{
    struct Case
    {
        const char* name;
        int lines;
        bool finalLineFeed;
        const char* formatLine; // line 18
        int format;
        bool keepMetadata;
        int corner;
        CustomRatio ratio;
    };
    const CustomRatio before{4, 3, true};
    const Case cases[] = {
        // The 20-line version knew fewer formats: above 1 an index moves up by 3.
        {"20 lines, format 2", 20, true, "2", 5, true, 0, before}, // 2 + 3 = "PNG"
        {"20 lines, format 5", 20, true, "5", 8, true, 0, before}, // 5 + 3 = "GIF"
        {"20 lines, format 1", 20, true, "1", 1, true, 0, before}, // "JPEG"
        {"20 lines, no format", 20, true, "-1", -1, true, 0, before},
        {"21 lines without the last line feed", 21, false, "2", 5, true, 0, before},
        {"21 lines", 21, true, "2", 2, false, 0, before},
        {"22 lines keep the ratio", 22, true, "2", 2, false, 3, before},
        {"25 lines", 25, true, "2", 2, false, 3, {16, 9, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Trigger("actionNew");
        static_cast<CustomRatio&>(DataProvider::Shared()) = before;
        Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 40, 30)});
        QStringList lines = kFullProfileLines.mid(0, c.lines);
        lines[17] = c.formatLine;
        QByteArray bytes = Lines(lines);
        if (!c.finalLineFeed)
            bytes.chop(1);
        const QString path = WriteFile("older.tlp", bytes);
        platform->alerts.clear();
        Load(path);

        EXPECT_TRUE(platform->alerts.empty());
        const CropSettings s = window->GetCropSettings();
        EXPECT_FALSE(s.radioAutoCrop);
        EXPECT_EQ(s.comboAutoCropFormat, 3);
        EXPECT_TRUE(s.radioCustomCrop);
        EXPECT_FALSE(s.radioCustomCropPercents);
        EXPECT_EQ(s.textFieldCustomCropPercentsOriginX, "12");
        EXPECT_EQ(s.stepperCustomCropPercentsOriginX, 12.5f);
        EXPECT_EQ(s.stepperCustomCropPercentsOriginY, 13.0f); // "13" without a fractional part
        EXPECT_EQ(s.textFieldCustomCropPercentsHeight, "45");
        EXPECT_TRUE(s.radioCustomCropPixels);
        EXPECT_EQ(s.textFieldCustomCropPixelsWidth, "300");
        EXPECT_EQ(s.comboFormat, c.format);
        EXPECT_EQ(s.sliderQuality, 55.0f);
        EXPECT_EQ(s.textFieldName, "out_[FileIndex]");
        EXPECT_EQ(s.checkKeepEXIFInformationAndCreationDate, c.keepMetadata);
        EXPECT_EQ(s.comboOriginCorner, c.corner);
        EXPECT_EQ(DataProvider::Shared().Ratio(), c.ratio);
        EXPECT_EQ(Find<QSlider>("sliderQuality")->isEnabled(), c.format >= 0 && c.format <= 4);
        EXPECT_EQ(Find<QLabel>("labelQuality")->text(), "55");
        EXPECT_EQ(Title(), "Trimlark - older");
        EXPECT_EQ(window->ListImagePaths().size(), 1u) << "the list keeps its entries";
    }
}

TEST_F(ProfileTest, LoadClearsTheMarkAndKeepsTheOutputFolder)
{
    const QString path = WriteFile("plan.tlp", Lines(kFullProfileLines));
    CropSettings settings;
    settings.textFieldOutputFolder = "/srv/out";
    window->SetCropSettings(settings);
    ChangeACropSetting();
    ASSERT_EQ(Title(), "Trimlark*");
    Load(path);
    EXPECT_EQ(Title(), "Trimlark - plan");
    EXPECT_EQ(window->GetCropSettings().textFieldOutputFolder, "/srv/out");
    EXPECT_EQ(window->CurrentProfilePath(), path.toStdString());
}

TEST_F(ProfileTest, RefusedFilesChangeNothing)
{
    const auto withLine = [](int line, const QString& text) {
        QStringList lines = kFullProfileLines;
        lines[line - 1] = text;
        return Lines(lines);
    };
    QByteArray crlf = Lines(kFullProfileLines);
    crlf.replace("\n", "\r\n");
    QByteArray notText = Lines(kFullProfileLines);
    notText.replace("out_", "out_\xC3\x28"); // a lead byte without its continuation
    struct Case
    {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"25 lines without the last line feed", Lines(kFullProfileLines).chopped(1)},
        {"carriage returns and line feeds", crlf},
        {"not UTF-8", notText},
        {"empty", ""},
        {"23 lines", Lines(kFullProfileLines.mid(0, 23))},
        {"26 lines", Lines(kFullProfileLines + QStringList{"1"})},
        {"quality is not a number", withLine(19, "eighty")},
        {"quality above 100", withLine(19, "250.0")},
        {"state neither 0 nor 1", withLine(1, "2")},
        {"ratio index outside the list", withLine(2, "6")},
        {"corner index outside the list", withLine(22, "4")},
        {"stepper is not a number", withLine(7, "twelve")},
        {"custom width 0", withLine(23, "0")},
        {"custom height beyond 64 bits", withLine(24, "99999999999999999999")},
    };

    const QString earlier = TempPath("earlier.tlp");
    SaveAs(earlier);
    ChangeACropSetting();
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 40, 30)});
    const CropSettings settings = window->GetCropSettings();
    const CustomRatio ratio = DataProvider::Shared().Ratio();
    ASSERT_EQ(Title(), "Trimlark - earlier*");
    int file = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = WriteFile(QString("refused-%1.tlp").arg(++file), c.bytes);
        platform->alerts.clear();
        Load(path);
        // The unsaved-changes question first (answered "Yes"), then the refusal.
        ASSERT_EQ(platform->alerts.size(), 2u);
        EXPECT_EQ(platform->alerts[1].informativeText, "Could not load profile.");
        EXPECT_EQ(platform->alerts[1].style, AlertStyle::Warning);
        EXPECT_EQ(platform->alerts[1].buttons, QStringList{"OK"});
        EXPECT_EQ(window->GetCropSettings(), settings);
        EXPECT_EQ(DataProvider::Shared().Ratio(), ratio);
        EXPECT_EQ(Title(), "Trimlark - earlier*");
        // Save still writes to the profile that loaded, not over the refused file.
        EXPECT_EQ(window->CurrentProfilePath(), earlier.toStdString());
        EXPECT_EQ(ReadFile(path), c.bytes);
    }
    EXPECT_EQ(window->ListImagePaths().size(), 1u);
}

TEST_F(ProfileTest, UnreadablePathsAreRefused)
{
    for (const QString& path : {TempPath("absent.tlp"), temp.path()}) {
        SCOPED_TRACE(path.toStdString());
        platform->alerts.clear();
        Load(path);
        EXPECT_EQ(LastAlertText(), "Could not load profile.");
        EXPECT_EQ(Title(), "Trimlark");
        EXPECT_TRUE(window->CurrentProfilePath().empty());
    }
}

TEST_F(ProfileTest, CancelledLoadChangesNothing)
{
    ChangeACropSetting();
    Trigger("actionLoadProfile");
    EXPECT_EQ(platform->loadProfileStartFolders.size(), 1u);
    EXPECT_EQ(Title(), "Trimlark*");
    EXPECT_EQ(window->GetCropSettings().comboOriginCorner, 3);
}

TEST_F(ProfileTest, EachSettingActionMarksOnceAndOthersNever)
{
    struct Case
    {
        const char* name;
        std::function<void(ProfileTest&)> act;
        bool marks;
    };
    const auto stepUp = [](ProfileTest& t) {
        QTest::mouseClick(t.Find<Stepper>("stepperCustomCropPercentsWidth")->findChild<QToolButton*>("buttonUp"),
                          Qt::LeftButton);
    };
    const auto outputTab = [](ProfileTest& t) { t.Find<QTabWidget>("tabView")->setCurrentIndex(1); };
    const Case cases[] = {
        {"radio button", [](ProfileTest& t) { ClickToggle(t.Find<QRadioButton>("radioCustomCrop")); }, true},
        {"ratio list", [](ProfileTest& t) { ChooseItem(t.Find<QComboBox>("comboAutoCropFormat"), "4:3"); }, true},
        {"corner list", [](ProfileTest& t) { t.ChangeACropSetting(); }, true},
        {"pixel field", [](ProfileTest& t) { TypeInto(t.Find<QLineEdit>("textFieldCustomCropPixelsWidth"), "64"); },
         true},
        {"percent stepper", stepUp, true},
        {"format list",
         [=](ProfileTest& t) {
             outputTab(t);
             ChooseItem(t.Find<QComboBox>("comboFormat"), "PNG");
         },
         true},
        {"quality slider",
         [=](ProfileTest& t) {
             outputTab(t);
             t.Find<QSlider>("sliderQuality")->setFocus();
             QTest::keyClick(t.Find<QSlider>("sliderQuality"), Qt::Key_Left);
         },
         true},
        {"name field",
         [=](ProfileTest& t) {
             outputTab(t);
             TypeInto(t.Find<QLineEdit>("textFieldName"), "[FileName]");
         },
         true},
        // The percent fields are read when needed; only their steppers count as a change.
        {"percent field", [](ProfileTest& t) { TypeInto(t.Find<QLineEdit>("textFieldCustomCropPercentsWidth"), "35"); },
         false},
        {"metadata box",
         [=](ProfileTest& t) {
             outputTab(t);
             ClickToggle(t.Find<QCheckBox>("checkKeepEXIFInformationAndCreationDate"));
         },
         false},
        {"output folder",
         [=](ProfileTest& t) {
             outputTab(t);
             t.platform->folderAnswers.push_back(QString("/srv/crops"));
             QTest::mouseClick(t.Find<QPushButton>("buttonBrowse"), Qt::LeftButton);
         },
         false},
        {"images opened",
         [](ProfileTest& t) { Q_EMIT NotificationCenter::Default().openWith({t.MakeImage("a.png", 8, 8)}); }, false},
        {"images added and removed",
         [](ProfileTest& t) {
             t.platform->fileAnswers.push_back(QStringList{t.MakeImage("b.png", 8, 8)});
             QTest::mouseClick(t.Find<QPushButton>("buttonAddImages"), Qt::LeftButton);
             QTest::mouseClick(t.Find<QPushButton>("buttonRemoveAll"), Qt::LeftButton);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Trigger("actionNew"); // asks nothing while unmodified, "Yes" otherwise
        ASSERT_EQ(Title(), "Trimlark");
        const CropSettings before = window->GetCropSettings();
        c.act(*this);
        EXPECT_EQ(Title(), c.marks ? "Trimlark*" : "Trimlark");
        if (c.marks) {
            // The action did change a setting, and doing it again adds no second mark.
            EXPECT_NE(window->GetCropSettings(), before);
            c.act(*this);
            EXPECT_EQ(Title(), "Trimlark*");
        }
    }
}

TEST_F(ProfileTest, QuestionsGuardUnsavedChanges)
{
    struct Case
    {
        const char* name;
        std::function<bool(ProfileTest&)> command; // true when the command went on
        QString question;
    };
    const Case cases[] = {
        {"New",
         [](ProfileTest& t) {
             t.Trigger("actionNew");
             return t.Title() == "Trimlark";
         },
         kContinueQuestion},
        {"Load",
         [](ProfileTest& t) {
             const auto panels = t.platform->loadProfileStartFolders.size();
             t.Trigger("actionLoadProfile");
             return t.platform->loadProfileStartFolders.size() > panels;
         },
         kContinueQuestion},
        {"Quit",
         [](ProfileTest& t) {
             QSignalSpy quit(t.window.get(), &ViewController::quitRequested);
             t.Trigger("actionQuit");
             return quit.count() == 1;
         },
         kExitQuestion},
        {"close the window", [](ProfileTest& t) { return t.window->close(); }, kExitQuestion},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const int answer : {-1, 1, 0}) { // unmodified, "No", "Yes"
            SCOPED_TRACE(answer);
            Relaunch();
            platform->answer = [answer](const Alert&) { return answer; };
            if (answer >= 0)
                ChangeACropSetting();
            const QString title = Title();
            const bool wentOn = c.command(*this);
            if (answer < 0) {
                EXPECT_TRUE(platform->alerts.empty());
                EXPECT_TRUE(wentOn);
                continue;
            }
            ASSERT_EQ(platform->alerts.size(), 1u);
            const Alert& question = platform->alerts[0];
            EXPECT_EQ(question.informativeText, c.question);
            EXPECT_EQ(question.style, AlertStyle::Warning);
            EXPECT_EQ(question.buttons, (QStringList{"Yes", "No"}));
            EXPECT_EQ(question.escapeButton, 1) << "Escape answers No";
            EXPECT_EQ(wentOn, answer == 0);
            if (answer == 1) {
                EXPECT_EQ(Title(), title);
                EXPECT_TRUE(window->isVisible());
            }
        }
    }
}

TEST_F(ProfileTest, NewResetsEverythingButTheRatio)
{
    SaveAs(TempPath("plan.tlp"));
    Q_EMIT NotificationCenter::Default().openWith({MakeImage("photo.png", 40, 30)});
    CropSettings settings;
    settings.comboFormat = 5;
    settings.textFieldName = "x";
    window->SetCropSettings(settings);
    DataProvider::Shared().customWidth = 5;
    Trigger("actionNew");
    EXPECT_EQ(window->GetCropSettings(), CropSettings{});
    EXPECT_TRUE(window->ListImagePaths().empty());
    EXPECT_TRUE(window->CurrentProfilePath().empty());
    EXPECT_EQ(Title(), "Trimlark");
    EXPECT_EQ(DataProvider::Shared().customWidth, 5);
    EXPECT_TRUE(platform->alerts.empty()) << "the list and the settings set from code did not mark";
}

TEST_F(ProfileTest, QuitAfterYesAsksOnlyOnceAsTheWindowsClose)
{
    ChangeACropSetting();
    QSignalSpy quit(window.get(), &ViewController::quitRequested);
    Trigger("actionQuit");
    ASSERT_EQ(quit.count(), 1);
    // Ending the app closes the main window; that asks nothing more.
    EXPECT_TRUE(window->close());
    EXPECT_EQ(platform->alerts.size(), 1u);
}

TEST_F(ProfileTest, ProfileNamedWithAStarCountsAsModified)
{
    const QString path = TempPath("plan*.tlp");
    SaveAs(path);
    EXPECT_EQ(Title(), "Trimlark - plan*");
    EXPECT_TRUE(window->IsModified());
    Trigger("actionNew");
    ASSERT_EQ(platform->alerts.size(), 1u);
    EXPECT_EQ(platform->alerts[0].informativeText, kContinueQuestion);

    platform->alerts.clear();
    Load(path);
    EXPECT_EQ(Title(), "Trimlark - plan*");
    ASSERT_EQ(platform->alerts.size(), 0u) << "the title after New had no mark";
    Trigger("actionLoadProfile");
    EXPECT_EQ(platform->alerts.size(), 1u);
}

TEST_F(ProfileTest, TitleShowsABracketedStarAsTyped)
{
    SaveAs(TempPath("a[*]b.tlp"));
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(window->windowHandle()->title(), "Trimlark - a[*]b");
    EXPECT_FALSE(window->IsModified());
    ChangeACropSetting();
    EXPECT_EQ(window->windowHandle()->title(), "Trimlark - a[*]b*");
    EXPECT_TRUE(window->IsModified());
}

TEST_F(ProfileTest, ShortcutsReachTheProfileCommands)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const QString path = TempPath("keys.tlp");
    platform->saveProfileAnswers.push_back(path);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(platform->saveProfileProposals.size(), 1u);
    EXPECT_EQ(Title(), "Trimlark - keys");

    ChangeACropSetting();
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Title(), "Trimlark - keys");
    EXPECT_EQ(ReadFile(path).split('\n').value(21), "3"); // "Top Right"
    EXPECT_EQ(platform->saveProfileProposals.size(), 1u);

    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(platform->loadProfileStartFolders, std::vector<QString>{temp.path()}) << "starts beside the profile";

    ChangeACropSetting("Top Left");
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(LastAlertText(), kContinueQuestion);
    EXPECT_EQ(Title(), "Trimlark");

    QSignalSpy quit(window.get(), &ViewController::quitRequested);
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quit.count(), 1);
}

} // namespace
} // namespace trimlark
