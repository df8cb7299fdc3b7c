#include "run/CropJob.h"

#include "TestImages.h"
#include "imaging/Codecs.h"
#include "run/RunMemory.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <thread>

namespace trimlark {
namespace {

using test::TempFolder;
using Kind = ImageOutcome::Kind;

const OverwriteQuestion AlwaysYes = [](const std::string&) { return OverwriteAnswer::Yes; };

// The default steps, with the save of the image from firstSource held back: a later image in flight would
// finish first if nothing kept them in order.
CropSteps FirstSaveHeldBack(const std::string& firstSource)
{
    CropSteps steps = CropSteps::Default();
    steps.save = [firstSource, save = steps.save](const WorkingImage& image, auto... rest) {
        if (image.SourcePath() == firstSource)
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return save(image, rest...);
    };
    return steps;
}

// Four 40 x 30 coordinate images src<i>.png; settings that write them as "src<i>_cropped (<i + 1>).jpg" into
// the output folder, auto 1:1 (the defaults but the folder).
class CropRunTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ImageTools::Initialize(); }

    void SetUp() override
    {
        for (int i = 0; i < 4; ++i) {
            paths.push_back(sources.Path("src" + std::to_string(i) + ".png"));
            test::WriteCoordinateImage(paths.back(), 40, 30);
        }
        settings.textFieldOutputFolder = outputs.Path();
    }

    std::string Output(std::size_t index, const TempFolder& folder) const
    {
        return folder.Path("src" + std::to_string(index) + "_cropped (" + std::to_string(index + 1) + ").jpg");
    }

    TempFolder sources;
    TempFolder outputs;
    std::vector<std::string> paths;
    CropSettings settings;
};

// Two images in flight, the first one's save held back. Outputs 0 to 2 exist and the user agrees to replace
// each: a failed image keeps its old file, and the run goes on. A stop asked for while image 0 is in flight
// lets it finish whole and starts no other image (that row first: output 3 does not exist yet).
TEST_F(CropRunTest, ResultsComeInListOrderAndAFailedImageKeepsItsOldFile)
{
    test::WriteBytes(paths[1], test::TruncatedJpeg());
    test::WriteBytes(paths[2], "\x89PNG but then nothing");
    using enum ImageOutcome::Kind;
    const struct Case
    {
        const char* name;
        std::size_t starts; // the images started before the stop
        std::vector<double> progress;
        std::vector<Kind> kinds;
    } cases[] = {
        {"a stop once image 0 started", 1, {0.0}, {Replaced, NotStarted, NotStarted, NotStarted}},
        {"no stop", 4, {0.0, 0.25, 0.5, 0.75}, {Replaced, LoadFailed, LoadFailed, Written}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < 3; ++i)
            test::WriteBytes(Output(i, outputs), "the only copy");
        std::vector<double> progress;
        std::vector<std::size_t> reported;
        std::size_t asked = 0;
        const CropRunResult result = CropImagesWork(BuildCropJob(paths, settings, {}, AlwaysYes),
                                                    {[&](double p) { progress.push_back(p); },
                                                     [&](const ImageOutcome& o) { reported.push_back(o.index); },
                                                     [&] { return ++asked > c.starts; }},
                                                    2, FirstSaveHeldBack(paths[0]));

        EXPECT_EQ(result.stopped, c.starts < 4);
        EXPECT_EQ(result.allImagesCropped, result.stopped); // the failing images 1 and 2 start only without a stop
        EXPECT_EQ(progress, c.progress);
        EXPECT_EQ(reported, (std::vector<std::size_t>{0, 1, 2, 3}));
        for (std::size_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            const ImageOutcome& o = result.outcomes.at(i);
            const bool written = o.kind == Replaced || o.kind == Written;
            EXPECT_EQ(o.kind, c.kinds[i]);
            EXPECT_EQ(o.outputPath, Output(i, outputs));
            EXPECT_EQ(o.reason.empty(), o.kind != SaveFailed && o.kind != LoadFailed);
            const std::string bytes = test::ReadBytes(o.outputPath);
            if (!written)
                EXPECT_EQ(bytes, i < 3 ? "the only copy" : "");
            else // whole: 30 x 30 (40 x 30 landscape, 1:1), up to the JPEG end marker
                EXPECT_TRUE(test::ReadImage(o.outputPath).width() == 30 && bytes.ends_with("\xFF\xD9"));
        }
    }
}

