#include "imaging/decode/LoadLimits.h"

#include "base/PhysicalMemory.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace trimlark {

double ImageMemoryBudget()
{
    if (const char* megabytes = std::getenv("TRIMLARK_IMAGE_MEMORY")) {
        char* end = nullptr;
        const double value = std::strtod(megabytes, &end);
        if (end != megabytes && *end == '\0' && value > 0)
            return value * 1048576;
    }
    return PhysicalMemoryBytes() / 2;
}

double DecodeCost(const DecodeShape& shape)
{
    const double rowBytes = shape.width * shape.pixelBytes;
    const double decoderRows =
        shape.needsWhole || shape.rowsAtOnce <= 0 ? shape.height : std::min(shape.height, shape.rowsAtOnce);
    return rowBytes * (decoderRows + std::min(shape.height, kPipelineRows)) + shape.extraBytes;
}

namespace {

std::string Megabytes(double bytes)
{
    return std::to_string(static_cast<long long>(std::ceil(bytes / 1048576))) + " MB";
}

std::string Dimensions(const DecodeShape& shape)
{
    return std::to_string(static_cast<long long>(shape.width)) + " x " +
           std::to_string(static_cast<long long>(shape.height));
}

} // namespace

std::optional<std::string> RefuseDecode(const DecodeShape& shape, std::uintmax_t fileBytes, double budget)
{
    const double pixels = shape.width * shape.height;
    if (shape.mostPixelsPerByte && pixels > *shape.mostPixelsPerByte * static_cast<double>(fileBytes))
        return "The header claims " + Dimensions(shape) + " pixels, more than a file of " + std::to_string(fileBytes) +
               " bytes can hold";
    const double cost = DecodeCost(shape);
    if (cost > budget)
        return "Decoding this " + Dimensions(shape) + " image needs about " + Megabytes(cost) +
               " of memory, more than the " + Megabytes(budget) + " one image may use";
    return std::nullopt;
}

} // namespace trimlark
