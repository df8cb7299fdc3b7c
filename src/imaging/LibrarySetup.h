#pragma once

#include <string>

namespace trimlark {

// Images with more pixels than this (the largest image of a file, upright) are refused before any pixel is
// decoded: 2^28 pixels (16384 x 16384, about 268 megapixels) keeps one decode within about 1 GiB of RGBA
// for the formats that cannot stream, and stops files whose header claims an absurd size.
inline constexpr double kMaxImagePixels = 268435456.0;

// Multi-image files other than TIFF (whose headers are read in one pass) are probed up to this many images;
// later ones are ignored.
inline constexpr int kMaxProbedImages = 256;

// Library set-up, done once per process however often it is called: vips with its operation cache off (a
// file rewritten in this process must never be read from the cache), Exiv2's XMP parser initialised, its
// HEIF support on and its log muted. Nothing here writes to standard output; decoder warnings go to standard
// error.
bool EnsureLibrariesReady();

// The library's message for a failed call, never empty.
std::string DescribeVipsError(const std::exception& error);

} // namespace trimlark
