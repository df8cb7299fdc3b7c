#include "run/CropJob.h"

#include "TestImages.h"
#include "imaging/Codecs.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
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

OverwriteQuestion Answering(std::vector<OverwriteAnswer> answers, std::vector<std::string>* asked)
{
    return [answers, asked](const std::string& path) {
        asked->push_back(path);
        return asked->size() <= answers.size() ? answers[asked->size() - 1] : OverwriteAnswer::No;
    };
}

OverwriteAnswer AlwaysYes(const std::string&)
{
    return OverwriteAnswer::Yes;
}

// The default steps, with the first listed image's save held back so that a later image in flight would
// finish first if nothing kept them in order. Records the order of the saves.
CropSteps FirstSaveHeldBack(const std::string& firstSource, std::vector<std::string>* saved)
{
    CropSteps steps = CropSteps::Default();
    steps.save = [firstSource, saved, mutex = std::make_shared<std::mutex>()](
                     const WorkingImage& image, const std::string& path, OutputFormat format, double quality, bool keep,
                     std::string* reason) {
        if (image.SourcePath() == firstSource)
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        {
            std::lock_guard lock(*mutex);
            saved->push_back(image.SourcePath());
        }
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
    const CropJob job = BuildCropJob(paths, SettingsFor(outputs.Path()), {}, {});
    std::vector<std::string> saved;
    std::vector<double> progress;
    std::vector<std::size_t> reported;
    const CropRunResult result = CropImagesWork(
        job, {[&](double p) { progress.push_back(p); }, [&](const ImageOutcome& o) { reported.push_back(o.index); }}, 2,
        FirstSaveHeldBack(paths[0], &saved));

    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(saved.back(), paths[0]) << "the images did run side by side";
    EXPECT_EQ(progress, (std::vector<double>{0.0, 0.25, 0.5, 0.75}));
    EXPECT_EQ(reported, (std::vector<std::size_t>{0, 1, 2, 3}));
    ASSERT_EQ(result.outcomes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const ImageOutcome& o = result.outcomes[i];
        EXPECT_EQ(o.kind, Kind::Written);
        EXPECT_EQ(o.outputPath,
                  outputs.Path("src" + std::to_string(i) + "_cropped (" + std::to_string(i + 1) + ").jpg"));
        EXPECT_EQ(test::SniffType(o.outputPath), "jpeg");
        const auto out = test::ReadImage(o.outputPath);
        EXPECT_EQ(out.width(), 30); // 40 x 30 landscape, 1:1 -> 30 x 30
        EXPECT_EQ(out.height(), 30);
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
    const auto paths = MakeSources(3);
    const std::string marker = "not an image, left by an earlier run";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        for (std::size_t i = 0; i < 3; ++i)
            if (c.exists[i])
                test::WriteBytes(out.Path("src" + std::to_string(i) + "_cropped (" + std::to_string(i + 1) + ").jpg"),
                                 marker);
        std::vector<std::string> asked;
        const CropJob job = BuildCropJob(paths, SettingsFor(out.Path()), {}, Answering(c.answers, &asked));
        EXPECT_EQ(asked.size(), c.questions);
        const CropRunResult result = CropImagesWork(job, {});
        EXPECT_TRUE(result.allImagesCropped);
        ASSERT_EQ(result.outcomes.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const ImageOutcome& o = result.outcomes[i];
            EXPECT_EQ(job.images[i].action, c.actions[i]);
            const Kind expected = c.actions[i] == W::Skip    ? Kind::Skipped
                                  : c.actions[i] == W::Write ? Kind::Written
                                                             : Kind::Replaced;
            EXPECT_EQ(o.kind, expected);
            if (expected == Kind::Skipped)
                EXPECT_EQ(test::ReadBytes(o.outputPath), marker);
            else
                EXPECT_EQ(test::SniffType(o.outputPath), "jpeg");
        }
    }
}

TEST_F(CropRunTest, TwoImagesOnOneOutputPathAreWrittenInListOrder)
{
    TempFolder other;
    test::WriteCoordinateImage(sources.Path("pic.png"), 40, 30);
    test::WriteCoordinateImage(other.Path("pic.png"), 50, 30);
    CropSettings settings = SettingsFor(outputs.Path(), "PNG");
    settings.textFieldName = "[FileName]";
    settings.radioAutoCrop = false; // no crop: the output's width tells the source
    std::vector<std::string> asked;
    const CropJob job = BuildCropJob({sources.Path("pic.png"), other.Path("pic.png")}, settings, {},
                                     Answering({OverwriteAnswer::NoToAll}, &asked));
    EXPECT_TRUE(asked.empty()) << "neither existed when the run was planned";
    std::vector<std::string> saved;
    const CropRunResult result = CropImagesWork(job, {}, 2, FirstSaveHeldBack(sources.Path("pic.png"), &saved));
    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(saved, (std::vector<std::string>{sources.Path("pic.png"), other.Path("pic.png")}));
    EXPECT_EQ(test::ReadImage(outputs.Path("pic.png")).width(), 50); // the later one
}

// Image 0 writes the file that image 1 reads: image 1 reads the cropped file, as one after another would.
TEST_F(CropRunTest, AnImageReadsWhatAnEarlierImageWroteToItsSource)
{
    test::WriteCoordinateImage(sources.Path("x.png"), 80, 20);
    test::WriteCoordinateImage(sources.Path("1.png"), 60, 20);
    CropSettings settings = SettingsFor(sources.Path(), "PNG");
    settings.textFieldName = "[FileIndex]";
    settings.radioAutoCrop = false;
    settings.radioCustomCrop = true;
    settings.textFieldCustomCropPercentsOriginX = "0";
    settings.textFieldCustomCropPercentsOriginY = "0";
    settings.textFieldCustomCropPercentsWidth = "50";
    settings.textFieldCustomCropPercentsHeight = "100";
    const CropJob job = BuildCropJob({sources.Path("x.png"), sources.Path("1.png")}, settings, {}, AlwaysYes);
    std::vector<std::string> saved;
    const CropRunResult result = CropImagesWork(job, {}, 2, FirstSaveHeldBack(sources.Path("x.png"), &saved));
    EXPECT_TRUE(result.allImagesCropped);
    EXPECT_EQ(test::ReadImage(sources.Path("1.png")).width(), 40); // half of x.png's 80
    EXPECT_EQ(test::ReadImage(sources.Path("2.png")).width(), 20); // half of that, not half of the old 60
}

TEST_F(CropRunTest, FailuresAreRecordedAndTheRunGoesOn)
{
    enum class Source
    {
        Good,
        Text,
        Missing,
        Truncated, // the header reads, the pixels do not
    };
    struct Case
    {
        const char* name;
        bool folderExists;
        bool outputsExist; // each replaced on the user's yes
        std::vector<Source> sources;
        std::vector<Kind> kinds;
    };
    const Case cases[] = {
        {"a missing output folder fails every save",
         false,
         false,
         {Source::Good, Source::Good},
         {Kind::SaveFailed, Kind::SaveFailed}},
        {"an unreadable source",
         true,
         false,
         {Source::Good, Source::Text, Source::Good},
         {Kind::Written, Kind::LoadFailed, Kind::Written}},
        {"a missing source", true, false, {Source::Missing, Source::Good}, {Kind::LoadFailed, Kind::Written}},
        {"a replacement that cannot be saved keeps the old file",
         true,
         true,
         {Source::Truncated, Source::Good},
         {Kind::SaveFailed, Kind::Replaced}},
    };
    const std::string marker = "the only copy";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder in;
        TempFolder out;
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < c.sources.size(); ++i) {
            paths.push_back(in.Path("s" + std::to_string(i) + ".jpg"));
            if (c.sources[i] == Source::Good)
                test::WriteCoordinateImage(paths.back(), 20, 20);
            else if (c.sources[i] == Source::Text)
                test::WriteBytes(paths.back(), "\xFF\xD8\xFF but then nothing");
            else if (c.sources[i] == Source::Truncated) {
                test::NoiseImage(200, 200).jpegsave(paths.back().c_str());
                test::Truncate(paths.back(), test::ReadBytes(paths.back()).size() / 2);
            }
            if (c.outputsExist)
                test::WriteBytes(out.Path("s" + std::to_string(i) + "_cropped (" + std::to_string(i + 1) + ").jpg"),
                                 marker);
        }
        const std::string folder = c.folderExists ? out.Path() : out.Path("missing");
        std::vector<double> progress;
        const CropRunResult result = CropImagesWork(BuildCropJob(paths, SettingsFor(folder), {}, AlwaysYes),
                                                    {[&](double p) { progress.push_back(p); }, {}});
        EXPECT_FALSE(result.allImagesCropped);
        EXPECT_EQ(progress.size(), paths.size());
        ASSERT_EQ(result.outcomes.size(), c.kinds.size());
        for (std::size_t i = 0; i < c.kinds.size(); ++i) {
            SCOPED_TRACE(i);
            const ImageOutcome& o = result.outcomes[i];
            const bool failed = c.kinds[i] == Kind::LoadFailed || c.kinds[i] == Kind::SaveFailed;
            EXPECT_EQ(o.kind, c.kinds[i]);
            EXPECT_EQ(o.reason.empty(), !failed);
            if (c.outputsExist)
                EXPECT_EQ(test::ReadBytes(o.outputPath) == marker, failed);
            else
                EXPECT_EQ(std::filesystem::exists(o.outputPath), !failed);
        }
    }
}

