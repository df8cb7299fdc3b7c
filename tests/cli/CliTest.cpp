#include "TestImages.h"
#include "imaging/Codecs.h"
#include "profile/ProfileFile.h"

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
    // Runs the tool in the work folder with standard input from a file (never a terminal). "IN/" and "OUT/" at
    // the start of an argument stand for the input and output folders.
    CliResult Run(std::vector<std::string> arguments, const std::string& input = "")
    {
        test::WriteBytes(work.Path("stdin.txt"), input);
        // A tool that hangs is killed and fails the test instead of stopping the suite.
        std::string command = "cd " + Quoted(work.Path()) + " && timeout 120 " + Quoted(TRIMLARK_CLI_PATH);
        for (std::string& argument : arguments) {
            if (argument.rfind("IN/", 0) == 0)
                argument = in.Path(argument.substr(3));
            else if (argument.rfind("OUT/", 0) == 0)
                argument = out.Path(argument.substr(4));
            command += " " + Quoted(argument);
        }
        const int status = std::system((command + " <stdin.txt >stdout.txt 2>stderr.txt").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadBytes(work.Path("stdout.txt")),
                test::ReadBytes(work.Path("stderr.txt"))};
    }

    TempFolder work;
    TempFolder in;
    TempFolder out;
};

TEST_F(CliTest, ExitCodesAndMessages)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        const char* out; // the whole standard output, or for help a part of it
        const char* err; // a part of standard error
    };
    const Case cases[] = {
        {"every image cropped", {"IN/a.png", "-o", "OUT/"}, 0, "Images cropped successfully.\n", "(written)"},
        {"a folder's images", {"IN/pictures", "-o", "OUT/"}, 0, "Images cropped successfully.\n", "[2/2] "},
        {"an unreadable image",
         {"IN/a.png", "IN/bad.jpg", "-o", "OUT/"},
         1,
         "Some images could not be cropped.\n",
         "/bad.jpg: could not be loaded: "},
        {"a missing output folder",
         {"IN/a.png", "-o", "OUT/missing"},
         1,
         "Some images could not be cropped.\n",
         "/a.png: could not be saved as "},
        {"no images", {"-o", "OUT/"}, 2, "", "There are no images to crop.\n"},
        {"a folder without images", {"IN/empty", "-o", "OUT/"}, 2, "", "There are no images to crop.\n"},
        {"no output folder", {"IN/a.png"}, 2, "", "Please select an output folder.\n"},
        {"a refused crop", {"IN/a.png", "-o", "OUT/", "--crop", "pixels:1,2,3"}, 2, "", "four numbers"},
        {"a refused corner", {"IN/a.png", "-o", "OUT/", "--corner", "middle"}, 2, "", "not \"middle\""},
        {"an unknown format", {"IN/a.png", "-o", "OUT/", "-f", "webp"}, 2, "", "Unknown format \"webp\""},
        {"quality 0", {"IN/a.png", "-o", "OUT/", "-q", "0"}, 2, "", "quality"},
        {"keep and strip", {"IN/a.png", "-o", "OUT/", "--keep-metadata", "--strip-metadata"}, 2, "", "metadata"},
        {"a missing profile", {"IN/a.png", "-o", "OUT/", "-p", "IN/none.tlp"}, 2, "", "Could not load profile.\n"},
        {"a profile that cannot be saved", {"--save-profile", "OUT/missing/p.tlp"}, 2, "", "Could not save profile.\n"},
        {"an unknown option", {"IN/a.png", "-o", "OUT/", "--fast"}, 2, "", "--fast"},
        {"help", {"--help"}, 0, "--save-profile", ""},
    };
    test::WriteCoordinateImage(in.Path("a.png"), 30, 20);
    test::WriteBytes(in.Path("bad.jpg"), "not a JPEG");
    std::filesystem::create_directory(in.Path("empty"));
    std::filesystem::create_directory(in.Path("pictures"));
    test::WriteCoordinateImage(in.Path("pictures/b.png"), 30, 20);
    test::WriteCoordinateImage(in.Path("pictures/c.png"), 30, 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult result = Run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (std::string(c.name) == "help") {
            EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        } else {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
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
        {"pixels from a corner",
         {"--crop", "pixels:10,5.5,30,20", "--corner", "TOP-RIGHT"},
         [](CropSettings& s, CustomRatio&) {
             s.radioAutoCrop = false, s.radioCustomCrop = true, s.radioCustomCropPixels = true;
             s.radioCustomCropPercents = false, s.comboOriginCorner = static_cast<int>(OriginCorner::TopRight);
             s.textFieldCustomCropPixelsOriginX = "10", s.textFieldCustomCropPixelsOriginY = "5.5";
             s.textFieldCustomCropPixelsWidth = "30", s.textFieldCustomCropPixelsHeight = "20";
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
        {"a listed ratio", {"--crop", "auto:16:9"}, [](CropSettings& s, CustomRatio&) { s.comboAutoCropFormat = 3; }},
        {"a custom ratio as given",
         {"--crop", "auto:5:3", "--width-as-given"},
         [](CropSettings& s, CustomRatio& r) {
             s.comboAutoCropFormat = kCustomAutoCropFormatIndex, r = {5, 3, false};
         }},
        {"none", {"--crop", "none"}, [](CropSettings& s, CustomRatio&) { s.radioAutoCrop = false; }},
        {"format, quality, name and metadata",
         {"-f", "tif", "-q", "35", "-n", "x_[FileIndex]", "--strip-metadata"},
         [](CropSettings& s, CustomRatio&) {
             s.comboFormat = AvailableFormats().IndexOfTitle("TIF"), s.sliderQuality = 35;
             s.textFieldName = "x_[FileIndex]", s.checkKeepEXIFInformationAndCreationDate = false;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{"--save-profile", "OUT/saved.tlp"};
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
    std::vector<std::string> save{"--save-profile", "IN/saved.tlp", "-f", "PNG"};
    save.insert(save.end(), options.begin(), options.end());
    ASSERT_EQ(Run(save).exitCode, 0);
    std::vector<std::string> direct{"IN/s.png", "-o", "OUT/direct", "-f", "bmp"};
    direct.insert(direct.end(), options.begin(), options.end());
    std::filesystem::create_directory(out.Path("direct"));
    std::filesystem::create_directory(out.Path("profile"));
    ASSERT_EQ(Run(direct).exitCode, 0);
    ASSERT_EQ(Run({"IN/s.png", "-o", "OUT/profile", "-p", "IN/saved.tlp", "-f", "bmp"}).exitCode, 0);

    const std::string written = test::ReadBytes(out.Path("profile/p (1).bmp"));
    EXPECT_EQ(test::SniffType(out.Path("profile/p (1).bmp")), "bmp");
    EXPECT_EQ(test::ReadImage(out.Path("profile/p (1).bmp")).width(), 44); // 70 % of 64 = 44.8
    EXPECT_EQ(written, test::ReadBytes(out.Path("direct/p (1).bmp")));
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
        {"an unknown word is asked again, then no to all",
         {"--overwrite", "ask"},
         "maybe\ny\no\n",
         3,
         {true, false, false}},
        {"the end of input keeps the rest", {"--overwrite", "ask"}, "y\n", 2, {true, false, false}},
    };
    for (int i = 0; i < 3; ++i)
        test::WriteCoordinateImage(in.Path("s" + std::to_string(i) + ".png"), 40, 30);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{in.Path(), "-o", "OUT/", "-f", "png", "-n", "[FileName]"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        for (int i = 0; i < 3; ++i)
            test::WriteBytes(out.Path("s" + std::to_string(i) + ".png"), "an earlier file");
        const CliResult result = Run(arguments, c.input);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(Count(result.err, "already exists. Do you want to overwrite it?"), c.questions);
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
