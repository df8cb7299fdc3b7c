#include "imaging/BorderTrim.h"

#include "imaging/LibrarySetup.h"
#include "imaging/decode/DecoderWarnings.h"
#include "imaging/decode/JpegRegion.h"
#include "imaging/decode/LoadLimits.h"
#include "imaging/decode/SourceProbe.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <vector>
#include <vips/vips8>

namespace trimlark {

using vips::VImage;

namespace {

// The reduced decode the edges are first found in has at least this many pixels: a 24 MP picture is read at an
// eighth (750 x 500), one under 400 000 pixels at full size.
constexpr double kReducedPixels = 100000;
// The gaussian blur (sigma, in full-size pixels) against noise before a pixel is judged. It widens a sharp edge by
// at most one pixel and never narrows it; what it spreads beyond the edge stays within kBlurReach pixels.
constexpr double kSmoothing = 1.0;
constexpr int kBlurReach = 3;
// A patch of the picture standing alone in the border and no larger than this each way (in full-size pixels) is
// dust.
constexpr int kSpeckSide = 8;

// Tolerance 0-100 is a share of the 0-255 channel range: 10 -> 25.5, so a channel 26 away from the border's is
// the picture's, 25 away the border's.
double ThresholdOf(int tolerance)
{
    return std::clamp(tolerance, 0, 100) * 2.55;
}

// The largest of 1, 2, 4 and 8 that still leaves kReducedPixels.
int ReductionOf(int width, int height)
{
    int factor = 1;
    while (factor < 8 && (width / (2.0 * factor)) * (height / (2.0 * factor)) >= kReducedPixels)
        factor *= 2;
    return factor;
}

// The picture as pixels to compare: 8-bit sRGB, and where the file has an alpha, premultiplied by it as a fourth
// channel, so every transparent pixel is (0, 0, 0, 0) whatever colour it hides and a transparent border is one
// colour.
VImage Comparable(VImage image)
{
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB || image.format() != VIPS_FORMAT_UCHAR)
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.bands() < 3) // grey that claimed to be colour
        image = image.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W))
                    .colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    const bool alpha = vips_image_hasalpha(image.get_image()) != 0;
    VImage colour = image.extract_band(0, VImage::option()->set("n", 3));
    if (alpha)
        colour = colour.bandjoin(image.extract_band(image.bands() - 1)).premultiply().cast(VIPS_FORMAT_UCHAR);
    // Plain channels: nothing below takes the fourth for an alpha to flatten.
    return colour.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_MULTIBAND));
}

VImage Turned(VImage image, int orientation)
{
    if (orientation == 1)
        return image;
    image = image.copy();
    image.set("orientation", orientation);
    return image.autorot();
}

// How far each pixel is from the colour: its largest channel difference (opacity included), rounded, 0-255.
VImage DistanceFrom(const VImage& pixels, const std::vector<double>& colour)
{
    const VImage difference = (pixels - colour).abs();
    return VImage::bandrank(difference.bandsplit(), VImage::option()->set("index", pixels.bands() - 1))
        .rint()
        .cast(VIPS_FORMAT_UCHAR);
}

// 8-bit pixels in memory, channels interleaved.
struct Bytes
{
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint8_t> data;

    const std::uint8_t* At(int x, int y) const
    {
        return data.data() + (static_cast<std::size_t>(y) * width + x) * channels;
    }
};

Bytes ToBytes(const VImage& image)
{
    Bytes bytes{image.width(), image.height(), image.bands(), {}};
    std::size_t length = 0;
    void* memory = image.write_to_memory(&length);
    const auto* first = static_cast<const std::uint8_t*>(memory);
    bytes.data.assign(first, first + length);
    g_free(memory);
    if (bytes.data.size() != static_cast<std::size_t>(bytes.width) * bytes.height * bytes.channels)
        throw std::runtime_error("The picture's pixels are not 8-bit");
    return bytes;
}

bool Near(const std::uint8_t* pixel, const std::vector<double>& colour, double threshold)
{
    for (std::size_t c = 0; c < colour.size(); ++c) {
        if (std::abs(pixel[c] - colour[c]) > threshold)
            return false;
    }
    return true;
}

