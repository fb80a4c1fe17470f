// The image conversion service under WIC: every save format read back by WIC itself, JPEG
// quality in the quantisation tables, GIF transparency, files other programs wrote, and
// refusal of missing, corrupt, truncated and absurd files without a crash or a stray file.
#include "image_test_support.h"
#include "imaging/image_converter.h"

#include <algorithm>
#include <array>
#include <memory>

namespace tarn::test {
namespace {

using ImageConverterTest = ComTest;

const Bgra kRed{0, 0, 255, 255}, kGreen{0, 160, 0, 255}, kBlue{200, 0, 0, 255}, kWhite{255, 255, 255, 255};

// Four flat quadrants: sampled at their centres, even a lossy format must keep them.
Image Quadrants(int w, int h) {
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.at(x, y) = y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kWhite);
    return image;
}

void ExpectQuadrants(const ReadBack& back, int tolerance) {
    const int w = back.width, h = back.height;
    const std::array<std::pair<Bgra, Bgra>, 4> checks{{{back.at(w / 4, h / 4), kRed},
                                                       {back.at(3 * w / 4, h / 4), kGreen},
                                                       {back.at(w / 4, 3 * h / 4), kBlue},
                                                       {back.at(3 * w / 4, 3 * h / 4), kWhite}}};
    for (const auto& [got, want] : checks)
        EXPECT_TRUE(Near(got, want, tolerance)) << Describe(got) << " for " << Describe(want);
}

TEST_F(ImageConverterTest, EverySaveFormatReadsBackWithItsSizeAndColours) {
    ImageScratch folder;
    ImageConverter converter;
    converter.SetImage(Quadrants(64, 48));
    ASSERT_TRUE(converter.SaveBmp(folder / L"q.bmp")) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SavePng(folder / L"q.png")) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SaveTiff(folder / L"q.tif")) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SaveGif(folder / L"q.gif")) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SaveJpeg(folder / L"q.jpg", 90)) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SaveTga(folder / L"q.tga")) << Narrow(converter.LastError());
    EXPECT_TRUE(converter.LastError().empty());

    const std::pair<const wchar_t*, GUID> lossless[] = {{L"q.bmp", GUID_ContainerFormatBmp},
                                                        {L"q.png", GUID_ContainerFormatPng},
                                                        {L"q.tif", GUID_ContainerFormatTiff},
                                                        {L"q.gif", GUID_ContainerFormatGif}};
    for (const auto& [name, container] : lossless) {
        SCOPED_TRACE(Narrow(name));
        const ReadBack back = ReadWithWic(folder / name);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.container, container);
        EXPECT_EQ(back.width, 64);
        EXPECT_EQ(back.height, 48);
        ExpectQuadrants(back, 0);
    }
    const ReadBack jpeg = ReadWithWic(folder / L"q.jpg");
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.container, GUID_ContainerFormatJpeg);
    EXPECT_EQ(jpeg.width, 64);
    ExpectQuadrants(jpeg, 12);
    // WIC reads no TGA; its size follows from the header and 24-bit rows (ImageMagick checks
    // the pixels natively).
    EXPECT_EQ(ReadFileBytes(folder / L"q.tga").size(), 18u + 64 * 48 * 3 + 26);
    EXPECT_EQ(folder.Files().size(), 6u) << "no temporary file is left beside the pictures";
}

TEST_F(ImageConverterTest, AlphaIsKeptByPngAndTiffAndWhiteElsewhere) {
    ImageScratch folder;
    ImageConverter converter;
    Image image = Quadrants(32, 32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) image.at(x, y) = Bgra{0, 0, 255, 0};  // top left fully transparent
    converter.SetImage(image);
    ASSERT_TRUE(converter.SavePng(folder / L"a.png"));
    ASSERT_TRUE(converter.SaveTiff(folder / L"a.tif"));
    ASSERT_TRUE(converter.SaveBmp(folder / L"a.bmp"));
    for (const wchar_t* name : {L"a.png", L"a.tif"}) {
        const ReadBack back = ReadWithWic(folder / name);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.at(4, 4).a, 0) << Narrow(name);
        EXPECT_TRUE(back.at(28, 28) == kWhite);
    }
    const ReadBack bmp = ReadWithWic(folder / L"a.bmp");
    ASSERT_TRUE(bmp.ok);
    EXPECT_TRUE(bmp.at(4, 4) == kWhite) << Describe(bmp.at(4, 4));
}

