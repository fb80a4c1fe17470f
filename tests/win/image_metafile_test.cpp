// Metafiles through the image service: EMF and WMF (with and without a placeable header)
// recorded here with GDI, drawn at their own size at 96 DPI or at the size asked for, and
// refusal of truncated, corrupt and oversized ones.
#include "image_test_support.h"
#include "com/handles.h"
#include "imaging/image_converter.h"

#include <cstring>
#include <memory>

namespace tarn::test {
namespace {

using ImageMetafileTest = ComTest;

const Bgra kRed{0, 0, 255, 255}, kBlue{255, 0, 0, 255};

struct MetafileDeleter {
    void operator()(HMETAFILE m) const noexcept { DeleteMetaFile(m); }
};
using unique_hmetafile = std::unique_ptr<HMETAFILE__, MetafileDeleter>;

// Fills a rectangle with a colour through an opaque empty text run: no brush to own.
void Fill(HDC dc, RECT r, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, r.left, r.top, ETO_OPAQUE, &r, L"", 0, nullptr);
}

// An EMF `inchesWide` x `inchesHigh`, red in its left half and blue in its right half.
void WriteEmf(const std::wstring& path, int inchesWide, int inchesHigh) {
    const RECT frame{0, 0, inchesWide * 2540, inchesHigh * 2540};
    HDC dc = CreateEnhMetaFileW(nullptr, path.c_str(), &frame, L"test\0halves\0");
    ASSERT_TRUE(dc);
    // The frame in the reference device's pixels, which the drawing is recorded in.
    const int w = MulDiv(frame.right, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, HORZSIZE) * 100);
    const int h = MulDiv(frame.bottom, GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, VERTSIZE) * 100);
    Fill(dc, RECT{0, 0, w / 2, h}, RGB(255, 0, 0));
    Fill(dc, RECT{w / 2, 0, w, h}, RGB(0, 0, 255));
    unique_henhmetafile emf(CloseEnhMetaFile(dc));
    ASSERT_TRUE(emf);
}

// The records of a Windows metafile 200 x 100 logical units, red left half, blue right.
std::string WmfRecords() {
    HDC dc = CreateMetaFileW(nullptr);
    EXPECT_TRUE(dc);
    if (!dc) return {};
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, 200, 100, nullptr);
    Fill(dc, RECT{0, 0, 100, 100}, RGB(255, 0, 0));
    Fill(dc, RECT{100, 0, 200, 100}, RGB(0, 0, 255));
    unique_hmetafile wmf(CloseMetaFile(dc));
    const UINT size = GetMetaFileBitsEx(wmf.get(), 0, nullptr);
    std::string bytes(size, '\0');
    GetMetaFileBitsEx(wmf.get(), size, bytes.data());
    return bytes;
}

// The 22-byte placeable header: key, handle, bounding box, units per inch, checksum.
std::string Placeable(std::int16_t right, std::int16_t bottom, std::uint16_t unitsPerInch) {
    std::uint16_t words[11] = {
        0xCDD7,       0x9AC6, 0, 0, 0, static_cast<std::uint16_t>(right), static_cast<std::uint16_t>(bottom),
        unitsPerInch, 0,      0, 0};
    for (int i = 0; i < 10; ++i) words[10] ^= words[i];
    return std::string(reinterpret_cast<const char*>(words), sizeof(words));
}

void ExpectHalves(const Image& image) {
    const int w = image.width(), h = image.height();
    EXPECT_TRUE(Near(image.at(w / 4, h / 2), kRed, 8)) << Describe(image.at(w / 4, h / 2));
    EXPECT_TRUE(Near(image.at(3 * w / 4, h / 2), kBlue, 8)) << Describe(image.at(3 * w / 4, h / 2));
    EXPECT_TRUE(Near(image.at(1, 1), kRed, 8)) << "the drawing reaches the top left corner";
    EXPECT_TRUE(Near(image.at(w - 2, h - 2), kBlue, 8)) << "and the bottom right one";
}

