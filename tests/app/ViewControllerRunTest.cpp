#include "ScriptedPlatform.h"
#include "run/OutputNaming.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

namespace trimlark {
namespace {

const QString kRateText =
    "If you enjoy using Trimlark, would you mind taking a moment to rate it? Thanks for your support!";

class ViewControllerRun : public WindowFixture
{
public:
    void SetUp() override
    {
        WindowFixture::SetUp();
        ASSERT_TRUE(QDir(temp.path()).mkdir("out"));
    }

    // Lists count images of (40 + i) x 30 and chooses the output folder.
    QStringList Prepare(int count, const QString& folder = "out")
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << MakeImage(QString("source%1.png").arg(i), 40 + i, 30);
        OpenWith(paths);
        platform->folderAnswers.push_back(TempPath(folder));
        Click("buttonBrowse");
        return paths;
    }

    QString OutputOf(int index, const QString& source) const
    {
        return QString::fromStdString(GetOutputFilePath(index, source.toStdString(), "[FileName]_cropped ([FileIndex])",
                                                        "jpg", TempPath("out").toStdString()));
    }

    // Presses "Crop Images" and waits for the run's end; whether every image was cropped.
    bool RunAndWait()
    {
        QSignalSpy finished(window.get(), &ViewController::cropRunFinished);
        Click("buttonCropImages");
        if (!WaitUntil([&] { return finished.count() > 0; }))
            throw std::runtime_error("the run did not finish");
        return finished.takeFirst().at(0).toBool();
    }

    // The named controls, by objectName: those that take input are locked during a run.
    std::vector<QWidget*> InputControls() const
    {
        std::vector<QWidget*> controls;
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const QString name = widget->objectName();
            for (const char* kind : {"button", "radio", "combo", "textField", "stepper", "slider", "check"})
                if (name.startsWith(kind))
                    controls.push_back(widget);
        }
        return controls;
    }
};

TEST_F(ViewControllerRun, ChecksRefuseAnEmptyListThenAnEmptyFolder)
{
    Click("buttonCropImages");
    OpenWith({MakeImage("a.png", 40, 30)});
    Click("buttonCropImages");
    EXPECT_EQ(platform->AlertTexts(), (QStringList{"There are no images to crop.", "Please select an output folder."}));
    EXPECT_EQ(platform->alerts[1].style, AlertStyle::Warning);
    EXPECT_FALSE(window->IsBusy());
}

TEST_F(ViewControllerRun, RunLocksTheControlsAndReportsProgress)
{
    const QStringList sources = Prepare(4);
    WriteFile("out/" + QFileInfo(OutputOf(1, sources[1])).fileName(), "old");
    const auto controls = InputControls();
    ASSERT_GE(controls.size(), 28u);
    platform->answer = [&](const Alert& alert) {
        if (alert.buttons.size() != 4)
            return 0;
        // Asked while the run is busy: every input control is locked, the list and the preview are not.
        EXPECT_EQ(Find<QPushButton>("buttonCropImages")->text(), "Cropping...");
        for (QWidget* control : controls)
            EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
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
    for (int index = 0; index < 4; ++index)
        EXPECT_EQ(QImageReader(OutputOf(index, sources[index])).size(), QSize(30, 30)); // "1:1" of (40 + i) x 30
    EXPECT_EQ(platform->alerts.back().informativeText, "Images cropped successfully.");
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Informational);
    EXPECT_EQ(Find<QPushButton>("buttonCropImages")->text(), "Crop Images");
    for (QWidget* control : controls)
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_FALSE(window->IsBusy());
}

