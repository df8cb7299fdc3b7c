#include "ScriptedPlatform.h"
#include "app/CropPreviewView.h"
#include "app/ImageListModel.h"
#include "app/RatePrompt.h"
#include "app/RunMessages.h"

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
    // Every named control that takes input (found by its name's kind) is enabled or not, and the run button says so.
    void ExpectControlsEnabled(bool on) const
    {
        const auto controls =
            window->findChildren<QWidget*>(QRegularExpression("^(button|radio|combo|textField|stepper|slider|check)"));
        EXPECT_GE(controls.size(), 28);
        for (const QWidget* control : controls) {
            // Stop has its own rule, and Reset needs an adjusted image.
            if (control->objectName() != "buttonStop" && (!on || control->objectName() != "buttonResetCrop")) {
                EXPECT_EQ(control->isEnabled(), on) << control->objectName().toStdString();
            }
        }
        EXPECT_EQ(Text("buttonCropImages"), on ? "Crop Images" : "Cropping...");
        EXPECT_EQ(Find("buttonStop")->isHidden(), on);
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

TEST_F(ViewControllerRun, RunReportsItsProgressAndEnd)
{
    Trigger("actionCropImages"); // the menu's entry, under Ctrl+Return, runs as the button does
    EXPECT_EQ(Find<QAction>("actionCropImages")->shortcut(), QKeySequence("Ctrl+Return"));
    EXPECT_EQ(platform->alertTexts, QStringList{"There are no images to crop."});

    // A missing output folder is made once the user agrees, and not otherwise.
    Prepare(4);
    const QString fresh = TempPath("new/deep");
    UseWith("buttonBrowse", fresh);
    platform->answer = [](const Alert& alert) { return alert.buttons.indexOf("Cancel"); };
    Click("buttonCropImages");
    EXPECT_EQ(platform->alertTexts.last(), "The folder " + fresh + " does not exist. Create it?");
    EXPECT_FALSE(QDir(TempPath("new")).exists());
    ExpectControlsEnabled(true);
    platform->answer = nullptr;

    // A run that fails says so, with the counts and each failed file with its reason.
    const QByteArray picture = ReadFile(TempPath("source1.png"));
    WriteFile("source1.png", "no picture");
    EXPECT_FALSE(RunAndWait());
    WriteFile("source1.png", picture);
    EXPECT_EQ(platform->alertTexts.last(),
              "Some images could not be cropped.\n3 written, 0 replaced, 0 skipped, 1 failed");
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Warning);
    EXPECT_EQ(platform->alerts.back().detailedText.count("\n"), 1);
    EXPECT_TRUE(platform->alerts.back().detailedText.startsWith(TempPath("source1.png") + ": "))
        << platform->alerts.back().detailedText.toStdString();
    EXPECT_TRUE(QDir(fresh).exists());

    // A file in the folder's way refuses the run before any image.
    WriteFile("in-the-way", "");
    UseWith("buttonBrowse", TempPath("in-the-way"));
    Click("buttonCropImages");
    EXPECT_EQ(platform->alertTexts.last(), "The output folder " + TempPath("in-the-way") + " is a file, not a folder.");
    ExpectControlsEnabled(true);

    UseWith("buttonBrowse", TempPath("out"));
    std::vector<int> progress;
    QObject::connect(Find<QProgressBar>("progressIndicator"), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });
    // The report's second button opens the output folder.
    platform->answer = [](const Alert& alert) { return alert.buttons.contains("Open Output Folder") ? 1 : 0; };
    ASSERT_TRUE(RunAndWait());
    // index / n after each image (0 after the first is no change), then back to 0; the bar runs 0-10000.
    EXPECT_EQ(progress, (std::vector<int>{2500, 5000, 7500, 0}));
    EXPECT_EQ(QImageReader(OutputOf(3)).size(), QSize(30, 30)); // "1:1" of 43 x 30
    EXPECT_EQ(platform->alertTexts.last(), "Images cropped successfully.\n4 written, 0 replaced, 0 skipped, 0 failed");
    EXPECT_EQ(platform->alerts.back().style, AlertStyle::Informational);
    EXPECT_EQ(platform->openedUrls, std::vector<QUrl>{QUrl::fromLocalFile(TempPath("out"))});
    platform->answer = [](const Alert&) { return 0; };
    ExpectControlsEnabled(true);

    // The quality slider's rule holds again once the run has ended; this second successful run asks for a rating.
    ChooseItem(Find("comboFormat"), "PNG");
    ASSERT_TRUE(RunAndWait());
    EXPECT_FALSE(Find("sliderQuality")->isEnabled());
    EXPECT_EQ(platform->alertTexts.last(), kRateText);

    // Without a program to open folders with, the report's button says so.
    platform->opens = false;
    platform->answer = [](const Alert& alert) { return alert.buttons.contains("Open Output Folder") ? 1 : 0; };
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(platform->alertTexts.last(), "The folder " + TempPath("out") +
                                               " could not be opened: this system has no program for opening folders "
                                               "(xdg-open, from the xdg-utils package).");
}

