#include "TestImages.h"
#include "cli/RunReport.h"
#include "imaging/Codecs.h"
#include "list/ListFile.h"
#include "profile/ProfileFile.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>

namespace trimlark {
namespace {

using namespace std::string_literals;

// Runs the tool as a user would, in a folder holding "out", naming files relative to it.
class CliTest : public ::testing::Test
{
protected:
    CliTest() { std::filesystem::create_directory(work.Path("out")); }

    // The exit status; standard input comes from a file (never a terminal). A tool that hangs is killed and fails
    // the test instead of stopping the suite.
    int Run(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        test::WriteBytes(work.Path("stdin.txt"), input);
        std::string command = "cd '" + work.Path() + "' && timeout 120 " + TRIMLARK_CLI_PATH;
        for (const std::string& argument : arguments)
            command += " '" + argument + "'"; // no argument here holds a quote
        const int status = std::system((command + " <stdin.txt >stdout.txt 2>stderr.txt").c_str());
        out = test::ReadBytes(work.Path("stdout.txt"));
        err = test::ReadBytes(work.Path("stderr.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test::TempFolder work;
    std::string out, err;
};

// A folder gives its images (not its other files, not its sub-folders) sorted by name; a file given twice is
// cropped once; a missing file is listed, and fails to load; a crop that cuts nothing is warned of. The rows run
// in order on one output folder.
TEST_F(CliTest, ExitCodesMessagesAndTheLinePerImage)
{
    const std::string longName(300, 'x');
    const char* outs[] = {"Images cropped successfully.", "Some images could not be cropped."}; // by exit code
    const struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        const char* err;                // a part of standard error
        std::array<int, 4> counts = {}; // written, replaced, skipped and failed, on the last line of a run
        std::string input = "";
    } cases[] = {
        {"an image", {"a.png", "-o", "out"}, 0, "[1/1] a.png -> out/a_cropped (1).jpg (written)\n", {1, 0, 0, 0}},
        {"a folder", {"p", "-o", "out"}, 0, "[2/2] p/c.PNG -> out/c_cropped (2).jpg (written)\n", {2, 0, 0, 0}},
        {"a folder's tree", {"-r", "p", "-o", "out", "-nt"}, 0, "[3/3] p/sub/d.png -> out/t (3).jpg", {3, 0, 0, 0}},
        {"numbered from 41", {"a.png", "-o", "out", "--first-index=41"}, 0, "out/a_cropped (41).jpg", {1, 0, 0, 0}},
        // Blank lines are no paths; a path listed twice is cropped once, a missing one fails to load.
        {"a list", {"--files-from=list.txt", "-o", "out", "-nl"}, 1, "none.jpg: could not be loaded", {1, 0, 0, 1}},
        {"a NUL-separated list on standard input",
         {"-0", "--files-from", "-", "-o", "out", "-nz"},
         0,
         "[3/3] a.png -> out/z (3).jpg",
         {3, 0, 0, 0},
         "p\0a.png\0"s},
        {"lossless asked of a PNG",
         {"a.png", "-o", "out", "--lossless-jpeg", "--overwrite=yes"},
         0,
         "a.png: re-encoded: the source is not a JPEG\n",
         {0, 1, 0, 0}},
        {"a budget smaller than an image",
         {"p", "-o", "out", "--memory-budget=0.001", "--overwrite=yes"},
         0,
         "(2).jpg",
         {0, 2, 0, 0}},
        // Without a terminal and without --overwrite, an existing output is kept.
        {"a file under two spellings",
         {"a.png", "./a.png", "-o", "out", "--overwrite=yes"},
         0,
         "./a.png is the same file as a.png; it is cropped once\n[1/1] a.png",
         {0, 1, 0, 0}},
        {"control characters in a name", {"\x1b]0;x\a.png", "-o", "out"}, 1, "\\x1b]0;x\\x07.png: could", {0, 0, 0, 1}},
        // A missing output folder is made, with its parents; a file in its way refuses the run before any image.
        {"a missing output folder", {"a.png", "-o", "o2/o3"}, 0, "a.png -> o2/o3/a_cropped (1).jpg (wr", {1, 0, 0, 0}},
        {"a file as the output folder",
         {"a.png", "-o", "a.png"},
         2,
         "The output folder a.png is a file, not a folder."},
        // An output whose status cannot be read is no existing file to keep: the image fails.
        {"a name too long to check", {"a.png", "-o", "out", "-n", longName}, 1, "File name too long\n", {0, 0, 0, 1}},
        {"a crop that cuts nothing",
         {"a.png", "-o", "out", "--crop", "pixels:0,0,0,0", "--overwrite", "yes"},
         0,
         "a.png: the crop is refused (it cuts nothing out of this image); the whole image is written\n",
         {0, 1, 0, 0}},
        {"source kept", {"a.png", "-o.", "-n[FileName]", "-fpng", "--overwrite=yes"}, 0, "original", {0, 0, 1, 0}},
        {"replace source", {"a.png", "-o.", "-n[FileName]", "-fpng", "--replace-sources"}, 0, "replaced", {0, 1, 0, 0}},
        {"neither images nor a folder: the images first", {}, 2, "There are no images to crop.\n"},
        {"no output folder", {"a.png", "-o", ""}, 2, "Please select an output folder.\n"},
        {"a refused crop", {"a.png", "-o", "out", "--crop", "pixels:1,2,3"}, 2, "four numbers"},
        {"a missing list", {"--files-from=none.txt", "-o", "out"}, 2, "the list none.txt: No such file"},
        {"a binary list", {"--files-from", "-", "-o", "out"}, 2, "line 2 holds a NUL byte", {}, "a.png\n\x89\0"s},
        {"a list without separators",
         {"--files-from=-", "-o", "out"},
         2,
         "longer than 4096",
         {},
         std::string(5000, 'x')},
        {"numbered from 0", {"a.png", "-o", "out", "--first-index", "0"}, 2, "--first-index"},
        {"a report that cannot be written", {"a.png", "-o", "out", "--report", "no/r"}, 2, "report no/r: No such"},
        {"no memory budget", {"a.png", "-o", "out", "--memory-budget", "0"}, 2, "--memory-budget"},
        {"an unknown format", {"a.png", "-o", "out", "-f", "psd"}, 2, "Unknown format \"psd\""},
        {"a missing profile",
         {"a.png", "-o", "out", "-p", "none.tlp"},
         2,
         "Could not load profile. No such file or directory.\n"},
        // The profile loads; the run is refused.
        {"a name outside the folder", {"a.png", "-o", "out", "-p", "escape.tlp"}, 2, "cannot contain \"/\""},
        {"an unknown option", {"a.png", "-o", "out", "--fast"}, 2, "--fast"},
    };
    std::filesystem::create_directories(work.Path("p/sub"));
    for (const char* image : {"a.png", "p/c.PNG", "p/b.png", "p/sub/d.png"})
        test::WriteCoordinateImage(work.Path(image), 30, 20);
    test::WriteBytes(work.Path("p/notes.txt"), "not an image");
    test::WriteBytes(work.Path("list.txt"), "a.png\n\nnone.jpg\na.png");
    ProfileContent escape;
    escape.settings.textFieldName = "../escaped-[FileName]";
    ASSERT_TRUE(SaveProfileFile(work.Path("escape.tlp"), escape, AvailableFormats()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(c.arguments, c.input), c.exitCode) << err;
        const auto [w, r, s, f] = c.counts;
        EXPECT_EQ(out, c.exitCode == 2 ? ""
                                       : std::string(outs[c.exitCode]) + " (" + std::to_string(w) + " written, " +
                                             std::to_string(r) + " replaced, " + std::to_string(s) + " skipped, " +
                                             std::to_string(f) + " failed)\n");
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
        EXPECT_EQ(err.find_first_of("\x1b\a"), std::string::npos) << "control characters reach the terminal";
        EXPECT_EQ(err.find("refused") == std::string::npos, std::string(c.err).find("refused") == std::string::npos);
    }
}

// A dry run says what a run would do and writes nothing; the report says, one JSON object a line, what it did.
// A name that is no UTF-8 gets U+FFFD in the report.
TEST_F(CliTest, DryRunAndReportEachImage)
{
    for (const char* image : {"a.png", "b.png"})
        test::WriteCoordinateImage(work.Path(image), 30, 20);
    test::WriteBytes(work.Path("out/b.jpg"), "an earlier file");
    const struct Case
    {
        const char* option;
        std::array<const char*, 4> outcomes;
        std::string_view firstReason = "";
    } cases[] = {
        {"--dry-run", {"write", "skip", "refuse", "refuse"}},
        {"--jobs=2", {"written", "skipped", "load-failed", "load-failed"}},
        {"--crop=pixels:0,0,0,0", {"written", "skipped", "load-failed", "load-failed"}, kWholeImageText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        std::filesystem::remove(work.Path("out/a.jpg")); // each run writes it anew
        EXPECT_EQ(
            Run({"a.png", "b.png", "none.png", "\xff.png", "-o", "out", "-n", "[FileName]", "--report=-", c.option}),
            1);
        std::istringstream lines(out);
        const char* sources[] = {"a.png", "b.png", "none.png", "\xef\xbf\xbd.png"};
        for (int i = 0; i < 4; ++i) {
            std::string line;
            std::getline(lines, line);
            const auto report = nlohmann::json::parse(line, nullptr, false);
            ASSERT_TRUE(report.is_object()) << line;
            EXPECT_EQ(report["source"], sources[i]);
            EXPECT_EQ(report["output"], "out/" + std::string(sources[i], std::strlen(sources[i]) - 4) + ".jpg");
            EXPECT_EQ(report["outcome"], c.outcomes[i]);
            if (i == 0)
                EXPECT_EQ(report["reason"], c.firstReason) << line;
            else
                EXPECT_NE(report["reason"], "") << line;
            EXPECT_GE(report["milliseconds"], 0);
        }
        EXPECT_EQ(test::SniffType(work.Path("out/a.jpg")), c.outcomes[0] == "write"s ? "" : "jpeg");
        EXPECT_EQ(test::ReadBytes(work.Path("out/b.jpg")), "an earlier file");
    }
}

// A list file's images join the run with their adjusted crops, which the report gives; the report reads back as a
// list, a name that is no UTF-8 included. A crops file adjusts images given otherwise, whatever their spelling.
TEST_F(CliTest, ListFilesReachTheJobAndTheReportReadsBackAsOne)
{
    for (const char* image : {"a.png", "b.png", "\xff.png"})
        test::WriteCoordinateImage(work.Path(image), 30, 20);
    const CropAdjustment crop{CropAdjustment::Kind::Rectangle, 1, 2, 20, 10};
    const CropAdjustment centre{CropAdjustment::Kind::Centre, 12.5, 8, 0, 0};
    ASSERT_TRUE(SaveListFile(work.Path("l.jsonl"), {{work.Path("\xff.png"), centre}, {work.Path("a.png"), crop}}));
    std::filesystem::create_directory(work.Path("sub"));
    const struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        const char* report;
        std::vector<ListEntry> reported; // the report read as a list
    } cases[] = {
        {"a list", {"--list", "l.jsonl"}, "sub/r.jsonl", {{"\xff.png", centre}, {"a.png", crop}}},
        // The report of the row above lies in sub/: its paths, above it, are absolute.
        {"the report of a list", {"--list", "sub/r.jsonl"}, "r.jsonl", {{"\xff.png", centre}, {"a.png", crop}}},
        {"crops over images given otherwise",
         {"b.png", "./a.png", "--crops", "l.jsonl"},
         "r.jsonl",
         {{"b.png", {}}, {"a.png", crop}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{"-o", "out", "--dry-run", "--report", c.report};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        ASSERT_EQ(Run(arguments), 0) << err; // every image is found: none would be refused
        std::string reason;
        const auto reported = ReadListFile(work.Path(c.report), &reason);
        ASSERT_TRUE(reported) << reason;
        ASSERT_EQ(reported->size(), c.reported.size());
        for (std::size_t i = 0; i < c.reported.size(); ++i) {
            EXPECT_TRUE(std::filesystem::equivalent((*reported)[i].path, work.Path(c.reported[i].path))) << i;
            EXPECT_EQ((*reported)[i].adjustment, c.reported[i].adjustment) << i;
        }
    }
    // The run writes each listed crop: the rectangle itself of a pixel crop.
    ASSERT_EQ(Run({"--list", "l.jsonl", "-o", "out", "-f", "png", "-n", "[FileName]", "--crop", "pixels:0,0,5,5"}), 0)
        << err;
    const vips::VImage written = test::ReadImage(work.Path("out/a.png"));
    EXPECT_EQ(std::pair(written.width(), written.height()), std::pair(20, 10));
    EXPECT_EQ(test::CoordinateAt(written, 0, 0), (test::Coordinate{1, 2}));
    EXPECT_NE(out.find("; 2 crops adjusted by hand"), std::string::npos) << out;
    // A refused list stops the run before anything is written.
    test::WriteBytes(work.Path("bad.jsonl"), "{\"path\": \"a.png\"}\n\n{\"path\": \"a.png\", \"crop\": {\"x\": 1}}\n");
    EXPECT_EQ(Run({"--list", "bad.jsonl", "-o", "new"}), 2);
    EXPECT_EQ(err, "Cannot read --list bad.jsonl: line 3: the crop has no top edge (y).\n");
    EXPECT_FALSE(std::filesystem::exists(work.Path("new")));
}

// A dry run says what it would do with the output folder (make it, or refuse the run for it) and writes nothing,
// not even a profile asked for.
TEST_F(CliTest, DryRunPlansTheOutputFolderAndWritesNothing)
{
    test::WriteCoordinateImage(work.Path("a.png"), 30, 20);
    const struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        const char* out; // a part of standard output
        const char* absent;
    } cases[] = {
        {"a missing folder", {"-o", "new/deep"}, 0, "create: new/deep\nwrite: a.png -> new/deep/a.jpg\n", "new"},
        {"a file in the way", {"-o", "a.png/o"}, 2, "refuse: a.png -> a.png/o/a.jpg (The output folder a.png/o ", ""},
        {"a profile to save", {"-o", "out", "--save-profile", "p.tlp"}, 0, "save: p.tlp\n", "p.tlp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{"a.png", "-n", "[FileName]", "--dry-run"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(Run(arguments), c.exitCode) << err;
        EXPECT_NE(out.find(c.out), std::string::npos) << out;
        if (*c.absent) {
            EXPECT_FALSE(std::filesystem::exists(work.Path(c.absent)));
        }
    }
}

// The options are read back from the profile they save: each reaches the setting its control would set.
TEST_F(CliTest, OptionsReachTheSettings)
{
    ASSERT_EQ(Run({"--save-profile", "a.tlp", "--crop", "pixels:10,5.5,30,20", "--corner", "TOP-RIGHT", "-f", "tif",
                   "-q", "35", "-n", "x", "--strip-metadata"}),
              0);
    CropSettings s;
    s.radioAutoCrop = false, s.radioCustomCrop = true, s.radioCustomCropPixels = true,
    s.radioCustomCropPercents = false;
    s.textFieldCustomCropPixelsOriginX = "10", s.textFieldCustomCropPixelsOriginY = "5.5";
    s.textFieldCustomCropPixelsWidth = "30", s.textFieldCustomCropPixelsHeight = "20";
    s.comboOriginCorner = static_cast<int>(OriginCorner::TopRight),
    s.comboFormat = AvailableFormats().IndexOfTitle("tif");
    s.sliderQuality = 35, s.textFieldName = "x", s.checkKeepEXIFInformationAndCreationDate = false;
    EXPECT_EQ(LoadProfileFile(work.Path("a.tlp"), {}, AvailableFormats()).value().settings, s);

    ASSERT_EQ(Run({"--save-profile", "b.tlp", "--crop", "auto:5:3", "--width-as-given"}), 0);
    const ProfileContent ratio = LoadProfileFile(work.Path("b.tlp"), {}, AvailableFormats()).value();
    EXPECT_EQ(ratio.settings.comboAutoCropFormat, kCustomAutoCropFormatIndex);
    EXPECT_EQ(ratio.customRatio, (CustomRatio{5, 3, false}));

    // An existing profile is replaced only under the answer that replaces existing images.
    for (const std::string answer : {"no", "yes"}) {
        EXPECT_EQ(Run({"--save-profile", "b.tlp", "-n", answer, "--overwrite", answer}), answer == "yes" ? 0 : 1);
        const auto kept = LoadProfileFile(work.Path("b.tlp"), {}, AvailableFormats()).value();
        EXPECT_EQ(kept.settings.textFieldName == "yes", answer == "yes");
    }
}

// The size options reach the run; a value no run can make, and a size with the lossless crop, refuse the run
// with the option named.
TEST_F(CliTest, SizeOptionsScaleTheOutputOrAreRefused)
{
    test::WriteCoordinateImage(work.Path("s.png"), 64, 48);
    ASSERT_EQ(Run({"s.png", "-o", "out", "-f", "png", "-n", "f", "--fit", "40x30", "--fill", "#ff0000"}), 0) << err;
    const vips::VImage filled = test::ReadImage(work.Path("out/f (1).png"));
    EXPECT_EQ(std::pair(filled.width(), filled.height()), std::pair(40, 30)); // the 48 x 48 crop at 30 x 30
    EXPECT_EQ(filled.getpoint(0, 0), (std::vector<double>{255, 0, 0}));
    ASSERT_EQ(Run({"s.png", "-o", "out", "-n", "n", "--size", "100x100", "--no-enlarge"}), 0) << err;
    EXPECT_NE(err.find("s.png: not enlarged: the crop is 48 x 48"), std::string::npos) << err;

    const struct Case
    {
        std::vector<std::string> arguments;
        const char* err;
    } refusals[] = {
        {{"--size", "0x10"}, "--size 0x10: the width is not a whole number of pixels from 1 to 65535."},
        {{"--size", "10"}, "--size takes WxH in pixels (e.g. 1080x1080), not \"10\"."},
        {{"--print", "10x15@300"}, "--print takes WxHUNIT@PPI"},
        {{"--fit", "10x10", "--fill", "bluish"}, "--fill takes a colour"},
        {{"--fill", "white"}, "--fill requires --fit"},
        {{"--size", "10x10", "--long-side", "5"}, "excludes"},
        {{"--size", "10x10", "--lossless-jpeg"}, "--lossless-jpeg copies the kept blocks and cannot scale them"},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.err);
        std::vector<std::string> arguments{"s.png", "-o", "refused"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(Run(arguments), 2);
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(work.Path("refused")));
    }
}

// "--crop trim" cuts each picture's border away and writes a picture without one whole, saying so; values out of
// their range are refused.
TEST_F(CliTest, TheBorderTrimCutsTheFrameAway)
{
    // A grey 60 x 40 picture on a white frame 20 pixels wide, and a flat one.
    (vips::VImage::black(60, 40, vips::VImage::option()->set("bands", 3)) + 90)
        .embed(20, 20, 100, 80, vips::VImage::option()->set("extend", VIPS_EXTEND_WHITE))
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file(work.Path("framed.png").c_str());
    (vips::VImage::black(50, 50) + 200).cast(VIPS_FORMAT_UCHAR).write_to_file(work.Path("flat.png").c_str());
    ASSERT_EQ(Run({"framed.png", "flat.png", "-o", "out", "-f", "png", "-n", "[FileName]", "--crop", "trim:10,5"}), 0)
        << err;
    const vips::VImage trimmed = test::ReadImage(work.Path("out/framed.png"));
    // The picture and 5 pixels around it, give or take the one pixel the search's smoothing may add on each side.
    EXPECT_NEAR(trimmed.width(), 70, 2);
    EXPECT_NEAR(trimmed.height(), 50, 2);
    EXPECT_EQ(test::ReadImage(work.Path("out/flat.png")).width(), 50);
    EXPECT_NE(err.find("flat.png: no border found: the whole image is written"), std::string::npos) << err;
    for (const char* bad : {"trim:101", "trim:5,-1", "trim:x", "trim:1,2,3"}) {
        EXPECT_EQ(Run({"framed.png", "-o", "out", "--crop", bad}), 2) << bad;
        EXPECT_NE(err.find("A trim takes trim, trim:TOLERANCE or trim:TOLERANCE,MARGIN"), std::string::npos) << err;
    }
}

// A run from a saved profile crops as the profile says, and an option given with it applies over it.
TEST_F(CliTest, ASavedProfileRunsItsCrop)
{
    test::WriteCoordinateImage(work.Path("s.png"), 64, 48);
    ASSERT_EQ(Run({"--save-profile", "p.tlp", "--crop", "percents:10,5,70,80", "--corner", "top-right", "-n", "p"}), 0);
    ASSERT_EQ(Run({"s.png", "-o", "out", "-p", "p.tlp", "-f", "bmp"}), 0) << err;
    EXPECT_EQ(test::SniffType(work.Path("out/p (1).bmp")), "bmp");
    // 70 % x 80 % of 64 x 48 is 44.8 x 38.4 -> 44 x 38, from the top right at 6.4, 2.4: the right edge
    // 64 - 6.4 = 57.6 -> 58 stays, so left 58 - 44 = 14; top 2.4 -> 2.
    const vips::VImage written = test::ReadImage(work.Path("out/p (1).bmp"));
    EXPECT_EQ(std::pair(written.width(), written.height()), std::pair(44, 38));
    EXPECT_EQ(test::CoordinateAt(written, 0, 0), (test::Coordinate{14, 2}));
}

// "--position subject" moves the automatic crop onto the one busy block of a flat picture; centred, it is flat.
TEST_F(CliTest, TheSubjectPositionCropsTheBusyPart)
{
    (vips::VImage::black(1200, 200, vips::VImage::option()->set("bands", 3)) + 128)
        .insert(test::NoiseImage(100, 100), 900, 50)
        .cast(VIPS_FORMAT_UCHAR)
        .pngsave(work.Path("s.png").c_str());
    for (const std::string position : {"centre", "subject"}) {
        ASSERT_EQ(Run({"s.png", "-o", "out", "-n", position, "-f", "png", "--position", position}), 0) << err;
        const vips::VImage written = test::ReadImage(work.Path("out/" + position + " (1).png"));
        EXPECT_EQ(written.width(), 200);
        EXPECT_EQ(written.deviate() > 30, position == "subject") << position;
    }
}

// Three outputs exist; the answers typed decide which are replaced.
TEST_F(CliTest, ExistingFilesFollowTheOverwriteAnswers)
{
    const struct Case
    {
        const char* name;
        std::string option;
        std::string input;
        std::size_t questions;
        std::vector<bool> replaced;
    } cases[] = {
        {"yes", "yes", "", 0, {true, true, true}},
        {"no, then yes to all", "ask", "n\na\n", 2, {false, true, true}},
        {"an unknown word asks again; no to all", "ask", "maybe\ny\no\n", 3, {true, false, false}},
        {"the end of input keeps the rest", "ask", "y\n", 2, {true, false, false}},
    };
    std::filesystem::create_directory(work.Path("s"));
    for (const char* name : {"0.png", "1.png", "2.png"})
        test::WriteCoordinateImage(work.Path("s/") + name, 40, 30);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* name : {"0.png", "1.png", "2.png"})
            test::WriteBytes(work.Path("out/") + name, "an earlier file");
        EXPECT_EQ(Run({"s", "-o", "out", "-f", "png", "-n", "[FileName]", "--overwrite", c.option}, c.input), 0);
        EXPECT_EQ(std::count(err.begin(), err.end(), '?'), c.questions) << "Do you want to overwrite it?";
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(test::SniffType(work.Path("out/" + std::to_string(i) + ".png")), c.replaced[i] ? "png" : "") << i;
    }
}

} // namespace
} // namespace trimlark
