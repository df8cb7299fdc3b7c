#pragma once

#include "settings/ChoiceLists.h"

namespace trimlark {

// Whether the image library on this machine can encode HEIF/HEIC (decides whether the format list offers them).
bool CanWriteHeif();

// Whether the image library on this machine can encode WebP, and AVIF (HEIF with an AV1 encoder).
bool CanWriteWebp();
bool CanWriteAvif();

// Whether the image library on this machine can decode HEIF/HEIC (decides whether the add-images panel offers them,
// AVIF too).
bool CanReadHeif();

// The output format list of this machine.
const FormatList& AvailableFormats();

} // namespace trimlark
