#include "ScriptedPlatform.h"
#include "app/NotificationCenter.h"
#include "run/OutputNaming.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

// The controls a run disables while it is busy.
const char* const kBusyDisabled[] = {
    "buttonAddImages",
    "buttonRemoveSelected",
    "buttonRemoveAll",
    "radioAutoCrop",
    "comboAutoCropFormat",
    "radioCustomCrop",
    "comboOriginCorner",
    "radioCustomCropPixels",
    "textFieldCustomCropPixelsOriginX",
    "textFieldCustomCropPixelsOriginY",
    "textFieldCustomCropPixelsWidth",
    "textFieldCustomCropPixelsHeight",
    "radioCustomCropPercents",
    "textFieldCustomCropPercentsOriginX",
    "stepperCustomCropPercentsOriginX",
    "textFieldCustomCropPercentsOriginY",
    "stepperCustomCropPercentsOriginY",
    "textFieldCustomCropPercentsWidth",
    "stepperCustomCropPercentsWidth",
    "textFieldCustomCropPercentsHeight",
    "stepperCustomCropPercentsHeight",
    "comboFormat",
    "sliderQuality",
    "textFieldName",
    "textFieldOutputFolder",
    "checkKeepEXIFInformationAndCreationDate",
    "buttonBrowse",
    "buttonCropImages",
};

class RunTest : public ::testing::Test, public WindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(temp.path()).mkdir("out"));
        outputFolder = TempPath("out");
    }

    QStringList MakeImages(int count)
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << MakeImage(QString("source%1.png").arg(i), 40 + i, 30);
        return paths;
    }

    void ChooseOutputFolder(const QString& folder)
    {
        platform->folderAnswers.push_back(folder);
        QTest::mouseClick(Find<QPushButton>("buttonBrowse"), Qt::LeftButton);
    }

    QString OutputOf(int index, const QString& source) const
    {
        return QString::fromStdString(GetOutputFilePath(index, source.toStdString(), "[FileName]_cropped ([FileIndex])",
                                                        "jpg", outputFolder.toStdString()));
    }

    // Presses "Crop Images" and waits for the run's end; whether it succeeded.
    bool RunAndWait()
    {
        QSignalSpy finished(window.get(), &ViewController::cropRunFinished);
        QTest::mouseClick(Find<QPushButton>("buttonCropImages"), Qt::LeftButton);
        if (!WaitUntil([&] { return finished.count() > 0; }))
            throw std::runtime_error("the run did not finish");
        return finished.takeFirst().at(0).toBool();
    }

    std::vector<QString> AlertTexts() const
    {
        std::vector<QString> texts;
        for (const auto& alert : platform->alerts)
            texts.push_back(alert.informativeText);
        return texts;
    }

    QString outputFolder;
};

TEST_F(RunTest, ChecksRefuseAnEmptyListThenAnEmptyFolder)
{
    QTest::mouseClick(Find<QPushButton>("buttonCropImages"), Qt::LeftButton);
    Q_EMIT NotificationCenter::Default().openWith(MakeImages(1));
    QTest::mouseClick(Find<QPushButton>("buttonCropImages"), Qt::LeftButton);
    EXPECT_EQ(AlertTexts(), (std::vector<QString>{"There are no images to crop.", "Please select an output folder."}));
    for (const auto& alert : platform->alerts) {
        EXPECT_EQ(alert.buttons, QStringList{"OK"});
        EXPECT_EQ(alert.style, AlertStyle::Warning);
    }
    EXPECT_FALSE(window->IsBusy());
    EXPECT_EQ(Find<QPushButton>("buttonCropImages")->text(), "Crop Images");
}

