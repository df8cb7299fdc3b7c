// Feeds arbitrary bytes to the profile reader; whatever it accepts must write and read back unchanged.
#include "profile/ProfileFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace trimlark;
    static const FormatList formats(WritableFormats{true, true, true});
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto read = ReadProfileText(bytes, ProfileContent{}, formats);
    if (!read)
        return 0;
    const auto again =
        ReadProfileText(WriteProfileText(read->settings, read->customRatio, formats), ProfileContent{}, formats);
    if (!again || !(again->settings == read->settings) || !(again->customRatio == read->customRatio))
        std::abort();
    return 0;
}
