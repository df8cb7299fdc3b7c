#include "imaging/metadata/MetadataPlacement.h"

#include "base/FileIo.h"
#include "base/Reason.h"
#include "imaging/encode/PngWriter.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iomanip>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {

namespace {

void AppendBigEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(value >> shift));
}

std::size_t BigEndian16(const std::string& bytes, std::size_t at)
{
    return static_cast<std::size_t>(static_cast<std::uint8_t>(bytes[at])) << 8 |
           static_cast<std::uint8_t>(bytes[at + 1]);
}

template <typename Bytes>
std::string JpegSegment(std::uint8_t marker, const char* prefix, std::size_t prefixSize, const Bytes& data)
{
    std::string segment = {'\xFF', static_cast<char>(marker)};
    AppendBigEndian(segment, static_cast<std::uint32_t>(2 + prefixSize + data.size()), 2);
    segment.append(prefix, prefixSize);
    segment.append(data.begin(), data.end());
    return segment;
}

// The IPTC as other programs keep it in a PNG: a compressed text chunk of hex digits ("Raw profile type iptc").
std::string PngIptcChunk(const std::vector<std::uint8_t>& block)
{
    std::ostringstream profile;
    profile << "\niptc\n" << std::setw(8) << block.size();
    static const char hex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (i % 36 == 0)
            profile << '\n';
        profile << hex[block[i] >> 4] << hex[block[i] & 0x0F];
    }
    profile << '\n';
    return PngCompressedChunk("zTXt", "Raw profile type iptc", profile.str()).value_or("");
}

} // namespace

MetadataInserter::MetadataInserter(int fd, const FittedMetadata& metadata) : fd_(fd), metadata_(metadata) {}

bool MetadataInserter::Write(const void* data, std::size_t size)
{
    if (passed_)
        return WriteAll(fd_, data, size);
    head_.append(static_cast<const char*>(data), size);
    return WriteJpegHeader();
}

bool MetadataInserter::Finish()
{
    if (passed_ || head_.empty())
        return true;
    // A stream that ended before its header did: the encoder's own failure, passed on as it is.
    passed_ = true;
    return WriteAll(fd_, head_.data(), head_.size());
}

bool MetadataInserter::Flush(const void* data, std::size_t size)
{
    passed_ = true;
    const bool written = WriteAll(fd_, data, size);
    head_.clear();
    head_.shrink_to_fit();
    return written;
}

bool MetadataInserter::WriteJpegHeader()
{
    // Segments run from after the start marker to the scan; the header is held until the scan begins.
    std::vector<std::pair<std::size_t, std::size_t>> segments; // offset, size
    std::size_t at = 2;
    while (true) {
        if (head_.size() < at + 4)
            return true;
        if (head_.compare(0, 2, "\xFF\xD8") != 0 || head_[at] != '\xFF')
            return Flush(head_.data(), head_.size()); // not a stream this knows: left as it is
        if (head_[at + 1] == '\xDA')
            break;
        const std::size_t size = 2 + BigEndian16(head_, at + 2);
        if (head_.size() < at + size)
            return true;
        segments.emplace_back(at, size);
        at += size;
    }
    static const char exifPrefix[] = "Exif\0\0", xmpPrefix[] = "http://ns.adobe.com/xap/1.0/",
                      iptcPrefix[] = "Photoshop 3.0";
    const auto is = [this](std::pair<std::size_t, std::size_t> segment, char marker, const char* prefix,
                           std::size_t prefixSize) {
        return head_[segment.first + 1] == marker && segment.second >= 4 + prefixSize &&
               head_.compare(segment.first + 4, prefixSize, prefix, prefixSize) == 0;
    };
    std::string header = head_.substr(0, 2);
    std::size_t first = 0;
    if (!segments.empty() && head_[segments[0].first + 1] == '\xE0') // JFIF stays first
        header += head_.substr(segments[first].first, segments[first].second), ++first;
    if (!metadata_.exif.empty())
        header += JpegSegment(0xE1, exifPrefix, 6, metadata_.exif);
    if (!metadata_.xmp.empty())
        header += JpegSegment(0xE1, xmpPrefix, sizeof xmpPrefix, metadata_.xmp);
    if (!metadata_.iptc.empty())
        header += JpegSegment(0xED, iptcPrefix, sizeof iptcPrefix, metadata_.iptc);
    for (std::size_t i = first; i < segments.size(); ++i) {
        const auto segment = segments[i];
        if ((!metadata_.exif.empty() && is(segment, '\xE1', exifPrefix, 6)) ||
            (!metadata_.xmp.empty() && is(segment, '\xE1', xmpPrefix, sizeof xmpPrefix)) ||
            (!metadata_.iptc.empty() && is(segment, '\xED', iptcPrefix, sizeof iptcPrefix)))
            continue;
        header += head_.substr(segment.first, segment.second);
    }
    header += head_.substr(at);
    return Flush(header.data(), header.size());
}

