// Signatures and size fields of the picture formats the component reads, each parsed with
// every offset and count checked against what the file holds.
#include "imaging/image_probe.h"

#include "imaging/image.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

bool MemoryByteReader::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return true;
}

namespace {

// Bytes read from the file, with the format's name for error texts.
class Fields {
public:
    Fields(ByteReader& reader, const char* format) : reader_(reader), format_(format) {}

    std::vector<std::uint8_t> Read(std::uint64_t offset, std::size_t n) const {
        std::vector<std::uint8_t> bytes(n);
        if (!reader_.ReadAt(offset, bytes)) Fail("header is truncated");
        return bytes;
    }
    // Reads like Read, with `what` as the complaint when the bytes are missing.
    void ReadAll(std::uint64_t offset, std::size_t n, const char* what) const {
        std::vector<std::uint8_t> bytes(n);
        if (!reader_.ReadAt(offset, bytes)) Fail(what);
    }
    [[noreturn]] void Fail(const std::string& what) const {
        throw ImageError(std::string("The ") + format_ + " file's " + what);
    }

private:
    ByteReader& reader_;
    const char* format_;
};

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint32_t Be16(const std::uint8_t* p) { return (p[0] << 8) | p[1]; }
std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}
std::int32_t SignedLe32(const std::uint8_t* p) { return static_cast<std::int32_t>(Le32(p)); }
std::int16_t SignedLe16(const std::uint8_t* p) { return static_cast<std::int16_t>(Le16(p)); }

bool StartsWith(const std::vector<std::uint8_t>& head, std::string_view signature) {
    return head.size() >= signature.size() && std::memcmp(head.data(), signature.data(), signature.size()) == 0;
}

ImageHeader Raster(ImageFormat format, std::int64_t width, std::int64_t height, const Fields& fields) {
    if (width <= 0 || height <= 0) fields.Fail("header gives no size");
    CheckImageSize(width, height);
    return ImageHeader{format, width, height};
}

ImageHeader ProbeBmp(const Fields& f) {
    const auto h = f.Read(14, 4);
    const std::uint32_t infoSize = Le32(h.data());
    if (infoSize == 12) {  // BITMAPCOREHEADER: 16-bit sizes
        const auto core = f.Read(18, 4);
        return Raster(ImageFormat::Bmp, Le16(&core[0]), Le16(&core[2]), f);
    }
    if (infoSize != 16 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 64 && infoSize != 108 &&
        infoSize != 124) {
        f.Fail("bitmap header has an unknown size (" + std::to_string(infoSize) + " bytes)");
    }
    const auto info = f.Read(18, 8);
    // A negative height marks a top-down bitmap.
    return Raster(ImageFormat::Bmp, SignedLe32(&info[0]), std::abs(std::int64_t{SignedLe32(&info[4])}), f);
}

ImageHeader ProbeGif(const Fields& f) {
    const auto screen = f.Read(6, 4);
    return Raster(ImageFormat::Gif, Le16(&screen[0]), Le16(&screen[2]), f);
}

ImageHeader ProbePng(const Fields& f) {
    const auto ihdr = f.Read(8, 16);
    if (Be32(&ihdr[0]) != 13 || std::memcmp(&ihdr[4], "IHDR", 4) != 0) f.Fail("first chunk is not a valid IHDR");
    return Raster(ImageFormat::Png, Be32(&ihdr[8]), Be32(&ihdr[12]), f);
}