// The border's colour: the one most pixels of the picture's outermost rows and columns are within threshold of
// (a mode, so a subject touching the edges, dust or a dark corner do not sway it), as the per-channel median of
// those pixels. Nothing when a side lacks it (fewer than 1 in 50 of its pixels): a border goes round the picture,
// and a sky along the top edge alone is picture.
std::optional<std::vector<double>> BorderColour(const Bytes& picture, double threshold)
{
    const int w = picture.width;
    const int h = picture.height;
    std::array<std::vector<const std::uint8_t*>, 4> sides;
    for (int x = 0; x < w; ++x) {
        sides[0].push_back(picture.At(x, 0));
        sides[1].push_back(picture.At(x, h - 1));
    }
    for (int y = 0; y < h; ++y) {
        sides[2].push_back(picture.At(0, y));
        sides[3].push_back(picture.At(w - 1, y));
    }
    std::vector<const std::uint8_t*> ring;
    for (const auto& side : sides)
        ring.insert(ring.end(), side.begin(), side.end());
    const auto channels = static_cast<std::size_t>(picture.channels);
    // Candidates: up to 256 ring pixels spread evenly.
    const std::size_t step = std::max<std::size_t>(1, ring.size() / 256);
    std::vector<double> best;
    std::size_t bestCount = 0;
    for (std::size_t i = 0; i < ring.size(); i += step) {
        const std::vector<double> candidate(ring[i], ring[i] + channels);
        const auto count = static_cast<std::size_t>(std::count_if(
            ring.begin(), ring.end(), [&](const std::uint8_t* p) { return Near(p, candidate, threshold); }));
        if (count > bestCount) {
            bestCount = count;
            best = candidate;
        }
    }
    std::vector<double> colour(channels);
    std::vector<std::uint8_t> values;
    for (std::size_t c = 0; c < channels; ++c) {
        values.clear();
        for (const std::uint8_t* p : ring) {
            if (Near(p, best, threshold))
                values.push_back(p[c]);
        }
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        colour[c] = values[values.size() / 2];
    }
    for (const auto& side : sides) {
        const auto near = static_cast<std::size_t>(
            std::count_if(side.begin(), side.end(), [&](const std::uint8_t* p) { return Near(p, colour, threshold); }));
        if (near < std::max<std::size_t>(1, side.size() / 50))
            return std::nullopt;
    }
    return colour;
}

// The picture found in a reduced copy: where a channel is farther than the threshold from the border's colour,
// less the specks (8-connected patches no larger than speckSide each way).
struct Coarse
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> kept;               // 1 where picture
    int left = 0, top = 0, right = 0, bottom = 0; // its bounds, right and bottom past the last

    bool At(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < width && y < height && kept[static_cast<std::size_t>(y) * width + x] != 0;
    }
};

std::optional<Coarse> FindCoarse(const Bytes& picture, const std::vector<double>& colour, double threshold,
                                 int speckSide)
{
    const int w = picture.width;
    const int h = picture.height;
    Coarse coarse{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, 0), w, h, 0, 0};
    std::vector<std::uint8_t> far(coarse.kept.size());
    for (std::size_t i = 0; i < far.size(); ++i)
        far[i] = !Near(picture.data.data() + i * picture.channels, colour, threshold);
    std::vector<std::uint8_t> seen(coarse.kept.size(), 0);
    std::vector<int> patch;
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (seen[start] || !far[start])
            continue;
        patch.clear();
        stack.assign(1, start);
        seen[start] = 1;
        int left = w, top = h, right = -1, bottom = -1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            patch.push_back(at);
            const int x = at % w;
            const int y = at / w;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
            for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny) {
                for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx) {
                    const int next = ny * w + nx;
                    if (!seen[next] && far[next]) {
                        seen[next] = 1;
                        stack.push_back(next);
                    }
                }
            }
        }
        if (right - left < speckSide && bottom - top < speckSide)
            continue;
        for (const int at : patch)
            coarse.kept[at] = 1;
        coarse.left = std::min(coarse.left, left), coarse.right = std::max(coarse.right, right + 1);
        coarse.top = std::min(coarse.top, top), coarse.bottom = std::max(coarse.bottom, bottom + 1);
    }
    if (coarse.right <= coarse.left)
        return std::nullopt;
    return coarse;
}

enum class Edge
{
    Top,
    Bottom,
    Left,
    Right,
};

struct Strip
{
    Edge edge;
    PixelRect rect; // full-size, upright
};

