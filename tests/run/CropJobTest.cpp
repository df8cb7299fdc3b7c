#include "run/CropJob.h"

#include "TestImages.h"
#include "imaging/ImageTools.h"
#include "settings/ChoiceLists.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace trimlark {
namespace {

using testing::ProbeImage;
using testing::ReadBytes;
using testing::SniffType;
using testing::TemporaryFolder;
using testing::WriteBytes;
using testing::WriteCoordinateImage;
using Kind = ImageOutcome::Kind;

class CropRunTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        testing::StartVips();
        ImageTools::Initialize();
    }

    // Settings writing "<name>_cropped (<n>).<ext>" into the folder, auto 1:1 unless changed.
    CropSettings SettingsFor(const std::string& folder, const char* formatTitle = "JPG")
    {
        CropSettings settings;
        settings.textFieldOutputFolder = folder;
        settings.comboFormat = FormatIndexOfTitle(formatTitle);
        return settings;
    }

    // n coordinate images of 40 x 30 named src<i>.png in the folder.
    std::vector<std::string> MakeSources(std::size_t n, int width = 40, int height = 30)
    {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < n; ++i) {
            paths.push_back(sources_.File("src" + std::to_string(i) + ".png"));
            WriteCoordinateImage(paths.back(), width, height, static_cast<int>(10 * i));
        }
        return paths;
    }

    static OverwriteQuestion Answering(std::vector<OverwriteAnswer> answers, std::vector<std::string>* asked)
    {
        return [answers, asked](const std::string& path) {
            asked->push_back(path);
            return asked->size() <= answers.size() ? answers[asked->size() - 1] : OverwriteAnswer::No;
        };
    }

    TemporaryFolder sources_;
    TemporaryFolder outputs_;
};

TEST_F(CropRunTest, FourNewOutputsReportProgressInQuartersAndSucceed)
{
    const auto paths = MakeSources(4);
    const CropJob job = BuildCropJob(paths, SettingsFor(outputs_.Path()), {}, {});
    std::vector<double> progress;
    std::vector<std::size_t> reported;
    const CropRunResult result = CropImagesWork(
        job, {[&](double p) { progress.push_back(p); }, [&](const ImageOutcome& o) { reported.push_back(o.index); }});

    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(progress, (std::vector<double>{0.0, 0.25, 0.5, 0.75}));
    EXPECT_EQ(reported, (std::vector<std::size_t>{0, 1, 2, 3}));
    ASSERT_EQ(result.outcomes.size(), 4u);
    for (const ImageOutcome& o : result.outcomes) {
        SCOPED_TRACE(o.outputPath);
        EXPECT_EQ(o.kind, Kind::Written);
        EXPECT_EQ(SniffType(o.outputPath), "jpeg");
        const auto probe = ProbeImage(o.outputPath);
        EXPECT_EQ(probe.width, 30); // 40 x 30 landscape, 1:1 -> 30 x 30
        EXPECT_EQ(probe.height, 30);
    }
    EXPECT_EQ(result.outcomes[2].outputPath, outputs_.File("src2_cropped (3).jpg"));
}

