#include "run/CropJob.h"

#include "TestImages.h"
#include "imaging/Codecs.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace trimlark {
namespace {

using test::TempFolder;
using Kind = ImageOutcome::Kind;

// Settings writing "<name>_cropped (<n>).<ext>" into the folder, auto 1:1 unless changed.
CropSettings SettingsFor(const std::string& folder, std::string_view format = "JPG")
{
    CropSettings settings;
    settings.textFieldOutputFolder = folder;
    settings.comboFormat = AvailableFormats().IndexOfTitle(format);
    return settings;
}

// The default name of the JPEG output of the index-th source made by MakeSources.
std::string OutputName(std::size_t index)
{
    return "src" + std::to_string(index) + "_cropped (" + std::to_string(index + 1) + ").jpg";
}

OverwriteAnswer AlwaysYes(const std::string&)
{
    return OverwriteAnswer::Yes;
}

// The default steps, with the save of the image from firstSource held back: a later image in flight would
// finish first if nothing kept them in order.
CropSteps FirstSaveHeldBack(const std::string& firstSource)
{
    CropSteps steps = CropSteps::Default();
    steps.save = [firstSource](const WorkingImage& image, const std::string& path, OutputFormat format, double quality,
                               bool keep, std::string* reason) {
        if (image.SourcePath() == firstSource)
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return ImageTools::SaveImage(image, path, format, quality, keep, reason);
    };
    return steps;
}

class CropRunTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ImageTools::Initialize(); }

    // n coordinate images of 40 x 30 named src<i>.png.
    std::vector<std::string> MakeSources(std::size_t n)
    {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < n; ++i) {
            paths.push_back(sources.Path("src" + std::to_string(i) + ".png"));
            test::WriteCoordinateImage(paths.back(), 40, 30);
        }
        return paths;
    }

    TempFolder sources;
    TempFolder outputs;
};

TEST_F(CropRunTest, ResultsComeInListOrderWhenALaterImageFinishesFirst)
{
    const auto paths = MakeSources(4);
    std::vector<double> progress;
    std::vector<std::size_t> reported;
    const CropRunResult result = CropImagesWork(
        BuildCropJob(paths, SettingsFor(outputs.Path()), {}, {}),
        {[&](double p) { progress.push_back(p); }, [&](const ImageOutcome& o) { reported.push_back(o.index); }}, 2,
        FirstSaveHeldBack(paths[0]));

    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(progress, (std::vector<double>{0.0, 0.25, 0.5, 0.75}));
    EXPECT_EQ(reported, (std::vector<std::size_t>{0, 1, 2, 3}));
    ASSERT_EQ(result.outcomes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const ImageOutcome& o = result.outcomes[i];
        EXPECT_EQ(o.kind, Kind::Written);
        EXPECT_EQ(o.outputPath, outputs.Path(OutputName(i)));
        EXPECT_EQ(test::SniffType(o.outputPath), "jpeg");
        EXPECT_EQ(test::ReadImage(o.outputPath).width(), 30); // 40 x 30 landscape, 1:1 -> 30 x 30
    }
}

