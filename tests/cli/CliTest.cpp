#include "TestImages.h"
#include "imaging/Codecs.h"
#include "profile/ProfileFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace trimlark {
namespace {

using test::TempFolder;

struct CliResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& argument)
{
    std::string quoted = "'";
    for (char c : argument)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class CliTest : public ::testing::Test
{
protected:
    // The text with "%in" and "%out" standing for the input and output folders.
    std::string Expand(std::string text) const
    {
        for (const auto& [token, folder] : {std::pair{"%in", in.Path()}, std::pair{"%out", out.Path()}})
            for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + folder.size()))
                text.replace(at, std::string_view(token).size(), folder);
        return text;
    }

    // Runs the tool in the work folder with standard input from a file (never a terminal).
    CliResult Run(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        test::WriteBytes(work.Path("stdin.txt"), input);
        // A tool that hangs is killed and fails the test instead of stopping the suite.
        std::string command = "cd " + Quoted(work.Path()) + " && timeout 120 " + Quoted(TRIMLARK_CLI_PATH);
        for (const std::string& argument : arguments)
            command += " " + Quoted(Expand(argument));
        const int status = std::system((command + " <stdin.txt >stdout.txt 2>stderr.txt").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadBytes(work.Path("stdout.txt")),
                test::ReadBytes(work.Path("stderr.txt"))};
    }

    TempFolder work;
    TempFolder in;
    TempFolder out;
};

// A folder gives its images (not its other files, not its sub-folders) sorted by name; a file given twice is
// cropped once; a missing file is listed, and fails to load.
TEST_F(CliTest, ExitCodesMessagesAndTheLinePerImage)
{
    const char* kDone = "Images cropped successfully.\n";
    const char* kFailed = "Some images could not be cropped.\n";
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        const char* out; // the whole standard output
        const char* err; // a part of standard error
    };
    const Case cases[] = {
        {"an image", {"%in/a.png", "-o", "%out"}, 0, kDone, "[1/1] %in/a.png -> %out/a_cropped (1).jpg (written)\n"},
        {"a folder",
         {"%in/pictures", "-o", "%out"},
         0,
         kDone,
         "[1/2] %in/pictures/b.png -> %out/b_cropped (1).jpg (written)\n"
         "[2/2] %in/pictures/c.PNG -> %out/c_cropped (2).jpg (written)\n"},
        {"a file given twice", {"%in/a.png", "%in/a.png", "-o", "%out"}, 0, kDone, "[1/1] "},
        {"a missing image",
         {"%in/none.jpg", "%in/a.png", "-o", "%out"},
         1,
         kFailed,
         "%in/none.jpg: could not be loaded: "},
        {"a missing output folder",
         {"%in/a.png", "-o", "%out/x"},
         1,
         kFailed,
         "%in/a.png: could not be saved as %out/x/a_"},
        {"neither images nor a folder: the images first", {}, 2, "", "There are no images to crop.\n"},
        {"no output folder", {"%in/a.png", "-o", ""}, 2, "", "Please select an output folder.\n"},
        {"a refused crop", {"%in/a.png", "-o", "%out", "--crop", "pixels:1,2,3"}, 2, "", "four numbers"},
        {"an unknown format", {"%in/a.png", "-o", "%out", "-f", "webp"}, 2, "", "Unknown format \"webp\""},
        {"a missing profile", {"%in/a.png", "-o", "%out", "-p", "%in/none.tlp"}, 2, "", "Could not load profile.\n"},
        {"an unknown option", {"%in/a.png", "-o", "%out", "--fast"}, 2, "", "--fast"},
    };
    test::WriteCoordinateImage(in.Path("a.png"), 30, 20);
    std::filesystem::create_directories(in.Path("pictures/sub"));
    test::WriteCoordinateImage(in.Path("pictures/c.PNG"), 30, 20);
    test::WriteCoordinateImage(in.Path("pictures/b.png"), 30, 20);
    test::WriteCoordinateImage(in.Path("pictures/sub/d.png"), 30, 20);
    test::WriteBytes(in.Path("pictures/notes.txt"), "not an image");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : std::filesystem::directory_iterator(out.Path()))
            std::filesystem::remove_all(entry.path());
        const CliResult result = Run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, c.out);
        EXPECT_NE(result.err.find(Expand(c.err)), std::string::npos) << result.err;
    }
}