// The settings reach each image's crop: a 100 x 50 coordinate image, whose written pixels tell where they came from.
TEST_F(CropRunTest, EachCropModeAndCornerReachesTheImage)
{
    struct Case
    {
        const char* name;
        void (*set)(CropSettings&, CustomRatio&);
        int width, height, left, top;
    };
    const Case cases[] = {
        // The default percents 20/20/60/60 from the bottom left: 60 x 30 at x 20, top 50 - 10 - 30 = 10.
        {"percents", [](CropSettings& s, CustomRatio&) { s.radioAutoCrop = false, s.radioCustomCrop = true; }, 60, 30,
         20, 10},
        // 30 x 20 at 10 from the right, 5 from the top: left 100 - 30 - 10 = 60.
        {"pixels from the top right",
         [](CropSettings& s, CustomRatio&) {
             s.radioAutoCrop = false, s.radioCustomCrop = true, s.radioCustomCropPixels = true;
             s.comboOriginCorner = static_cast<int>(OriginCorner::TopRight);
             s.textFieldCustomCropPixelsOriginX = "10", s.textFieldCustomCropPixelsOriginY = "5";
             s.textFieldCustomCropPixelsWidth = "30", s.textFieldCustomCropPixelsHeight = "20";
         },
         30, 20, 60, 5},
        {"none", [](CropSettings& s, CustomRatio&) { s.radioAutoCrop = false; }, 100, 50, 0, 0},
        {"auto 1:1", [](CropSettings&, CustomRatio&) {}, 50, 50, 25, 0},
        // 5:1 along the longer side: 100 x 20, centred at top 15.
        {"auto with the custom ratio",
         [](CropSettings& s, CustomRatio& r) {
             s.comboAutoCropFormat = kCustomAutoCropFormatIndex;
             r = {5, 1, true};
         },
         100, 20, 0, 15},
    };
    test::WriteCoordinateImage(sources.Path("grid.png"), 100, 50);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        CropSettings settings = SettingsFor(out.Path(), "PNG");
        CustomRatio ratio;
        c.set(settings, ratio);
        const CropRunResult result = CropImagesWork(BuildCropJob({sources.Path("grid.png")}, settings, ratio, {}), {});
        ASSERT_TRUE(result.allImagesCropped);
        const auto written = test::ReadImage(result.outcomes.at(0).outputPath);
        EXPECT_EQ(written.width(), c.width);
        EXPECT_EQ(written.height(), c.height);
        EXPECT_EQ(test::CoordinateAt(written, 0, 0), (test::Coordinate{c.left, c.top}));
    }
}

