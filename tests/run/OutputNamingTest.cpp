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
        const char* folder;
        const char* expected;
    } cases[] = {
        {"default pattern", 0, "/in/IMG_0001.JPG", "[FileName]_cropped ([FileIndex])", "jpg", "/out",
         "/out/IMG_0001_cropped (1).jpg"},
        {"original keeps the source's extension and case", 0, "/in/IMG_0001.JPG",
         "[FileName]_cropped ([FileIndex])", "original", "/out", "/out/IMG_0001_cropped (1).JPG"},
        {"empty pattern is the base name alone", 0, "/in/IMG_0001.JPG", "", "png", "/out", "/out/IMG_0001.png"},
        {"no token numbers the outputs", 1, "/in/a.jpg", "small", "jpg", "/out", "/out/small (2).jpg"},
        {"index without name", 1, "/in/a.jpg", "img_[FileIndex]", "tif", "/out", "/out/img_2.tif"},
        {"index in the twelfth place", 11, "/in/a.jpg", "[FileIndex]", "jpg", "/o", "/o/12.jpg"},
        {"token twice", 0, "/in/beach.jpg", "[FileName]-[FileName]", "jpg", "/out", "/out/beach-beach.jpg"},
        {"only the last extension goes", 0, "/photos/beach.2019.jpg", "[FileName]", "jpeg", "/out",
         "/out/beach.2019.jpeg"},
        {"index token inside the source name is replaced too", 2, "/in/x[FileIndex].png", "[FileName]", "png",
         "/out", "/out/x3.png"},
        {"source without extension, original", 0, "/in/notes", "[FileName]_cropped ([FileIndex])", "original",
         "/out", "/out/notes_cropped (1)."},
        {"trailing slash on the folder is kept", 0, "/in/a.jpg", "[FileName]", "jpg", "/out/", "/out//a.jpg"},
        {"lower-case token is plain text", 0, "/in/a.jpg", "[filename]", "jpg", "/out",
         "/out/[filename] (1).jpg"},
        {"other brackets are copied", 0, "/in/a.jpg", "[x] [FileName]", "gif", "/out", "/out/[x] a.gif"},
        {"hidden file has no extension", 0, "/in/.hidden", "[FileName]", "original", "/out", "/out/.hidden."},
        {"large index", 9999999999LL, "/in/a.jpg", "[FileIndex]", "bmp", "/o", "/o/10000000000.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetOutputFilePath(c.index, c.source, c.pattern, c.format, c.folder), c.expected);
    }
}

TEST(OutputFilePath, SameBaseNameInTwoFoldersGivesOnePath)
{
    EXPECT_EQ(GetOutputFilePath(0, "/a/photo.jpg", "[FileName]", "png", "/out"),
              GetOutputFilePath(1, "/b/photo.jpeg", "[FileName]", "png", "/out"));
}

} // namespace
} // namespace trimlark