std::string PngMetadataChunks(const FittedMetadata& metadata)
{
    std::string chunks;
    if (!metadata.exif.empty())
        chunks += PngChunk("eXIf", {reinterpret_cast<const char*>(metadata.exif.data()), metadata.exif.size()});
    if (!metadata.xmp.empty())
        chunks += PngChunk("iTXt", std::string("XML:com.adobe.xmp\0\0\0\0\0", 22) + metadata.xmp);
    if (!metadata.iptc.empty())
        chunks += PngIptcChunk(metadata.iptc);
    return chunks;
}

namespace {

struct TiffEntry
{
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::uint32_t value; // the value itself when it fits in four bytes, else its offset
};
static_assert(sizeof(TiffEntry) == 12);

std::uint32_t TypeSize(std::uint16_t type)
{
    switch (type) {
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 4:  // LONG
    case 9:  // SLONG
    case 11: // FLOAT
    case 13: // IFD
        return 4;
    case 5:  // RATIONAL
    case 10: // SRATIONAL
    case 12: // DOUBLE
        return 8;
    default: // BYTE, ASCII, SBYTE, UNDEFINED
        return 1;
    }
}

// A TIFF header in this machine's byte order, the only one the encoder and FitSourceMetadata write.
bool NativeHeader(const std::uint8_t* header)
{
    const char* order = std::endian::native == std::endian::little ? "II" : "MM";
    std::uint16_t magic = 0;
    std::memcpy(&magic, header + 2, 2);
    return std::memcmp(header, order, 2) == 0 && magic == 42;
}

} // namespace

bool MergeTiffDirectory(int fd, off_t shift, const std::vector<std::uint8_t>& directory, std::string* reason)
{
    const std::size_t fileOffsetLimit = 0xFFFFFFFFu;
    if (directory.size() < 8 || !NativeHeader(directory.data()))
        return Fail(reason, "The metadata is not a TIFF directory");
    std::uint32_t metadataAt = 0;
    std::uint16_t metadataCount = 0;
    std::memcpy(&metadataAt, directory.data() + 4, 4);
    if (metadataAt + 2u > directory.size())
        return Fail(reason, "The metadata is not a TIFF directory");
    std::memcpy(&metadataCount, directory.data() + metadataAt, 2);
    if (metadataAt + 2u + metadataCount * 12u > directory.size())
        return Fail(reason, "The metadata is not a TIFF directory");

    std::uint8_t header[8];
    std::uint32_t imageAt = 0;
    std::uint16_t imageCount = 0;
    if (!ReadAllAt(fd, header, sizeof header, shift))
        return Fail(reason, std::strerror(errno));
    if (!NativeHeader(header))
        return Fail(reason, "The encoder wrote a TIFF this cannot add metadata to");
    std::memcpy(&imageAt, header + 4, 4);
    if (!ReadAllAt(fd, &imageCount, 2, shift + imageAt))
        return Fail(reason, "The encoder's TIFF is cut short");
    std::vector<TiffEntry> entries(imageCount);
    if (!ReadAllAt(fd, entries.data(), imageCount * sizeof(TiffEntry), shift + imageAt + 2))
        return Fail(reason, "The encoder's TIFF is cut short");

    // The encoder's offsets counted from its own first byte; now they count from the file's.
    const auto moved = [shift](std::uint32_t offset) { return static_cast<std::uint32_t>(offset + shift); };
    for (TiffEntry& entry : entries) {
        const std::uint64_t size = static_cast<std::uint64_t>(TypeSize(entry.type)) * entry.count;
        const bool pointsToData = entry.tag == 273 || entry.tag == 324; // strip and tile offsets
        if (pointsToData && entry.count == 1 && entry.type == 3) {
            entry.type = 4;
            entry.value = moved(entry.value & 0xFFFF);
        } else if (pointsToData && entry.count == 1 && entry.type == 4) {
            entry.value = moved(entry.value);
        } else if (pointsToData) {
            if (entry.type != 4)
                return Fail(reason, "The encoder wrote a TIFF this cannot add metadata to");
            entry.value = moved(entry.value);
            std::vector<std::uint32_t> offsets(entry.count);
            if (!ReadAllAt(fd, offsets.data(), size, entry.value))
                return Fail(reason, "The encoder's TIFF is cut short");
            for (std::uint32_t& offset : offsets)
                offset = moved(offset);
            if (!WriteAllAt(fd, offsets.data(), size, entry.value))
                return Fail(reason, std::strerror(errno));
        } else if (size > 4) {
            entry.value = moved(entry.value);
        }
    }
    std::map<std::uint16_t, TiffEntry> merged;
    for (std::uint16_t i = 0; i < metadataCount; ++i) {
        TiffEntry entry{};
        std::memcpy(&entry, directory.data() + metadataAt + 2 + i * 12, 12);
        merged[entry.tag] = entry;
    }
    for (const TiffEntry& entry : entries)
        merged[entry.tag] = entry;

    struct stat attributes = {};
    if (::fstat(fd, &attributes) != 0)
        return Fail(reason, std::strerror(errno));
    const off_t at = (attributes.st_size + 1) & ~off_t{1}; // directories start on a word boundary
    std::string merger;
    const auto count = static_cast<std::uint16_t>(merged.size());
    merger.append(reinterpret_cast<const char*>(&count), 2);
    for (const auto& [tag, entry] : merged)
        merger.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    merger.append(4, '\0'); // no further directory
    if (static_cast<std::uint64_t>(at) + merger.size() > fileOffsetLimit)
        return Fail(reason, "The image is too large for a TIFF with metadata");
    const auto directoryAt = static_cast<std::uint32_t>(at);
    if (!WriteAllAt(fd, merger.data(), merger.size(), at) || !WriteAllAt(fd, &directoryAt, 4, 4))
        return Fail(reason, std::strerror(errno));
    return true;
}

