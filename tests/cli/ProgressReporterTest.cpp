#include "cli/ProgressReporter.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace trimlark {
namespace {

std::string Written(std::FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
        text += static_cast<char>(c);
    return text;
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
        {"a full bar", true, {Outcome(K::SaveFailed, "/in/a.jpg", "/out/a.jpg")}, 1, {"] 1/1  0:00 left"}, 1},
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
        const std::string text = Written(stream);
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
