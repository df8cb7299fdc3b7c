#include "imaging/LibrarySetup.h"

#include "imaging/decode/DecoderWarnings.h"

#include <cstdlib>
#include <exception>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <gmodule.h>
#include <libintl.h>
#include <mutex>
#include <string_view>
#include <vips/vips8>

namespace trimlark {

namespace {

// libvips loads all its codec modules as it starts (HEIF, ImageMagick, PDF, JPEG XL, OpenSlide): a fifth of a
// short run's start-up, and 6 MB. Here it starts pointed at an install prefix (its VIPSHOME) that holds none,
// and they are loaded from where the package put them: the HEIF module at once (libheif is loaded anyway, and
// the formats offered depend on it), the others once a file no built-in decoder takes is met, or a format
// only they write is asked for. A VIPSHOME the user points elsewhere is left to libvips, which loads them all.
constexpr const char* kHomeWithoutModules = "/nonexistent/trimlark/vips";
constexpr const char* kHeifModule = "vips-heif.so";

bool deferredModules = false;

// libvips' major and minor version, as its folder and message domain names carry them: "8.14".
std::string VipsVersion()
{
    return std::to_string(vips_version(0)) + "." + std::to_string(vips_version(1));
}

// As libvips loads them: a module registers its operations as it is opened, and stays loaded.
void LoadModules(bool heif)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(CodecModuleFolder(), ec)) {
        const auto name = entry.path().filename();
        if (name.extension() == ".so" && (name == kHeifModule) == heif)
            g_module_open(entry.path().c_str(), G_MODULE_BIND_LAZY); // one that does not load is left out
    }
    // libvips blocks its untrusted decoders when asked as it starts, and only among those loaded by then.
    if (g_getenv("VIPS_BLOCK_UNTRUSTED"))
        vips_block_untrusted_set(TRUE);
}

bool StartVips()
{
    // libvips sets VIPSHOME to its prefix as it starts, so a program this one starts may find it set to that.
    const char* home = std::getenv("VIPSHOME");
    if (home && std::string_view(home) != TRIMLARK_VIPS_PREFIX)
        return vips_init("trimlark") == 0;
    g_setenv("VIPSHOME", kHomeWithoutModules, TRUE);
    const bool started = vips_init("trimlark") == 0;
    // Where libvips would have found itself: its messages' translations, and the same environment for the
    // programs this one starts.
    g_setenv("VIPSHOME", TRIMLARK_VIPS_PREFIX, TRUE);
    bindtextdomain(("vips" + VipsVersion()).c_str(),
                   (std::filesystem::path(TRIMLARK_VIPS_PREFIX) / "share" / "locale").c_str());
    if (started) {
        LoadModules(true);
        deferredModules = true;
    }
    return started;
}

} // namespace

std::filesystem::path CodecModuleFolder()
{
    return std::filesystem::path(TRIMLARK_VIPS_LIBDIR) / ("vips-modules-" + VipsVersion());
}

bool EnsureLibrariesReady()
{
    static bool ready = false;
    static std::once_flag once;
    std::call_once(once, [] {
        if (!StartVips())
            return;
        vips_cache_set_max(0);
        // Decoder warnings about damaged files go into the image's result, not onto standard error.
        CollectDecoderWarnings();
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
        ready = true;
    });
    return ready;
}

void EnsureAllCodecs()
{
    static std::once_flag once;
    if (EnsureLibrariesReady())
        std::call_once(once, [] {
            if (deferredModules)
                LoadModules(false);
        });
}

std::string DescribeVipsError(const std::exception& error)
{
    // libvips' buffer is one per process and may hold another image's messages: what this image's own threads
    // raised is told instead.
    const bool library = dynamic_cast<const vips::VError*>(&error) != nullptr;
    std::string text = library ? CurrentSourceFailure() : OneLine(error.what());
    vips_error_clear();
    return text.empty() ? std::string("The image cannot be decoded") : text;
}

} // namespace trimlark
