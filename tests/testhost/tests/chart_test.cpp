// The chart: its size and colour properties, the bitmap and metafile copies at the
// requested size on the DeskColor, and the call log.
#include "host.h"

#include <set>

namespace testhost::test {
namespace {

constexpr long kDesk = 0x00C0FFFF;  // OLE colour: red FF, green FF, blue C0
constexpr uint32_t kDeskRgb = 0xFFFFC0;
constexpr uint32_t kBars[] = {0xC82828, 0x28A03C, 0x2850C8, 0xE69614};

class Chart : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        chart_ = NewChart();
        ASSERT_TRUE(chart_);
    }
    void TearDown() override {
        chart_.Reset();
        HostTest::TearDown();
    }
    Outcome Copy(const wchar_t* method, long width, long height, const std::wstring& path) {
        return Invoke(chart_.Get(), method, DISPATCH_METHOD, {I4(width), I4(height), Str(path.c_str())});
    }
    void SetDesk(long color) {
        VARIANT value = I4(color);
        ASSERT_EQ(Invoke(chart_.Get(), L"DeskColor", DISPATCH_PROPERTYPUT, {}, &value).hr, S_OK);
    }
    std::wstring CallLog() { return VariantToText(Invoke(chart_.Get(), L"CallLog", DISPATCH_PROPERTYGET, {}).result); }

    ComPtr<IDispatch> chart_;
    TempFolder folder_;
};

std::set<uint32_t> Colours(const std::vector<uint32_t>& pixels) { return {pixels.begin(), pixels.end()}; }

TEST_F(Chart, SizeAndDeskColorRoundTrip) {
    for (const wchar_t* member : {L"Width", L"Height", L"DeskColor"}) {
        VARIANT value = I4(4321);
        ASSERT_EQ(Invoke(chart_.Get(), member, DISPATCH_PROPERTYPUT, {}, &value).hr, S_OK);
        EXPECT_EQ(VariantToLong(Invoke(chart_.Get(), member, DISPATCH_PROPERTYGET, {}).result), 4321) << Narrow(member);
    }
    VARIANT negative = I4(-1);
    EXPECT_EQ(Invoke(chart_.Get(), L"Width", DISPATCH_PROPERTYPUT, {}, &negative).hr, DISP_E_EXCEPTION);
}

TEST_F(Chart, BitmapCopyHasTheRequestedSizeOnTheDeskColor) {
    SetDesk(kDesk);
    std::wstring path = folder_.File(L"chart.bmp");
    Outcome out = Copy(L"PEcopybitmaptofile", 640, 480, path);
    ASSERT_EQ(out.hr, S_OK) << Narrow(out.error);
    EXPECT_TRUE(VariantToLong(out.result));
    KeepCopy(path, L"chart.bmp");
    Bitmap bmp = ReadBmp(path);
    ASSERT_EQ(bmp.width, 640);
    ASSERT_EQ(bmp.height, 480);
    EXPECT_EQ(bmp.bitsPerPixel, 24);
    EXPECT_EQ(Hex(bmp.At(0, 0)), Hex(kDeskRgb));
    EXPECT_EQ(Hex(bmp.At(639, 479)), Hex(kDeskRgb));
    std::set<uint32_t> colours = Colours(bmp.pixels);
    for (uint32_t bar : kBars) EXPECT_TRUE(colours.count(bar)) << "bar colour " << Hex(bar);
    EXPECT_TRUE(colours.count(0x000000)) << "axes and title";
}