// The luminance quantisation table (the first DQT table) of a JPEG file.
std::vector<int> FirstQuantisationTable(const std::string& jpeg) {
    for (std::size_t i = 2; i + 4 < jpeg.size();) {
        if (static_cast<unsigned char>(jpeg[i]) != 0xFF) return {};
        const unsigned marker = static_cast<unsigned char>(jpeg[i + 1]);
        const std::size_t length =
            (static_cast<unsigned char>(jpeg[i + 2]) << 8) | static_cast<unsigned char>(jpeg[i + 3]);
        if (marker == 0xDB && i + 4 + 65 <= jpeg.size()) {
            const unsigned precision = static_cast<unsigned char>(jpeg[i + 4]) >> 4;
            std::vector<int> table;
            for (int k = 0; k < 64; ++k) {
                table.push_back(precision ? -1 : static_cast<unsigned char>(jpeg[i + 5 + k]));
            }
            return table;
        }
        if (marker == 0xDA) return {};
        i += 2 + length;
    }
    return {};
}

TEST_F(ImageConverterTest, JpegQualityShowsInTheQuantisationTables) {
    ImageScratch folder;
    ImageConverter converter;
    Image photo(96, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            photo.at(x, y) = Bgra{static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>((x * y) % 256),
                                  static_cast<std::uint8_t>(y * 4), 255};
    converter.SetImage(photo);
    std::vector<std::vector<int>> tables;
    std::vector<std::size_t> sizes;
    for (int quality : {50, 90, 100}) {
        const std::wstring path = folder / (L"q" + std::to_wstring(quality) + L".jpg");
        ASSERT_TRUE(converter.SaveJpeg(path, quality)) << Narrow(converter.LastError());
        const std::string bytes = ReadFileBytes(path);
        tables.push_back(FirstQuantisationTable(bytes));
        sizes.push_back(bytes.size());
        ASSERT_EQ(tables.back().size(), 64u) << quality;
    }
    // Higher quality: every quantiser as fine or finer, some strictly, and a larger file.
    for (std::size_t q = 1; q < tables.size(); ++q) {
        for (int k = 0; k < 64; ++k) EXPECT_LE(tables[q][k], tables[q - 1][k]) << "entry " << k;
        EXPECT_NE(tables[q], tables[q - 1]);
        EXPECT_GT(sizes[q], sizes[q - 1]);
    }
    EXPECT_TRUE(std::all_of(tables[2].begin(), tables[2].end(), [](int v) { return v <= 2; }))
        << "quality 100 quantises hardly at all";
    EXPECT_FALSE(converter.SaveJpeg(folder / L"bad.jpg", 101));
    EXPECT_FALSE(converter.SaveJpeg(folder / L"bad.jpg", -1));
    EXPECT_FALSE(std::filesystem::exists(folder / L"bad.jpg"));
}

// The graphic control extension of the first frame: {present, transparency flag, index}.
std::array<int, 3> GifTransparency(const std::string& gif) {
    const std::size_t at = gif.find("\x21\xF9\x04", 13);
    if (at == std::string::npos || at + 7 > gif.size()) return {0, 0, 0};
    return {1, gif[at + 3] & 1, static_cast<unsigned char>(gif[at + 6])};
}

TEST_F(ImageConverterTest, GifTransparencyRoundTrips) {
    ImageScratch folder;
    ImageConverter converter;
    Image cell = Quadrants(40, 20);
    const Bgra magenta{255, 0, 255, 255};
    for (int y = 5; y < 15; ++y)
        for (int x = 15; x < 25; ++x) cell.at(x, y) = magenta;
    cell.at(0, 0) = Bgra{254, 0, 255, 255};  // nearly magenta: stays visible
    converter.SetImage(cell);
    ASSERT_TRUE(converter.SaveGif(folder / L"t.gif", kTransparentMagenta)) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SaveGif(folder / L"o.gif"));

    const ReadBack t = ReadWithWic(folder / L"t.gif");
    ASSERT_TRUE(t.ok);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool hole = y >= 5 && y < 15 && x >= 15 && x < 25;
            ASSERT_EQ(t.at(x, y).a, hole ? 0 : 255) << x << "," << y;
        }
    EXPECT_TRUE(t.at(0, 0) == cell.at(0, 0));
    EXPECT_TRUE(t.at(30, 2) == kGreen);
    const auto gce = GifTransparency(ReadFileBytes(folder / L"t.gif"));
    EXPECT_EQ(gce[0], 1) << "graphic control extension";
    EXPECT_EQ(gce[1], 1) << "transparency flag";

    const ReadBack o = ReadWithWic(folder / L"o.gif");
    ASSERT_TRUE(o.ok);
    EXPECT_TRUE(o.at(20, 10) == magenta) << "without a transparent colour magenta is just a colour";
    EXPECT_EQ(GifTransparency(ReadFileBytes(folder / L"o.gif"))[1], 0);
}