// The options are read back from the profile they save: each reaches the setting its control would set.
TEST_F(CliTest, OptionsReachTheSettings)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> options;
        void (*expect)(CropSettings&, CustomRatio&); // applied to the defaults
    };
    const Case cases[] = {
        {"pixels from a corner, format, quality, name and metadata",
         {"--crop", "pixels:10,5.5,30,20", "--corner", "TOP-RIGHT", "-f", "tif", "-q", "35", "-n", "x",
          "--strip-metadata"},
         [](CropSettings& s, CustomRatio&) {
             s.radioAutoCrop = false, s.radioCustomCrop = true, s.radioCustomCropPixels = true;
             s.radioCustomCropPercents = false, s.comboOriginCorner = static_cast<int>(OriginCorner::TopRight);
             s.textFieldCustomCropPixelsOriginX = "10", s.textFieldCustomCropPixelsOriginY = "5.5";
             s.textFieldCustomCropPixelsWidth = "30", s.textFieldCustomCropPixelsHeight = "20";
             s.comboFormat = AvailableFormats().IndexOfTitle("TIF"), s.sliderQuality = 35;
             s.textFieldName = "x", s.checkKeepEXIFInformationAndCreationDate = false;
         }},
        {"percents",
         {"--crop", "percents:10,5,70,80"},
         [](CropSettings& s, CustomRatio&) {
             s.radioAutoCrop = false, s.radioCustomCrop = true;
             s.textFieldCustomCropPercentsOriginX = "10", s.stepperCustomCropPercentsOriginX = 10;
             s.textFieldCustomCropPercentsOriginY = "5", s.stepperCustomCropPercentsOriginY = 5;
             s.textFieldCustomCropPercentsWidth = "70", s.stepperCustomCropPercentsWidth = 70;
             s.textFieldCustomCropPercentsHeight = "80", s.stepperCustomCropPercentsHeight = 80;
         }},
        {"a custom ratio as given",
         {"--crop", "auto:5:3", "--width-as-given"},
         [](CropSettings& s, CustomRatio& r) {
             s.comboAutoCropFormat = kCustomAutoCropFormatIndex, r = {5, 3, false};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{"--save-profile", "%out/saved.tlp"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliResult result = Run(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const auto saved = LoadProfileFile(out.Path("saved.tlp"), {}, AvailableFormats());
        ASSERT_TRUE(saved);
        ProfileContent expected;
        c.expect(expected.settings, expected.customRatio);
        EXPECT_EQ(saved->settings, expected.settings);
        EXPECT_EQ(saved->customRatio, expected.customRatio);
    }
}

// A run from a saved profile writes the bytes the same options write, and options given with the profile
// apply over it.
TEST_F(CliTest, SavedProfileReproducesTheRun)
{
    const std::vector<std::string> options{"--crop", "percents:10,5,70,80", "--corner", "top-right", "-n", "p"};
    test::WriteCoordinateImage(in.Path("s.png"), 64, 48);
    std::vector<std::string> save{"--save-profile", "%in/saved.tlp", "-f", "PNG"};
    save.insert(save.end(), options.begin(), options.end());
    ASSERT_EQ(Run(save).exitCode, 0);
    std::vector<std::string> direct{"%in/s.png", "-o", "%out/direct", "-f", "bmp"};
    direct.insert(direct.end(), options.begin(), options.end());
    std::filesystem::create_directory(out.Path("direct"));
    std::filesystem::create_directory(out.Path("profile"));
    ASSERT_EQ(Run(direct).exitCode, 0);
    ASSERT_EQ(Run({"%in/s.png", "-o", "%out/profile", "-p", "%in/saved.tlp", "-f", "bmp"}).exitCode, 0);

    EXPECT_EQ(test::SniffType(out.Path("profile/p (1).bmp")), "bmp");
    EXPECT_EQ(test::ReadImage(out.Path("profile/p (1).bmp")).width(), 44); // 70 % of 64 = 44.8
    EXPECT_EQ(test::ReadBytes(out.Path("profile/p (1).bmp")), test::ReadBytes(out.Path("direct/p (1).bmp")));
}

TEST_F(CliTest, ExistingFilesFollowTheOverwriteAnswers)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> options;
        std::string input;
        std::size_t questions;
        std::vector<bool> replaced;
    };
    const Case cases[] = {
        {"no terminal and no option: keep", {}, "", 0, {false, false, false}},
        {"yes", {"--overwrite", "yes"}, "", 0, {true, true, true}},
        {"no, then yes to all", {"--overwrite", "ask"}, "n\na\n", 2, {false, true, true}},
        {"an unknown word asks again; no to all", {"--overwrite", "ask"}, "maybe\ny\no\n", 3, {true, false, false}},
        {"the end of input keeps the rest", {"--overwrite", "ask"}, "y\n", 2, {true, false, false}},
    };
    for (int i = 0; i < 3; ++i)
        test::WriteCoordinateImage(in.Path("s" + std::to_string(i) + ".png"), 40, 30);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{"%in", "-o", "%out", "-f", "png", "-n", "[FileName]"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        for (int i = 0; i < 3; ++i)
            test::WriteBytes(out.Path("s" + std::to_string(i) + ".png"), "an earlier file");
        const CliResult result = Run(arguments, c.input);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(Count(result.err, "already exists. Do you want to overwrite it?"), c.questions);
        EXPECT_EQ(Count(result.err, ": skipped, the existing file is kept\n"),
                  std::count(c.replaced.begin(), c.replaced.end(), false));
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const std::string file = out.Path("s" + std::to_string(i) + ".png");
            EXPECT_EQ(test::ReadBytes(file) == "an earlier file", !c.replaced[i]);
            EXPECT_EQ(test::SniffType(file), c.replaced[i] ? "png" : "");
        }
    }
}

} // namespace
} // namespace trimlark
