#include "list/ImageListEditing.h"
#include "list/ImageListRules.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace trimlark {
namespace {

using Paths = std::vector<std::string>;

TEST(ImageListEditing, PanelFilesAppendInOrderWithoutDuplicatesOrEmptyPaths)
{
    struct Case
    {
        const char* name;
        Paths list;
        Paths chosen;
        Paths expected;
    };
    const Case cases[] = {
        {"appends in panel order", {"/a.jpg"}, {"/c.png", "/b.gif"}, {"/a.jpg", "/c.png", "/b.gif"}},
        // The first addition keeps its place; the repeated one is dropped.
        {"already listed keeps its first position",
         {"/a.jpg", "/b.jpg"},
         {"/a.jpg", "/c.jpg"},
         {"/a.jpg", "/b.jpg", "/c.jpg"}},
        {"twice in one panel result", {}, {"/x.png", "/x.png"}, {"/x.png"}},
        {"empty path skipped", {}, {"", "/y.tif"}, {"/y.tif"}},
        // The panel's type list is the only filter.
        {"no extension test", {}, {"/layers.psd"}, {"/layers.psd"}},
        {"case-sensitive comparison", {"/A.jpg"}, {"/a.jpg"}, {"/A.jpg", "/a.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Paths list = c.list;
        AddPanelFiles(list, c.chosen);
        EXPECT_EQ(list, c.expected);
    }
}

TEST(ImageListEditing, OpenedFilesAreFilteredByAcceptedExtension)
{
    struct Case
    {
        const char* name;
        Paths list;
        Paths opened;
        Paths expected;
    };
    const Case cases[] = {
        {"upper and mixed case extensions", {}, {"/p/A.JPG", "/p/b.Tiff"}, {"/p/A.JPG", "/p/b.Tiff"}},
        {"unknown type ignored", {"/p/a.jpg"}, {"/p/c.psd"}, {"/p/a.jpg"}},
        {"no extension ignored", {}, {"/p/README", "/p/.heic"}, {}},
        {"every accepted extension",
         {},
         {"/1.jpg", "/2.jpeg", "/3.jpe", "/4.jp2", "/5.jpx", "/6.png", "/7.gif", "/8.tif", "/9.tiff", "/10.bmp",
          "/11.heif", "/12.heic"},
         {"/1.jpg", "/2.jpeg", "/3.jpe", "/4.jp2", "/5.jpx", "/6.png", "/7.gif", "/8.tif", "/9.tiff", "/10.bmp",
          "/11.heif", "/12.heic"}},
        {"duplicate and empty skipped", {"/p/a.png"}, {"", "/p/a.png", "/p/b.png"}, {"/p/a.png", "/p/b.png"}},
        {"extension of the last component only", {}, {"/photos.jpg/raw"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Paths list = c.list;
        AddOpenedFiles(list, c.opened);
        EXPECT_EQ(list, c.expected);
    }
}

TEST(ImageListEditing, DroppedFilesMustExistBeNewAndAccepted)
{
    const std::set<std::string> onDisk{"/d/1.jpg", "/d/2.png", "/d/3.gif", "/d/listed.jpg", "/d/doc.txt", "/d/noext"};
    const auto exists = [&](const std::string& path) { return onDisk.count(path) > 0; };
    struct Case
    {
        const char* name;
        Paths dropped;
        Paths expected;
    };
    const Case cases[] = {
        {"drag order kept", {"/d/3.gif", "/d/1.jpg", "/d/2.png"}, {"/d/3.gif", "/d/1.jpg", "/d/2.png"}},
        {"missing file skipped", {"/d/gone.jpg", "/d/1.jpg"}, {"/d/1.jpg"}},
        // The next accepted item takes the skipped one's place.
        {"listed file skipped", {"/d/listed.jpg", "/d/2.png"}, {"/d/2.png"}},
        {"wrong or no extension skipped", {"/d/doc.txt", "/d/noext", "/d/3.gif"}, {"/d/3.gif"}},
        {"same file twice in one drop", {"/d/1.jpg", "/d/1.jpg"}, {"/d/1.jpg"}},
        {"nothing acceptable", {"/d/doc.txt"}, {}},
    };
    const Paths list{"/d/listed.jpg"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SelectDroppedFiles(list, c.dropped, exists), c.expected);
    }
}

TEST(ImageListRules, ExtensionsGiveAcceptanceAndRowIconInAnyCase)
{
    const struct Case
    {
        const char* path;
        const char* icon; // "" when the file is not taken
    } cases[] = {
        {"/a.jpg", "JPG"},   {"/a.JPEG", "JPG"},  {"/a.jpe", "JPG"},  {"/a.Jp2", "JPG"},     {"/a.jpx", "JPG"},
        {"/a.png", "PNG"},   {"/a.tif", "TIF"},   {"/a.TIFF", "TIF"}, {"/a.gif", "GIF"},     {"/a.bmp", "BMP"},
        {"/a.heif", "HEIF"}, {"/a.HEIC", "HEIC"}, {"/a.psd", ""},     {"/a.jfif", ""},       {"/noext", ""},
        {"/a/.jpg", ""},     {"/dir.png/file", ""}, {"/a.png.txt", ""}, {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(RowIconName(c.path), c.icon);
        EXPECT_EQ(HasAcceptedExtension(c.path), *c.icon != '\0');
    }
    EXPECT_EQ(AcceptedExtensions().size(), 12u);
}

} // namespace
} // namespace trimlark
