#include "base/AtomicFile.h"
#include "base/Numbers.h"
#include "base/PathText.h"

#include <clocale>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <sys/resource.h>

namespace trimlark {
namespace {

constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(ParseInteger, AcceptsOneSignAndDigitsWithinRange)
{
    const struct Case
    {
        const char* text;
        std::optional<std::int64_t> expected;
    } cases[] = {
        {"16", 16},
        {"+5", 5},
        {"-3", -3},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"9223372036854775808", std::nullopt},
        {"2.5", std::nullopt},
        {" 4", std::nullopt},
        {"4 ", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"+-5", std::nullopt},
        {"0x10", std::nullopt},
        {"\xD9\xA3", std::nullopt}, // an Arabic-Indic digit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseInteger(c.text), c.expected);
    }
}

TEST(ParseDecimal, AcceptsOnlyAWholeFiniteNumber)
{
    const struct Case
    {
        const char* text;
        std::optional<double> expected;
    } cases[] = {
        {"20", 20},
        {"-1.5", -1.5},
        {".5", 0.5},
        {"2e1", 20},
        {"+-1", std::nullopt},
        {"inf", std::nullopt},
        {"1e999", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"0x10", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDecimal<double>(c.text), c.expected);
    }
    EXPECT_EQ(ParseDecimal<float>("1e39"), std::nullopt); // finite as a double, not as a float
    // A field reads as a number when all of it, spaces and tabs around it aside, is one.
    EXPECT_TRUE(ReadsAsNumber(" 12.5\t"));
    EXPECT_FALSE(ReadsAsNumber("35 %"));
    EXPECT_FALSE(ReadsAsNumber(" "));
}

TEST(ReadFloatValue, ReadsOnlyTheLeadingPlainDecimalNumberInAnyLocaleAndTruncatesSafely)
{
    const struct Case
    {
        const char* text;
        float expected;
    } cases[] = {
        {"", 0.0f},     {"  12.5", 12.5f}, {"-2.5", -2.5f}, {"1e3", 1000.0f}, {"1e", 1.0f},   {"inf", 0.0f},
        {"0x10", 0.0f}, {".5", 0.5f},      {"1,5", 1.0f},   {"\n5", 0.0f},    {"1e39", kInf},
    };
    // A desktop session may run with a locale whose decimal point is a comma.
    for (const char* locale : {"C", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
        if (!std::setlocale(LC_NUMERIC, locale))
            continue;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(locale) + " " + c.text);
            EXPECT_EQ(ReadFloatValue(c.text), c.expected);
        }
    }
    std::setlocale(LC_NUMERIC, "C");
    // Truncation is defined for every double.
    EXPECT_EQ(TruncateToInt64(-2.7), -2);
    EXPECT_EQ(TruncateToInt64(NAN), 0);
    EXPECT_EQ(TruncateToInt64(9223372036854775808.0), kMax);
    EXPECT_EQ(TruncateToInt64(-1e300), kMin);
}