TEST_F(Chart, MetafileCopyHasTheRequestedBoundsAndPlaysOnTheDeskColor) {
    SetDesk(kDesk);
    std::wstring path = folder_.File(L"chart.emf");
    Outcome out = Copy(L"PEcopymetatofile", 400, 300, path);
    ASSERT_EQ(out.hr, S_OK) << Narrow(out.error);
    KeepCopy(path, L"chart.emf");

    HENHMETAFILE emf = GetEnhMetaFileW(path.c_str());
    ASSERT_TRUE(emf);
    ENHMETAHEADER header{};
    ASSERT_TRUE(GetEnhMetaFileHeader(emf, sizeof(header), &header));
    EXPECT_EQ(header.iType, static_cast<DWORD>(EMR_HEADER));
    EXPECT_EQ(header.dSignature, static_cast<DWORD>(ENHMETA_SIGNATURE));
    EXPECT_EQ(header.rclBounds.left, 0);
    EXPECT_EQ(header.rclBounds.top, 0);
    EXPECT_EQ(header.rclBounds.right, 399);
    EXPECT_EQ(header.rclBounds.bottom, 299);
    // The frame (0.01 mm) covers 400 x 300 pixels of the reference device.
    const double frameWidth = header.rclFrame.right - header.rclFrame.left;
    const double frameHeight = header.rclFrame.bottom - header.rclFrame.top;
    const double mmPerPixel = static_cast<double>(header.szlMillimeters.cx) / header.szlDevice.cx;
    EXPECT_NEAR(frameWidth / 100.0, 400 * mmPerPixel, 400 * mmPerPixel * 0.02);
    EXPECT_NEAR(frameWidth / frameHeight, 4.0 / 3.0, 0.02);

    // Played into a bitmap of the same size it shows the desk colour and the bars.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 400, -300, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all{0, 0, 400, 300};
    ASSERT_TRUE(PlayEnhMetaFile(dc, emf, &all));
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + 400 * 300);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    EXPECT_EQ(Hex(pixels[0]), Hex(kDeskRgb));
    EXPECT_EQ(Hex(pixels[400 * 300 - 1]), Hex(kDeskRgb));
    std::set<uint32_t> colours = Colours(pixels);
    for (uint32_t bar : kBars) EXPECT_TRUE(colours.count(bar)) << "bar colour " << Hex(bar);

    // The played image, kept for the screenshots.
    wchar_t keep[MAX_PATH];
    if (GetEnvironmentVariableW(L"TESTHOST_KEEP", keep, MAX_PATH)) {
        BITMAPINFO info24{};
        info24.bmiHeader = {sizeof(BITMAPINFOHEADER), 400, 300, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<unsigned char> rows(static_cast<size_t>((400 * 3 + 3) & ~3) * 300);
        GetDIBits(dc, target, 0, 300, rows.data(), &info24, DIB_RGB_COLORS);
        BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + rows.size()),
                              0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
        std::wstring played = folder_.File(L"chart-emf.bmp");
        HANDLE f = CreateFileW(played.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(f, &file, sizeof(file), &n, nullptr);
        WriteFile(f, &info24.bmiHeader, sizeof(BITMAPINFOHEADER), &n, nullptr);
        WriteFile(f, rows.data(), static_cast<DWORD>(rows.size()), &n, nullptr);
        CloseHandle(f);
        KeepCopy(played, L"chart-emf.bmp");
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);
    DeleteEnhMetaFile(emf);
}

TEST_F(Chart, CallLogListsEachCopyWithTheDeskColorOfTheMoment) {
    EXPECT_EQ(CallLog(), L"");
    std::wstring bmp = folder_.File(L"a.bmp"), emf = folder_.File(L"b.emf");
    Copy(L"PEcopybitmaptofile", 64, 48, bmp);
    SetDesk(0x000000FF);
    Copy(L"PEcopymetatofile", 32, 16, emf);
    Outcome refused = Copy(L"PEcopybitmaptofile", 0, 10, bmp);
    EXPECT_EQ(refused.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(CallLog(), L"PEcopybitmaptofile(64,48," + bmp + L") DeskColor=&H00FFFFFF\r\n" + L"PEcopymetatofile(32,16," +
                             emf + L") DeskColor=&H000000FF\r\n" + L"PEcopybitmaptofile(0,10," + bmp +
                             L") DeskColor=&H000000FF");
    Invoke(chart_.Get(), L"ClearLog", DISPATCH_METHOD, {});
    EXPECT_EQ(CallLog(), L"");
}

}  // namespace
}  // namespace testhost::test
