// Header probing: each format's size from headers built byte by byte after the formats'
// layouts and from files other programs wrote; absurd sizes refused after reading only
// the header; truncated and corrupt headers refused cleanly.
#include "imaging/image_probe.h"

#include "byte_builder.h"
#include "imaging/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarn {
namespace {

using test::Bytes;

// Remembers how far into the file the probe read.
class CountingReader final : public ByteReader {
public:
    explicit CountingReader(const std::vector<std::uint8_t>& bytes) : inner_(bytes) {}
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        const bool read = inner_.ReadAt(offset, out);
        if (read) furthest = std::max<std::uint64_t>(furthest, offset + out.size());
        return read;
    }
    std::uint64_t furthest = 0;

private:
    MemoryByteReader inner_;
};

ImageHeader Probe(const std::vector<std::uint8_t>& bytes) {
    MemoryByteReader reader(bytes);
    return ProbeImage(reader);
}

// Headers that end with the last byte of their size fields.
Bytes Bmp(std::int32_t w, std::int32_t h) {
    return Bytes().Raw("BM").Le32(0).Le32(0).Le32(54).Le32(40).Le32(w).Le32(h);
}
Bytes BmpCore(unsigned w, unsigned h) { return Bytes().Raw("BM").Le32(0).Le32(0).Le32(26).Le32(12).Le16(w).Le16(h); }
Bytes Gif(unsigned w, unsigned h) { return Bytes().Raw("GIF89a").Le16(w).Le16(h); }
Bytes Png(std::uint32_t w, std::uint32_t h) {
    return Bytes().Raw("\x89PNG\r\n\x1a\n").Be32(13).Raw("IHDR").Be32(w).Be32(h);
}
Bytes Jpeg(unsigned w, unsigned h, unsigned frameMarker = 0xC0) {
    Bytes b;
    b.U8(0xFF).U8(0xD8);
    b.U8(0xFF).U8(0xE0).Be16(16).Raw("JFIF").U8(0).Zeros(9);               // APP0
    b.U8(0xFF).U8(0xDB).Be16(67).Zeros(65);                                // DQT
    b.U8(0xFF).U8(0xC4).Be16(8).U8(0x00).Be16(0x1234).Be16(0x5678).U8(0);  // DHT: C4 is no frame
    b.U8(0xFF).U8(0xFF);                                                   // a fill byte
    return b.U8(frameMarker).Be16(17).U8(8).Be16(h).Be16(w);
}
// Little-endian TIFF with its directory after its one strip of 100 bytes.
Bytes TiffLe(std::uint32_t w, std::uint32_t h) {
    Bytes b;
    b.Raw(std::string_view("II*\0", 4)).Le32(108).Zeros(100);
    b.Le16(5);
    b.Le16(259).Le16(3).Le32(1).Le16(1).Le16(0);  // compression: none
    b.Le16(256).Le16(3).Le32(1).Le16(w).Le16(0);  // width as SHORT
    b.Le16(273).Le16(4).Le32(1).Le32(8);          // the strip starts after the header
    b.Le16(279).Le16(4).Le32(1).Le32(100);        // and is 100 bytes long
    return b.Le16(257).Le16(4).Le32(1).Le32(h);   // height as LONG
}
// Big-endian TIFF: directory first, then three strips listed out of line, the last one
// ending with the file.
Bytes TiffBe(std::uint32_t w, std::uint32_t h) {
    Bytes b;
    b.Raw(std::string_view("MM\0*", 4)).Be32(8).Be16(4);
    b.Be16(256).Be16(4).Be32(1).Be32(w);
    b.Be16(273).Be16(3).Be32(3).Be32(62);  // SHORT offsets at 62
    b.Be16(279).Be16(4).Be32(3).Be32(68);  // LONG counts at 68
    b.Be16(257).Be16(3).Be32(1).Be16(h).Be16(0);
    b.Be32(0);                     // no next directory; this ends at 62
    b.Be16(80).Be16(84).Be16(88);  // strips at 80, 84, 88
    b.Be32(4).Be32(4).Be32(4);     // of 4 bytes each
    return b.Zeros(12);            // 80 .. 92
}
Bytes Emf(std::int32_t boundsRight, std::int32_t boundsBottom, std::int32_t frameRight, std::int32_t frameBottom) {
    Bytes b;
    b.Le32(1).Le32(108);                                     // EMR_HEADER, record size
    b.Le32(0).Le32(0).Le32(boundsRight).Le32(boundsBottom);  // bounds, device pixels, inclusive
    b.Le32(0).Le32(0).Le32(frameRight).Le32(frameBottom);    // frame, 0.01 mm
    b.Le32(0x464D4520).Le32(0x10000).Le32(108).Le32(1);      // " EMF", version, bytes, records
    b.Le16(1).Le16(0).Le32(0).Le32(0).Le32(0);               // handles, reserved, description, palette
    return b.Le32(1024).Le32(768).Le32(320).Le32(240);       // reference device: pixels, millimetres
}
Bytes WmfHeader(Bytes b) { return b.Le16(1).Le16(9).Le16(0x300).Le32(100).Le16(0).Le32(20).Le16(0); }
Bytes PlaceableWmf(std::int16_t right, std::int16_t bottom, unsigned unitsPerInch) {
    Bytes b;
    b.Le32(0x9AC6CDD7)
        .Le16(0)
        .Le16(0)
        .Le16(0)
        .Le16(static_cast<std::uint16_t>(right))
        .Le16(static_cast<std::uint16_t>(bottom));
    return WmfHeader(b.Le16(unitsPerInch).Le32(0).Le16(0));
}