// The full-size strips that hold the coarse edges of a picture reduced by factor: the reduced pixels on each side
// of an edge and the blur's reach beyond, only along the stretches where the picture comes within two reduced
// pixels of that edge.
std::vector<Strip> PlanStrips(const Coarse& coarse, int factor, int width, int height)
{
    // Full-size pixels [from, to) of reduced pixels [from, to), with the blur's reach, within 0-limit.
    const auto span = [factor](int from, int to, int limit) {
        return std::pair{std::clamp(from * factor - kBlurReach, 0, limit),
                         std::clamp(to * factor + kBlurReach, 0, limit)};
    };
    std::vector<Strip> strips;
    for (const Edge edge : {Edge::Top, Edge::Bottom, Edge::Left, Edge::Right}) {
        const bool across = edge == Edge::Top || edge == Edge::Bottom; // the strip runs along a row
        const int line = edge == Edge::Top      ? coarse.top
                         : edge == Edge::Bottom ? coarse.bottom - 1
                         : edge == Edge::Left   ? coarse.left
                                                : coarse.right - 1;
        const int inward = edge == Edge::Top || edge == Edge::Left ? 1 : -1;
        // The edge's reduced line and the one outside it: a line flagged holds a pixel far from the border's colour,
        // and a faint part of the picture reaches at most one reduced pixel beyond.
        const auto [depthFrom, depthTo] =
            span(std::min(line, line - inward), std::max(line, line - inward) + 1, across ? height : width);
        const int length = across ? coarse.width : coarse.height;
        std::pair<int, int> stretch{-1, -1}; // full-size, along the edge
        const auto flush = [&] {
            if (stretch.first < 0)
                return;
            const PixelRect rect =
                across ? PixelRect{stretch.first, depthFrom, stretch.second - stretch.first, depthTo - depthFrom}
                       : PixelRect{depthFrom, stretch.first, depthTo - depthFrom, stretch.second - stretch.first};
            strips.push_back({edge, rect});
            stretch = {-1, -1};
        };
        for (int along = 0; along < length; ++along) {
            const bool near = across ? coarse.At(along, line) || coarse.At(along, line + inward)
                                     : coarse.At(line, along) || coarse.At(line + inward, along);
            if (!near)
                continue;
            const auto [from, to] = span(along - 1, along + 2, across ? width : height);
            if (stretch.first >= 0 && from <= stretch.second)
                stretch.second = to;
            else
                flush(), stretch = {from, to};
        }
        flush();
    }
    return strips;
}

// Where the picture's pixels come from, upright and comparable: a reduced copy, and full-size rectangles.
struct Reading
{
    int factor = 1;
    VImage reduced;
    std::function<std::vector<VImage>(const std::vector<PixelRect>&)> regions;
};

// The whole picture at full size, upright, in memory.
VImage ReadWhole(const std::string& path, const SourceLayout& layout)
{
    VImage pixels = OpenPageOfFile(path, layout.loader, layout.kind, layout.largestPage, VIPS_ACCESS_SEQUENTIAL);
    const int orientation = layout.kind == SourceKind::Jpeg2000 ? layout.orientation
                            : layout.kind == SourceKind::Heif   ? 1
                                                                : vips_image_get_orientation(pixels.get_image());
    pixels = Turned(Comparable(pixels).copy_memory(), orientation);
    if (pixels.width() != layout.largestWidth || pixels.height() != layout.largestHeight)
        throw std::runtime_error("The file changed while it was read");
    return pixels;
}

Reading ReadWholeOnce(const std::string& path, const SourceLayout& layout, int factor)
{
    // The whole picture is held in memory, 4 bytes a pixel at most.
    if (4.0 * layout.largestWidth * layout.largestHeight > ImageMemoryBudget())
        throw std::runtime_error("The picture is too large to be held whole");
    const VImage whole = ReadWhole(path, layout);
    Reading reading;
    reading.factor = factor;
    if (factor == 1) {
        reading.reduced = whole;
    } else {
        // Out to whole reduced pixels, as a JPEG's reduced decode is, then averaged.
        const int width = (whole.width() + factor - 1) / factor * factor;
        const int height = (whole.height() + factor - 1) / factor * factor;
        VImage padded = whole;
        if (width != whole.width() || height != whole.height())
            padded = whole.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
        reading.reduced = padded.shrink(factor, factor).cast(VIPS_FORMAT_UCHAR).copy_memory();
    }
    reading.regions = [whole](const std::vector<PixelRect>& rects) {
        std::vector<VImage> images;
        for (const PixelRect& rect : rects)
            images.push_back(whole.extract_area(rect.left, rect.top, rect.width, rect.height));
        return images;
    };
    return reading;
}

