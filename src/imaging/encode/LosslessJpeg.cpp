#include "imaging/encode/LosslessJpeg.h"

#include "base/AtomicFile.h"
#include "base/FileIo.h"
#include "base/Reason.h"
#include "imaging/decode/DecoderWarnings.h"
#include "imaging/metadata/MetadataCarrier.h"
#include "imaging/metadata/MetadataPlacement.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace trimlark {

PixelRect GrowToBlockGrid(const PixelRect& upright, const LosslessJpegLayout& layout)
{
    const auto& [grid, orientation, storedWidth, storedHeight] = layout;
    PixelRect stored = StoredRect(upright, orientation, storedWidth, storedHeight);
    const int left = stored.left - stored.left % grid.width;
    const int top = stored.top - stored.top % grid.height;
    stored = {left, top, stored.width + stored.left - left, stored.height + stored.top - top};
    // Back to upright: the turn that undoes the orientation, over the upright picture.
    const bool turned = orientation >= 5 && orientation <= 8;
    const int undo = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
    return StoredRect(stored, undo, turned ? storedHeight : storedWidth, turned ? storedWidth : storedHeight);
}

namespace {

// The transformed file's markers, keeping those that describe how to decode its pixels (JFIF, the colour
// profile, Adobe's colour transform) and dropping every other application marker and comment: the metadata that
// goes with the output is put in afresh.
std::vector<unsigned char> KeepDecodingMarkers(const unsigned char* data, std::size_t size)
{
    std::vector<unsigned char> kept(data, data + std::min<std::size_t>(2, size));
    std::size_t at = 2;
    while (at + 4 <= size && data[at] == 0xFF && data[at + 1] != 0xDA) {
        const unsigned char marker = data[at + 1];
        const std::size_t length = 2 + (static_cast<std::size_t>(data[at + 2]) << 8 | data[at + 3]);
        if (at + length > size)
            break;
        const auto startsWith = [&](const char* prefix) {
            const std::size_t n = std::strlen(prefix);
            return length >= 4 + n && std::memcmp(data + at + 4, prefix, n) == 0;
        };
        const bool application = (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
        if (!application || (marker == 0xE0 && startsWith("JFIF")) || (marker == 0xE2 && startsWith("ICC_PROFILE")) ||
            (marker == 0xEE && startsWith("Adobe")))
            kept.insert(kept.end(), data + at, data + at + length);
        at += length;
    }
    kept.insert(kept.end(), data + std::min(at, size), data + size); // the scans
    return kept;
}

// The output's bytes written through the metadata inserter into the file being made.
bool WriteWithMetadata(const std::string& path, const std::string& outputPath, const std::vector<unsigned char>& bytes,
                       const FittedMetadata& metadata, std::string* reason)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Fail(reason, WriteFailureText(outputPath, errno));
    MetadataInserter inserter(fd, metadata);
    errno = 0;
    const bool written = inserter.Write(bytes.data(), bytes.size()) && inserter.Finish();
    int error = errno;
    if (::close(fd) != 0 && written)
        return Fail(reason, WriteFailureText(outputPath, errno));
    return written || Fail(reason, WriteFailureText(outputPath, error != 0 ? error : EIO));
}

// What the transform's refusal means for the user; "tjTransform(): " and such prefixes are the library's inside.
std::string TransformRefusal(const char* message)
{
    const std::string text = message ? message : "";
    if (text.find("subsampling") != std::string::npos)
        return "its colour sampling cannot be cropped without re-encoding";
    const auto colon = text.find("(): ");
    return colon == std::string::npos ? text : text.substr(colon + 4);
}

} // namespace

LosslessResult WriteLosslessJpegCrop(const std::string& sourcePath, const std::string& outputPath,
                                     const LosslessRequest& request, std::string* reason)
{
    std::ifstream in(sourcePath, std::ios::binary | std::ios::ate);
    std::vector<unsigned char> source(in ? static_cast<std::size_t>(in.tellg()) : 0);
    const bool read =
        in && in.seekg(0).read(reinterpret_cast<char*>(source.data()), static_cast<std::streamsize>(source.size()));
    tjhandle transformer = read ? tjInitTransform() : nullptr;
    if (!transformer) {
        Fail(reason, read ? "The lossless JPEG transform cannot start" : "Cannot read the source");
        return LosslessResult::Refused;
    }
    tjtransform crop{};
    crop.r = {request.stored.left, request.stored.top, request.stored.width, request.stored.height};
    crop.op = TJXOP_NONE;
    crop.options = TJXOPT_CROP;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    // A warning (damaged data) refuses too: a re-encode then decides what the damaged file gives.
    const bool transformed =
        tjTransform(transformer, source.data(), source.size(), 1, &out, &outSize, &crop, TJFLAG_STOPONWARNING) == 0;
    if (!transformed)
        Fail(reason, TransformRefusal(tjGetErrorStr2(transformer)));
    std::vector<unsigned char> bytes;
    if (transformed)
        bytes = KeepDecodingMarkers(out, outSize);
    tjFree(out);
    tjDestroy(transformer);
    if (!transformed)
        return LosslessResult::Refused;

    FittedMetadata metadata;
    if (request.keepMetadata)
        metadata = FitSourceMetadata(sourcePath, request.stored.width, request.stored.height, OutputFormat::Jpeg,
                                     request.orientation);
    // Without an orientation in the file a picture stored on its side would show on its side.
    if (metadata.exif.empty() && request.orientation != 1)
        metadata.exif = OrientationOnlyExif(request.orientation);

    AtomicFile file(outputPath);
    if (!file.Create(reason) || !WriteWithMetadata(file.TemporaryPath(), outputPath, bytes, metadata, reason)) {
        if (reason)
            *reason = JoinRemarks(*reason, file.Abandon());
        return LosslessResult::Failed;
    }
    if (!file.Commit(reason, request.replaceExisting))
        return file.DestinationTaken() ? LosslessResult::PathTaken : LosslessResult::Failed;
    if (reason)
        *reason = metadata.remark;
    return LosslessResult::Written;
}

} // namespace trimlark
