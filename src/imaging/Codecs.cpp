#include "imaging/Codecs.h"

#include <vips/vips.h>

namespace trimlark {

bool CanWriteHeif()
{
    static const bool canWrite = [] {
        if (!vips_init("trimlark"))
            return vips_type_find("VipsOperation", "heifsave") != 0;
        return false;
    }();
    return canWrite;
}

bool CanReadHeif()
{
    static const bool canRead = [] {
        if (!vips_init("trimlark"))
            return vips_type_find("VipsOperation", "heifload") != 0;
        return false;
    }();
    return canRead;
}

const FormatList& AvailableFormats()
{
    static const FormatList formats(CanWriteHeif());
    return formats;
}

} // namespace trimlark
