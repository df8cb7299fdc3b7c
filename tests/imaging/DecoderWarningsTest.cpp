#include "imaging/DecoderWarnings.h"

#include "imaging/ImageTools.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

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
        {"the failure, once", {"A"}, "A", ""},
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

} // namespace
} // namespace trimlark