TEST(PathText, SplitsPathsIntoTheirPieces)
{
    const struct Case
    {
        const char* path;
        const char* last;
        const char* extension;
        const char* base;
        const char* folder;
    } cases[] = {
        {"/a/b.jpg", "b.jpg", "jpg", "b", "/a"},
        {"/a/b.tar.gz", "b.tar.gz", "gz", "b.tar", "/a"},
        {"/a/.profile", ".profile", "", ".profile", "/a"},
        {"/a/b.", "b.", "", "b", "/a"},
        {"/a.d/b", "b", "", "b", "/a.d"},
        {"/a/b/", "b", "", "b", "/a"},
        {"/b.JPG", "b.JPG", "JPG", "b", "/"},
        {"b.png", "b.png", "png", "b", ""},
        {"/", "/", "", "/", "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(LastPathComponent(c.path), c.last);
        EXPECT_EQ(PathExtension(c.path), c.extension);
        EXPECT_EQ(BaseNameWithoutExtension(c.path), c.base);
        EXPECT_EQ(FolderOfPath(c.path), c.folder);
    }
}

std::string Contents(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AtomicFile, ReplacesTheOldFileOnlyWhenCommittedAndLeavesNothingElse)
{
    const auto folder = std::filesystem::temp_directory_path() / ("trimlark-base-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto target = folder / "out.txt";
    std::ofstream(target) << "old";
    {
        AtomicFile abandoned(target.string());
        ASSERT_TRUE(abandoned.Create(nullptr));
        ASSERT_TRUE(abandoned.Write("new", 3, nullptr));
        EXPECT_EQ(Contents(target), "old");
        // Nothing a kill at this point could leave behind.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    }
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(target, ownerOnly); // the replacement stays as private as the file it replaces
    AtomicFile file(target.string());
    ASSERT_TRUE(file.Create(nullptr));
    ASSERT_TRUE(file.Write("new", 3, nullptr));
    ASSERT_TRUE(file.Commit(nullptr));
    EXPECT_EQ(Contents(target), "new");
    EXPECT_EQ(std::filesystem::status(target).permissions(), ownerOnly);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

    // The temporary name must fit the file system's 255 bytes a name too.
    const auto longest = folder / std::string(255, 'n');
    AtomicFile longName(longest.string());
    ASSERT_TRUE(longName.Create(nullptr));
    ASSERT_TRUE(longName.Write("x", 1, nullptr));
    ASSERT_TRUE(longName.Commit(nullptr));
    EXPECT_EQ(Contents(longest), "x");

    // Without replace, a file that appears meanwhile keeps its name and content; a free name is taken.
    for (const bool appears : {true, false}) {
        const auto name = folder / (appears ? "theirs.txt" : "free.txt");
        AtomicFile late(name.string());
        ASSERT_TRUE(late.Create(nullptr));
        ASSERT_TRUE(late.Write("new", 3, nullptr));
        if (appears)
            std::ofstream(name) << "theirs";
        EXPECT_EQ(late.Commit(nullptr, false), !appears);
        EXPECT_EQ(late.DestinationTaken(), appears);
        EXPECT_EQ(Contents(name), appears ? "theirs" : "new");
    }

    std::string reason;
    AtomicFile nowhere((folder / "missing" / "out.txt").string());
    EXPECT_FALSE(nowhere.Create(&reason));
    EXPECT_NE(reason.find("output folder"), std::string::npos);
    std::filesystem::remove_all(folder);
}

// On a file system that lacks unnamed files (a hidden named file is renamed), also no-replace renames (a hard link
// takes the name), also hard links (exFAT through FUSE: the name is reserved first), a new file still never replaces
// one it has not seen: it takes a free name, keeps a file that appears at the name before the commit, and leaves no
// temporary or reserved file behind, whatever happens.
TEST(AtomicFile, OnFileSystemsLackingLinksANewFileStillReplacesNothingUnseen)
{
    const auto folder = std::filesystem::temp_directory_path() / ("trimlark-bare-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const AtomicFile::Lacks named{true, false, false}, linked{true, true, false}, bare{true, true, true};
    const struct Case
    {
        const char* name;
        AtomicFile::Lacks lacks;
        bool appears;    // another program writes the name before the commit
        bool writeFails; // the write runs out of room
        bool replace;
        bool committed;
        const char* content; // at the name afterwards; nothing when absent
    } cases[] = {
        {"renamed: a free name", named, false, false, false, true, "new"},
        {"renamed: a file appears before the commit", named, true, false, false, false, "theirs"},
        {"linked: a free name", linked, false, false, false, true, "new"},
        {"linked: a file appears before the commit", linked, true, false, false, false, "theirs"},
        {"reserved: a free name", bare, false, false, false, true, "new"},
        {"reserved: a file appears before the commit", bare, true, false, false, false, "theirs"},
        {"reserved: the write fails", bare, false, true, false, false, nullptr},
        {"reserved: replacing what is there", bare, true, false, true, true, "new"},
    };
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const rlimit full{2, unlimited.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the program
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AtomicFile::SimulateFileSystemLacking(c.lacks);
        const auto target = folder / "out.txt";
        std::string reason;
        {
            AtomicFile file(target.string());
            ASSERT_TRUE(file.Create(&reason)) << reason;
            setrlimit(RLIMIT_FSIZE, c.writeFails ? &full : &unlimited);
            const bool written = file.Write("new", 3, &reason);
            setrlimit(RLIMIT_FSIZE, &unlimited);
            EXPECT_EQ(written, !c.writeFails) << reason;
            if (c.appears)
                std::ofstream(target) << "theirs";
            if (written) {
                EXPECT_EQ(file.Commit(&reason, c.replace), c.committed) << reason;
                EXPECT_EQ(file.DestinationTaken(), c.appears && !c.replace);
            }
        }
        EXPECT_EQ(std::filesystem::exists(target), c.content != nullptr);
        if (c.content) {
            EXPECT_EQ(Contents(target), c.content);
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), c.content ? 1 : 0)
            << "no temporary or reserved file left";
        std::filesystem::remove(target);
    }
    AtomicFile::SimulateFileSystemLacking({});
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace trimlark
