#include "imaging/MetadataCarrier.h"

#include "imaging/LibrarySetup.h"

#include <algorithm>
#include <exiv2/exiv2.hpp>

namespace trimlark {

namespace {

struct SourceMetadata
{
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
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

std::optional<SourceMetadata> ReadSourceMetadata(const std::string& path)
{
    try {
        auto image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return std::nullopt;
        image->readMetadata();
        SourceMetadata metadata{image->exifData(), image->iptcData(), image->xmpData()};
        if (metadata.exif.empty() && metadata.iptc.empty() && metadata.xmp.empty())
            return std::nullopt;
        return metadata;
    } catch (const std::exception&) {
        return std::nullopt;
    }
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

void FitToOutput(SourceMetadata& metadata, int width, int height)
{
    auto& exif = metadata.exif;
    Exiv2::ExifThumb(exif).erase();
    for (auto it = exif.begin(); it != exif.end();) {
        const std::string key = it->key();
        // IFD1 is the thumbnail's; sub-IFDs of other images hold reduced copies of the uncropped picture.
        if (IsLayoutTag(key) || key.rfind("Exif.Thumbnail.", 0) == 0 || key.rfind("Exif.SubImage", 0) == 0 ||
            key.rfind("Exif.Image2.", 0) == 0 || key.rfind("Exif.Image3.", 0) == 0 || IsMakerNotePreview(*it))
            it = exif.erase(it);
        else
            ++it;
    }
    if (!exif.empty()) {
        const bool hasPhotoGroup = std::any_of(
            exif.begin(), exif.end(), [](const Exiv2::Exifdatum& datum) { return datum.groupName() == "Photo"; });
        exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
        // Only where the source has the group: a lone pair of sizes would make an incomplete one.
        if (hasPhotoGroup) {
            exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(width);
            exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(height);
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
    setIfPresent("Xmp.tiff.Orientation", "1");
    setIfPresent("Xmp.tiff.ImageWidth", std::to_string(width));
    setIfPresent("Xmp.tiff.ImageLength", std::to_string(height));
    setIfPresent("Xmp.exif.PixelXDimension", std::to_string(width));
    setIfPresent("Xmp.exif.PixelYDimension", std::to_string(height));
}

bool IsPng(const std::vector<std::uint8_t>& bytes)
{
    static const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return bytes.size() > 33 && std::equal(std::begin(signature), std::end(signature), bytes.begin());
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// PNG's own EXIF chunk, right after the header chunk (it must come before the pixel data). Exiv2 0.27 would
// write the EXIF as a text chunk that many readers ignore.
void InsertPngExif(std::vector<std::uint8_t>& png, const Exiv2::ExifData& exif)
{
    Exiv2::Blob tiff;
    Exiv2::ExifParser::encode(tiff, Exiv2::littleEndian, exif);
    std::vector<std::uint8_t> chunk;
    const auto size = static_cast<std::uint32_t>(tiff.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.push_back(static_cast<std::uint8_t>(size >> shift));
    chunk.insert(chunk.end(), {'e', 'X', 'I', 'f'});
    chunk.insert(chunk.end(), tiff.begin(), tiff.end());
    const std::uint32_t crc = Crc32(chunk.data() + 4, chunk.size() - 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.push_back(static_cast<std::uint8_t>(crc >> shift));
    const std::size_t afterHeader = 8 + 4 + 4 + 13 + 4; // signature, then IHDR's length, type, data and CRC
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(afterHeader), chunk.begin(), chunk.end());
}

} // namespace

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

std::optional<CarriedMetadata> MakeCarriedMetadata(const std::string& sourcePath, int width, int height)
{
    EnsureLibrariesReady();
    auto metadata = ReadSourceMetadata(sourcePath);
    if (!metadata)
        return std::nullopt;
    try {
        FitToOutput(*metadata, width, height);
        CarriedMetadata carried;
        if (!metadata->exif.empty()) {
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, metadata->exif);
            static const std::uint8_t header[] = {'E', 'x', 'i', 'f', 0, 0};
            carried.exif.assign(std::begin(header), std::end(header));
            carried.exif.insert(carried.exif.end(), blob.begin(), blob.end());
        }
        if (!metadata->xmp.empty())
            Exiv2::XmpParser::encode(carried.xmp, metadata->xmp, Exiv2::XmpParser::useCompactFormat);
        return carried;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool EmbedSourceMetadata(const std::string& sourcePath, int width, int height, std::vector<std::uint8_t>& encoded,
                         std::string* reason)
{
    EnsureLibrariesReady();
    auto metadata = ReadSourceMetadata(sourcePath);
    if (!metadata)
        return true; // nothing to carry
    try {
        FitToOutput(*metadata, width, height);
        Exiv2::ExifData pngExif;
        const bool png = IsPng(encoded);
        if (png)
            std::swap(pngExif, metadata->exif);
        auto image = Exiv2::ImageFactory::open(encoded.data(), static_cast<long>(encoded.size()));
        if (!image.get()) {
            if (reason)
                *reason = "Cannot open the encoded image to add its metadata";
            return false;
        }
        image->readMetadata();
        image->setExifData(metadata->exif);
        image->setIptcData(metadata->iptc);
        image->setXmpData(metadata->xmp);
        image->writeMetadata();
        auto& io = image->io();
        const long size = static_cast<long>(io.size());
        if (io.open() != 0 || size <= 0) {
            if (reason)
                *reason = "Cannot read back the image with its metadata";
            return false;
        }
        Exiv2::DataBuf bytes = io.read(size);
        io.close();
        if (bytes.size_ != size) {
            if (reason)
                *reason = "Cannot read back the image with its metadata";
            return false;
        }
        encoded.assign(bytes.pData_, bytes.pData_ + bytes.size_);
        if (png && !pngExif.empty())
            InsertPngExif(encoded, pngExif);
        return true;
    } catch (const std::exception& error) {
        if (reason)
            *reason = std::string("Cannot add the metadata: ") + error.what();
        return false;
    }
}

} // namespace trimlark
