#include "ScriptedPlatform.h"

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
    // Lists count images of (40 + i) x 30 and chooses the output folder; the images' paths.
    QStringList Prepare(int count, const QString& folder = "out")
    {
        QDir(temp.path()).mkdir("out");
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << MakeImage(QString("source%1.png").arg(i), 40 + i, 30);
        OpenWith(paths);
        Browse(TempPath(folder));
        return paths;
    }
    // Under the default name pattern "[FileName]_cropped ([FileIndex])", which counts from 1.
    static QString OutputName(int index) { return QString("out/source%1_cropped (%2).jpg").arg(index).arg(index + 1); }
    QString OutputOf(int index) const { return TempPath(OutputName(index)); }
    // Presses "Crop Images" and waits for the run's end; whether every image was cropped.
    bool RunAndWait()
    {
        QSignalSpy finished(window.get(), &ViewController::cropRunFinished);
        Click("buttonCropImages");
        EXPECT_TRUE(finished.count() > 0 || finished.wait(30000));
        return !finished.isEmpty() && finished.takeFirst().at(0).toBool();
    }
};

TEST_F(ViewControllerRun, RunLocksTheInputControlsAndReportsProgress)
{
    // Refused first for an empty list, then for an empty folder.
    Click("buttonCropImages");
    OpenWith({MakeImage("source0.png", 40, 30)});
    Click("buttonCropImages");
    EXPECT_EQ(platform->AlertTexts(), (QStringList{"There are no images to crop.", "Please select an output folder."}));
    EXPECT_EQ(platform->alerts[1].style, AlertStyle::Warning);
    EXPECT_FALSE(window->IsBusy());

    Prepare(4);
    WriteFile(OutputName(1), "old"); // one question, asked while busy
    // Every named control that takes input, found by its name's kind.
    const auto controls =
        window->findChildren<QWidget*>(QRegularExpression("^(button|radio|combo|textField|stepper|slider|check)"));
    ASSERT_GE(controls.size(), 28);
    platform->answer = [&](const Alert& alert) {
        if (alert.buttons.size() != 4)
            return 0;
        EXPECT_EQ(Find<QAbstractButton>("buttonCropImages")->text(), "Cropping...");
        for (const QWidget* control : controls)
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
    EXPECT_EQ(QImageReader(OutputOf(3)).size(), QSize(30, 30)); // "1:1" of 43 x 30
    EXPECT_EQ(platform->AlertTexts().last(), "Images cropped successfully.");
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Informational);
    EXPECT_EQ(Find<QAbstractButton>("buttonCropImages")->text(), "Crop Images");
    for (const QWidget* control : controls)
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    // The quality slider's rule holds again once the run has ended.
    ChooseItem(Find("comboFormat"), "PNG");
    ASSERT_TRUE(RunAndWait());
    EXPECT_FALSE(Find("sliderQuality")->isEnabled());
    EXPECT_TRUE(Find("comboFormat")->isEnabled());
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
            WriteFile(OutputName(index), "old");
        QFile::remove(OutputOf(1));
        QStringList asked;
        platform->answer = [&](const Alert& alert) {
            if (alert.buttons.size() != 4)
                return 0;
            EXPECT_EQ(alert.buttons, (QStringList{"Yes", "Yes to All", "No", "No to All"}));
            EXPECT_EQ(alert.escapeButton, 2);
            asked << alert.informativeText;
            return asked.size() <= static_cast<int>(answers.size()) ? answers[asked.size() - 1] : 2;
        };
        ASSERT_TRUE(RunAndWait());
        QStringList expected;
        for (int index = 0; index < 2 * static_cast<int>(answers.size()); index += 2)
            expected << "The file " + OutputOf(index) + " already exists. Do you want to overwrite it?";
        EXPECT_EQ(asked, expected);
        EXPECT_EQ(ReadFile(OutputOf(0)) != "old", replaced0);
        EXPECT_EQ(ReadFile(OutputOf(2)) != "old", replaced2);
        EXPECT_TRUE(QFile::exists(OutputOf(1)));
    }
}

TEST_F(ViewControllerRun, RatingPromptAcrossRunsAndLaunches)
{
    // Each row is one run, continuing from the row before: relaunch first, the answer to the prompt, whether
    // it was asked, and the stored preference after it.
    const std::tuple<const char*, bool, int, bool, const char*> cases[] = {
        {"a failed run asks nothing and stores nothing", false, 1, false, nullptr},
        {"the user's first successful run asks nothing", false, 1, false, "Yes"},
        {"the next asks; Remind me later", false, 1, true, "Yes"},
        {"once per launch", false, 1, false, "Yes"},
        {"a later launch asks again; No, Thanks", true, 2, true, "No"},
        {"never again", true, 0, false, "No"},
    };
    for (const auto& [name, relaunch, answer, asked, stored] : cases) {
        SCOPED_TRACE(name);
        if (relaunch)
            Relaunch();
        platform->answer = [&](const Alert& alert) { return alert.informativeText == kRateText ? answer : 0; };
        if (window->ListImagePaths().empty())
            Prepare(1, stored ? "out" : "no-such-folder");
        platform->alerts.clear();
        EXPECT_EQ(RunAndWait(), stored != nullptr);
        EXPECT_EQ(platform->AlertTexts().contains(kRateText), asked);
        EXPECT_EQ(platform->ReadPreference("ShowRateMessage"), stored ? std::optional<QString>(stored) : std::nullopt);
        if (!stored) {
            EXPECT_EQ(platform->AlertTexts(), QStringList{"Some images could not be cropped."});
            Trigger("actionNew");
        }
    }
    // "Yes, Rate Trimlark" opens the review page and ends the prompts too.
    (*preferences)["ShowRateMessage"] = "Yes";
    Relaunch();
    Prepare(1);
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(platform->alerts.back().buttons, (QStringList{"Yes, Rate Trimlark", "Remind me later", "No, Thanks"}));
    EXPECT_EQ(platform->openedUrls, std::vector<QUrl>{ViewController::ReviewUrl()});
    EXPECT_EQ(platform->ReadPreference("ShowRateMessage"), "No");
}

} // namespace
} // namespace trimlark