// Every output exists beforehand (holding a marker) unless listed as new. An existing file is replaced by a
// complete one or left as it was.
TEST_F(CropRunTest, OverwriteAnswersDecideEachExistingFile)
{
    using A = OverwriteAnswer;
    using W = OverwriteAction;
    struct Case
    {
        const char* name;
        std::vector<bool> exists;
        std::vector<A> answers; // in the order of the questions
        std::vector<W> actions;
    };
    const Case cases[] = {
        {"no to all at the first question", {true, true, true}, {A::NoToAll}, {W::Skip, W::Skip, W::Skip}},
        {"no, then yes to all", {true, true, true}, {A::No, A::YesToAll}, {W::Skip, W::Overwrite, W::Overwrite}},
        {"a new output after no to all", {true, false, true}, {A::NoToAll}, {W::Skip, W::Write, W::Skip}},
        {"yes, then no", {true, true, false}, {A::Yes, A::No}, {W::Overwrite, W::Skip, W::Write}},
    };
    const auto paths = MakeSources(3);
    const std::string marker = "not an image, left by an earlier run";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        for (std::size_t i = 0; i < 3; ++i)
            if (c.exists[i])
                test::WriteBytes(out.Path(OutputName(i)), marker);
        std::size_t asked = 0;
        const CropJob job =
            BuildCropJob(paths, SettingsFor(out.Path()), {}, [&](const std::string&) { return c.answers.at(asked++); });
        EXPECT_EQ(asked, c.answers.size());
        const CropRunResult result = CropImagesWork(job, {});
        EXPECT_TRUE(result.allImagesCropped);
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const ImageOutcome& o = result.outcomes.at(i);
            EXPECT_EQ(job.images[i].action, c.actions[i]);
            const Kind expected = c.actions[i] == W::Skip    ? Kind::Skipped
                                  : c.actions[i] == W::Write ? Kind::Written
                                                             : Kind::Replaced;
            EXPECT_EQ(o.kind, expected);
            EXPECT_EQ(test::ReadBytes(o.outputPath) == marker, expected == Kind::Skipped);
            EXPECT_EQ(test::SniffType(o.outputPath), expected == Kind::Skipped ? "" : "jpeg");
        }
    }
}

// With two images in flight and the first one's save held back, what is written is what one image after
// another writes.
TEST_F(CropRunTest, ImagesSharingAPathRunAsOneAfterAnother)
{
    // Same name in two folders, one output: neither existed when the run was planned, and the later one wins.
    TempFolder other;
    test::WriteCoordinateImage(sources.Path("pic.png"), 40, 30);
    test::WriteCoordinateImage(other.Path("pic.png"), 50, 30);
    CropSettings settings = SettingsFor(outputs.Path(), "PNG");
    settings.textFieldName = "[FileName]";
    settings.radioAutoCrop = false; // no crop: the output's width tells its source
    CropRunResult result =
        CropImagesWork(BuildCropJob({sources.Path("pic.png"), other.Path("pic.png")}, settings, {}, {}), {}, 2,
                       FirstSaveHeldBack(sources.Path("pic.png")));
    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(test::ReadImage(outputs.Path("pic.png")).width(), 50);

    // Image 0 writes 1.png, which image 1 reads: image 1 reads the cropped file.
    test::WriteCoordinateImage(sources.Path("x.png"), 80, 20);
    test::WriteCoordinateImage(sources.Path("1.png"), 60, 20);
    settings = SettingsFor(sources.Path(), "PNG");
    settings.textFieldName = "[FileIndex]";
    settings.radioAutoCrop = false, settings.radioCustomCrop = true;
    settings.textFieldCustomCropPercentsOriginX = settings.textFieldCustomCropPercentsOriginY = "0";
    settings.textFieldCustomCropPercentsWidth = "50", settings.textFieldCustomCropPercentsHeight = "100";
    result = CropImagesWork(BuildCropJob({sources.Path("x.png"), sources.Path("1.png")}, settings, {}, AlwaysYes), {},
                            2, FirstSaveHeldBack(sources.Path("x.png")));
    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(test::ReadImage(sources.Path("1.png")).width(), 40); // half of x.png's 80
    EXPECT_EQ(test::ReadImage(sources.Path("2.png")).width(), 20); // half of that, not half of the old 60
}

