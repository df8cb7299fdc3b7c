#include "imaging/Codecs.h"

#include <vips/vips.h>

namespace trimlark {

namespace {

// Whether this machine's image library has the operation (its codecs are modules that may be absent).
bool HasOperation(const char* name)
{
    return vips_init("trimlark") == 0 && vips_type_find("VipsOperation", name) != 0;
}

} // namespace

bool CanWriteHeif()
{
    static const bool canWrite = HasOperation("heifsave");
    return canWrite;
}

bool CanReadHeif()
{
    static const bool canRead = HasOperation("heifload");
    return canRead;
}

const FormatList& AvailableFormats()
{
    static const FormatList formats(CanWriteHeif());
    return formats;
}

} // namespace trimlark