struct Case {
    const char* name;
    Bytes bytes;
    ImageFormat format;
    std::int64_t width, height;
};

std::vector<Case> ValidHeaders() {
    return {
        {"BMP", Bmp(640, 480), ImageFormat::Bmp, 640, 480},
        {"BMP top-down", Bmp(640, -480), ImageFormat::Bmp, 640, 480},
        {"BMP core header", BmpCore(300, 200), ImageFormat::Bmp, 300, 200},
        {"GIF", Gif(500, 20), ImageFormat::Gif, 500, 20},
        {"PNG", Png(1024, 768), ImageFormat::Png, 1024, 768},
        {"JPEG baseline", Jpeg(800, 600), ImageFormat::Jpeg, 800, 600},
        {"JPEG progressive", Jpeg(801, 599, 0xC2), ImageFormat::Jpeg, 801, 599},
        {"TIFF little-endian", TiffLe(123, 45), ImageFormat::Tiff, 123, 45},
        {"TIFF big-endian", TiffBe(2000, 1500), ImageFormat::Tiff, 2000, 1500},
        {"EMF frame at 96 DPI", Emf(99, 49, 2540, 1270), ImageFormat::Emf, 96, 48},
        {"EMF without frame", Emf(99, 49, 0, 0), ImageFormat::Emf, 100, 50},
        {"WMF placeable", PlaceableWmf(1440, 720, 1440), ImageFormat::Wmf, 96, 48},
        {"WMF without size", WmfHeader(Bytes()), ImageFormat::Wmf, 0, 0},
    };
}

TEST(ImageProbe, ReadsEachFormatsSize) {
    for (const Case& c : ValidHeaders()) {
        SCOPED_TRACE(c.name);
        const ImageHeader h = Probe(c.bytes.get());
        EXPECT_EQ(h.format, c.format);
        EXPECT_EQ(h.width, c.width);
        EXPECT_EQ(h.height, c.height);
    }
    EXPECT_EQ(Probe(Bytes().Raw("plain text, not a picture").get()).format, ImageFormat::Unknown);
    EXPECT_EQ(Probe({}).format, ImageFormat::Unknown);
}

TEST(ImageProbe, AbsurdSizesAreRefusedFromTheHeaderAlone) {
    const Bytes absurd[] = {
        Png(40000, 10),     Png(20000, 20000),    Png(0xFFFFFFFF, 1),    Bmp(0x7FFFFFFF, 1),
        Bmp(10, INT32_MIN), BmpCore(65535, 2000), Gif(65535, 2),         Jpeg(65535, 65535),
        Jpeg(10001, 10000), TiffLe(30001, 1),     TiffBe(1, 0xFFFFFFFF), TiffBe(10000, 10001),
    };
    for (const Bytes& b : absurd) {
        CountingReader reader(b.get());
        EXPECT_THROW((void)ProbeImage(reader), ImageError);
        EXPECT_LE(reader.furthest, b.size()) << "nothing past the header is read";
    }
    // At the limits exactly: 30000 a side, 100 megapixels.
    EXPECT_EQ(Probe(Png(30000, 1).get()).width, 30000);
    EXPECT_EQ(Probe(Png(10000, 10000).get()).height, 10000);
    // Metafiles are drawn at the size the caller asks for, so their own size is only reported.
    EXPECT_EQ(Probe(Emf(0, 0, 1'000'000, 2540).get()).width, 37795);
}

