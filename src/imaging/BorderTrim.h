#pragma once

#include "imaging/ImageTools.h"

#include <optional>
#include <string>

namespace trimlark {

// Where the pixels of a large JPEG come from while its border is looked for: a reduced decode for the edges
// roughly, then only the strips around them at full size (ShrunkFirst); or the whole picture decoded at full size
// once (Whole), as every other format is read.
enum class TrimDecode
{
    ShrunkFirst,
    Whole,
};

// ImageTools::FindBorderTrim, reading a JPEG as decode says.
std::optional<PixelRect> FindBorderTrimRect(const std::string& path, int tolerance, int margin,
                                            TrimDecode decode = TrimDecode::ShrunkFirst);

} // namespace trimlark