// Every output exists beforehand (with marker bytes) unless listed as new.
TEST_F(CropRunTest, OverwriteAnswersDecideEachExistingFile)
{
    using A = OverwriteAnswer;
    using W = OverwriteAction;
    struct Case
    {
        const char* name;
        std::vector<bool> exists;
        std::vector<A> answers;
        std::size_t questions;
        std::vector<W> actions;
    };
    const Case cases[] = {
        {"no to all at the first question", {true, true, true}, {A::NoToAll}, 1, {W::Skip, W::Skip, W::Skip}},
        {"no, then yes to all", {true, true, true}, {A::No, A::YesToAll}, 2, {W::Skip, W::Overwrite, W::Overwrite}},
        {"a new output after no to all", {true, false, true}, {A::NoToAll}, 1, {W::Skip, W::Write, W::Skip}},
        {"yes, then no", {true, true, false}, {A::Yes, A::No}, 2, {W::Overwrite, W::Skip, W::Write}},
        {"nothing exists", {false, false, false}, {}, 0, {W::Write, W::Write, W::Write}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder out;
        const auto paths = MakeSources(3);
        const CropSettings settings = SettingsFor(out.Path()); // metadata and date kept: the default
        ASSERT_TRUE(settings.checkKeepEXIFInformationAndCreationDate);
        const std::string marker = "not an image, left by an earlier run";
        for (std::size_t i = 0; i < 3; ++i)
            if (c.exists[i])
                WriteBytes(out.File("src" + std::to_string(i) + "_cropped (" + std::to_string(i + 1) + ").jpg"),
                           marker);

        std::vector<std::string> asked;
        const CropJob job = BuildCropJob(paths, settings, {}, Answering(c.answers, &asked));
        EXPECT_EQ(asked.size(), c.questions);
        EXPECT_EQ(job.actions, c.actions);
        const CropRunResult result = CropImagesWork(job, {});
        EXPECT_TRUE(result.allImagesCropped);
        ASSERT_EQ(result.outcomes.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const ImageOutcome& o = result.outcomes[i];
            if (c.actions[i] == W::Skip) {
                EXPECT_EQ(o.kind, Kind::Skipped);
                EXPECT_EQ(ReadBytes(o.outputPath), marker);
            } else {
                EXPECT_EQ(o.kind, c.actions[i] == W::Write ? Kind::Written : Kind::Replaced);
                EXPECT_EQ(SniffType(o.outputPath), "jpeg");
            }
        }
    }
}

TEST_F(CropRunTest, TwoNewOutputsOnOnePathAreBothWrittenAndTheLaterWins)
{
    TemporaryFolder a;
    TemporaryFolder b;
    WriteCoordinateImage(a.File("pic.png"), 40, 30, 0);
    WriteCoordinateImage(b.File("pic.png"), 40, 30, 200);
    CropSettings settings = SettingsFor(outputs_.Path(), "PNG");
    settings.textFieldName = "[FileName]";
    int questions = 0;
    const CropJob job = BuildCropJob({a.File("pic.png"), b.File("pic.png")}, settings, {}, [&](const std::string&) {
        ++questions;
        return OverwriteAnswer::NoToAll;
    });
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(job.actions, (std::vector<OverwriteAction>{OverwriteAction::Write, OverwriteAction::Write}));

    // The first save is held back, so a second image in flight would finish first if nothing kept the order.
    CropSteps steps = CropSteps::Default();
    std::mutex mutex;
    std::vector<std::string> saved;
    steps.save = [&](const WorkingImage& image, const std::string& path, int format, double quality, bool keep,
                     std::string* reason) {
        if (image.SourcePath() == a.File("pic.png"))
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        {
            std::lock_guard lock(mutex);
            saved.push_back(image.SourcePath());
        }
        return ImageTools::SaveImage(image, path, format, quality, keep, reason);
    };
    const CropRunResult result = CropImagesWork(job, {}, 2, steps);
    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(saved, (std::vector<std::string>{a.File("pic.png"), b.File("pic.png")}));
    EXPECT_EQ(ProbeImage(outputs_.File("pic.png")).topLeft.at(2), 200); // blue of the second source
}

TEST_F(CropRunTest, ProgressStaysInListOrderWhenALaterImageFinishesFirst)
{
    const auto paths = MakeSources(4);
    const CropJob job = BuildCropJob(paths, SettingsFor(outputs_.Path()), {}, {});
    CropSteps steps = CropSteps::Default();
    steps.load = [&](const std::string& path, std::string* reason) {
        if (path == paths[0])
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return ImageTools::LoadImageAtPixelSize(path, reason);
    };
    std::vector<double> progress;
    std::vector<std::size_t> reported;
    const CropRunResult result = CropImagesWork(
        job, {[&](double p) { progress.push_back(p); }, [&](const ImageOutcome& o) { reported.push_back(o.index); }}, 2,
        steps);
    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(progress, (std::vector<double>{0.0, 0.25, 0.5, 0.75}));
    EXPECT_EQ(reported, (std::vector<std::size_t>{0, 1, 2, 3}));
}

// Image 0 writes the file that image 1 reads: image 1 must read the cropped file, as one after another would.
TEST_F(CropRunTest, AnImageReadsWhatAnEarlierImageWroteToItsSource)
{
    WriteCoordinateImage(sources_.File("x.png"), 80, 20);
    WriteCoordinateImage(sources_.File("1.png"), 60, 20);
    CropSettings settings = SettingsFor(sources_.Path(), "PNG");
    settings.textFieldName = "[FileIndex]";
    settings.radioAutoCrop = false;
    settings.radioCustomCrop = true;
    settings.textFieldCustomCropPercentsOriginX = "0";
    settings.textFieldCustomCropPercentsOriginY = "0";
    settings.textFieldCustomCropPercentsWidth = "50";
    settings.textFieldCustomCropPercentsHeight = "100";
    const CropJob job = BuildCropJob({sources_.File("x.png"), sources_.File("1.png")}, settings, {},
                                     [](const std::string&) { return OverwriteAnswer::Yes; });
    CropSteps steps = CropSteps::Default();
    steps.save = [&](const WorkingImage& image, const std::string& path, int format, double quality, bool keep,
                     std::string* reason) {
        if (image.SourcePath() == sources_.File("x.png"))
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return ImageTools::SaveImage(image, path, format, quality, keep, reason);
    };
    const CropRunResult result = CropImagesWork(job, {}, 2, steps);
    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(ProbeImage(sources_.File("1.png")).width, 40); // half of x.png's 80
    EXPECT_EQ(ProbeImage(sources_.File("2.png")).width, 20); // half of that, not half of the old 60
}

TEST_F(CropRunTest, FailuresAreRecordedAndTheRunGoesOn)
{
    struct Case
    {
        const char* name;
        bool folderExists;
        std::vector<bool> readable;
        std::vector<Kind> kinds;
    };
    const Case cases[] = {
        {"a missing output folder fails every save", false, {true, true}, {Kind::SaveFailed, Kind::SaveFailed}},
        {"an unreadable source", true, {true, false, true}, {Kind::Written, Kind::LoadFailed, Kind::Written}},
        {"a missing source", true, {false, true}, {Kind::LoadFailed, Kind::Written}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder in;
        TemporaryFolder out;
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < c.readable.size(); ++i) {
            paths.push_back(in.File("s" + std::to_string(i) + ".png"));
            if (c.readable[i])
                WriteCoordinateImage(paths.back(), 20, 20);
            else if (i == 1)
                WriteBytes(paths.back(), "\x89PNG but then nothing");
        }
        const std::string folder = c.folderExists ? out.Path() : out.File("missing");
        const CropJob job = BuildCropJob(paths, SettingsFor(folder), {}, {});
        std::vector<double> progress;
        const CropRunResult result = CropImagesWork(job, {[&](double p) { progress.push_back(p); }, {}});
        EXPECT_FALSE(result.allImagesCropped);
        EXPECT_EQ(progress.size(), paths.size());
        ASSERT_EQ(result.outcomes.size(), c.kinds.size());
        for (std::size_t i = 0; i < c.kinds.size(); ++i) {
            SCOPED_TRACE(i);
            const ImageOutcome& o = result.outcomes[i];
            EXPECT_EQ(o.kind, c.kinds[i]);
            EXPECT_EQ(o.reason.empty(), c.kinds[i] == Kind::Written);
            EXPECT_EQ(std::filesystem::exists(o.outputPath), c.kinds[i] == Kind::Written);
        }
    }
}

// The old file goes only when the new one is complete: a save that fails leaves it as it was.
TEST_F(CropRunTest, AReplacementThatCannotBeSavedKeepsTheOldFile)
{
    const auto paths = MakeSources(1);
    CropSettings settings = SettingsFor(outputs_.Path());
    settings.comboFormat = -1; // no format chosen: nothing can be encoded
    const std::string existing = outputs_.File("src0_cropped (1).");
    WriteBytes(existing, "the only copy");
    const CropJob job = BuildCropJob(paths, settings, {}, [](const std::string&) { return OverwriteAnswer::Yes; });
    ASSERT_EQ(job.actions, std::vector<OverwriteAction>{OverwriteAction::Overwrite});
    const CropRunResult result = CropImagesWork(job, {});
    EXPECT_FALSE(result.allImagesCropped);
    ASSERT_EQ(result.outcomes.size(), 1u);
    EXPECT_EQ(result.outcomes[0].kind, Kind::SaveFailed);
    EXPECT_EQ(ReadBytes(existing), "the only copy");
}

TEST_F(CropRunTest, AnImageCanReplaceItsOwnSource)
{
    WriteCoordinateImage(sources_.File("self.png"), 80, 40);
    CropSettings settings = SettingsFor(sources_.Path(), "Original");
    settings.textFieldName = "[FileName]";
    const CropJob job = BuildCropJob({sources_.File("self.png")}, settings, {},
                                     [](const std::string&) { return OverwriteAnswer::Yes; });
    const CropRunResult result = CropImagesWork(job, {});
    ASSERT_TRUE(result.allImagesCropped);
    EXPECT_EQ(result.outcomes.at(0).kind, Kind::Replaced);
    const auto probe = ProbeImage(sources_.File("self.png"));
    EXPECT_EQ(probe.width, 40); // 1:1 of 80 x 40, centred: from column 20
    EXPECT_EQ(probe.height, 40);
    EXPECT_EQ(probe.topLeft.at(0), 20);
}

// A photo cropped in place keeps its date when the metadata and date are kept, as a copy elsewhere does.
TEST_F(CropRunTest, AnImageThatReplacesItsOwnSourceKeepsItsDate)
{
    struct Case
    {
        const char* name;
        const char* folder; // "sources" writes over the source, "outputs" beside it
    };
    const Case cases[] = {{"over its own source", "sources"}, {"into another folder", "outputs"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = sources_.File("dated.png");
        WriteCoordinateImage(source, 80, 40);
        const timespec taken[2] = {{981158400, 0}, {981158400, 0}}; // 2001-02-03
        ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), taken, 0), 0);
        CropSettings settings =
            SettingsFor(c.folder == std::string("sources") ? sources_.Path() : outputs_.Path(), "Original");
        settings.textFieldName = "[FileName]";
        ASSERT_TRUE(settings.checkKeepEXIFInformationAndCreationDate);
        const CropJob job =
            BuildCropJob({source}, settings, {}, [](const std::string&) { return OverwriteAnswer::Yes; });
        const CropRunResult result = CropImagesWork(job, {});
        ASSERT_TRUE(result.allImagesCropped);
        EXPECT_EQ(ProbeImage(result.outcomes.at(0).outputPath).width, 40);
        struct stat attributes
        {
        };
        ASSERT_EQ(stat(result.outcomes.at(0).outputPath.c_str(), &attributes), 0);
        EXPECT_EQ(attributes.st_mtim.tv_sec, 981158400);
    }
}

