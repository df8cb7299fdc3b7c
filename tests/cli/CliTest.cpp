#include "TestImages.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace trimlark {
namespace {

using testing::ProbeImage;
using testing::ReadBytes;
using testing::SniffType;
using testing::TemporaryFolder;
using testing::WriteBytes;
using testing::WriteCoordinateImage;

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
    static void SetUpTestSuite() { testing::StartVips(); }

    // Runs the tool in the work folder with standard input from a file (never a terminal).
    CliResult Run(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        WriteBytes(work_.File("stdin.txt"), input);
        // A tool that hangs is killed and fails the test instead of stopping the suite.
        std::string command = "cd " + Quoted(work_.Path()) + " && timeout 120 " + Quoted(TRIMLARK_CLI_PATH);
        for (const std::string& argument : arguments)
            command += " " + Quoted(argument);
        command += " <stdin.txt >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        CliResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadBytes(work_.File("stdout.txt"));
        result.err = ReadBytes(work_.File("stderr.txt"));
        return result;
    }

    std::string In(const std::string& name) { return in_.File(name); }
    std::string Out(const std::string& name) { return out_.File(name); }

    TemporaryFolder work_;
    TemporaryFolder in_;
    TemporaryFolder out_;
};

TEST_F(CliTest, ExitCodesAndMessages)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments; // "IN/" and "OUT/" stand for the input and output folders
        int exitCode;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {"every image cropped", {"IN/a.png", "-o", "OUT/"}, 0, "Images cropped successfully.\n", ""},
        {"an unreadable image",
         {"IN/a.png", "IN/bad.jpg", "-o", "OUT/"},
         1,
         "Some images could not be cropped.\n",
         "bad.jpg: could not be loaded: "},
        {"a named pipe is no image",
         {"IN/pipe.jpg", "IN/a.png", "-o", "OUT/"},
         1,
         "Some images could not be cropped.\n",
         "pipe.jpg: could not be loaded: "},
        {"a missing output folder",
         {"IN/a.png", "-o", "OUT/missing"},
         1,
         "Some images could not be cropped.\n",
         "a.png: could not be saved as "},
        {"no images", {"-o", "OUT/"}, 2, "", "There are no images to crop."},
        {"a folder without images", {"IN/empty", "-o", "OUT/"}, 2, "", "There are no images to crop."},
        {"no images and no folder: the list first", {}, 2, "", "There are no images to crop."},
        {"no output folder", {"IN/a.png"}, 2, "", "Please select an output folder."},
        {"an empty output folder", {"IN/a.png", "-o", ""}, 2, "", "Please select an output folder."},
        {"an unknown ratio", {"IN/a.png", "-o", "OUT/", "--crop", "auto:0:1"}, 2, "", "ratio"},
        {"three numbers for a rectangle", {"IN/a.png", "-o", "OUT/", "--crop", "pixels:1,2,3"}, 2, "", "four"},
        {"a rectangle with a word", {"IN/a.png", "-o", "OUT/", "--crop", "percents:1,2,x,4"}, 2, "", "\"x\""},
        {"a rectangle with two signs", {"IN/a.png", "-o", "OUT/", "--crop", "pixels:1,2,+-3,4"}, 2, "", "\"+-3\""},
        {"an unknown crop kind", {"IN/a.png", "-o", "OUT/", "--crop", "square"}, 2, "", "square"},
        {"an unknown corner", {"IN/a.png", "-o", "OUT/", "--corner", "middle"}, 2, "", "middle"},
        {"an unknown format", {"IN/a.png", "-o", "OUT/", "-f", "webp"}, 2, "", "webp"},
        {"an empty format", {"IN/a.png", "-o", "OUT/", "-f", ""}, 2, "", "Unknown format"},
        {"quality 0", {"IN/a.png", "-o", "OUT/", "-q", "0"}, 2, "", "quality"},
        {"quality 101", {"IN/a.png", "-o", "OUT/", "-q", "101"}, 2, "", "quality"},
        {"an unknown overwrite answer", {"IN/a.png", "-o", "OUT/", "--overwrite", "maybe"}, 2, "", "overwrite"},
        {"keep and strip", {"IN/a.png", "-o", "OUT/", "--keep-metadata", "--strip-metadata"}, 2, "", "metadata"},
        {"a missing profile", {"IN/a.png", "-o", "OUT/", "-p", "IN/none.tlp"}, 2, "", "Could not load profile."},
        {"a broken profile", {"IN/a.png", "-o", "OUT/", "-p", "IN/bad.jpg"}, 2, "", "Could not load profile."},
        {"a folder as the profile", {"IN/a.png", "-o", "OUT/", "-p", "IN/empty"}, 2, "", "Could not load profile."},
        {"an unknown option", {"IN/a.png", "-o", "OUT/", "--fast"}, 2, "", "--fast"},
        {"help", {"--help"}, 0, "--save-profile", ""},
    };
    WriteCoordinateImage(In("a.png"), 30, 20);
    WriteBytes(In("bad.jpg"), "not a JPEG");
    std::filesystem::create_directory(In("empty"));
    ASSERT_EQ(mkfifo(In("pipe.jpg").c_str(), 0600), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments;
        for (std::string argument : c.arguments) {
            if (argument.rfind("IN/", 0) == 0)
                argument = In(argument.substr(3));
            else if (argument.rfind("OUT/", 0) == 0)
                argument = Out(argument.substr(4));
            arguments.push_back(argument);
        }
        const CliResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (c.exitCode == 0 && *c.out != '-') {
            EXPECT_EQ(result.out, c.out);
        } else {
            EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        }
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
}