// Every output exists, and the user agrees to replace each: a failed image keeps its old file, and the run goes on.
TEST_F(CropRunTest, FailuresAreRecordedAndTheRunGoesOn)
{
    const auto paths = MakeSources(3);
    test::NoiseImage(200, 200).jpegsave(paths[0].c_str()); // cut in half: the header reads, the pixels do not
    test::Truncate(paths[0], test::ReadBytes(paths[0]).size() / 2);
    test::WriteBytes(paths[2], "\x89PNG but then nothing");
    for (std::size_t i = 0; i < 3; ++i)
        test::WriteBytes(outputs.Path(OutputName(i)), "the only copy");
    std::vector<double> progress;
    const CropRunResult result = CropImagesWork(BuildCropJob(paths, SettingsFor(outputs.Path()), {}, AlwaysYes),
                                                {[&](double p) { progress.push_back(p); }, {}});
    EXPECT_FALSE(result.allImagesCropped);
    EXPECT_EQ(progress.size(), 3u);
    const Kind kinds[] = {Kind::SaveFailed, Kind::Replaced, Kind::LoadFailed};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const ImageOutcome& o = result.outcomes.at(i);
        EXPECT_EQ(o.kind, kinds[i]);
        EXPECT_EQ(o.reason.empty(), o.kind == Kind::Replaced);
        EXPECT_EQ(test::ReadBytes(o.outputPath) == "the only copy", o.kind != Kind::Replaced);
    }
}

// The settings reach each image. The source is a 100 x 50 coordinate image dated 2001-02-03, whose written
// pixels tell where they came from.
TEST_F(CropRunTest, TheSettingsReachEachImage)
{
    struct Case
    {
        const char* name;
        void (*set)(CropSettings&, CustomRatio&);
        const char* file;
        int width, height, left, top;
        bool dated; // the output has the source's date
    };
    const Case cases[] = {
        // 30 x 20 at 10 from the right, 5 from the top: left 100 - 30 - 10 = 60.
        {"pixels from the top right",
         [](CropSettings& s, CustomRatio&) {
             s.radioAutoCrop = false, s.radioCustomCrop = true, s.radioCustomCropPixels = true;
             s.comboOriginCorner = static_cast<int>(OriginCorner::TopRight);
             s.textFieldCustomCropPixelsOriginX = "10", s.textFieldCustomCropPixelsOriginY = "5";
             s.textFieldCustomCropPixelsWidth = "30", s.textFieldCustomCropPixelsHeight = "20";
         },
         "grid_cropped (1).png", 30, 20, 60, 5, true},
        // 5:1 along the longer side: 100 x 20, centred at top 15.
        {"the custom ratio, without metadata and date",
         [](CropSettings& s, CustomRatio& r) {
             s.comboAutoCropFormat = kCustomAutoCropFormatIndex, r = {5, 1, true};
             s.checkKeepEXIFInformationAndCreationDate = false;
         },
         "grid_cropped (1).png", 100, 20, 0, 15, false},
        // The source's own type, under its own extension; 1:1 of 100 x 50 is centred at left 25.
        {"the original format",
         [](CropSettings& s, CustomRatio&) { s.comboFormat = AvailableFormats().IndexOfTitle("Original"); },
         "grid_cropped (1).PNG", 50, 50, 25, 0, true},
    };
    test::WriteCoordinateImage(sources.Path("grid.PNG"), 100, 50);
    test::SetModified(sources.Path("grid.PNG"), 981158400);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        CropSettings settings = SettingsFor(out.Path(), "PNG");
        CustomRatio ratio;
        c.set(settings, ratio);
        const CropRunResult result = CropImagesWork(BuildCropJob({sources.Path("grid.PNG")}, settings, ratio, {}), {});
        ASSERT_TRUE(result.allImagesCropped);
        EXPECT_EQ(test::SniffType(out.Path(c.file)), "png");
        const auto written = test::ReadImage(out.Path(c.file));
        EXPECT_EQ(written.width(), c.width);
        EXPECT_EQ(written.height(), c.height);
        EXPECT_EQ(test::CoordinateAt(written, 0, 0), (test::Coordinate{c.left, c.top}));
        EXPECT_EQ(test::ModifiedSeconds(out.Path(c.file)) == 981158400, c.dated);
    }
}

} // namespace
} // namespace trimlark
