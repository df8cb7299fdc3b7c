#include "imaging/Codecs.h"

#include <libheif/heif.h>
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

bool CanWriteWebp()
{
    static const bool canWrite = HasOperation("webpsave");
    return canWrite;
}

bool CanWriteAvif()
{
    // The HEIF saver is there whenever libheif is; whether libheif was built with an AV1 encoder is its own
    // business.
    static const bool canWrite = CanWriteHeif() && heif_have_encoder_for_format(heif_compression_AV1) != 0;
    return canWrite;
}

bool CanReadHeif()
{
    static const bool canRead = HasOperation("heifload");
    return canRead;
}

const FormatList& AvailableFormats()
{
    static const FormatList formats(WritableFormats{CanWriteHeif(), CanWriteWebp(), CanWriteAvif()});
    return formats;
}

} // namespace trimlark