TEST_F(CliTest, FilesInTheOrderGivenAndFolderImagesByName)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments; // relative to the input folder; "." is the folder itself
        std::vector<std::string> outputs;   // expected names, each written
    };
    const Case cases[] = {
        {"files as given", {"b.png", "a.PNG"}, {"b_cropped (1).jpg", "a_cropped (2).jpg"}},
        {"a file given twice", {"b.png", "b.png", "a.PNG"}, {"b_cropped (1).jpg", "a_cropped (2).jpg"}},
        // c.txt is not an image, sub/ is not entered, "folder.jpg" is a folder
        {"a folder", {"."}, {"a_cropped (1).jpg", "b_cropped (2).jpg"}},
        {"a file, then its folder", {"b.png", "."}, {"b_cropped (1).jpg", "a_cropped (2).jpg"}},
    };
    WriteCoordinateImage(In("b.png"), 30, 20);
    WriteCoordinateImage(In("a.PNG"), 30, 20);
    WriteBytes(In("c.txt"), "text");
    std::filesystem::create_directory(In("sub"));
    std::filesystem::create_directory(In("folder.jpg"));
    WriteCoordinateImage(In("sub/d.png"), 30, 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder out;
        std::vector<std::string> arguments{"-o", out.Path()};
        for (const std::string& argument : c.arguments)
            arguments.push_back(argument == "." ? in_.Path() : In(argument));
        const CliResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::vector<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(out.Path()))
            written.push_back(entry.path().filename().string());
        std::sort(written.begin(), written.end());
        std::vector<std::string> expected = c.outputs;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(written, expected);
        EXPECT_EQ(Count(result.err, "(written)"), c.outputs.size());
    }
}