TEST_F(ImageMetafileTest, EmfIsDrawnAtItsOwnSizeOrTheSizeAskedFor) {
    ImageScratch folder;
    const std::wstring path = folder / L"halves.emf";
    WriteEmf(path, 2, 1);
    ImageConverter converter;
    ASSERT_TRUE(converter.Load(path)) << Narrow(converter.LastError());
    EXPECT_EQ(converter.image().width(), 192) << "2 inches at 96 DPI";
    EXPECT_EQ(converter.image().height(), 96);
    ExpectHalves(converter.image());

    const int sizes[][4] = {{400, 100, 400, 100}, {300, 0, 300, 150}, {0, 48, 96, 48}, {17, 230, 17, 230}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
        ASSERT_TRUE(converter.SetRenderSize(s[0], s[1]));
        ASSERT_TRUE(converter.Load(path)) << Narrow(converter.LastError());
        EXPECT_EQ(converter.image().width(), s[2]);
        EXPECT_EQ(converter.image().height(), s[3]);
        ExpectHalves(converter.image());
    }
    // The picture then saves like any other.
    ASSERT_TRUE(converter.SavePng(folder / L"halves.png"));
    const ReadBack back = ReadWithWic(folder / L"halves.png");
    EXPECT_EQ(back.width, 17);
    EXPECT_TRUE(Near(back.at(12, 100), kBlue, 8));
}

TEST_F(ImageMetafileTest, WmfUsesItsPlaceableHeaderOrTheSizeAskedFor) {
    ImageScratch folder;
    const std::string records = WmfRecords();
    ASSERT_FALSE(records.empty());
    WriteFileBytes(folder / L"placeable.wmf", Placeable(200, 100, 96) + records);
    WriteFileBytes(folder / L"bare.wmf", records);

    ImageConverter converter;
    ASSERT_TRUE(converter.Load(folder / L"placeable.wmf")) << Narrow(converter.LastError());
    EXPECT_EQ(converter.image().width(), 200);
    EXPECT_EQ(converter.image().height(), 100);
    ExpectHalves(converter.image());

    EXPECT_FALSE(converter.Load(folder / L"bare.wmf")) << "no size of its own and none asked for";
    EXPECT_NE(converter.LastError().find(L"render size"), std::wstring::npos) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SetRenderSize(120, 30));
    ASSERT_TRUE(converter.Load(folder / L"bare.wmf")) << Narrow(converter.LastError());
    EXPECT_EQ(converter.image().width(), 120);
    ExpectHalves(converter.image());
    ASSERT_TRUE(converter.Load(folder / L"placeable.wmf"));
    EXPECT_EQ(converter.image().height(), 30);
    ExpectHalves(converter.image());
}

TEST_F(ImageMetafileTest, OversizedCorruptAndTruncatedMetafilesAreRefused) {
    ImageScratch folder;
    WriteEmf(folder / L"good.emf", 1, 1);
    const std::string emf = ReadFileBytes(folder / L"good.emf");
    ASSERT_GT(emf.size(), 200u);

    // A frame 400 inches wide is 38400 pixels at 96 DPI: refused at its own size, fine when
    // the caller asks for a size.
    std::string huge = emf;
    const std::int32_t right = 400 * 2540;
    std::memcpy(&huge[32], &right, 4);
    WriteFileBytes(folder / L"huge.emf", huge);
    ImageConverter converter;
    EXPECT_FALSE(converter.Load(folder / L"huge.emf"));
    EXPECT_NE(converter.LastError().find(L"30000"), std::wstring::npos) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SetRenderSize(64, 64));
    EXPECT_TRUE(converter.Load(folder / L"huge.emf")) << Narrow(converter.LastError());
    ASSERT_TRUE(converter.SetRenderSize(0, 0));

    std::string scrambled = emf;
    for (std::size_t i = 120; i < scrambled.size(); ++i) scrambled[i] = static_cast<char>(0xA5 ^ i);
    const std::string wmf = Placeable(200, 100, 96) + WmfRecords();
    const std::pair<const wchar_t*, std::string> bad[] = {
        {L"header-cut.emf", emf.substr(0, 60)}, {L"half.emf", emf.substr(0, emf.size() / 2)},
        {L"scrambled.emf", scrambled},          {L"placeable-only.wmf", wmf.substr(0, 22)},
        {L"header-cut.wmf", wmf.substr(0, 30)},
    };
    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(Narrow(name));
        WriteFileBytes(folder / name, bytes);
        EXPECT_FALSE(converter.Load(folder / name));
        EXPECT_FALSE(converter.LastError().empty());
    }

    EXPECT_FALSE(converter.SetRenderSize(-1, 10));
    EXPECT_FALSE(converter.SetRenderSize(40000, 10));
    EXPECT_FALSE(converter.SetRenderSize(20000, 20000));
}

}  // namespace
}  // namespace tarn::test
