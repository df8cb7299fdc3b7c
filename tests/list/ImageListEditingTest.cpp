#include "list/ImageListEditing.h"
#include "list/ImageListRules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace trimlark {
namespace {

using Paths = std::vector<std::string>;

// The panel's own type list is its filter; files opened from outside are filtered by extension here.
TEST(ImageListEditing, AddedFilesAppendInOrderWithoutDuplicates)
{
    const struct Case
    {
        const char* name;
        bool opened; // from outside, else from the panel
        Paths list, added, expected;
    } cases[] = {
        {"panel order kept", false, {"/a.jpg"}, {"/c.png", "/b.gif"}, {"/a.jpg", "/c.png", "/b.gif"}},
        {"listed keeps its place", false, {"/a.jpg", "/b.jpg"}, {"/a.jpg", "/c.jpg"}, {"/a.jpg", "/b.jpg", "/c.jpg"}},
        {"twice at once, and empty", false, {}, {"/x.png", "", "/x.png"}, {"/x.png"}},
        {"panel takes any type", false, {}, {"/layers.psd"}, {"/layers.psd"}},
        {"case-sensitive paths", false, {"/A.jpg"}, {"/a.jpg"}, {"/A.jpg", "/a.jpg"}},
        {"opened: any case", true, {}, {"/p/A.JPG", "/p/b.Tiff"}, {"/p/A.JPG", "/p/b.Tiff"}},
        {"opened: other types skipped", true, {"/p/a.jpg"}, {"/p/c.psd", "/p/README", "/p/a.jpg"}, {"/p/a.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Paths list = c.list;
        (c.opened ? AddOpenedFiles : AddPanelFiles)(list, c.added);
        EXPECT_EQ(list, c.expected);
    }
}

TEST(ImageListEditing, DroppedFilesMustExistBeNewAndAccepted)
{
    const std::set<std::string> onDisk{"/d/1.jpg", "/d/2.png", "/d/3.gif", "/d/listed.jpg", "/d/doc.txt"};
    const auto exists = [&](const std::string& path) { return onDisk.count(path) > 0; };
    const struct Case
    {
        const char* name;
        Paths dropped, expected;
    } cases[] = {
        {"drag order kept", {"/d/3.gif", "/d/1.jpg", "/d/2.png"}, {"/d/3.gif", "/d/1.jpg", "/d/2.png"}},
        {"missing, listed and other types skipped", {"/d/gone.jpg", "/d/listed.jpg", "/d/doc.txt", "/d/2.png"},
         {"/d/2.png"}},
        {"same file twice in one drop", {"/d/1.jpg", "/d/1.jpg"}, {"/d/1.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SelectDroppedFiles({"/d/listed.jpg"}, c.dropped, exists), c.expected);
    }
}

// Rows go in any order and any number of times; the selection moves to the row after the first removed one.
TEST(ImageListEditing, RemovedRowsLeaveTheSelectionOnTheNextRow)
{
    const struct Case
    {
        std::vector<int> rows;
        Paths expected;
        int next;
    } cases[] = {
        {{3, 1, 1, 9}, {"a", "c", "e"}, 1}, {{4}, {"a", "b", "c", "d"}, 3},    {{0, 1, 2, 3, 4}, {}, -1},
        {{}, {"a", "b", "c", "d", "e"}, -1}, {{-1}, {"a", "b", "c", "d", "e"}, -1},
    };
    for (const auto& c : cases) {
        Paths list{"a", "b", "c", "d", "e"};
        EXPECT_EQ(RemoveRows(list, c.rows), c.next);
        EXPECT_EQ(list, c.expected);
    }
}

// A folder stands for its images, sorted by name, without its subfolders'; a file stays as it is.
TEST(ImageListEditing, AFolderStandsForItsImages)
{
    const auto folder = std::filesystem::temp_directory_path() / ("trimlark-list-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "sub");
    for (const char* name : {"b.png", "a.JPG", "notes.txt", "sub/c.png"})
        std::ofstream(folder / name) << "x";
    const std::string f = folder.string();
    EXPECT_EQ(ExpandFolders({"/x.gif", f, f + "/missing"}), (Paths{"/x.gif", f + "/a.JPG", f + "/b.png", f + "/missing"}));
    std::filesystem::remove_all(folder);
}

TEST(ImageListRules, ExtensionsGiveAcceptanceAndRowIconInAnyCase)
{
    const struct Case
    {
        const char* path;
        const char* icon; // "" when the file is not taken
    } cases[] = {
        {"/a.jpg", "JPG"},  {"/a.JPEG", "JPG"}, {"/a.jpe", "JPG"},   {"/a.Jp2", "JPG"},  {"/a.jpx", "JPG"},
        {"/a.png", "PNG"},  {"/a.tif", "TIF"},  {"/a.TIFF", "TIF"},  {"/a.gif", "GIF"},  {"/a.bmp", "BMP"},
        {"/a.heif", "HEIF"}, {"/a.HEIC", "HEIC"}, {"/a.jfif", ""},   {"/noext", ""},     {"/a/.jpg", ""},
        {"/dir.png/file", ""}, {"/a.png.txt", ""}, {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(RowIconName(c.path), c.icon);
        EXPECT_EQ(HasAcceptedExtension(c.path), *c.icon != '\0');
    }
    const Paths all = PanelExtensions(true);
    EXPECT_EQ(all.size(), 12u);
    EXPECT_EQ(PanelExtensions(false), Paths(all.begin(), all.end() - 2));
}

} // namespace
} // namespace trimlark