bool FixWebpExifChunk(int fd, std::string* reason)
{
    struct stat attributes = {};
    if (::fstat(fd, &attributes) != 0)
        return Fail(reason, std::strerror(errno));
    const off_t fileSize = attributes.st_size;
    char header[12];
    if (fileSize < 12 || !ReadAllAt(fd, header, sizeof header, 0) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WEBP", 4) != 0)
        return Fail(reason, "The encoder wrote no WebP file");
    const auto littleEndian32 = [](const char* bytes) {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | static_cast<std::uint8_t>(bytes[i]);
        return value;
    };
    const auto putLittleEndian32 = [](char* bytes, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>(value >> (8 * i));
    };
    static const char prefix[] = {'E', 'x', 'i', 'f', 0, 0};
    for (off_t at = 12; at + 8 <= fileSize;) {
        char chunk[8 + sizeof prefix];
        if (!ReadAllAt(fd, chunk, 8, at))
            return Fail(reason, std::strerror(errno));
        const std::uint32_t size = littleEndian32(chunk + 4);
        if (std::memcmp(chunk, "EXIF", 4) != 0) {
            at += 8 + static_cast<off_t>(size) + (size & 1);
            continue;
        }
        if (size < sizeof prefix || at + 8 + static_cast<off_t>(sizeof prefix) > fileSize ||
            !ReadAllAt(fd, chunk + 8, sizeof prefix, at + 8))
            return true;
        if (std::memcmp(chunk + 8, prefix, sizeof prefix) != 0)
            return true;
        // The prefix's six bytes keep the chunk's padding as it was: the rest of the file moves up by them.
        const off_t tailAt = at + 8 + static_cast<off_t>(sizeof prefix);
        std::string tail(static_cast<std::size_t>(fileSize - tailAt), '\0');
        if (!ReadAllAt(fd, tail.data(), tail.size(), tailAt))
            return Fail(reason, std::strerror(errno));
        putLittleEndian32(chunk + 4, size - static_cast<std::uint32_t>(sizeof prefix));
        putLittleEndian32(header + 4, littleEndian32(header + 4) - static_cast<std::uint32_t>(sizeof prefix));
        if (!WriteAllAt(fd, tail.data(), tail.size(), at + 8) || !WriteAllAt(fd, chunk + 4, 4, at + 4) ||
            !WriteAllAt(fd, header + 4, 4, 4) || ::ftruncate(fd, fileSize - static_cast<off_t>(sizeof prefix)) != 0)
            return Fail(reason, std::strerror(errno));
        return true;
    }
    return true;
}

} // namespace trimlark