TEST_F(ViewControllerRun, OverwriteAnswersDecideEachExistingFileWhileTheControlsAreLocked)
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
            ExpectControlsEnabled(false); // the question comes while the run is busy
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

    // Output 1, now also listed, is asked about first (before output 0), by its own question whose default is No.
    OpenWith({OutputOf(1)});
    platform->ClearAlerts(), platform->answer = nullptr;
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(platform->alertTexts[0],
              "The file " + OutputOf(1) + " is one of the images being cropped. Replace the original?");
    EXPECT_EQ(platform->alerts[0].defaultButton, 2);
}

// Stop, or Quit during a run, asked for while the run's first question is open: no image starts.
TEST_F(ViewControllerRun, StopOrQuitDuringARunStartsNoFurtherImage)
{
    for (const char* control : {"buttonStop", "actionQuit", "closing the window"}) {
        SCOPED_TRACE(control);
        Relaunch();
        Prepare(3);
        WriteFile(QDir(temp.path()).relativeFilePath(OutputOf(0)), "old");
        QSignalSpy quit(window.get(), &ViewController::quitRequested);
        platform->answer = [&](const Alert& alert) {
            const std::string how = control;
            if (alert.buttons.size() == 4) // the overwrite question, while the run is busy
                how == "buttonStop" ? Click(control) : how == "actionQuit" ? Trigger(control) : (void)window->close();
            return 0; // "Yes", "Stop and Quit", "OK"
        };
        QSignalSpy finished(window.get(), &ViewController::cropRunFinished);
        Click("buttonCropImages");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->IsBusy(); }, 30000));
        EXPECT_EQ(ReadFile(OutputOf(0)), "old");
        EXPECT_FALSE(QFile::exists(OutputOf(1)));
        if (std::string(control) == "buttonStop") {
            EXPECT_EQ(platform->alertTexts.last(), "The run was stopped.\n0 written, 0 replaced, 0 skipped, 0 failed, "
                                                   "3 not started");
            // The next run can be stopped too.
            bool stopEnabled = false;
            platform->answer = [&](const Alert& alert) {
                if (alert.buttons.size() == 4)
                    stopEnabled = Find("buttonStop")->isEnabled() && Text("buttonStop") == "Stop";
                return 2; // "No", then "OK"
            };
            Click("buttonCropImages");
            ASSERT_TRUE(QTest::qWaitFor([&] { return !window->IsBusy(); }, 30000));
            EXPECT_TRUE(stopEnabled);
            for (const int written : {1, 2})
                QFile::remove(OutputOf(written));
        } else {
            EXPECT_TRUE(
                platform->alertTexts.contains("Images are being cropped. Stop after the images in progress and quit?"));
            EXPECT_TRUE(quit.count() == 1 || quit.wait(10000)) << "the app ends with the run";
        }
    }
}

