#include "imaging/Codecs.h"

#include "imaging/LibrarySetup.h"

#include <libheif/heif.h>
#include <vips/vips.h>

namespace trimlark {

namespace {

// Whether this machine's image library has the loader or saver (its codecs are modules that may be absent).
bool HasCodec(const char* base, const char* name)
{
    return EnsureLibrariesReady() && vips_type_find(base, name) != 0;
}

} // namespace

bool CanWriteHeif()
{
    static const bool canWrite = HasCodec("VipsForeignSave", "heifsave");
    return canWrite;
}

bool CanWriteWebp()
{
    static const bool canWrite = HasCodec("VipsForeignSave", "webpsave");
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
    static const bool canRead = HasCodec("VipsForeignLoad", "heifload");
    return canRead;
}

const FormatList& AvailableFormats()
{
    static const FormatList formats(WritableFormats{CanWriteHeif(), CanWriteWebp(), CanWriteAvif()});
    return formats;
}

} // namespace trimlark