// Every output exists beforehand (holding a marker) unless listed as new, or is the image's own source, which
// only the question about originals decides. An existing file is replaced by a complete one or left as it was.
TEST_F(CropRunTest, OverwriteAnswersDecideEachExistingFile)
{
    using A = OverwriteAnswer;
    using W = OverwriteAction;
    const struct Case
    {
        const char* name;
        std::vector<bool> exists;
        std::vector<A> answers; // in the order of the questions
        std::vector<W> actions;
        bool sources = false; // each image's output is its own source: "[FileName]", PNG, into the source folder
    } cases[] = {
        {"no to all at the first question", {true, true, true}, {A::NoToAll}, {W::Skip, W::Skip, W::Skip}},
        {"no, then yes to all", {true, true, true}, {A::No, A::YesToAll}, {W::Skip, W::Overwrite, W::Overwrite}},
        {"a new output after no to all", {true, false, true}, {A::NoToAll}, {W::Skip, W::Write, W::Skip}},
        {"yes, then no", {true, true, false}, {A::Yes, A::No}, {W::Overwrite, W::Skip, W::Write}},
        {"sources: no, then yes to all", {}, {A::No, A::YesToAll}, {W::Skip, W::Overwrite, W::Overwrite}, true},
    };
    const Kind kinds[] = {Kind::Written, Kind::Replaced, Kind::Skipped}; // by action
    paths.pop_back();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        settings.textFieldOutputFolder = c.sources ? sources.Path() : out.Path();
        if (c.sources) // the last row: the sources' own names, the sources' own type
            settings.textFieldName = "[FileName]", settings.comboFormat = AvailableFormats().IndexOfTitle("PNG");
        for (std::size_t i = 0; i < 3; ++i)
            if (!c.sources && c.exists[i])
                test::WriteBytes(Output(i, out), "an earlier file");
        std::size_t asked = 0;
        const OverwriteQuestion ask = [&](const std::string&) { return c.answers.at(asked++); };
        const CropJob job = BuildCropJob(paths, settings, {}, c.sources ? nullptr : ask, c.sources ? ask : nullptr);
        EXPECT_EQ(asked, c.answers.size());
        const CropRunResult result = CropImagesWork(job, {});
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(job.images[i].action, c.actions[i]);
            EXPECT_EQ(result.outcomes.at(i).kind, kinds[static_cast<int>(c.actions[i])]);
            if (c.sources) // a kept source is 40 wide, a replaced one 30 (1:1 of 40 x 30)
                EXPECT_EQ(test::ReadImage(paths[i]).width(), c.actions[i] == W::Skip ? 40 : 30);
            else
                EXPECT_EQ(test::SniffType(Output(i, out)), c.actions[i] == W::Skip ? "" : "jpeg");
        }
    }
}

// With two images in flight and the first one's save held back, what is written is what one image after
// another writes. No crop: an output's width tells its source.
TEST_F(CropRunTest, ImagesSharingAPathRunAsOneAfterAnother)
{
    // Same name in two folders, one new output: the earlier image's file counts as existing for the later one.
    test::WriteCoordinateImage(outputs.Path("src0.png"), 50, 30);
    settings.comboFormat = AvailableFormats().IndexOfTitle("PNG"), settings.radioAutoCrop = false;
    settings.textFieldName = "[FileName]", settings.textFieldOutputFolder = sources.Path("new");
    const struct Case
    {
        const char* name;
        OverwriteQuestion ask;
        Kind later;
        int width; // the first source is 40 wide, the later 50
    } cases[] = {{"no keeps the earlier image's file", {}, Kind::Skipped, 40},
                 {"yes, and the later image replaces it", AlwaysYes, Kind::Replaced, 50}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(settings.textFieldOutputFolder);
        std::filesystem::create_directory(settings.textFieldOutputFolder);
        const CropRunResult result =
            CropImagesWork(BuildCropJob({paths[0], outputs.Path("src0.png")}, settings, {}, c.ask), {}, 2,
                           FirstSaveHeldBack(paths[0]));
        EXPECT_EQ(result.outcomes.at(1).kind, c.later);
        EXPECT_EQ(test::ReadImage(sources.Path("new/src0.png")).width(), c.width);
    }

    // Image 0 (80 wide) writes 1.png, which image 1 reads: image 1 reads the cropped file, not the old one.
    test::WriteCoordinateImage(sources.Path("x.png"), 80, 20);
    test::WriteCoordinateImage(sources.Path("1.png"), 60, 20);
    settings.textFieldName = "[FileIndex]", settings.textFieldOutputFolder = sources.Path();
    settings.radioCustomCrop = true; // the left half
    settings.textFieldCustomCropPercentsOriginX = settings.textFieldCustomCropPercentsOriginY = "0";
    settings.textFieldCustomCropPercentsWidth = "50", settings.textFieldCustomCropPercentsHeight = "100";
    CropImagesWork(BuildCropJob({sources.Path("x.png"), sources.Path("1.png")}, settings, {}, {}, AlwaysYes), {}, 2,
                   FirstSaveHeldBack(sources.Path("x.png")));
    EXPECT_EQ(test::ReadImage(sources.Path("1.png")).width(), 40);
    EXPECT_EQ(test::ReadImage(sources.Path("2.png")).width(), 20);
}