// A JPEG read by its decoder's own reduction (it transforms only each block's average), then only the strips asked
// for at full size (see DecodeJpegRects). A progressive file is read whole: its decoder holds every scan before a
// pixel comes out, reduced or not, so a second read costs as much again; so is one the strip decoder does not take
// (CMYK).
Reading ReadJpegReduced(const std::string& path, const SourceLayout& layout, int factor)
{
    const auto options = [] {
        return VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    };
    const VImage header = VImage::jpegload(path.c_str(), options());
    const bool progressive = header.get_typeof("interlaced") != 0 && header.get_int("interlaced") != 0;
    if (progressive || (header.bands() != 1 && header.bands() != 3))
        return ReadWholeOnce(path, layout, factor);
    const int orientation = layout.storedOrientation;
    const bool turned = orientation >= 5 && orientation <= 8;
    if ((turned ? header.height() : header.width()) != layout.largestWidth ||
        (turned ? header.width() : header.height()) != layout.largestHeight)
        throw std::runtime_error("The file changed while it was read");
    Reading reading;
    reading.factor = factor;
    reading.reduced =
        Turned(Comparable(VImage::jpegload(path.c_str(), options()->set("shrink", factor))).copy_memory(), orientation);
    reading.regions = [path, layout, header, orientation](const std::vector<PixelRect>& rects) {
        std::vector<PixelRect> stored;
        for (const PixelRect& rect : rects)
            stored.push_back(StoredRect(rect, orientation, header.width(), header.height()));
        std::vector<VImage> images;
        if (const auto decoded = DecodeJpegRects(path, header, stored)) {
            for (const VImage& image : *decoded)
                images.push_back(Turned(Comparable(image), orientation));
            return images;
        }
        // A JPEG the strip decoder does not take after all (12-bit...): libvips' decoder reads it whole.
        const VImage whole = ReadWhole(path, layout);
        for (const PixelRect& rect : rects)
            images.push_back(whole.extract_area(rect.left, rect.top, rect.width, rect.height));
        return images;
    };
    return reading;
}

// The strips along one edge laid end to end (those of an edge share their depth), a gap of the border's colour
// between them; nothing when the edge has none. depth: the first strip's rectangle.
std::optional<VImage> JoinStrips(Edge edge, const std::vector<Strip>& strips, const std::vector<VImage>& pixels,
                                 const std::vector<double>& colour, PixelRect& depth)
{
    const bool across = edge == Edge::Top || edge == Edge::Bottom;
    const auto direction = across ? VIPS_DIRECTION_HORIZONTAL : VIPS_DIRECTION_VERTICAL;
    std::optional<VImage> joined;
    for (std::size_t i = 0; i < strips.size(); ++i) {
        if (strips[i].edge != edge)
            continue;
        if (!joined) {
            joined = pixels[i];
            depth = strips[i].rect;
            continue;
        }
        const VImage gap =
            VImage::black(across ? 2 * kBlurReach : pixels[i].width(), across ? pixels[i].height() : 2 * kBlurReach)
                .new_from_image(colour)
                .cast(VIPS_FORMAT_UCHAR);
        joined = joined->join(gap, direction).join(pixels[i], direction);
    }
    return joined;
}

// Where find_trim finds the picture's edges in the strips, in full-size pixels (top, bottom, left, right); nothing
// for an edge whose strips are all border. The strips of all edges are smoothed and measured together (one pass
// of libvips' pipeline, not four), stacked with gaps of the border's colour, then each edge searched on its own.
std::array<std::optional<int>, 4> FindEdges(const std::vector<Strip>& strips, const std::vector<VImage>& pixels,
                                            const std::vector<double>& colour, double threshold)
{
    constexpr std::array edges{Edge::Top, Edge::Bottom, Edge::Left, Edge::Right};
    std::array<std::optional<PixelRect>, 4> places; // of each edge's strips in the stack, and their depth
    std::array<PixelRect, 4> depths;
    std::optional<VImage> stack;
    for (std::size_t e = 0; e < edges.size(); ++e) {
        const auto joined = JoinStrips(edges[e], strips, pixels, colour, depths[e]);
        if (!joined)
            continue;
        const int top = stack ? stack->height() + 2 * kBlurReach : 0;
        places[e] = PixelRect{0, top, joined->width(), joined->height()};
        stack = stack
                    ? stack->join(
                          *joined, VIPS_DIRECTION_VERTICAL,
                          VImage::option()->set("expand", true)->set("shim", 2 * kBlurReach)->set("background", colour))
                    : *joined;
    }
    std::array<std::optional<int>, 4> found;
    if (!stack)
        return found;
    // find_trim would flatten an alpha onto its background; a transparent border is told by its opacity, so it is
    // given each pixel's distance from the border's colour, against a background of 0.
    const VImage distance = DistanceFrom(stack->gaussblur(kSmoothing), colour).copy_memory();
    for (std::size_t e = 0; e < edges.size(); ++e) {
        if (!places[e])
            continue;
        const PixelRect& place = *places[e];
        int top = 0;
        int width = 0;
        int height = 0;
        const int left =
            distance.extract_area(place.left, place.top, place.width, place.height)
                .find_trim(&top, &width, &height,
                           VImage::option()->set("threshold", threshold)->set("background", std::vector<double>{0}));
        if (width < 1 || height < 1)
            continue;
        const PixelRect& depth = depths[e];
        switch (edges[e]) {
        case Edge::Top:
            found[e] = depth.top + top;
            break;
        case Edge::Bottom:
            found[e] = depth.top + top + height;
            break;
        case Edge::Left:
            found[e] = depth.left + left;
            break;
        case Edge::Right:
            found[e] = depth.left + left + width;
            break;
        }
    }
    return found;
}