// The written pixels are compared with the source's coordinates: red is the column, green the row from the top.
TEST_F(CropRunTest, CropsFollowTheModeAndARefusedCropWritesTheWholeImage)
{
    struct Case
    {
        const char* name;
        bool autoCrop;
        bool custom;
        bool pixels;
        std::vector<const char*> values; // x, y, w, h
        int corner;
        int width, height;
        double left, top;
    };
    const Case cases[] = {
        // 100 x 50, percents 20/20/60/60 from bottom left: 60 x 30 at x 20, bottom 10 -> top 50 - 10 - 30 = 10
        {"percents from bottom left", false, true, false, {"20", "20", "60", "60"}, 0, 60, 30, 20, 10},
        // pixels 10, 5, 30, 20 from top right: left 100 - 30 - 10 = 60, top 5
        {"pixels from top right", false, true, true, {"10", "5", "30", "20"}, 3, 30, 20, 60, 5},
        // pixels overhanging the left edge: clipped to 20 wide at the left
        {"pixels clipped at the edge", false, true, true, {"-10", "0", "30", "50"}, 2, 20, 50, 0, 0},
        // starts beyond the right edge: refused, the whole image
        {"pixels beyond the image", false, true, true, {"100", "0", "30", "20"}, 0, 100, 50, 0, 0},
        {"mode none", false, false, true, {"10", "10", "10", "10"}, 0, 100, 50, 0, 0},
        // auto 1:1 on 100 x 50: 50 x 50 centred, left 25
        {"auto", true, false, false, {"0", "0", "0", "0"}, 1, 50, 50, 25, 0},
    };
    WriteCoordinateImage(sources_.File("grid.png"), 100, 50);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder out;
        CropSettings settings = SettingsFor(out.Path(), "PNG");
        settings.radioAutoCrop = c.autoCrop;
        settings.radioCustomCrop = c.custom;
        settings.radioCustomCropPixels = c.pixels;
        settings.radioCustomCropPercents = !c.pixels;
        settings.comboOriginCorner = c.corner;
        const auto fields = c.pixels ? std::vector<std::string*>{&settings.textFieldCustomCropPixelsOriginX,
                                                                 &settings.textFieldCustomCropPixelsOriginY,
                                                                 &settings.textFieldCustomCropPixelsWidth,
                                                                 &settings.textFieldCustomCropPixelsHeight}
                                     : std::vector<std::string*>{&settings.textFieldCustomCropPercentsOriginX,
                                                                 &settings.textFieldCustomCropPercentsOriginY,
                                                                 &settings.textFieldCustomCropPercentsWidth,
                                                                 &settings.textFieldCustomCropPercentsHeight};
        for (std::size_t i = 0; i < 4; ++i)
            *fields[i] = c.values[i];
        const CropRunResult result = CropImagesWork(BuildCropJob({sources_.File("grid.png")}, settings, {}, {}), {});
        ASSERT_TRUE(result.allImagesCropped);
        ASSERT_EQ(result.outcomes.size(), 1u);
        EXPECT_EQ(SniffType(result.outcomes[0].outputPath), "png");
        const auto probe = ProbeImage(result.outcomes[0].outputPath);
        EXPECT_EQ(probe.width, c.width);
        EXPECT_EQ(probe.height, c.height);
        ASSERT_GE(probe.topLeft.size(), 2u);
        EXPECT_EQ(probe.topLeft[0], c.left);
        EXPECT_EQ(probe.topLeft[1], c.top);
    }
}