bool IsJpegFrameMarker(std::uint8_t m) {
    // SOF0..SOF15, except DHT (C4), JPG (C8) and DAC (CC), which share the range.
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Real files have a few dozen segments before the frame header and a fill byte or two;
// far more is a hostile file that would only cost time.
constexpr int kMaxJpegSegments = 1024;
constexpr int kMaxJpegFill = 64;

ImageHeader ProbeJpeg(const Fields& f) {
    std::uint64_t pos = 2;  // after SOI
    for (int segments = 0; segments < kMaxJpegSegments; ++segments) {
        if (f.Read(pos, 1)[0] != 0xFF) f.Fail("segments are corrupt");
        std::uint8_t marker = 0xFF;
        for (int fill = 0; marker == 0xFF; ++fill) {
            if (fill == kMaxJpegFill) f.Fail("segments are corrupt");
            marker = f.Read(++pos, 1)[0];
        }
        ++pos;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;  // no length field
        if (marker == 0xDA || marker == 0xD9 || marker == 0xD8 || marker == 0x00) {
            f.Fail("frame header is missing");
        }
        const auto length = f.Read(pos, 2);
        const std::uint32_t segment = Be16(length.data());
        if (segment < 2) f.Fail("segments are corrupt");
        if (IsJpegFrameMarker(marker)) {
            if (segment < 8) f.Fail("frame header is truncated");
            const auto frame = f.Read(pos + 2, 5);  // precision, height, width
            if (Be16(&frame[1]) == 0) f.Fail("height is defined after the image data, which is not supported");
            return Raster(ImageFormat::Jpeg, Be16(&frame[3]), Be16(&frame[1]), f);
        }
        pos += segment;
    }
    f.Fail("frame header is missing");
}

// Bytes per value of a TIFF field type; 0 for types this reader does not know.
std::uint64_t TiffTypeSize(std::uint32_t type) {
    switch (type) {
        case 1:
        case 2:
        case 6:
        case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
        case 3:
        case 8: return 2;  // SHORT, SSHORT
        case 4:
        case 9:
        case 11: return 4;  // LONG, SLONG, FLOAT
        case 5:
        case 10:
        case 12: return 8;  // RATIONAL, SRATIONAL, DOUBLE
        default: return 0;
    }
}

// Real TIFF files have a strip or tile per few kilobytes; a million is a hostile count.
constexpr std::uint32_t kMaxTiffPieces = 1u << 20;

ImageHeader ProbeTiff(const Fields& f, bool bigEndian) {
    const auto u16 = [bigEndian](const std::uint8_t* p) { return bigEndian ? Be16(p) : Le16(p); };
    const auto u32 = [bigEndian](const std::uint8_t* p) { return bigEndian ? Be32(p) : Le32(p); };
    const auto head = f.Read(0, 8);
    if (u16(&head[2]) != 42) f.Fail("version is not supported");
    const std::uint32_t directory = u32(&head[4]);
    const std::uint32_t entries = u16(f.Read(directory, 2).data());
    if (entries == 0) f.Fail("first directory is empty");
    const auto table = f.Read(std::uint64_t{directory} + 2, std::size_t{entries} * 12);

    // A field's SHORT or LONG values, in the entry itself when they fit, else where it points.
    const auto values = [&](const std::uint8_t* e) {
        const std::uint32_t type = u16(e + 2), count = u32(e + 4);
        if ((type != 3 && type != 4) || count == 0 || count > kMaxTiffPieces) f.Fail("directory has a bad field");
        const std::size_t size = type == 3 ? 2 : 4;
        const std::vector<std::uint8_t> bytes =
            count * size <= 4 ? std::vector<std::uint8_t>(e + 8, e + 12) : f.Read(u32(e + 8), count * size);
        std::vector<std::uint32_t> out(count);
        for (std::uint32_t i = 0; i < count; ++i) out[i] = size == 2 ? u16(&bytes[i * 2]) : u32(&bytes[i * 4]);
        return out;
    };
    std::int64_t width = -1, height = -1;
    std::vector<std::uint32_t> offsets, counts;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint8_t* e = &table[std::size_t{i} * 12];
        // Values too large for the entry live elsewhere in the file, which must hold them.
        const std::uint64_t valueBytes = std::uint64_t{u32(e + 4)} * TiffTypeSize(u16(e + 2));
        if (valueBytes > 4)
            f.ReadAll(std::uint64_t{u32(e + 8)} + valueBytes - 1, 1, "directory points past the end of the file");
        switch (u16(e)) {
            case 256:
            case 257: {
                const auto v = values(e);
                if (v.size() != 1) f.Fail("size field has an unexpected type");
                (u16(e) == 256 ? width : height) = v[0];
                break;
            }
            case 273:  // strip offsets
            case 324:  // tile offsets
                offsets = values(e);
                break;
            case 279:  // strip byte counts
            case 325:  // tile byte counts
                counts = values(e);
                break;
            default: break;
        }
    }
    if (width < 0 || height < 0) f.Fail("first directory gives no size");
    ImageHeader header = Raster(ImageFormat::Tiff, width, height, f);
    // Decoders fill missing strips with black; a file cut short must be refused instead.
    if (offsets.empty() || offsets.size() != counts.size()) f.Fail("image data is not described");
    std::uint64_t end = 0;
    for (std::size_t i = 0; i < offsets.size(); ++i) end = std::max(end, std::uint64_t{offsets[i]} + counts[i]);
    if (end > 0) f.ReadAll(end - 1, 1, "image data is truncated");
    return header;
}

constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr double kHundredthsMmPerInch = 2540.0;
constexpr double kScreenDpi = 96.0;