TEST_F(RunTest, FullRunWithExistingOutputsAndYesToAll)
{
    const QStringList sources = MakeImages(4);
    Q_EMIT NotificationCenter::Default().openWith(sources);
    ChooseOutputFolder(outputFolder);
    // Outputs 1 and 2 exist already.
    for (int index : {1, 2}) {
        QFile old(OutputOf(index, sources[index]));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QStringList askedWhileBusy;
    platform->answer = [&](const Alert& alert) {
        if (alert.buttons.size() == 4) {
            EXPECT_EQ(alert.buttons, (QStringList{"Yes", "Yes to All", "No", "No to All"}));
            EXPECT_EQ(alert.style, AlertStyle::Warning);
            auto* button = Find<QPushButton>("buttonCropImages");
            EXPECT_EQ(button->text(), "Cropping...");
            EXPECT_FALSE(button->isEnabled());
            for (const char* name : kBusyDisabled) {
                SCOPED_TRACE(name);
                EXPECT_FALSE(Find<QWidget>(name)->isEnabled());
            }
            // The steppers' arrows go with them.
            for (const char* arrow : {"buttonUp", "buttonDown"})
                EXPECT_FALSE(
                    Find<QWidget>("stepperCustomCropPercentsWidth")->findChild<QToolButton*>(arrow)->isEnabled());
            // The list, the tabs and the preview stay usable during a run.
            for (const char* name : {"tableViewImage", "tabView", "imageViewCropPreview"}) {
                SCOPED_TRACE(name);
                EXPECT_TRUE(Find<QWidget>(name)->isEnabled());
            }
            askedWhileBusy << alert.informativeText;
            return 1; // "Yes to All"
        }
        return 0;
    };
    std::vector<int> progress;
    QObject::connect(Find<QProgressBar>("progressIndicator"), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });

    ASSERT_TRUE(RunAndWait());
    // One question: the answer covers the second existing file.
    EXPECT_EQ(askedWhileBusy,
              QStringList{"The file " + OutputOf(1, sources[1]) + " already exists. Do you want to overwrite it?"});
    // index / n after each image (0 after the first is no change), then back to 0; the bar runs 0-10000.
    EXPECT_EQ(progress, (std::vector<int>{2500, 5000, 7500, 0}));
    for (int index = 0; index < 4; ++index) {
        SCOPED_TRACE(index);
        QImageReader reader(OutputOf(index, sources[index]));
        EXPECT_EQ(reader.format(), "jpeg");
        // The auto "1:1" crop of a (40 + index) x 30 image is 30 x 30.
        EXPECT_EQ(reader.size(), QSize(30, 30));
    }
    ASSERT_FALSE(platform->alerts.empty());
    EXPECT_EQ(platform->alerts.back().informativeText, "Images cropped successfully.");
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Informational);
    EXPECT_EQ(Find<QPushButton>("buttonCropImages")->text(), "Crop Images");
    for (const char* name : kBusyDisabled) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled());
    }
    EXPECT_FALSE(window->IsBusy());
}

TEST_F(RunTest, NoToAllKeepsEveryExistingFile)
{
    const QStringList sources = MakeImages(3);
    Q_EMIT NotificationCenter::Default().openWith(sources);
    ChooseOutputFolder(outputFolder);
    for (int index : {0, 2}) {
        QFile old(OutputOf(index, sources[index]));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    int questions = 0;
    platform->answer = [&](const Alert& alert) { return alert.buttons.size() == 4 ? (++questions, 3) : 0; };
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(questions, 1);
    for (int index : {0, 2}) {
        QFile kept(OutputOf(index, sources[index]));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), "old");
    }
    // An output that did not exist is written even after "No to All".
    EXPECT_EQ(QImageReader(OutputOf(1, sources[1])).size(), QSize(30, 30));
}

TEST_F(RunTest, SliderRuleAppliesWhenTheRunEnds)
{
    Q_EMIT NotificationCenter::Default().openWith(MakeImages(1));
    ChooseOutputFolder(outputFolder);
    ChooseItem(Find<QComboBox>("comboFormat"), "PNG");
    ASSERT_FALSE(Find<QSlider>("sliderQuality")->isEnabled());
    ASSERT_TRUE(RunAndWait());
    EXPECT_FALSE(Find<QSlider>("sliderQuality")->isEnabled());
    EXPECT_TRUE(Find<QComboBox>("comboFormat")->isEnabled());
}