// The written pixels are checked against the source's coordinates: red is the column, green the row from the top.
TEST_F(CliTest, CropOptionsSetTheRectangle)
{
    struct Case
    {
        const char* name;
        int sourceWidth, sourceHeight;
        std::vector<std::string> options;
        int width, height;
        double left, top;
    };
    const Case cases[] = {
        {"the defaults: auto 1:1", 120, 80, {}, 80, 80, 20, 0},
        {"auto 3:2", 120, 80, {"--crop", "auto:3:2"}, 120, 80, 0, 0},
        // portrait 80 x 120, 1:2 with the width along the longer side: height / width = 1/2 -> 80 x 40
        {"custom ratio along the longer side", 80, 120, {"--crop", "auto:1:2"}, 80, 40, 0, 40},
        // width : height = 1 : 2 as given -> 60 x 120, centred
        {"custom ratio as given", 80, 120, {"--crop", "auto:1:2", "--width-as-given"}, 60, 120, 10, 0},
        // 50 x 30 at 10 from the right and 10 from the top: left 120 - 50 - 10 = 60
        {"pixels from the top right",
         120,
         80,
         {"--crop", "pixels:10,10,50,30", "--corner", "top-right"},
         50,
         30,
         60,
         10},
        // 25 % of 120 = 30 from the left, 25 % of 80 = 20 from the bottom: top 80 - 20 - 40 = 20
        {"percents from the bottom left", 120, 80, {"--crop", "percents:25,25,50,50"}, 60, 40, 30, 20},
        {"percents from the top left",
         120,
         80,
         {"--crop", "percents:0,10,50,50", "--corner", "TOP-LEFT"},
         60,
         40,
         0,
         8},
        {"none", 120, 80, {"--crop", "none"}, 120, 80, 0, 0},
        {"a rectangle beyond the image", 120, 80, {"--crop", "pixels:200,0,10,10"}, 120, 80, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder out;
        WriteCoordinateImage(In("s.png"), c.sourceWidth, c.sourceHeight);
        std::vector<std::string> arguments{In("s.png"), "-o", out.Path(), "-f", "png", "-n", "r"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliResult result = Run(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const auto probe = ProbeImage(out.File("r (1).png"));
        EXPECT_EQ(probe.width, c.width);
        EXPECT_EQ(probe.height, c.height);
        ASSERT_GE(probe.topLeft.size(), 2u);
        EXPECT_EQ(probe.topLeft[0], c.left);
        EXPECT_EQ(probe.topLeft[1], c.top);
    }
}

TEST_F(CliTest, FormatAndNameChooseTheFile)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> options;
        const char* file;
        const char* type;
    };
    const Case cases[] = {
        {"the defaults", {}, "s_cropped (1).jpg", "jpeg"},
        {"a format in lower case", {"-f", "png"}, "s_cropped (1).png", "png"},
        {"the source's own format", {"-f", "original"}, "s_cropped (1).PNG", "png"},
        {"a pattern with the index", {"-n", "x_[FileIndex]", "-f", "JPEG"}, "x_1.jpeg", "jpeg"},
        {"an empty pattern", {"-n", ""}, "s.jpg", "jpeg"},
    };
    WriteCoordinateImage(In("s.PNG"), 40, 30);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder out;
        std::vector<std::string> arguments{In("s.PNG"), "-o", out.Path()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliResult result = Run(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(SniffType(out.File(c.file)), c.type);
    }
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
        {"no", {"--overwrite", "no"}, "", 0, {false, false, false}},
        {"no, then yes to all", {"--overwrite", "ask"}, "n\na\n", 2, {false, true, true}},
        {"yes, then no to all", {"--overwrite", "ask"}, "y\no\n", 2, {true, false, false}},
        {"a word it does not know is asked again",
         {"--overwrite", "ask"},
         "maybe\nn\nn\nyes\n",
         4,
         {false, false, true}},
        {"the end of input keeps the rest", {"--overwrite", "ask"}, "y\n", 2, {true, false, false}},
    };
    for (int i = 0; i < 3; ++i)
        WriteCoordinateImage(In("s" + std::to_string(i) + ".png"), 40, 30);
    const std::string marker = "an earlier file";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder out;
        std::vector<std::string> arguments{in_.Path(), "-o", out.Path(), "-f", "png", "-n", "[FileName]"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        for (int i = 0; i < 3; ++i)
            WriteBytes(out.File("s" + std::to_string(i) + ".png"), marker);
        const CliResult result = Run(arguments, c.input);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, "Images cropped successfully.\n");
        EXPECT_EQ(Count(result.err, "already exists. Do you want to overwrite it?"), c.questions);
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const std::string file = out.File("s" + std::to_string(i) + ".png");
            EXPECT_EQ(SniffType(file), c.replaced[i] ? "png" : "");
            if (!c.replaced[i]) {
                EXPECT_EQ(ReadBytes(file), marker);
            }
        }
    }
}