std::int64_t Round(double v) { return static_cast<std::int64_t>(std::llround(v)); }

ImageHeader ProbeEmf(const Fields& f) {
    const auto h = f.Read(0, 88);
    if (Le32(&h[4]) < 88 || Le32(&h[40]) != kEmfSignature) f.Fail("header record is corrupt");
    ImageHeader header{ImageFormat::Emf, 0, 0};
    // The frame, in hundredths of a millimetre, is the picture's size; the bounds (device
    // pixels of what was drawn) stand in when a writer left the frame empty.
    const std::int64_t frameW = std::int64_t{SignedLe32(&h[32])} - SignedLe32(&h[24]);
    const std::int64_t frameH = std::int64_t{SignedLe32(&h[36])} - SignedLe32(&h[28]);
    const std::int64_t boundsW = std::int64_t{SignedLe32(&h[16])} - SignedLe32(&h[8]) + 1;
    const std::int64_t boundsH = std::int64_t{SignedLe32(&h[20])} - SignedLe32(&h[12]) + 1;
    if (frameW > 0 && frameH > 0) {
        header.width = std::max<std::int64_t>(1, Round(frameW * kScreenDpi / kHundredthsMmPerInch));
        header.height = std::max<std::int64_t>(1, Round(frameH * kScreenDpi / kHundredthsMmPerInch));
    } else if (boundsW > 0 && boundsH > 0) {
        header.width = boundsW;
        header.height = boundsH;
    }
    return header;
}

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint64_t kPlaceableSize = 22;

// The METAHEADER every Windows metafile starts with (after the placeable header, if any).
bool IsWmfHeader(const std::uint8_t* p) {
    const std::uint32_t type = Le16(p), words = Le16(p + 2), version = Le16(p + 4);
    return (type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300);
}

ImageHeader ProbeWmf(const Fields& f, bool placeable) {
    if (!placeable) {
        f.Read(0, 18);  // the whole METAHEADER must be there
        return ImageHeader{ImageFormat::Wmf, 0, 0};
    }
    const auto h = f.Read(0, kPlaceableSize + 18);
    if (!IsWmfHeader(&h[kPlaceableSize])) f.Fail("metafile header is corrupt");
    const std::uint32_t unitsPerInch = Le16(&h[14]);
    if (unitsPerInch == 0) f.Fail("placeable header gives no resolution");
    const std::int64_t w = std::abs(std::int64_t{SignedLe16(&h[10])} - SignedLe16(&h[6]));
    const std::int64_t hgt = std::abs(std::int64_t{SignedLe16(&h[12])} - SignedLe16(&h[8]));
    if (w == 0 || hgt == 0) f.Fail("placeable header gives no size");
    return ImageHeader{ImageFormat::Wmf, std::max<std::int64_t>(1, Round(w * kScreenDpi / unitsPerInch)),
                       std::max<std::int64_t>(1, Round(hgt * kScreenDpi / unitsPerInch))};
}

}  // namespace

ImageHeader ProbeImage(ByteReader& reader) {
    std::vector<std::uint8_t> head(44);
    std::size_t have = head.size();
    // Short files are read byte by byte so a truncated header is still recognised.
    while (have > 0 && !reader.ReadAt(0, std::span(head.data(), have))) --have;
    head.resize(have);

    if (StartsWith(head, "BM")) return ProbeBmp(Fields(reader, "BMP"));
    if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")) return ProbeGif(Fields(reader, "GIF"));
    if (StartsWith(head, "\x89PNG\r\n\x1a\n")) return ProbePng(Fields(reader, "PNG"));
    if (StartsWith(head, "\xFF\xD8\xFF")) return ProbeJpeg(Fields(reader, "JPEG"));
    if (StartsWith(head, std::string_view("II*\0", 4))) return ProbeTiff(Fields(reader, "TIFF"), false);
    if (StartsWith(head, std::string_view("MM\0*", 4))) return ProbeTiff(Fields(reader, "TIFF"), true);
    if (head.size() >= 44 && Le32(head.data()) == 1 && Le32(&head[40]) == kEmfSignature) {
        return ProbeEmf(Fields(reader, "EMF"));
    }
    if (head.size() >= 4 && Le32(head.data()) == kPlaceableKey) return ProbeWmf(Fields(reader, "WMF"), true);
    if (head.size() >= 6 && IsWmfHeader(head.data())) return ProbeWmf(Fields(reader, "WMF"), false);
    return ImageHeader{};
}

}  // namespace tarn
