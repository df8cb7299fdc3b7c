#pragma once

#include <filesystem>
#include <string>

namespace trimlark {

// Multi-image files other than TIFF (whose headers are read in one pass) are probed up to this many images;
// later ones are ignored.
inline constexpr int kMaxProbedImages = 256;

// Library set-up, done once per process however often it is called: vips with its operation cache off (a
// file rewritten in this process must never be read from the cache), Exiv2's XMP parser initialised, its
// HEIF support on and its log muted. Nothing here writes to standard output; decoder warnings are collected
// per image (see WarningScope).
// libvips' codec modules other than HEIF's (ImageMagick's, PDF...) are not loaded then: EnsureAllCodecs loads
// them, for a file no built-in decoder takes or a format only they write.
bool EnsureLibrariesReady();
void EnsureAllCodecs();

// Where the libvips package keeps those modules.
std::filesystem::path CodecModuleFolder();

// Why a call on a source failed, never empty: for libvips' failures, what the scope open on this thread says
// (see CurrentSourceFailure), as libvips' own buffer may hold another image's messages.
std::string DescribeVipsError(const std::exception& error);

} // namespace trimlark
