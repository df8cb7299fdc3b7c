#include "imaging/metadata/MetadataCarrier.h"

#include "imaging/LibrarySetup.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <set>

namespace trimlark {

namespace {

struct SourceMetadata
{
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
    std::string remark; // what of the source's metadata could not be read, or empty
};

// Tags that describe how the source file lays out its pixels; in another file they would lie.
bool IsLayoutTag(const std::string& key)
{
    static const char* const keys[] = {
        "Exif.Image.ImageWidth",
        "Exif.Image.ImageLength",
        "Exif.Image.BitsPerSample",
        "Exif.Image.Compression",
        "Exif.Image.PhotometricInterpretation",
        "Exif.Image.StripOffsets",
        "Exif.Image.SamplesPerPixel",
        "Exif.Image.RowsPerStrip",
        "Exif.Image.StripByteCounts",
        "Exif.Image.PlanarConfiguration",
        "Exif.Image.TileWidth",
        "Exif.Image.TileLength",
        "Exif.Image.TileOffsets",
        "Exif.Image.TileByteCounts",
        "Exif.Image.ExtraSamples",
        "Exif.Image.SampleFormat",
        "Exif.Image.Predictor",
        "Exif.Image.ColorMap",
        "Exif.Image.NewSubfileType",
        "Exif.Image.SubfileType",
        "Exif.Image.SubIFDs",
        "Exif.Image.JPEGInterchangeFormat",
        "Exif.Image.JPEGInterchangeFormatLength",
        "Exif.Image.InterColorProfile",
        "Exif.Image.FillOrder",
        "Exif.Image.YCbCrSubSampling",
        "Exif.Image.YCbCrPositioning",
        "Exif.Image.JPEGTables",
        "Exif.Image.XMLPacket",
        "Exif.Image.IPTCNAA",
        "Exif.Image.ImageResources",
    };
    for (const char* layoutKey : keys) {
        if (key == layoutKey)
            return true;
    }
    return false;
}

// The metadata Exiv2 reads from the image; nothing when it cannot read them.
template <typename Source> std::optional<SourceMetadata> ReadMetadata(const Source& open)
{
    try {
        auto image = open();
        if (!image.get())
            return std::nullopt;
        image->readMetadata();
        return SourceMetadata{image->exifData(), image->iptcData(), image->xmpData(), {}};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A JPEG file's header (its segments up to the scan) without its EXIF segments, then an end marker: what Exiv2
// reads the other blocks from. Nothing when the file is no JPEG or has no EXIF segment.
std::optional<std::string> JpegHeaderWithoutExif(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    char start[2] = {};
    if (!file.read(start, 2) || start[0] != '\xFF' || start[1] != '\xD8')
        return std::nullopt;
    std::string header(start, 2);
    bool exifFound = false;
    while (true) {
        int marker = file.get();
        if (marker != 0xFF)
            break;
        while (marker == 0xFF) // fill bytes
            marker = file.get();
        if (marker == std::char_traits<char>::eof() || marker == 0xDA || marker == 0xD9)
            break;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) { // markers without a segment
            header += {'\xFF', static_cast<char>(marker)};
            continue;
        }
        char length[2] = {};
        if (!file.read(length, 2))
            break;
        const std::size_t size =
            static_cast<std::size_t>(static_cast<std::uint8_t>(length[0])) << 8 | static_cast<std::uint8_t>(length[1]);
        if (size < 2)
            break;
        std::string body(size - 2, '\0');
        if (!file.read(body.data(), static_cast<std::streamsize>(body.size())))
            break;
        if (marker == 0xE1 && body.compare(0, 6, std::string("Exif\0\0", 6)) == 0) {
            exifFound = true;
            continue;
        }
        header += {'\xFF', static_cast<char>(marker), length[0], length[1]};
        header += body;
    }
    if (!exifFound)
        return std::nullopt;
    return header + "\xFF\xD9";
}

// Each tag once. A PNG may hold its EXIF twice (libvips writes an eXIf chunk before the pixels and another after
// them), and Exiv2 reads both into one list.
void DropRepeatedTags(Exiv2::ExifData& exif)
{
    std::set<std::string> seen;
    for (auto it = exif.begin(); it != exif.end();) {
        if (seen.insert(it->key()).second)
            ++it;
        else
            it = exif.erase(it);
    }
}

std::optional<SourceMetadata> ReadSourceMetadata(const std::string& path)
{
    auto metadata = ReadMetadata([&path] { return Exiv2::ImageFactory::open(path); });
    if (!metadata || metadata->exif.empty()) {
        // EXIF that Exiv2 cannot take apart (it gives up on the whole file, or reads no tag of it) costs only
        // itself: the other blocks are read from the file without it.
        if (const auto header = JpegHeaderWithoutExif(path)) {
            auto rest = ReadMetadata([&header] {
                return Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(header->data()),
                                                 static_cast<long>(header->size()));
            });
            if (rest) {
                metadata = std::move(rest);
                metadata->remark = "EXIF dropped: it is damaged in the source";
            }
        }
    }
    if (!metadata)
        return std::nullopt;
    DropRepeatedTags(metadata->exif);
    if (metadata->exif.empty() && metadata->iptc.empty() && metadata->xmp.empty() && metadata->remark.empty())
        return std::nullopt;
    return metadata;
}

// A camera's own reduced copy of the uncropped picture inside its maker note (Nikon's preview IFD, Olympus,
// Pentax, Minolta, Casio, Samsung and Sony preview and thumbnail tags), or what locates one.
bool IsMakerNotePreview(const Exiv2::Exifdatum& datum)
{
    static const char* const standardGroups[] = {"Image", "Photo", "GPSInfo", "Iop"};
    const std::string group = datum.groupName();
    for (const char* standard : standardGroups) {
        if (group == standard)
            return false;
    }
    const std::string tag = datum.tagName();
    const auto mentions = [](const std::string& text, const char* word) {
        return text.find(word) != std::string::npos;
    };
    return mentions(group, "Preview") || mentions(group, "Thumb") || mentions(tag, "Preview") ||
           mentions(tag, "Thumbnail");
}

// A maker note Exiv2 could not take apart, holding a JPEG stream: cameras keep a full-size copy of the uncropped
// picture there, and with the note opaque it cannot be cut out on its own.
bool HidesPicture(const Exiv2::Exifdatum& makerNote)
{
    std::vector<Exiv2::byte> bytes(makerNote.size());
    makerNote.copy(bytes.data(), Exiv2::littleEndian);
    static const Exiv2::byte start[] = {0xFF, 0xD8, 0xFF}, end[] = {0xFF, 0xD9};
    const auto soi = std::search(bytes.begin(), bytes.end(), std::begin(start), std::end(start));
    return soi != bytes.end() && std::search(soi, bytes.end(), std::begin(end), std::end(end)) != bytes.end();
}

// Returns what it had to leave out that the user would miss, or nothing.
std::string FitToOutput(SourceMetadata& metadata, int width, int height, int orientation, double ppi)
{
    std::string remark;
    auto& exif = metadata.exif;
    Exiv2::ExifThumb(exif).erase();
    for (auto it = exif.begin(); it != exif.end();) {
        const std::string key = it->key();
        // IFD1 is the thumbnail's; sub-IFDs of other images hold reduced copies of the uncropped picture.
        if (IsLayoutTag(key) || key.rfind("Exif.Thumbnail.", 0) == 0 || key.rfind("Exif.SubImage", 0) == 0 ||
            key.rfind("Exif.Image2.", 0) == 0 || key.rfind("Exif.Image3.", 0) == 0 || IsMakerNotePreview(*it)) {
            it = exif.erase(it);
        } else if (key == "Exif.Photo.MakerNote" && HidesPicture(*it)) {
            remark = "Maker note dropped: it holds a picture of the whole frame";
            it = exif.erase(it);
        } else {
            ++it;
        }
    }
    if (!exif.empty()) {
        const bool hasPhotoGroup = std::any_of(
            exif.begin(), exif.end(), [](const Exiv2::Exifdatum& datum) { return datum.groupName() == "Photo"; });
        exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
        // Only where the source has the group: a lone pair of sizes would make an incomplete one.
        if (hasPhotoGroup) {
            exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(width);
            exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(height);
        }
        if (ppi > 0) {
            // Hundredths of a pixel per inch: a print size's resolution need not be whole.
            const Exiv2::URational resolution{static_cast<std::uint32_t>(std::lround(ppi * 100)), 100};
            exif["Exif.Image.XResolution"] = resolution;
            exif["Exif.Image.YResolution"] = resolution;
            exif["Exif.Image.ResolutionUnit"] = static_cast<std::uint16_t>(2); // inches
        }
    }

    auto& xmp = metadata.xmp;
    for (auto it = xmp.begin(); it != xmp.end();) {
        if (it->key().rfind("Xmp.xmp.Thumbnails", 0) == 0)
            it = xmp.erase(it);
        else
            ++it;
    }
    const auto setIfPresent = [&xmp](const char* key, const std::string& value) {
        if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end())
            xmp[key] = value;
    };
    setIfPresent("Xmp.tiff.Orientation", std::to_string(orientation));
    setIfPresent("Xmp.tiff.ImageWidth", std::to_string(width));
    setIfPresent("Xmp.tiff.ImageLength", std::to_string(height));
    setIfPresent("Xmp.exif.PixelXDimension", std::to_string(width));
    setIfPresent("Xmp.exif.PixelYDimension", std::to_string(height));
    return remark;
}

void AddRemark(std::string& remark, const std::string& text)
{
    if (text.empty())
        return;
    if (!remark.empty())
        remark += "; ";
    remark += text;
}

std::string Kilobytes(std::size_t size)
{
    return std::to_string((size + 512) / 1024) + " KB";
}

// The largest block each JPEG marker segment takes: 65535 less the length field and the segment's own header.
constexpr std::size_t kJpegExifLimit = 65535 - 2 - 6;  // "Exif\0\0"
constexpr std::size_t kJpegXmpLimit = 65535 - 2 - 29;  // "http://ns.adobe.com/xap/1.0/\0"
constexpr std::size_t kJpegIptcLimit = 65535 - 2 - 14; // "Photoshop 3.0\0"

Exiv2::ByteOrder NativeByteOrder()
{
    return std::endian::native == std::endian::little ? Exiv2::littleEndian : Exiv2::bigEndian;
}

// Keeps the block when it fits in limit bytes; otherwise drops it and says so.
template <typename Bytes>
void KeepIfFits(Bytes& block, std::size_t limit, const char* name, OutputFormat format, std::string& remark)
{
    if (block.size() <= limit)
        return;
    AddRemark(remark, std::string(name) + " dropped: " + Kilobytes(block.size()) + ", more than " + FormatName(format) +
                          " can hold");
    block.clear();
}

// The TIFF output's first directory with EXIF, IPTC and XMP; blocks Exiv2 refuses are dropped one by one.
std::vector<std::uint8_t> EncodeTiffDirectory(SourceMetadata& metadata, std::string& remark)
{
    const auto encode = [](const SourceMetadata& blocks) {
        Exiv2::MemIo io;
        Exiv2::TiffParser::encode(io, nullptr, 0, NativeByteOrder(), blocks.exif, blocks.iptc, blocks.xmp);
        Exiv2::DataBuf bytes = io.read(static_cast<long>(io.size()));
        return std::vector<std::uint8_t>(bytes.pData_, bytes.pData_ + bytes.size_);
    };
    SourceMetadata accepted;
    std::vector<std::uint8_t> directory;
    const auto tryBlock = [&](const char* name, bool present, auto take) {
        if (!present)
            return;
        SourceMetadata attempt = accepted;
        take(attempt);
        try {
            directory = encode(attempt);
            accepted = std::move(attempt);
        } catch (const std::exception& error) {
            AddRemark(remark, std::string(name) + " dropped: " + error.what());
        }
    };
    tryBlock("EXIF", !metadata.exif.empty(), [&](SourceMetadata& m) { m.exif = metadata.exif; });
    tryBlock("IPTC", !metadata.iptc.empty(), [&](SourceMetadata& m) { m.iptc = metadata.iptc; });
    tryBlock("XMP", !metadata.xmp.empty(), [&](SourceMetadata& m) { m.xmp = metadata.xmp; });
    return accepted.exif.empty() && accepted.iptc.empty() && accepted.xmp.empty() ? std::vector<std::uint8_t>()
                                                                                  : directory;
}

} // namespace