// A photo cropped in place keeps its date when metadata and date are kept, as a copy elsewhere does.
TEST_F(CropRunTest, TheDateIsCarriedOnlyWhenKept)
{
    struct Case
    {
        const char* name;
        bool keep;
        bool overSource;
    };
    const Case cases[] = {{"kept, over its own source", true, true},
                          {"kept, into another folder", true, false},
                          {"not kept", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        const std::string source = sources.Path("dated.png");
        test::WriteCoordinateImage(source, 80, 40);
        test::SetModified(source, 981158400); // 2001-02-03
        CropSettings settings = SettingsFor(c.overSource ? sources.Path() : out.Path(), "Original");
        settings.textFieldName = "[FileName]";
        settings.checkKeepEXIFInformationAndCreationDate = c.keep;
        const CropRunResult result = CropImagesWork(BuildCropJob({source}, settings, {}, AlwaysYes), {});
        ASSERT_TRUE(result.allImagesCropped);
        const ImageOutcome& o = result.outcomes.at(0);
        EXPECT_EQ(o.kind, c.overSource ? Kind::Replaced : Kind::Written);
        EXPECT_EQ(test::SniffType(o.outputPath), "png");
        EXPECT_EQ(test::CoordinateAt(test::ReadImage(o.outputPath), 0, 0).x, 20); // 1:1 of 80 x 40, centred
        EXPECT_EQ(test::ModifiedSeconds(o.outputPath) == 981158400, c.keep);
    }
}

TEST(CropRunChecks, ListThenFolder)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> list;
        const char* folder;
        std::string_view refusal; // empty: the run may start
    };
    const Case cases[] = {
        {"empty list and folder", {}, "", kNoImagesMessage},
        {"empty folder", {"/in/a.jpg"}, "", kNoOutputFolderMessage},
        {"a folder of spaces is a name", {"/in/a.jpg"}, "  ", ""},
        {"a folder that does not exist is not checked", {"/in/a.jpg"}, "/nowhere", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CropSettings settings;
        settings.textFieldOutputFolder = c.folder;
        std::string refusal;
        EXPECT_EQ(CheckCropRun(c.list, settings, &refusal), c.refusal.empty());
        EXPECT_EQ(refusal, c.refusal);
    }
}

} // namespace
} // namespace trimlark
