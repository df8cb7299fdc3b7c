#include "imaging/decode/DecoderWarnings.h"

#include "imaging/ImageTools.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include <vips/vips.h>

namespace trimlark {
namespace {

// What a failure's reason gets from the warnings raised with it: each thing said once, nothing the failure
// already says, and nothing at all when that is all there was.
TEST(DecoderWarningsTest, SummaryLeavesOutWhatTheFailureSays)
{
    ImageTools::Initialize();
    const std::string longMessage(200, 'x');
    const struct Case
    {
        const char* name;
        std::vector<std::string> raised;
        std::string failure;
        std::string summary;
    } cases[] = {
        {"nothing raised", {}, "", ""},
        {"the failure, twice", {"A", "A"}, "A", ""},
        {"the failure and another", {"A", "B", "B"}, "A", "libvips warned: B (2 warnings)"},
        {"more than are kept", {"A", "B", "C"}, "", "libvips warned: A; B (3 warnings)"},
        {"a message over two lines, the second repeated", {"A\nB\nA\n"}, "", "libvips warned: A; B"},
        {"a message cut short", {longMessage}, longMessage, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WarningScope scope;
        for (const std::string& message : c.raised)
            g_log("VIPS", G_LOG_LEVEL_WARNING, "%s", message.c_str());
        EXPECT_EQ(scope.Summary(c.failure), c.summary);
    }
}

// Why a source failed, in the user's words, from the errors and warnings raised for that image alone: a file cut
// short says so whatever the decoder's words; otherwise the decoder's sentence without the library's inside.
// Another image's error, raised on its own thread meanwhile, is not this image's.
TEST(DecoderWarningsTest, ASourcesFailureIsToldFromItsOwnMessagesInPlainWords)
{
    ImageTools::Initialize();
    using Error = std::pair<const char*, const char*>; // the raising domain and its text
    const struct Case
    {
        const char* name;
        std::vector<Error> errors;
        std::vector<const char*> warnings;
        const char* elsewhere; // an error raised meanwhile for another image, on its thread
        const char* told;
    } cases[] = {
        {"nothing said", {}, {}, nullptr, ""},
        {"a JPEG cut short", {{"VipsJpeg", "Premature end of JPEG file"}}, {}, nullptr, "the file ends early"},
        {"a PNG whose warning tells",
         {{"vipspng", "libpng read error"}},
         {"not enough data"},
         nullptr,
         "the file ends early"},
        {"a damaged PNG beside a JPEG cut short",
         {{"vipspng", "libpng read error"}},
         {},
         "Premature end of JPEG file",
         "libpng read error"},
        {"libheif's code",
         {{"heif", "Invalid input: No 'ftyp' box (1.100)"}},
         {},
         nullptr,
         "Invalid input: No 'ftyp' box"},
        {"ImageMagick's source location and the descriptor path",
         {{"magick2vips", "unable to read file \"/proc/self/fd/3\""},
          {"magick2vips", "libMagick error: improper image header @ error/bmp.c/ReadBMPImage/850"}},
         {},
         nullptr,
         "improper image header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WarningScope scope;
        for (const auto& [domain, text] : c.errors)
            vips_error(domain, "%s", text);
        for (const char* warning : c.warnings)
            g_log("VIPS", G_LOG_LEVEL_WARNING, "%s", warning);
        if (c.elsewhere) {
            std::thread([&] {
                const WarningScope otherImage;
                vips_error("VipsJpeg", "%s", c.elsewhere);
            }).join();
        }
        EXPECT_EQ(scope.SourceFailure(), c.told);
        vips_error_clear();
    }
}

} // namespace
} // namespace trimlark
