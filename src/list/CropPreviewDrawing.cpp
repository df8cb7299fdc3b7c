#include "list/CropPreviewDrawing.h"

#include "settings/CropGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace trimlark {

namespace {

constexpr double kVeilAlpha = 0.6;

// How much of each unit cell [i, i + 1) of an axis of n cells lies inside [from, to).
std::vector<double> CellCoverage(int n, double from, double to)
{
    std::vector<double> coverage(static_cast<std::size_t>(std::max(n, 0)), 0.0);
    if (!std::isfinite(from) || !std::isfinite(to) || to <= from)
        return coverage;
    for (int i = 0; i < n; ++i) {
        const double inside = std::min(to, i + 1.0) - std::max(from, static_cast<double>(i));
        coverage[static_cast<std::size_t>(i)] = std::clamp(inside, 0.0, 1.0);
    }
    return coverage;
}

std::uint8_t ToByte(double value)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

} // namespace

RgbaBitmap DrawCropPreview(double x, double y, double width, double height, const RgbaBitmap& image,
                           PixelSize sourceSize, std::optional<OriginCorner> originCorner)
{
    RgbaBitmap preview;
    preview.width = image.width;
    preview.height = image.height;
    preview.pixels.resize(image.pixels.size());
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4)
        return preview;

    const Rect placed = GetCropRectInImage(originCorner, sourceSize.width, sourceSize.height, x, y, width, height);
    const double scaleX = sourceSize.width > 0 ? image.width / sourceSize.width : 0.0;
    const double scaleY = sourceSize.height > 0 ? image.height / sourceSize.height : 0.0;
    const std::vector<double> columns = CellCoverage(image.width, placed.x * scaleX, (placed.x + placed.w) * scaleX);
    // The rectangle's frame has y up; bitmap rows run top to bottom, so row r covers [H - r - 1, H - r).
    const std::vector<double> rowsFromBottom =
        CellCoverage(image.height, placed.y * scaleY, (placed.y + placed.h) * scaleY);

    for (int row = 0; row < image.height; ++row) {
        const double rowCoverage = rowsFromBottom[static_cast<std::size_t>(image.height - 1 - row)];
        for (int column = 0; column < image.width; ++column) {
            const std::size_t at = (static_cast<std::size_t>(row) * image.width + column) * 4;
            const double veil = kVeilAlpha * (1.0 - rowCoverage * columns[static_cast<std::size_t>(column)]);
            if (veil <= 0.0) {
                std::copy_n(image.pixels.begin() + at, 4, preview.pixels.begin() + at);
                continue;
            }
            // White at `veil` over the source pixel, in premultiplied terms, then back to straight alpha.
            const double sourceAlpha = image.pixels[at + 3] / 255.0;
            const double alpha = veil + (1.0 - veil) * sourceAlpha;
            for (int channel = 0; channel < 3; ++channel) {
                const double premultiplied = veil + (1.0 - veil) * (image.pixels[at + channel] / 255.0) * sourceAlpha;
                preview.pixels[at + channel] = ToByte(255.0 * premultiplied / alpha);
            }
            preview.pixels[at + 3] = ToByte(255.0 * alpha);
        }
    }
    return preview;
}

} // namespace trimlark
