#include "ScriptedPlatform.h"
#include "app/RatePrompt.h"

#include <QDir>
#include <QImageReader>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>

namespace trimlark {
namespace {

const QString kRateText =
    "If you enjoy using Trimlark, would you mind taking a moment to rate it? Thanks for your support!";

class ViewControllerRun : public WindowFixture
{
public:
    // Lists count images of (40 + i) x 30 and chooses the output folder "out".
    void Prepare(int count)
    {
        QDir(temp.path()).mkdir("out");
        for (int i = 0; i < count; ++i)
            OpenWith({MakeImage(QString("source%1.png").arg(i), 40 + i, 30)});
        UseWith("buttonBrowse", TempPath("out"));
    }
    // Under the default name pattern "[FileName]_cropped ([FileIndex])", which counts from 1.
    QString OutputOf(int index) const
    {
        return TempPath(QString("out/source%1_cropped (%2).jpg").arg(index).arg(index + 1));
    }
    // Presses "Crop Images" and waits for the run's end; whether every image was cropped.
    bool RunAndWait()
    {
        QSignalSpy finished(window.get(), &ViewController::cropRunFinished);
        Click("buttonCropImages");
        EXPECT_TRUE(finished.count() > 0 || finished.wait(30000));
        return !finished.isEmpty() && finished.takeFirst().at(0).toBool();
    }
};

TEST_F(ViewControllerRun, RunLocksTheInputControlsAndReportsItsEnd)
{
    Click("buttonCropImages");
    EXPECT_EQ(platform->AlertTexts(), QStringList{"There are no images to crop."});
    EXPECT_EQ(platform->alerts[0].style, AlertStyle::Warning);
    EXPECT_FALSE(window->IsBusy());

    // A run that fails says so, and asks nothing more.
    Prepare(4);
    UseWith("buttonBrowse", TempPath("no-such-folder"));
    EXPECT_FALSE(RunAndWait());
    EXPECT_EQ(platform->AlertTexts().last(), "Some images could not be cropped.");
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Warning);
    EXPECT_FALSE(platform->ReadPreference("ShowRateMessage"));

    UseWith("buttonBrowse", TempPath("out"));
    WriteFile("out/source1_cropped (2).jpg", "old"); // one question, asked while busy
    // Every named control that takes input, found by its name's kind.
    const auto controls =
        window->findChildren<QWidget*>(QRegularExpression("^(button|radio|combo|textField|stepper|slider|check)"));
    ASSERT_GE(controls.size(), 28);
    const auto expectEnabled = [&](bool on) {
        for (const QWidget* control : controls)
            EXPECT_EQ(control->isEnabled(), on) << control->objectName().toStdString();
        EXPECT_EQ(Text("buttonCropImages"), on ? "Crop Images" : "Cropping...");
    };
    platform->answer = [&](const Alert& alert) {
        if (alert.buttons.size() != 4)
            return 0;
        expectEnabled(false);
        for (const char* name : {"tableViewImage", "tabView", "imageViewCropPreview"})
            EXPECT_TRUE(Find(name)->isEnabled()) << name;
        return 0;
    };
    std::vector<int> progress;
    QObject::connect(Find<QProgressBar>("progressIndicator"), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });
    ASSERT_TRUE(RunAndWait());
    // index / n after each image (0 after the first is no change), then back to 0; the bar runs 0-10000.
    EXPECT_EQ(progress, (std::vector<int>{2500, 5000, 7500, 0}));
    EXPECT_EQ(QImageReader(OutputOf(3)).size(), QSize(30, 30)); // "1:1" of 43 x 30
    EXPECT_EQ(platform->AlertTexts().last(), "Images cropped successfully.");
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Informational);
    expectEnabled(true);

    // The quality slider's rule holds again once the run has ended; this second successful run asks for a rating.
    ChooseItem(Find("comboFormat"), "PNG");
    ASSERT_TRUE(RunAndWait());
    EXPECT_FALSE(Find("sliderQuality")->isEnabled());
    EXPECT_EQ(platform->AlertTexts().last(), kRateText);
}

