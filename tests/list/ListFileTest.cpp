#include "list/ListFile.h"

#include "TestImages.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {

// Failures name the entry instead of dumping its bytes.
void PrintTo(const ListEntry& entry, std::ostream* out)
{
    *out << '"' << entry.path << '"';
    if (const auto& a = entry.adjustment)
        *out << (a->kind == CropAdjustment::Kind::Rectangle ? " crop " : " centre ") << a->x << ',' << a->y << ' '
             << a->w << 'x' << a->h;
}

namespace {

namespace fs = std::filesystem;

CropAdjustment Rectangle(double x, double y, double w, double h)
{
    return {CropAdjustment::Kind::Rectangle, x, y, w, h};
}

CropAdjustment Centre(double x, double y)
{
    return {CropAdjustment::Kind::Centre, x, y, 0, 0};
}

// The working folder moved for one test, and back.
class WorkingFolder
{
public:
    explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~WorkingFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

// One bad line among good ones refuses the file, by its number (the blank line 2 counts).
TEST(ListFile, AHostileLineRefusesTheWholeFile)
{
    const struct Case
    {
        const char* name;
        std::string line;
        const char* reason; // how the reason starts
    } cases[] = {
        {"not JSON", R"({"path": "a.jpg")", "line 3: not JSON (at byte 17)"},
        {"deeply nested", std::string(100000, '[') + std::string(100000, ']'), "line 3: not a JSON object"},
        {"not an object", R"(["a.jpg"])", "line 3: not a JSON object"},
        {"no path", R"({"crop": {"x": 1, "y": 1, "w": 1, "h": 1}})", "line 3: no path"},
        {"an empty path", R"({"path": ""})", "line 3: the path is empty"},
        {"a NUL byte", R"({"path": "a\u0000.jpg"})", "line 3: the path holds a NUL byte"},
        {"base64 that is none", R"({"path_base64": "!!!!"})", "line 3: \"path_base64\" is not base64"},
        {"base64 naming another file", R"({"path": "a.jpg", "path_base64": "Yi5qcGc="})", "line 3: \"path\" and"},
        {"no width", R"({"path": "a.jpg", "crop": {"x": 1, "y": 2, "h": 3}})", "line 3: the crop has no width (w)"},
        {"a negative width", R"({"path": "a.jpg", "crop": {"x": 1, "y": 2, "w": -3, "h": 3}})",
         "line 3: the crop's width (w) is not above 0"},
        {"a number as text", R"({"path": "a.jpg", "crop": {"x": "1", "y": 2, "w": 3, "h": 3}})",
         "line 3: the crop's left edge (x) is not a number"},
        {"a number beyond double", R"({"path": "a.jpg", "centre": {"x": 1e999, "y": 2}})", "line 3: a number is too"},
        {"a number off any image", R"({"path": "a.jpg", "centre": {"x": 1, "y": -1e12}})",
         "line 3: the centre's y lies beyond any image"},
        {"a crop and a centre",
         R"({"path": "a.jpg", "crop": {"x": 1, "y": 2, "w": 3, "h": 3}, "centre": {"x": 1, "y": 1}})",
         "line 3: both a crop and a centre"},
        {"a crop as an array", R"({"path": "a.jpg", "crop": [1, 2, 3, 4]})", "line 3: the crop is not an object"},
    };
    const test::TempFolder folder;
    const std::string path = folder.Path("l.jsonl");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(path, "{\"path\": \"good.jpg\"}\n \r\n" + c.line + "\n{\"path\": \"good.jpg\"}\n");
        std::string reason;
        EXPECT_FALSE(ReadListFile(path, &reason));
        EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << reason;
    }
}

// A list is read only from a regular file of sane size; a pipe is refused at once, not waited on.
TEST(ListFile, OnlyARegularFileOfSaneSizeIsRead)
{
    const test::TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.Path("pipe").c_str(), 0600), 0);
    test::WriteBytes(folder.Path("huge"), "");
    fs::resize_file(folder.Path("huge"), kMaxListFileBytes + 1); // sparse: takes no disk
    const struct Case
    {
        const char* name;
        const char* reason;
    } cases[] = {
        {"none", "No such file or directory"},
        {"pipe", "it is not a regular file"},
        {".", "it is not a regular file"},
        {"huge", "it is larger than 64 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(ReadListFile(folder.Path(c.name), &reason));
        EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << reason;
    }
}