// Quit during a run with unsaved settings asks about them before it stops the run: keeping them leaves the run
// going to its end, and the app open.
TEST_F(ViewControllerRun, KeepingUnsavedSettingsAtQuitLeavesTheRunGoing)
{
    Prepare(3);
    WriteFile(QDir(temp.path()).relativeFilePath(OutputOf(0)), "old");
    ChooseCorner(); // a change the profile has not saved
    QSignalSpy quit(window.get(), &ViewController::quitRequested);
    platform->answer = [&](const Alert& alert) {
        if (alert.buttons.size() == 4) // the overwrite question, while the run is busy
            Trigger("actionQuit");
        if (alert.informativeText.startsWith("You have unsaved changes"))
            return static_cast<int>(alert.buttons.size()) - 1; // Cancel
        return 0;                                              // "Yes", "Stop and Quit", "OK"
    };
    ASSERT_TRUE(RunAndWait());
    EXPECT_EQ(platform->alertTexts.last(), "Images cropped successfully.\n2 written, 1 replaced, 0 skipped, 0 failed");
    EXPECT_EQ(quit.count(), 0);
}

// Quit asked during a run that ends before the answer comes: the app still ends.
TEST_F(ViewControllerRun, QuitAnsweredAfterTheRunEndedStillEndsTheApp)
{
    Prepare(1);
    QSignalSpy quit(window.get(), &ViewController::quitRequested);
    platform->answer = [&](const Alert& alert) {
        if (alert.informativeText.startsWith("Images are being cropped")) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !window->IsBusy(); }, 30000));
        }
        return 0; // "Stop and Quit", "OK"
    };
    Click("buttonCropImages");
    Trigger("actionQuit");
    EXPECT_EQ(quit.count(), 1);
}

// An image written whole because its crop cut nothing says so in the details, beside its other remarks.
TEST(RunMessages, TheReportNamesARefusedCropBesideTheImagesRemarks)
{
    CropRunResult result;
    const auto written = [](const char* source, const char* reason, bool whole) {
        ImageOutcome outcome;
        outcome.sourcePath = source, outcome.reason = reason, outcome.wholeImage = whole;
        return outcome;
    };
    result.outcomes = {written("a.jpg", "", true), written("b.jpg", "EXIF dropped", true), written("c.jpg", "", false)};
    EXPECT_EQ(RunMessages::Report(result).detailedText,
              "a.jpg: the crop cuts nothing out of it; the whole image was written\n"
              "b.jpg: the crop cuts nothing out of it; the whole image was written; EXIF dropped\n");
}

TEST(RatePrompt, AsksAfterTheFirstSuccessfulRunOncePerLaunchUntilAnswered)
{
    ScriptedPlatform platform(std::make_shared<Preferences>());
    const QUrl review("https://trimlark.org/review");
    // The stored preference at a launch ("": none), the successful runs in it, the answer to the prompt, how often
    // it was asked, and the preference after.
    const std::tuple<const char*, int, int, int, const char*> cases[] = {
        {"", 1, 0, 0, "Yes"},                            // the user's first successful run asks nothing
        {"Yes", 2, 1, 1, "Yes"},                         // Remind me later: not again in this launch
        {"Yes", 1, 2, 1, "No"},                          // No, Thanks
        {"No", 1, 0, 0, "No"},   {"Yes", 1, 0, 1, "No"}, // Yes, Rate Trimlark: opens the review page
    };
    for (const auto& [before, runs, answer, asked, after] : cases) {
        SCOPED_TRACE(testing::Message() << before << ", answer " << answer);
        platform.preferences->remove("ShowRateMessage");
        if (*before)
            platform.WritePreference("ShowRateMessage", before);
        platform.ClearAlerts();
        platform.answer = [answer](const Alert&) { return answer; };
        RatePrompt prompt(platform, review);
        for (int run = 0; run < runs; ++run)
            prompt.ShowRateMessage();
        EXPECT_EQ(platform.alertTexts, QStringList(asked, kRateText));
        EXPECT_EQ(platform.ReadPreference("ShowRateMessage"), after);
    }
    EXPECT_EQ(platform.alerts.back().buttons, (QStringList{"Yes, Rate Trimlark", "Remind me later", "No, Thanks"}));
    EXPECT_EQ(platform.alerts.back().style, AlertStyle::Question);
    EXPECT_EQ(platform.openedUrls, std::vector<QUrl>{review});
}