TEST_F(ImageConverterTest, LoadsFilesOtherProgramsWroteAndResamplesThem) {
    ImageScratch folder;
    ImageConverter converter;
    for (const wchar_t* name :
         {L"sample-40x30.bmp", L"sample-40x30-core.bmp", L"sample-40x30.gif", L"sample-40x30.png", L"sample-40x30.jpg",
          L"sample-40x30-progressive.jpg", L"sample-40x30.tif", L"sample-40x30-msb.tif"}) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(converter.Load(TestPicture(name))) << Narrow(converter.LastError());
        ASSERT_EQ(converter.image().width(), 40);
        ASSERT_EQ(converter.image().height(), 30);
        // The pictures run from red at the top to blue at the bottom.
        EXPECT_TRUE(Near(converter.image().at(20, 0), kRed, 16)) << Describe(converter.image().at(20, 0));
        EXPECT_TRUE(Near(converter.image().at(20, 29), Bgra{255, 0, 0, 255}, 16))
            << Describe(converter.image().at(20, 29));
    }
    ASSERT_TRUE(converter.Resample(20, 15));
    ASSERT_TRUE(converter.SavePng(folder / L"small.png"));
    const ReadBack back = ReadWithWic(folder / L"small.png");
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.width, 20);
    EXPECT_EQ(back.height, 15);
    EXPECT_GT(back.at(10, 0).r, 200);
    EXPECT_GT(back.at(10, 14).b, 200);
    EXPECT_FALSE(converter.Resample(0, 10));
    EXPECT_FALSE(converter.LastError().empty());

    converter.Release();
    EXPECT_FALSE(converter.HasImage());
    EXPECT_FALSE(converter.Resample(10, 10));
    EXPECT_FALSE(converter.SavePng(folder / L"nothing.png"));
    EXPECT_FALSE(std::filesystem::exists(folder / L"nothing.png"));
}

TEST_F(ImageConverterTest, CorruptTruncatedAndAbsurdFilesAreRefused) {
    ImageScratch folder;
    std::vector<std::pair<std::wstring, std::string>> bad;
    for (const wchar_t* name :
         {L"sample-40x30.bmp", L"sample-40x30.gif", L"sample-40x30.png", L"sample-40x30.jpg", L"sample-40x30.tif"}) {
        const std::string good = ReadFileBytes(TestPicture(name));
        ASSERT_FALSE(good.empty());
        bad.emplace_back(std::wstring(L"header-only-") + name, good.substr(0, 12));
        bad.emplace_back(std::wstring(L"half-") + name, good.substr(0, good.size() / 2));
    }
    std::string png = ReadFileBytes(TestPicture(L"sample-40x30.png"));
    png[16] = 0x00, png[17] = 0x01, png[18] = 0x00, png[19] = 0x00;  // width 65536
    bad.emplace_back(L"absurd.png", png);
    std::string bmp = ReadFileBytes(TestPicture(L"sample-40x30.bmp"));
    bmp[22] = 0x00, bmp[23] = 0x00, bmp[24] = 0x00, bmp[25] = static_cast<char>(0x80);  // height INT_MIN
    bad.emplace_back(L"absurd.bmp", bmp);
    std::string gif = ReadFileBytes(TestPicture(L"sample-40x30.gif"));
    for (std::size_t i = gif.size() / 2; i < gif.size(); ++i) gif[i] = static_cast<char>(i * 37);
    bad.emplace_back(L"scrambled.gif", gif);
    bad.emplace_back(L"empty.png", "");
    bad.emplace_back(L"text.png", "This is not a picture at all.");

    ImageConverter converter;
    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(Narrow(name));
        WriteFileBytes(folder / name, bytes);
        converter.SetImage(Quadrants(4, 4));
        EXPECT_FALSE(converter.Load(folder / name));
        EXPECT_FALSE(converter.LastError().empty());
        EXPECT_FALSE(converter.HasImage()) << "a failed load holds no picture";
    }
    EXPECT_FALSE(converter.Load(folder / L"missing.png"));
    EXPECT_NE(converter.LastError().find(L"missing.png"), std::wstring::npos) << Narrow(converter.LastError());
    EXPECT_FALSE(converter.Load(folder.path()));
}

TEST_F(ImageConverterTest, FailedSavesLeaveTheTargetAndTheFolderAsTheyWere) {
    ImageScratch folder;
    ImageConverter converter;
    converter.SetImage(Quadrants(16, 16));
    EXPECT_FALSE(converter.SavePng(folder / L"no-such-folder\\x.png"));
    EXPECT_FALSE(converter.LastError().empty());

    // A target another program holds open without sharing cannot be replaced: the old
    // file stays and the temporary file is removed.
    const std::wstring target = folder / L"held.png";
    WriteFileBytes(target, "old contents");
    {
        const std::unique_ptr<void, decltype(&CloseHandle)> held(
            CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), &CloseHandle);
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        EXPECT_FALSE(converter.SavePng(target));
        EXPECT_FALSE(converter.SaveTga(target));
    }
    EXPECT_EQ(ReadFileBytes(target), "old contents");
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"held.png"});

    // Once free, it is replaced whole.
    ASSERT_TRUE(converter.SavePng(target)) << Narrow(converter.LastError());
    EXPECT_TRUE(ReadWithWic(target).ok);
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"held.png"});
}

}  // namespace
}  // namespace tarn::test