// A file that appears at a free output path after the run was planned (another run, another program) is kept,
// unless the user said to replace every existing file.
TEST_F(CropRunTest, AFileThatAppearsAfterPlanningIsKeptUnlessAllAreReplaced)
{
    const auto yesToAll = [](const std::string&) { return OverwriteAnswer::YesToAll; };
    for (const bool replaceAll : {false, true}) {
        CropJob job = BuildCropJob({paths[0]}, settings, {}, replaceAll ? yesToAll : AlwaysYes);
        EXPECT_FALSE(job.replaceLateFiles); // nothing existed, so nothing was asked
        job.replaceLateFiles = replaceAll;
        test::WriteCoordinateImage(Output(0, outputs), 7, 7);
        EXPECT_EQ(CropAndSaveImage(job, 0).kind, replaceAll ? Kind::Written : Kind::Skipped);
        EXPECT_EQ(test::ReadImage(Output(0, outputs)).width(), replaceAll ? 30 : 7);
        EXPECT_EQ(BuildCropJob({paths[0]}, settings, {}, replaceAll ? yesToAll : AlwaysYes).replaceLateFiles,
                  replaceAll);
        std::filesystem::remove(Output(0, outputs));
    }
}

// The run's memory budget of 100, request by request. The requests are made in the order listed, each on a thread
// of its own once the one before holds its memory or waits; then they are given back in that order. Before each is
// given back, the requests holding memory are exactly those listed (by index).
TEST(MemoryBudget, ServesRequestsInTheirOrderAsTheirMemoryFits)
{
    const struct Case
    {
        const char* name;
        std::vector<double> requests;
        std::vector<std::string> holding; // before request i is given back
    } cases[] = {
        {"two that fit hold together", {40, 60}, {"01", "1"}},
        {"one that does not fit waits", {60, 50}, {"0", "1"}},
        {"a small one does not overtake a waiting large one", {60, 50, 10}, {"0", "12", "2"}}, // 10 fits beside 60
        {"more than the whole budget holds alone", {10, 120, 10}, {"0", "1", "2"}},
        {"more than the whole budget gives all it took back", {120, 60, 40}, {"0", "12", "2"}}, // 60 + 40 = 100
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryBudget budget(100);
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::optional<MemoryBudget::Hold>> holds(c.requests.size());
        const auto holding = [&] { // under the lock
            std::string indices;
            for (std::size_t i = 0; i < holds.size(); ++i)
                indices += holds[i] ? std::to_string(i) : "";
            return indices;
        };
        // Looks every millisecond, as a request that waits tells no one; the deadline is a safety net only.
        const auto waitUntil = [&](std::unique_lock<std::mutex>& lock, auto settled) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!settled() && std::chrono::steady_clock::now() < deadline)
                changed.wait_for(lock, std::chrono::milliseconds(1));
        };
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < c.requests.size(); ++i) {
            threads.emplace_back([&, i] {
                MemoryBudget::Hold hold = budget.Take(c.requests[i]);
                std::lock_guard lock(mutex);
                holds[i].emplace(std::move(hold));
                changed.notify_all();
            });
            std::unique_lock lock(mutex);
            waitUntil(lock, [&] { return holding().size() + budget.Waiting() == i + 1; });
        }
        for (std::size_t i = 0; i < c.requests.size(); ++i) {
            std::optional<MemoryBudget::Hold> given;
            {
                std::unique_lock lock(mutex);
                waitUntil(lock, [&] { return holding() == c.holding[i]; });
                EXPECT_EQ(holding(), c.holding[i]) << "before request " << i << " is given back";
                waitUntil(lock, [&] { return holds[i].has_value(); });
                if (holds[i])
                    given.emplace(std::move(*holds[i]));
                holds[i].reset();
            }
        }
        for (std::thread& thread : threads)
            thread.join();
    }
}