std::optional<PixelRect> FindTrim(const Reading& reading, int width, int height, double threshold)
{
    const int factor = reading.factor;
    // At full size the blur keeps noise from being taken for picture; a reduced copy is an average already.
    const Bytes reduced = ToBytes(factor == 1 ? reading.reduced.gaussblur(kSmoothing) : reading.reduced);
    const auto colour = BorderColour(reduced, threshold);
    if (!colour)
        return std::nullopt;
    // A speck may straddle two reduced pixels each way.
    const int speckSide = factor == 1 ? kSpeckSide : kSpeckSide / factor + 1;
    const auto coarse = FindCoarse(reduced, *colour, threshold, speckSide);
    if (!coarse)
        return std::nullopt; // all border
    const std::vector<Strip> strips = PlanStrips(*coarse, factor, width, height);
    std::vector<PixelRect> rects;
    for (const Strip& strip : strips)
        rects.push_back(strip.rect);
    const auto [top, bottom, left, right] = FindEdges(strips, reading.regions(rects), *colour, threshold);
    // Where an edge's strips show no picture at full size (what the reduced copy saw was too faint), its coarse
    // edge stands: that keeps a little border, and cuts nothing.
    const PixelRect trim{left.value_or(coarse->left * factor), top.value_or(coarse->top * factor), 0, 0};
    const int trimRight = right.value_or(std::min(width, coarse->right * factor));
    const int trimBottom = bottom.value_or(std::min(height, coarse->bottom * factor));
    if (trimRight <= trim.left || trimBottom <= trim.top)
        return std::nullopt;
    return PixelRect{trim.left, trim.top, trimRight - trim.left, trimBottom - trim.top};
}

} // namespace

std::optional<PixelRect> FindBorderTrimRect(const std::string& path, int tolerance, int margin, TrimDecode decode)
{
    if (!EnsureLibrariesReady())
        return std::nullopt;
    const WarningScope warnings; // a damaged file finds nothing; its warnings have nowhere to go
    try {
        const auto layout = ProbeSource(path, nullptr);
        if (!layout || layout->largestWidth < 1 || layout->largestHeight < 1)
            return std::nullopt;
        const int width = layout->largestWidth;
        const int height = layout->largestHeight;
        std::error_code ec;
        const std::uintmax_t fileBytes = std::filesystem::file_size(path, ec);
        if (ec || RefuseDecode(layout->shape, fileBytes, ImageMemoryBudget()))
            return std::nullopt;
        const int factor = ReductionOf(width, height);
        const bool reducedJpeg = decode == TrimDecode::ShrunkFirst && layout->kind == SourceKind::Jpeg && factor > 1;
        const Reading reading =
            reducedJpeg ? ReadJpegReduced(path, *layout, factor) : ReadWholeOnce(path, *layout, factor);
        const auto trim = FindTrim(reading, width, height, ThresholdOf(tolerance));
        if (!trim || *trim == PixelRect{0, 0, width, height})
            return std::nullopt;
        const int grow = std::clamp(margin, 0, std::max(width, height));
        const int left = std::max(0, trim->left - grow);
        const int top = std::max(0, trim->top - grow);
        const int right = std::min(width, trim->left + trim->width + grow);
        const int bottom = std::min(height, trim->top + trim->height + grow);
        return PixelRect{left, top, right - left, bottom - top};
    } catch (const std::exception&) {
        vips_error_clear();
        return std::nullopt;
    }
}

} // namespace trimlark