const char* FormatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Jpeg:
        return "a JPEG";
    case OutputFormat::Jpeg2000:
        return "a JPEG 2000 file";
    case OutputFormat::Png:
        return "a PNG";
    case OutputFormat::Tiff:
        return "a TIFF";
    case OutputFormat::Gif:
        return "a GIF";
    case OutputFormat::Bmp:
        return "a BMP";
    case OutputFormat::Heic:
        return "a HEIC file";
    case OutputFormat::Webp:
        return "a WebP file";
    case OutputFormat::Avif:
        return "an AVIF file";
    }
    return "the output";
}

int ReadExifOrientation(const std::string& path)
{
    EnsureLibrariesReady();
    try {
        auto image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return 1;
        image->readMetadata();
        const auto& exif = image->exifData();
        const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (it == exif.end() || it->count() == 0)
            return 1;
        const long value = it->toLong();
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    } catch (const std::exception&) {
        return 1;
    }
}

FittedMetadata FitSourceMetadata(const std::string& sourcePath, int width, int height, OutputFormat format,
                                 int orientation, double ppi)
{
    EnsureLibrariesReady();
    FittedMetadata fitted;
    auto metadata = ReadSourceMetadata(sourcePath);
    if (!metadata)
        return fitted;
    std::string& remark = fitted.remark;
    remark = metadata->remark;
    try {
        AddRemark(remark, FitToOutput(*metadata, width, height, orientation, ppi));
    } catch (const std::exception& error) {
        AddRemark(remark, std::string("EXIF dropped: ") + error.what());
        metadata->exif.clear();
    }

    std::vector<const char*> unheld;
    if (format == OutputFormat::Gif || format == OutputFormat::Bmp) {
        for (const auto& [name, present] :
             {std::pair{"EXIF", !metadata->exif.empty()}, std::pair{"IPTC", !metadata->iptc.empty()},
              std::pair{"XMP", !metadata->xmp.empty()}})
            if (present)
                unheld.push_back(name);
        metadata = SourceMetadata{};
        remark.clear(); // whatever was trimmed from them goes too
    } else if ((format == OutputFormat::Heic || format == OutputFormat::Webp || format == OutputFormat::Avif) &&
               !metadata->iptc.empty()) {
        unheld.push_back("IPTC");
        metadata->iptc.clear();
    }
    if (!unheld.empty()) {
        std::string names = unheld.front();
        for (std::size_t i = 1; i < unheld.size(); ++i)
            names += (i + 1 == unheld.size() ? " and " : ", ") + std::string(unheld[i]);
        AddRemark(remark,
                  names + " dropped: " + FormatName(format) + " cannot hold " + (unheld.size() == 1 ? "it" : "them"));
    }

    // An XMP packet Exiv2 cannot write would otherwise vanish without a word.
    if (!metadata->xmp.empty() &&
        Exiv2::XmpParser::encode(fitted.xmp, metadata->xmp, Exiv2::XmpParser::useCompactFormat) != 0) {
        AddRemark(remark, "XMP dropped: Exiv2 cannot encode it");
        metadata->xmp.clear();
        fitted.xmp.clear();
    }
    if (format == OutputFormat::Tiff) {
        fitted.exif = EncodeTiffDirectory(*metadata, remark);
        fitted.xmp.clear();
        return fitted;
    }
    if (!metadata->exif.empty()) {
        try {
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, metadata->exif);
            // The HEIF saver takes the block with a JPEG segment's "Exif" prefix, as libvips' loaders give it.
            if (format == OutputFormat::Heic || format == OutputFormat::Avif)
                fitted.exif.assign({'E', 'x', 'i', 'f', 0, 0});
            fitted.exif.insert(fitted.exif.end(), blob.begin(), blob.end());
        } catch (const std::exception& error) {
            AddRemark(remark, std::string("EXIF dropped: ") + error.what());
            fitted.exif.clear();
        }
    }
    if (!metadata->iptc.empty()) {
        try {
            const Exiv2::DataBuf block = Exiv2::Photoshop::setIptcIrb(nullptr, 0, metadata->iptc);
            fitted.iptc.assign(block.pData_, block.pData_ + block.size_);
        } catch (const std::exception& error) {
            AddRemark(remark, std::string("IPTC dropped: ") + error.what());
        }
    }
    if (format == OutputFormat::Jpeg) {
        KeepIfFits(fitted.exif, kJpegExifLimit, "EXIF", format, remark);
        KeepIfFits(fitted.iptc, kJpegIptcLimit, "IPTC", format, remark);
        KeepIfFits(fitted.xmp, kJpegXmpLimit, "XMP", format, remark);
    }
    return fitted;
}