// Wiring: the run takes its images' memory from its budget, at the cost given or else each image's own estimate.
// Two lossless WebPs of one colour, 1000 x 1000, whose RGB (3 MB each) would fit 12 MB together but not their
// decoders' canvases. Each save looks for the other once the other's cost is known: beside it at once when both fit.
TEST_F(CropRunTest, ImagesInFlightShareTheMemoryBudget)
{
    std::vector<std::string> bombs;
    for (const char* name : {"flat0.webp", "flat1.webp"}) {
        bombs.push_back(sources.Path(name));
        vips::VImage::black(1000, 1000, vips::VImage::option()->set("bands", 3))
            .write_to_file((bombs.back() + "[lossless]").c_str());
    }
    const struct
    {
        double cost, budget; // no cost: the images' own estimates
        int together;
    } cases[] = {{40, 100, 2}, {0, 12e6, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cost);
        std::mutex mutex;
        std::condition_variable changed;
        int costed = 0, active = 0, most = 0;
        CropSteps steps = CropSteps::Default();
        steps.cost = [&, cost = steps.cost](const WorkingImage& image, OutputFormat format, bool lossless) {
            const double bytes = c.cost > 0 ? c.cost : cost(image, format, lossless);
            std::lock_guard lock(mutex);
            ++costed;
            changed.notify_all();
            return bytes;
        };
        steps.save = [&, save = steps.save](const WorkingImage& image, auto... rest) {
            {
                // The other, once it asked the budget, starts its save at once if its memory fits.
                std::unique_lock lock(mutex);
                most = std::max(most, ++active);
                changed.notify_all();
                changed.wait_for(lock, std::chrono::seconds(5), [&] { return costed == 2; });
                changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return active == 2; });
            }
            const SaveResult result = save(image, rest...);
            std::lock_guard lock(mutex);
            --active;
            return result;
        };
        CropJob job = BuildCropJob(c.cost > 0 ? std::vector{paths[0], paths[1]} : bombs, settings, {}, AlwaysYes);
        job.memoryBudget = c.budget;
        CropImagesWork(job, {}, 2, steps);
        EXPECT_EQ(most, c.together);
    }
}

