#include "run/OutputNaming.h"

#include <gtest/gtest.h>

namespace trimlark {
namespace {

TEST(OutputFilePath, FollowsThePatternFormatAndFolder)
{
    const struct Case
    {
        const char* name;
        long long index;
        const char* source;
        const char* pattern;
        const char* format;
        const char* expected; // in the folder "/o"
    } cases[] = {
        {"default pattern", 0, "/in/IMG_1.JPG", "[FileName]_cropped ([FileIndex])", "jpg", "/o/IMG_1_cropped (1).jpg"},
        {"original: the source's extension as spelled", 0, "/in/IMG_1.JPG", "[FileName]", "original", "/o/IMG_1.JPG"},
        {"empty pattern is the base name alone", 0, "/in/IMG_1.JPG", "", "png", "/o/IMG_1.png"},
        {"no token numbers the outputs", 1, "/in/a.jpg", "small", "jpg", "/o/small (2).jpg"},
        {"index in the twelfth place, token twice", 11, "/in/a.jpg", "[FileIndex]-[FileIndex]", "tif", "/o/12-12.tif"},
        {"index token inside the source name stays", 2, "/in/[FileIndex].jpg", "[FileName]", "jpg",
         "/o/[FileIndex].jpg"},
        {"lower-case token is plain text", 0, "/in/a.jpg", "[filename]", "jpg", "/o/[filename] (1).jpg"},
        {"large index", 9999999999LL, "/in/a.jpg", "[FileIndex]", "bmp", "/o/10000000000.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetOutputFilePath(c.index, c.source, c.pattern, c.format, "/o"), c.expected);
    }
    EXPECT_EQ(GetOutputFilePath(0, "/in/a.jpg", "[FileName]", "jpg", "/o/"), "/o//a.jpg") << "the folder as typed";
}

} // namespace
} // namespace trimlark
