#include "TestImages.h"
#include "cli/ProgressReporter.h"
#include "cli/SourceCollector.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace trimlark {
namespace {

TEST(SourceCollector, FilesInTheOrderGivenAndEachFoldersImagesByName)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments; // in the folder; "." is the folder itself
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"files as given, whatever their extension", {"b.png", "c.txt", "a.PNG"}, {"b.png", "c.txt", "a.PNG"}},
        {"a file given twice", {"b.png", "b.png", "a.PNG"}, {"b.png", "a.PNG"}},
        {"a missing file stays, to fail when loaded", {"none.jpg"}, {"none.jpg"}},
        // c.txt is no image, sub/ is not entered, folder.jpg/ is a folder
        {"a folder", {"."}, {"a.PNG", "b.png"}},
        {"a file, then its folder", {"b.png", "."}, {"b.png", "a.PNG"}},
    };
    test::TempFolder in;
    test::WriteBytes(in.Path("b.png"), "");
    test::WriteBytes(in.Path("a.PNG"), "");
    test::WriteBytes(in.Path("c.txt"), "");
    std::filesystem::create_directories(in.Path("sub"));
    std::filesystem::create_directories(in.Path("folder.jpg"));
    test::WriteBytes(in.Path("sub/d.png"), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments;
        for (const std::string& argument : c.arguments)
            arguments.push_back(argument == "." ? in.Path() : in.Path(argument));
        std::vector<std::string> expected;
        for (const std::string& name : c.expected)
            expected.push_back(in.Path(name));
        std::string reason;
        EXPECT_EQ(SourceCollector::CollectSourcePaths(arguments, &reason), expected) << reason;
    }
}

ImageOutcome Outcome(ImageOutcome::Kind kind, const char* source, const char* output)
{
    ImageOutcome outcome;
    outcome.kind = kind;
    outcome.sourcePath = source;
    outcome.outputPath = output;
    return outcome;
}

TEST(ProgressReporter, OneLinePerImageOrABarOnATerminal)
{
    using K = ImageOutcome::Kind;
    struct Case
    {
        const char* name;
        bool terminal;
        std::vector<ImageOutcome> outcomes;
        std::size_t count;
        std::vector<std::string> parts; // in this order
        std::size_t lines;
    };
    const Case cases[] = {
        {"lines",
         false,
         {Outcome(K::Written, "/in/a.jpg", "/out/a (1).jpg"), Outcome(K::Skipped, "/in/b.jpg", "/out/b (2).jpg"),
          Outcome(K::LoadFailed, "/in/c.jpg", "/out/c (3).jpg")},
         3,
         {"[1/3] /in/a.jpg -> /out/a (1).jpg (written)\n", "[2/3] /in/b.jpg: skipped",
          "[3/3] /in/c.jpg: could not be loaded\n"},
         3},
        // 1 of 4 fills a quarter of the 30 marks: 7
        {"a bar",
         true,
         {Outcome(K::Written, "/in/a.jpg", "/out/a.jpg"), Outcome(K::Replaced, "/in/b.jpg", "/out/b.jpg")},
         4,
         {"\r[#######.......................] 1/4", "\r[###############...............] 2/4", " left"},
         1},
        {"no image, no line", true, {}, 0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        ProgressReporter reporter(stream, c.terminal, c.count);
        for (const ImageOutcome& outcome : c.outcomes)
            reporter.ReportImage(outcome);
        reporter.Finish();
        std::string text(static_cast<std::size_t>(std::ftell(stream)), '\0');
        std::rewind(stream);
        text.resize(std::fread(text.data(), 1, text.size(), stream));
        std::fclose(stream);
        std::size_t at = 0;
        for (const std::string& part : c.parts) {
            const std::size_t found = text.find(part, at);
            EXPECT_NE(found, std::string::npos) << part << " in " << text;
            at = found == std::string::npos ? at : found + part.size();
        }
        EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), c.lines) << text;
    }
}

} // namespace
} // namespace trimlark