TEST(ImageProbe, TruncatedAndCorruptHeadersAreRefused) {
    // Every valid header cut short gives no size, or an error.
    for (const Case& c : ValidHeaders()) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t>& full = c.bytes.get();
        for (std::size_t n = 0; n < full.size(); ++n) {
            const std::vector<std::uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            try {
                EXPECT_EQ(Probe(part).format, ImageFormat::Unknown) << n << " bytes give a size";
            } catch (const ImageError& e) {
                EXPECT_NE(std::string(e.what()), "");
            }
        }
    }
    Bytes jpegScanFirst;
    jpegScanFirst.U8(0xFF).U8(0xD8).U8(0xFF).U8(0xDA).Be16(8).Zeros(6).U8(0xFF).U8(0xC0).Be16(17).U8(8).Be16(1).Be16(1);
    Bytes jpegEndlessFill;
    jpegEndlessFill.U8(0xFF).U8(0xD8);
    for (int i = 0; i < 5000; ++i) jpegEndlessFill.U8(0xFF);
    const auto tiff = [](std::uint32_t directory) {
        Bytes b;
        b.Raw(std::string_view("II*\0", 4)).Le32(directory);
        return b;
    };
    Bytes tiffDirectoryOutside = tiff(1'000'000).Zeros(20);
    Bytes tiffStripPastTheEnd = tiff(8).Le16(4);
    tiffStripPastTheEnd.Le16(256).Le16(3).Le32(1).Le32(10).Le16(257).Le16(3).Le32(1).Le32(10);
    tiffStripPastTheEnd.Le16(273).Le16(4).Le32(1).Le32(8).Le16(279).Le16(4).Le32(1).Le32(100000);
    Bytes tiffTextPastTheEnd = tiff(8).Le16(5);
    tiffTextPastTheEnd.Le16(256).Le16(3).Le32(1).Le32(1).Le16(257).Le16(3).Le32(1).Le32(1);
    tiffTextPastTheEnd.Le16(270).Le16(2).Le32(100).Le32(1000);  // a description nowhere in the file
    tiffTextPastTheEnd.Le16(273).Le16(4).Le32(1).Le32(8).Le16(279).Le16(4).Le32(1).Le32(1);
    Bytes tiffHostileStripCount = tiff(8).Le16(3);
    tiffHostileStripCount.Le16(256).Le16(3).Le32(1).Le32(10).Le16(257).Le16(3).Le32(1).Le32(10);
    tiffHostileStripCount.Le16(273).Le16(4).Le32(50'000'000).Le32(8);
    Bytes emfShortRecord;
    emfShortRecord.Le32(1).Le32(20).Zeros(32).Le32(0x464D4520).Zeros(44);

    const std::pair<const char*, Bytes> corrupt[] = {
        {"JPEG scan before frame", jpegScanFirst},
        {"JPEG endless fill", jpegEndlessFill},
        {"TIFF directory outside the file", tiffDirectoryOutside},
        {"TIFF strip past the end of the file", tiffStripPastTheEnd},
        {"TIFF field values past the end of the file", tiffTextPastTheEnd},
        {"TIFF with a hostile strip count", tiffHostileStripCount},
        {"GIF zero height", Gif(10, 0)},
        {"EMF header record too short", emfShortRecord},
        {"WMF placeable without resolution", PlaceableWmf(100, 100, 0)},
    };
    for (const auto& [name, bytes] : corrupt) {
        SCOPED_TRACE(name);
        EXPECT_THROW((void)Probe(bytes.get()), ImageError);
    }
}

}  // namespace
}  // namespace tarn