TEST_F(ViewControllerRun, OverwriteAnswersDecideEachExistingFile)
{
    // Outputs 0 and 2 exist and are asked about in turn; output 1 does not and is always written.
    const std::tuple<const char*, std::vector<int>, bool, bool> cases[] = {
        {"Yes, then No", {0, 2}, true, false},
        {"No, then Yes", {2, 0}, false, true},
        {"Yes to All", {1}, true, true},
        {"No to All", {3}, false, false},
    };
    for (const auto& [name, answers, replaced0, replaced2] : cases) {
        SCOPED_TRACE(name);
        Relaunch();
        Prepare(3);
        for (int index : {0, 2})
            WriteFile(QDir(temp.path()).relativeFilePath(OutputOf(index)), "old");
        QFile::remove(OutputOf(1));
        std::vector<Alert> asked;
        platform->answer = [&](const Alert& alert) {
            if (alert.buttons.size() != 4)
                return 0;
            asked.push_back(alert);
            return asked.size() <= answers.size() ? answers[asked.size() - 1] : 2;
        };
        ASSERT_TRUE(RunAndWait());
        ASSERT_EQ(asked.size(), answers.size());
        EXPECT_EQ(asked[0].informativeText,
                  "The file " + OutputOf(0) + " already exists. Do you want to overwrite it?");
        EXPECT_EQ(asked[0].buttons, (QStringList{"Yes", "Yes to All", "No", "No to All"}));
        EXPECT_EQ(asked[0].escapeButton, 2) << "Escape answers No";
        EXPECT_EQ(ReadFile(OutputOf(0)) != "old", replaced0);
        EXPECT_EQ(ReadFile(OutputOf(2)) != "old", replaced2);
        EXPECT_TRUE(QFile::exists(OutputOf(1)));
    }
}

TEST(RatePrompt, AsksFromTheSecondSuccessfulRunOncePerLaunchUntilAnswered)
{
    ScriptedPlatform platform(std::make_shared<Preferences>());
    const QUrl review("https://trimlark.org/review");
    std::optional<RatePrompt> prompt;
    // Each row is a successful run, continuing from the row before: in a new launch or not, the answer to the
    // prompt, whether it was asked, and the stored preference after it.
    const std::tuple<const char*, bool, int, bool, const char*> cases[] = {
        {"the user's first run asks nothing", true, 1, false, "Yes"},
        {"the next asks; Remind me later", false, 1, true, "Yes"},
        {"once per launch", false, 1, false, "Yes"},
        {"a later launch asks again; No, Thanks", true, 2, true, "No"},
        {"never again", true, 0, false, "No"},
    };
    for (const auto& [name, launch, answer, asked, stored] : cases) {
        SCOPED_TRACE(name);
        if (launch)
            prompt.emplace(platform, review);
        platform.alerts.clear();
        platform.answer = [answer](const Alert&) { return answer; };
        prompt->ShowRateMessage();
        EXPECT_EQ(platform.AlertTexts(), asked ? QStringList{kRateText} : QStringList());
        EXPECT_EQ(platform.ReadPreference("ShowRateMessage"), stored);
    }
    // "Yes, Rate Trimlark" opens the review page and ends the prompts too.
    (*platform.preferences)["ShowRateMessage"] = "Yes";
    platform.answer = nullptr;
    RatePrompt(platform, review).ShowRateMessage();
    EXPECT_EQ(platform.alerts.back().buttons, (QStringList{"Yes, Rate Trimlark", "Remind me later", "No, Thanks"}));
    EXPECT_EQ(platform.openedUrls, std::vector<QUrl>{review});
    EXPECT_EQ(platform.ReadPreference("ShowRateMessage"), "No");
}

} // namespace
} // namespace trimlark