// A crop dragged in the preview (real mouse events), moved by the arrow keys and reset by Escape belongs to its
// image: the row is marked, the profile is not, and the run writes it. A list file keeps it.
TEST_F(ViewControllerRun, ADraggedCropIsTheImagesOwnAndTheRunWritesIt)
{
    // Red tells the column: x 0-399 as red x * 255 / 399.
    QImage gradient(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            gradient.setPixel(x, y, qRgb(x * 255 / 399, 0, 0));
    ASSERT_TRUE(gradient.save(TempPath("wide.png")));
    QDir(temp.path()).mkdir("out");
    OpenWith({TempPath("wide.png")});
    UseWith("buttonBrowse", TempPath("out"));
    ClickRow(0);
    ASSERT_TRUE(PreviewShown());
    auto* preview = Find<CropPreviewView>("imageViewCropPreview");
    ASSERT_EQ(preview->CropRect(), QRectF(50 / 400.0, 0, 300 / 400.0, 1)); // "1:1" centred
    const QRectF picture = preview->PictureArea();
    const QPoint from = picture.center().toPoint();
    // Dragged far to the left: the crop stops at the picture's left edge.
    QTest::mousePress(preview, Qt::LeftButton, {}, from);
    QTest::mouseMove(preview, from - QPoint(static_cast<int>(picture.width() / 2), 0));
    QTest::mouseRelease(preview, Qt::LeftButton, {}, from - QPoint(static_cast<int>(picture.width() / 2), 0));
    EXPECT_EQ(preview->CropRect()->left(), 0.0);
    EXPECT_EQ(OutputLabels(), "Width: 300, Height: 300");
    const QModelIndex row = Find<QTableView>("tableViewImage")->model()->index(0, 0);
    EXPECT_TRUE(row.data(ImageListModel::kAdjustedRole).toBool());
    EXPECT_EQ(Title(), "Trimlark") << "an adjustment is no part of the profile";
    // One pixel right, then ten.
    QTest::keyClick(preview, Qt::Key_Right);
    QTest::keyClick(preview, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_NEAR(preview->CropRect()->left() * 400, 11, 1e-9);

    ASSERT_TRUE(RunAndWait());
    const QImage written(TempPath("out/wide_cropped (1).jpg"));
    ASSERT_EQ(written.size(), QSize(300, 300));
    EXPECT_NEAR(qRed(written.pixel(1, 150)), 12 * 255 / 399, 3); // JPEG: within a few levels
    EXPECT_NEAR(qRed(written.pixel(298, 150)), 309 * 255 / 399, 3);

    // Saved in a list, reset, and opened again: the adjustment comes back with its image.
    platform->panelAnswers = {QStringList{TempPath("crops.jsonl")}};
    Trigger("actionSaveList");
    QTest::keyClick(preview, Qt::Key_Escape);
    EXPECT_FALSE(row.data(ImageListModel::kAdjustedRole).toBool());
    EXPECT_EQ(preview->CropRect(), QRectF(50 / 400.0, 0, 300 / 400.0, 1));
    // The reset is a change the list file lacks: opening the list again asks first; No keeps the list.
    platform->panelAnswers = {QStringList{TempPath("crops.jsonl")}};
    Trigger("actionOpenList");
    EXPECT_TRUE(platform->alertTexts.last().startsWith("The list of images has changes that are not saved"));
    EXPECT_EQ(platform->panelAnswers.size(), 1) << "no panel after No";
    platform->answer = [](const Alert&) { return 0; };
    Trigger("actionOpenList");
    ClickRow(0);
    ASSERT_TRUE(PreviewShown());
    EXPECT_NEAR(preview->CropRect()->left() * 400, 11, 1e-9);
    // Reset All asks first.
    Trigger("actionResetAllAdjustments");
    EXPECT_FALSE(Find<QTableView>("tableViewImage")->model()->index(0, 0).data(ImageListModel::kAdjustedRole).toBool());
    EXPECT_TRUE(platform->alertTexts.last().startsWith("Give every image the shared crop again?"));
}

} // namespace
} // namespace trimlark