TEST_F(ViewControllerRun, OverwriteAnswersDecideEachExistingFile)
{
    struct Case
    {
        const char* name;
        std::vector<int> answers; // the buttons chosen, in the order asked
        bool replaced0, replaced2;
    };
    // Outputs 0 and 2 exist; output 1 does not and is always written.
    const Case cases[] = {
        {"Yes, then No", {0, 2}, true, false},
        {"No, then Yes", {2, 0}, false, true},
        {"Yes to All", {1}, true, true},
        {"No to All", {3}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Relaunch();
        const QStringList sources = Prepare(3);
        for (int index : {0, 2})
            WriteFile("out/" + QFileInfo(OutputOf(index, sources[index])).fileName(), "old");
        QFile::remove(OutputOf(1, sources[1]));
        std::size_t asked = 0;
        platform->answer = [&](const Alert& alert) {
            if (alert.buttons.size() != 4)
                return 0;
            const int index = asked == 0 ? 0 : 2;
            EXPECT_EQ(alert.informativeText,
                      "The file " + OutputOf(index, sources[index]) + " already exists. Do you want to overwrite it?");
            EXPECT_EQ(alert.buttons, (QStringList{"Yes", "Yes to All", "No", "No to All"}));
            EXPECT_EQ(alert.escapeButton, 2);
            const std::size_t i = asked++;
            return i < c.answers.size() ? c.answers[i] : 2;
        };
        ASSERT_TRUE(RunAndWait());
        EXPECT_EQ(asked, c.answers.size());
        EXPECT_EQ(ReadFile(OutputOf(0, sources[0])) != "old", c.replaced0);
        EXPECT_EQ(ReadFile(OutputOf(2, sources[2])) != "old", c.replaced2);
        EXPECT_TRUE(QFile::exists(OutputOf(1, sources[1])));
    }
}

TEST_F(ViewControllerRun, SliderRuleAppliesWhenTheRunEnds)
{
    Prepare(1);
    ChooseItem(Find("comboFormat"), "PNG");
    ASSERT_TRUE(RunAndWait());
    EXPECT_FALSE(Find("sliderQuality")->isEnabled());
    EXPECT_TRUE(Find("comboFormat")->isEnabled());
}

TEST_F(ViewControllerRun, FailedRunWarnsAndNeverAsksForARating)
{
    (*preferences)["ShowRateMessage"] = "Yes";
    Prepare(2, "no-such-folder");
    EXPECT_FALSE(RunAndWait());
    EXPECT_EQ(platform->AlertTexts(), QStringList{"Some images could not be cropped."});
    EXPECT_EQ(platform->alerts[0].style, AlertStyle::Warning);
    EXPECT_FALSE(window->RateMessageShown());
}

TEST_F(ViewControllerRun, RatingPromptAcrossRunsAndLaunches)
{
    struct Case
    {
        const char* name;
        bool relaunch;
        int answer; // to the prompt
        bool asked;
        const char* stored;
    };
    // Each row is one successful run, continuing from the row before.
    const Case cases[] = {
        {"the user's first run asks nothing", false, 1, false, "Yes"},
        {"the second asks; Remind me later", false, 1, true, "Yes"},
        {"once per launch", false, 1, false, "Yes"},
        {"a later launch asks again; No, Thanks", true, 2, true, "No"},
        {"never again", true, 0, false, "No"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.relaunch)
            Relaunch();
        platform->answer = [&](const Alert& alert) { return alert.informativeText == kRateText ? c.answer : 0; };
        if (window->ListImagePaths().empty())
            Prepare(1);
        platform->alerts.clear();
        ASSERT_TRUE(RunAndWait());
        EXPECT_EQ(platform->AlertTexts().contains(kRateText), c.asked);
        if (c.asked) {
            EXPECT_EQ(platform->alerts.back().buttons,
                      (QStringList{"Yes, Rate Trimlark", "Remind me later", "No, Thanks"}));
        }
        EXPECT_EQ(platform->ReadPreference("ShowRateMessage"), c.stored);
    }
    // "Yes, Rate Trimlark" opens the review page and ends the prompts too.
    (*preferences)["ShowRateMessage"] = "Yes";
    Relaunch();
    Prepare(1);
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(platform->openedUrls, std::vector<QUrl>{ViewController::ReviewUrl()});
    EXPECT_EQ(platform->ReadPreference("ShowRateMessage"), "No");
}

} // namespace
} // namespace trimlark