std::vector<std::uint8_t> OrientationOnlyExif(int orientation)
{
    EnsureLibrariesReady();
    Exiv2::ExifData exif;
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return {blob.begin(), blob.end()};
}

std::string EmbedSourceMetadata(const std::string& sourcePath, int width, int height, double ppi,
                                std::vector<std::uint8_t>& encoded)
{
    EnsureLibrariesReady();
    auto metadata = ReadSourceMetadata(sourcePath);
    if (!metadata)
        return {}; // nothing to carry
    std::string remark = metadata->remark;
    try {
        AddRemark(remark, FitToOutput(*metadata, width, height, 1, ppi));
    } catch (const std::exception& error) {
        AddRemark(remark, std::string("EXIF dropped: ") + error.what());
        metadata->exif.clear();
    }
    // Block by block, so that one Exiv2 refuses costs only itself.
    SourceMetadata accepted;
    const auto tryBlock = [&](const char* name, bool present, auto take) {
        if (!present)
            return;
        SourceMetadata attempt = accepted;
        take(attempt);
        try {
            auto image = Exiv2::ImageFactory::open(encoded.data(), static_cast<long>(encoded.size()));
            if (!image.get())
                throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, "the encoded image");
            image->readMetadata();
            image->setExifData(attempt.exif);
            image->setIptcData(attempt.iptc);
            image->setXmpData(attempt.xmp);
            image->writeMetadata();
            auto& io = image->io();
            const long size = static_cast<long>(io.size());
            if (io.open() != 0 || size <= 0)
                throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, "the image with its metadata");
            Exiv2::DataBuf bytes = io.read(size);
            io.close();
            if (bytes.size_ != size)
                throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
            encoded.assign(bytes.pData_, bytes.pData_ + bytes.size_);
            accepted = std::move(attempt);
        } catch (const std::exception& error) {
            AddRemark(remark, std::string(name) + " dropped: " + error.what());
        }
    };
    tryBlock("EXIF", !metadata->exif.empty(), [&](SourceMetadata& m) { m.exif = metadata->exif; });
    tryBlock("IPTC", !metadata->iptc.empty(), [&](SourceMetadata& m) { m.iptc = metadata->iptc; });
    tryBlock("XMP", !metadata->xmp.empty(), [&](SourceMetadata& m) { m.xmp = metadata->xmp; });
    return remark;
}

} // namespace trimlark
