#include "imaging/LibrarySetup.h"

#include "imaging/DecoderWarnings.h"

#include <exception>
#include <exiv2/exiv2.hpp>
#include <mutex>
#include <vips/vips.h>

namespace trimlark {

bool EnsureLibrariesReady()
{
    static bool ready = false;
    static std::once_flag once;
    std::call_once(once, [] {
        if (vips_init("trimlark") != 0)
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

std::string DescribeVipsError(const std::exception& error)
{
    std::string text = OneLine(error.what());
    vips_error_clear();
    return text.empty() ? std::string("The image cannot be decoded") : text;
}

} // namespace trimlark