TEST_F(CropRunTest, AJobKeepsTheSettingsItWasBuiltWith)
{
    std::vector<std::string> list = MakeSources(2, 60, 30);
    CropSettings settings = SettingsFor(outputs_.Path());
    settings.comboAutoCropFormat = kCustomAutoCropFormatIndex;
    CustomRatio ratio{2, 1, true};
    const CropJob job = BuildCropJob(list, settings, ratio, {});

    // The caller goes on editing while the run works.
    settings.comboFormat = FormatIndexOfTitle("PNG");
    settings.textFieldName = "changed";
    settings.textFieldOutputFolder = sources_.Path();
    settings.comboAutoCropFormat = 0;
    ratio = {1, 3, false};
    list.pop_back();

    const CropRunResult result = CropImagesWork(job, {});
    ASSERT_TRUE(result.allImagesCropped);
    ASSERT_EQ(result.outcomes.size(), 2u);
    for (const ImageOutcome& o : result.outcomes) {
        SCOPED_TRACE(o.outputPath);
        EXPECT_EQ(std::filesystem::path(o.outputPath).parent_path(), std::filesystem::path(outputs_.Path()));
        EXPECT_EQ(SniffType(o.outputPath), "jpeg");
        const auto probe = ProbeImage(o.outputPath);
        EXPECT_EQ(probe.width, 60); // 2:1 on 60 x 30 is the whole image
        EXPECT_EQ(probe.height, 30);
    }
}

TEST(CropRunChecks, ListThenFolder)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> list;
        const char* folder;
        std::optional<std::string> message;
    };
    const Case cases[] = {
        {"empty list and folder", {}, "", std::string(kNoImagesMessage)},
        {"empty folder", {"/in/a.jpg"}, "", std::string(kNoOutputFolderMessage)},
        {"a folder of spaces is a name", {"/in/a.jpg"}, "  ", std::nullopt},
        {"a folder that does not exist is not checked", {"/in/a.jpg"}, "/nowhere", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CropSettings settings;
        settings.textFieldOutputFolder = c.folder;
        EXPECT_EQ(CheckCropRun(c.list, settings), c.message);
    }
}

} // namespace
} // namespace trimlark