// The settings reach each image. The source is a 100 x 50 coordinate image dated 2001-02-03, whose written
// pixels tell where they came from.
TEST_F(CropRunTest, TheSettingsReachEachImage)
{
    const std::string source = sources.Path("grid.PNG");
    test::WriteCoordinateImage(source, 100, 50);
    test::SetModified(source, 981158400);
    settings.comboFormat = AvailableFormats().IndexOfTitle("PNG");
    CropSettings pixels = settings; // 30 x 20 at 10 from the right, 5 from the top: left 100 - 30 - 10 = 60
    pixels.radioAutoCrop = false, pixels.radioCustomCrop = true, pixels.radioCustomCropPixels = true;
    pixels.textFieldCustomCropPixelsOriginX = "10", pixels.textFieldCustomCropPixelsOriginY = "5";
    pixels.textFieldCustomCropPixelsWidth = "30", pixels.textFieldCustomCropPixelsHeight = "20";
    pixels.comboOriginCorner = static_cast<int>(OriginCorner::TopRight);
    pixels.checkKeepEXIFInformationAndCreationDate = false;
    CropSettings offImage = pixels; // 200 from the right edge: the crop is refused, the whole image is written
    offImage.textFieldCustomCropPixelsOriginX = "200", offImage.textFieldName = "whole";
    CropSettings custom = settings; // 5:1 along the longer side: 100 x 20, centred at top 15
    custom.comboAutoCropFormat = kCustomAutoCropFormatIndex;
    custom.comboFormat = AvailableFormats().IndexOfTitle("Original"); // the source's type, under its extension
    CropSettings square = settings; // the default 1:1, centred: 50 x 50 at left (100 - 50) / 2 = 25
    square.textFieldName = "square";
    const struct Case
    {
        const char* name;
        const CropSettings& settings;
        const char* file;
        int width, height;
        test::Coordinate topLeft;
        bool dated;         // the output has the source's date
        bool whole = false; // marked as written whole, its crop refused
    } cases[] = {
        {"pixels from the top right, box off", pixels, "grid_cropped (1).png", 30, 20, {60, 5}, false},
        {"the custom ratio, in the original format", custom, "grid_cropped (1).PNG", 100, 20, {0, 15}, true},
        {"a crop off the image", offImage, "whole (1).png", 100, 50, {0, 0}, false, true},
        {"the centred square", square, "square (1).png", 50, 50, {25, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CropRunResult result = CropImagesWork(BuildCropJob({source}, c.settings, {5, 1, true}, {}), {});
        ASSERT_TRUE(result.allImagesCropped);
        EXPECT_EQ(result.outcomes.at(0).wholeImage, c.whole);
        EXPECT_EQ(test::SniffType(outputs.Path(c.file)), "png");
        const auto written = test::ReadImage(outputs.Path(c.file));
        EXPECT_EQ(std::pair(written.width(), written.height()), std::pair(c.width, c.height));
        EXPECT_EQ(test::CoordinateAt(written, 0, 0), c.topLeft);
        EXPECT_EQ(std::filesystem::last_write_time(outputs.Path(c.file)) == std::filesystem::last_write_time(source),
                  c.dated);
    }

    // A date that cannot be set (the output gone by then) is the written image's remark.
    CropSteps steps = CropSteps::Default();
    steps.save = [save = steps.save](const WorkingImage& image, const std::string& path, auto... rest) {
        const SaveResult saved = save(image, path, rest...);
        std::filesystem::remove(path);
        return saved;
    };
    custom.textFieldName = "undated";
    const ImageOutcome undated =
        CropImagesWork(BuildCropJob({source}, custom, {5, 1, true}, {}), {}, 1, steps).outcomes.at(0);
    EXPECT_EQ(undated.kind, Kind::Written);
    EXPECT_EQ(undated.reason, "its date cannot be set: No such file or directory");
}

// Each image's reason holds only what happened to that image, whatever runs beside it: damaged files of four
// formats among intact ones, three images in flight, run again and again (libvips keeps one error buffer for the
// whole process). A source whose pixels cannot be read is a load failure, whenever the decoder noticed it.
TEST_F(CropRunTest, EachImageIsToldOnlyWhatHappenedToItWithImagesInFlight)
{
    const vips::VImage noise = test::NoiseImage(600, 600);
    const std::string png = test::Encoded(noise, ".png"), jp2 = test::Encoded(noise, ".jp2");
    const auto garbled = [](std::string bytes) { // 64 bytes in the middle of its coded data changed
        for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
            bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
        return bytes;
    };
    const struct Case
    {
        const char* file;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"intact.png", png, ""},
        {"half.jpg", test::TruncatedJpeg(), "the file ends early"},
        {"garbled.png", garbled(png), "libpng read error"},
        {"half.jp2", jp2.substr(0, jp2.size() / 2), "the file ends early"},
        {"garbled.gif", garbled(test::Encoded(noise, ".gif")), "Invalid frame data"},
    };
    std::vector<std::string> files;
    for (int copy = 0; copy < 3; ++copy) {
        for (const Case& c : cases) {
            files.push_back(sources.Path(std::to_string(copy) + c.file));
            test::WriteBytes(files.back(), c.bytes);
        }
    }
    settings.comboFormat = AvailableFormats().IndexOfTitle("PNG");
    const auto yesToAll = [](const std::string&) { return OverwriteAnswer::YesToAll; };
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(run);
        const CropRunResult result = CropImagesWork(BuildCropJob(files, settings, {}, yesToAll), {}, 3);
        for (std::size_t i = 0; i < files.size(); ++i) {
            const Case& c = cases[i % std::size(cases)];
            SCOPED_TRACE(c.file);
            const ImageOutcome& o = result.outcomes.at(i);
            EXPECT_EQ(o.kind, *c.reason ? Kind::LoadFailed : run == 0 ? Kind::Written : Kind::Replaced);
            EXPECT_EQ(o.reason, c.reason);
        }
    }
}

} // namespace
} // namespace trimlark