// A profile saved with options gives, when loaded, the bytes the options give directly.
TEST_F(CliTest, SavedProfileReproducesTheRun)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> options;
    };
    const Case cases[] = {
        {"percents, PNG", {"--crop", "percents:10,5,70,80", "--corner", "top-right", "-f", "PNG", "-n", "p"}},
        {"custom ratio, JPEG, quality", {"--crop", "auto:5:3", "--width-as-given", "-q", "35", "--strip-metadata"}},
        {"pixels, TIFF", {"--crop", "pixels:3,4,20,10", "-f", "tif", "-n", "[FileIndex]-[FileName]"}},
    };
    WriteCoordinateImage(In("s.png"), 64, 48);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder direct;
        TemporaryFolder viaProfile;
        const std::string profile = work_.File("saved.tlp");

        std::vector<std::string> save{"--save-profile", profile};
        save.insert(save.end(), c.options.begin(), c.options.end());
        const CliResult saved = Run(save);
        ASSERT_EQ(saved.exitCode, 0) << saved.err;
        EXPECT_EQ(Count(ReadBytes(profile), "\n"), 25u);

        std::vector<std::string> run{In("s.png"), "-o", direct.Path()};
        run.insert(run.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Run(run).exitCode, 0);
        const CliResult loaded = Run({In("s.png"), "-o", viaProfile.Path(), "-p", profile});
        ASSERT_EQ(loaded.exitCode, 0) << loaded.err;

        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(direct.Path())) {
            ++files;
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(name);
            const std::string bytes = ReadBytes(entry.path().string());
            EXPECT_FALSE(bytes.empty());
            EXPECT_EQ(ReadBytes(viaProfile.File(name)), bytes);
        }
        EXPECT_EQ(files, 1u);
    }
}

// The profile goes in under a name of its own: a file beside it, whatever its name, stays as it was.
TEST_F(CliTest, SavingAProfileTouchesNoOtherFile)
{
    const std::string profile = work_.File("kept.tlp");
    const std::string neighbour = profile + ".part";
    WriteBytes(neighbour, "the user's own file");
    ASSERT_EQ(Run({"--save-profile", profile, "-f", "png"}).exitCode, 0);
    EXPECT_EQ(Count(ReadBytes(profile), "\n"), 25u);
    EXPECT_EQ(ReadBytes(neighbour), "the user's own file");
}

TEST_F(CliTest, OptionsApplyOverTheProfile)
{
    const std::string profile = work_.File("png.tlp");
    ASSERT_EQ(Run({"--save-profile", profile, "-f", "png", "-n", "kept"}).exitCode, 0);
    WriteCoordinateImage(In("s.png"), 40, 30);
    const CliResult result = Run({In("s.png"), "-o", out_.Path(), "-p", profile, "-f", "bmp"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(std::filesystem::exists(Out("kept (1).bmp")));
    EXPECT_FALSE(std::filesystem::exists(Out("kept (1).png")));
}

TEST_F(CliTest, OneOrTwoImagesInFlightWriteTheSameBytes)
{
    for (int i = 0; i < 6; ++i)
        WriteCoordinateImage(In("s" + std::to_string(i) + ".png"), 50 + 10 * i, 40, 20 * i);
    TemporaryFolder one;
    TemporaryFolder two;
    ASSERT_EQ(Run({in_.Path(), "-o", one.Path(), "-j", "1", "--crop", "percents:5,5,80,70"}).exitCode, 0);
    ASSERT_EQ(Run({in_.Path(), "-o", two.Path(), "-j", "2", "--crop", "percents:5,5,80,70"}).exitCode, 0);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const std::string name = "s" + std::to_string(i) + "_cropped (" + std::to_string(i + 1) + ").jpg";
        EXPECT_EQ(SniffType(one.File(name)), "jpeg");
        EXPECT_EQ(ReadBytes(one.File(name)), ReadBytes(two.File(name)));
    }
}

} // namespace
} // namespace trimlark