TEST_F(RunTest, MissingFolderFailsWithoutRatingPrompt)
{
    Q_EMIT NotificationCenter::Default().openWith(MakeImages(2));
    ChooseOutputFolder(TempPath("no-such-folder"));
    (*preferences)["ShowRateMessage"] = "Yes";
    EXPECT_FALSE(RunAndWait());
    EXPECT_EQ(AlertTexts(), std::vector<QString>{"Some images could not be cropped."});
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Warning);
    EXPECT_FALSE(window->RateMessageShown());
}

TEST_F(RunTest, FailedRunDoesNotCreateTheRatingPreference)
{
    Q_EMIT NotificationCenter::Default().openWith({TempPath("missing.png")});
    ChooseOutputFolder(outputFolder);
    EXPECT_FALSE(RunAndWait());
    EXPECT_FALSE(platform->ReadPreference("ShowRateMessage"));
}

TEST_F(RunTest, RatingPromptAcrossRunsAndLaunches)
{
    const QString rateText =
        "If you enjoy using Trimlark, would you mind taking a moment to rate it? Thanks for your support!";
    int rateAnswer = 1; // "Remind me later"
    const auto script = [&](const Alert& alert) { return alert.informativeText == rateText ? rateAnswer : 0; };
    const auto prepare = [&] {
        platform->answer = script;
        platform->alerts.clear();
        Q_EMIT NotificationCenter::Default().openWith(MakeImages(1));
        ChooseOutputFolder(outputFolder);
    };
    prepare();

    // First successful run of the user: no prompt, the preference now says "Yes".
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(AlertTexts(), std::vector<QString>{"Images cropped successfully."});
    EXPECT_EQ(platform->ReadPreference("ShowRateMessage"), "Yes");
    EXPECT_FALSE(window->RateMessageShown());

    // Second: the prompt follows the success message; "Remind me later" stores nothing.
    platform->alerts.clear();
    ASSERT_TRUE(RunAndWait());
    ASSERT_EQ(AlertTexts().size(), 3u); // the overwrite question, the success, the prompt
    EXPECT_EQ(AlertTexts()[1], "Images cropped successfully.");
    EXPECT_EQ(AlertTexts()[2], rateText);
    EXPECT_EQ(platform->alerts[2].buttons, (QStringList{"Yes, Rate Trimlark", "Remind me later", "No, Thanks"}));
    EXPECT_EQ(platform->ReadPreference("ShowRateMessage"), "Yes");
    EXPECT_TRUE(window->RateMessageShown());

    // Third, same launch: no prompt.
    platform->alerts.clear();
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(AlertTexts().back(), "Images cropped successfully.");

    // A later launch asks again; "Yes, Rate Trimlark" opens the review page and ends the prompts for good.
    Relaunch();
    rateAnswer = 0;
    prepare();
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(AlertTexts().back(), rateText);
    ASSERT_EQ(platform->openedUrls.size(), 1u);
    EXPECT_EQ(platform->openedUrls[0], ViewController::ReviewUrl());
    EXPECT_EQ(platform->ReadPreference("ShowRateMessage"), "No");

    Relaunch();
    prepare();
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(AlertTexts().back(), "Images cropped successfully.");
}

TEST_F(RunTest, ListChangesDuringARunDoNotReachIt)
{
    const QStringList sources = MakeImages(2);
    Q_EMIT NotificationCenter::Default().openWith(sources);
    ChooseOutputFolder(outputFolder);
    QSignalSpy finished(window.get(), &ViewController::cropRunFinished);
    QTest::mouseClick(Find<QPushButton>("buttonCropImages"), Qt::LeftButton);
    // The run works on its own copy: an image added now is not cropped by it.
    const QString late = MakeImage("late.png", 50, 30);
    Q_EMIT NotificationCenter::Default().openWith({late});
    ASSERT_TRUE(WaitUntil([&] { return finished.count() > 0; }));
    EXPECT_TRUE(finished.takeFirst().at(0).toBool());
    EXPECT_EQ(window->ListImagePaths().size(), 3u);
    EXPECT_FALSE(QFile::exists(OutputOf(2, late)));
    EXPECT_TRUE(QFile::exists(OutputOf(1, sources[1])));
}

} // namespace
} // namespace trimlark
