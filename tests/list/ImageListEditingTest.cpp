#include "list/ImageListEditing.h"

#include "list/ImageListRules.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
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
        {"missing, listed and other types skipped",
         {"/d/gone.jpg", "/d/listed.jpg", "/d/doc.txt", "/d/2.png"},
         {"/d/2.png"}},
        {"same file twice in one drop", {"/d/1.jpg", "/d/1.jpg"}, {"/d/1.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SelectDroppedFiles({"/d/listed.jpg"}, c.dropped, exists), c.expected);
    }
}

// One file under several spellings is one image: in the panel's, the drop's and the command line's lists alike, the
// first spelling stays.
TEST(ImageListEditing, OneFileUnderSeveralSpellingsIsListedOnce)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("trimlark-spellings-" + std::to_string(::getpid()));
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "a.jpg") << "a";
    std::ofstream(folder / "b.jpg") << "b";
    fs::create_hard_link(folder / "a.jpg", folder / "hard.jpg");
    fs::create_symlink("a.jpg", folder / "soft.jpg");
    const std::string a = (folder / "a.jpg").string(), b = (folder / "b.jpg").string();
    const std::string dotted = (folder / "sub/../a.jpg").string(), doubled = folder.string() + "//a.jpg";
    const std::string hard = (folder / "hard.jpg").string(), soft = (folder / "soft.jpg").string();
    const std::string relative = fs::relative(a, fs::current_path()).string();
    const struct Case
    {
        const char* name;
        Paths list, added, expected;
    } cases[] = {
        {"dot steps and doubled slashes", {a}, {dotted, b, doubled}, {a, b}},
        {"relative and absolute", {}, {relative, a}, {relative}},
        {"links", {b}, {soft, hard, a}, {b, soft}},
        {"missing files by their path", {}, {"/none/x.jpg", "/none/./x.jpg"}, {"/none/x.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Paths list = c.list;
        AddPanelFiles(list, c.added);
        EXPECT_EQ(list, c.expected);
        Paths all = c.list;
        all.insert(all.end(), c.added.begin(), c.added.end());
        const std::size_t dropped = all.size() - c.expected.size();
        EXPECT_EQ(RemoveRepeatedFiles(all).size(), dropped);
        EXPECT_EQ(all, c.expected);
    }
    EXPECT_EQ(SelectDroppedFiles({a}, {doubled, b}, [](const std::string&) { return true; }), Paths{b});
    fs::remove_all(folder);
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
        {{3, 1, 1, 9}, {"a", "c", "e"}, 1},  {{4}, {"a", "b", "c", "d"}, 3},        {{0, 1, 2, 3, 4}, {}, -1},
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
    EXPECT_EQ(ExpandFolders({"/x.gif", f, f + "/missing"}),
              (Paths{"/x.gif", f + "/a.JPG", f + "/b.png", f + "/missing"}));
    std::filesystem::remove_all(folder);
}

TEST(ImageListRules, ExtensionsGiveAcceptanceAndRowIconInAnyCase)
{
    const struct Case
    {
        const char* path;
        const char* icon; // "" when the file is not taken
    } cases[] = {
        {"/a.jpg", "JPG"},   {"/a.JPEG", "JPG"},  {"/a.jpe", "JPG"},     {"/a.Jp2", "JPG"},   {"/a.jpx", "JPG"},
        {"/a.png", "PNG"},   {"/a.tif", "TIF"},   {"/a.TIFF", "TIF"},    {"/a.gif", "GIF"},   {"/a.bmp", "BMP"},
        {"/a.heif", "HEIF"}, {"/a.HEIC", "HEIC"}, {"/a.webp", "WEBP"},   {"/a.AVIF", "AVIF"}, {"/a.jfif", ""},
        {"/noext", ""},      {"/a/.jpg", ""},     {"/dir.png/file", ""}, {"/a.png.txt", ""},  {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(RowIconName(c.path), c.icon);
        EXPECT_EQ(HasAcceptedExtension(c.path), *c.icon != '\0');
    }
    // Without the HEIF decoder: neither HEIF, HEIC nor AVIF.
    EXPECT_EQ(PanelExtensions(false),
              Paths({"jpg", "jpeg", "jpe", "jp2", "jpx", "png", "tiff", "tif", "gif", "bmp", "webp"}));
}

} // namespace
} // namespace trimlark