// Paths in or below the list's folder are stored relative to it and follow it when it moves; others stay absolute,
// and bytes that are no UTF-8 come back as they were.
TEST(ListFile, EntriesRoundTripAndFollowTheListFolder)
{
    const test::TempFolder top;
    const WorkingFolder inTop(top.Path());
    const std::string t = top.Path();
    const struct Case
    {
        const char* name;
        ListEntry written;
        std::string line;     // as stored in list/l.jsonl
        std::string readBack; // from moved/l.jsonl, once list/ is renamed moved/
    } cases[] = {
        {"beside, relative, a rectangle off the image",
         {"list/a.jpg", Rectangle(-10, 20, 300, 200.5)},
         R"({"path":"a.jpg","crop":{"x":-10,"y":20,"w":300,"h":200.5}})",
         "moved/a.jpg"},
        {"below, absolute, a centre",
         {t + "/list/sub/b.png", Centre(512.5, 300)},
         R"({"path":"sub/b.png","centre":{"x":512.5,"y":300}})",
         "moved/sub/b.png"},
        {"above, relative", {"c.png", {}}, R"({"path":")" + t + R"(/c.png"})", t + "/c.png"},
        {"elsewhere, absolute", {"/elsewhere/d.png", {}}, R"({"path":"/elsewhere/d.png"})", "/elsewhere/d.png"},
        {"a step up",
         {"list/sub/../e.png", {}},
         R"({"path":")" + t + R"(/list/sub/../e.png"})",
         t + "/list/sub/../e.png"},
        {"no UTF-8",
         {"list/\xff\xfe.jpg", Rectangle(0, 0, 1, 1)},
         "{\"path\":\"\xef\xbf\xbd\xef\xbf\xbd.jpg\",\"path_base64\":\"//"
         "4uanBn\",\"crop\":{\"x\":0,\"y\":0,\"w\":1,\"h\":1}}",
         "moved/\xff\xfe.jpg"},
    };
    fs::create_directory("list");
    std::vector<ListEntry> entries;
    for (const Case& c : cases)
        entries.push_back(c.written);
    std::string reason;
    ASSERT_TRUE(SaveListFile("list/l.jsonl", entries, &reason)) << reason;
    const std::string stored = test::ReadBytes("list/l.jsonl");
    fs::rename("list", "moved");
    const auto read = ReadListFile("moved/l.jsonl", &reason);
    ASSERT_TRUE(read) << reason;
    ASSERT_EQ(read->size(), std::size(cases));
    std::istringstream storedLines(stored);
    for (std::size_t i = 0; i < read->size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        std::string line;
        std::getline(storedLines, line);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ((*read)[i], (ListEntry{c.readBack, c.written.adjustment}));
    }
}

// A long list reads in well under a second; the run's lists may hold a hundred thousand images.
// A long list reads back whole (its speed, about 0.2 s here, is a benchmark's business, not a test's).
TEST(ListFile, AHundredThousandLinesReadBack)
{
    const test::TempFolder folder;
    std::vector<ListEntry> entries;
    for (int i = 0; i < 100000; ++i)
        entries.push_back({folder.Path("photo " + std::to_string(i) + ".jpg"),
                           i % 2 ? std::optional(Rectangle(i, 20, 3000, 2000)) : std::optional(Centre(i + 0.5, 7))});
    ASSERT_TRUE(SaveListFile(folder.Path("l.jsonl"), entries));
    const auto read = ReadListFile(folder.Path("l.jsonl"));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, entries);
}

} // namespace
} // namespace trimlark
