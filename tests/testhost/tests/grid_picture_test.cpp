// What the grid draws: its Picture (saved the way a host saves pictures, then read back
// pixel by pixel), its window painting the same image, and SaveGrid's workbook.
#include "host.h"

#include <fstream>
#include <sstream>

namespace testhost::test {
namespace {

constexpr uint32_t kNavy = 0x1F3A93, kGold = 0xF2C14E, kWhite = 0xFFFFFF;

class GridPicture : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        grid_ = NewGrid();
        ASSERT_TRUE(grid_);
    }
    void TearDown() override {
        grid_.Reset();
        HostTest::TearDown();
    }
    void Load(const wchar_t* text) {
        Outcome out = Invoke(grid_.Get(), L"LoadFromText", DISPATCH_METHOD, {Str(text)});
        ASSERT_EQ(out.hr, S_OK) << Narrow(out.error);
    }
    // The grid's Picture, saved through IPicture::SaveAsFile and read back.
    Bitmap SavedPicture(const wchar_t* keepAs = nullptr) {
        Outcome out = Invoke(grid_.Get(), L"Picture", DISPATCH_PROPERTYGET, {});
        EXPECT_EQ(out.hr, S_OK);
        ComPtr<IPicture> picture;
        ComPtr<IDispatch> object = VariantToObject(out.result);
        if (!object || FAILED(object.As(&picture))) return {};
        short type = 0;
        picture->get_Type(&type);
        EXPECT_EQ(type, PICTYPE_BITMAP);
        ComPtr<IStream> stream;
        CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        LONG saved = 0;
        EXPECT_EQ(picture->SaveAsFile(stream.Get(), TRUE, &saved), S_OK);
        ULARGE_INTEGER end{};
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end);
        const auto size = static_cast<std::streamsize>(end.QuadPart);
        EXPECT_EQ(saved, size);
        HGLOBAL memory = nullptr;
        GetHGlobalFromStream(stream.Get(), &memory);
        std::wstring path = folder_.File(L"grid.bmp");
        {
            std::ofstream file(path.c_str(), std::ios::binary);
            file.write(static_cast<const char*>(GlobalLock(memory)), size);
            GlobalUnlock(memory);
        }
        if (keepAs) KeepCopy(path, keepAs);
        return ReadBmp(path);
    }

    ComPtr<IDispatch> grid_;
    TempFolder folder_;
};

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    return whole.str();
}

// Five columns of 100, 80, hidden, 0 and 60 pixels; rows of 20, 16, hidden and 16 pixels.
const wchar_t kGeometry[] =
    L"rows = 4\ncols = 5\nbackcolor = #FFFFFF\nbackcolorfixed = #D0D0F0\n"
    L"gridcolor = #00FF00\ngridcolorfixed = #0000FF\n---\n"
    L"@row 0 height=300\n@row 2 hidden\n@col 0 width=1500\n@col 2 hidden\n@col 3 width=0\n@col 4 width=900\n"
    L"@cell 1,1 back=#FF0000\n@cell 3,1 back=#3366CC\n@merge 3,1:3,4\n"
    L"@cell 1,4 text=MMMM fore=#FF00FF size=10 bold";

TEST_F(GridPicture, PictureShowsTheVisibleGridAtItsSizesAndColours) {
    Load(kGeometry);
    Bitmap bmp = SavedPicture();
    ASSERT_EQ(bmp.width, 240) << "100 + 80 + 60 pixels of visible columns";
    ASSERT_EQ(bmp.height, 52) << "20 + 16 + 16 pixels of visible rows";
    EXPECT_EQ(Hex(bmp.At(10, 10)), Hex(0xD0D0F0)) << "a header cell";
    EXPECT_EQ(Hex(bmp.At(99, 28)), Hex(0x0000FF)) << "the grid line right of a fixed cell";
    EXPECT_EQ(Hex(bmp.At(130, 28)), Hex(0xFF0000)) << "a cell with its own back colour";
    EXPECT_EQ(Hex(bmp.At(179, 28)), Hex(0x00FF00)) << "the grid line right of a plain cell";
    EXPECT_EQ(Hex(bmp.At(130, 35)), Hex(0x00FF00)) << "the grid line below it";
    EXPECT_EQ(Hex(bmp.At(179, 44)), Hex(0x3366CC)) << "no line inside a merged block";
    EXPECT_EQ(Hex(bmp.At(238, 44)), Hex(0x3366CC)) << "the block spans the last column";
    int magenta = 0;
    for (int y = 20; y < 36; ++y)
        for (int x = 180; x < 240; ++x) magenta += bmp.At(x, y) == 0xFF00FF;
    EXPECT_GT(magenta, 10) << "the text of a cell in its fore colour";
}

TEST_F(GridPicture, SampleGridShowsPicturesAndCheckBoxes) {
    Outcome out = Invoke(grid_.Get(), L"LoadFromFile", DISPATCH_METHOD, {Str((ExamplesFolder() + L"sample-grid.txt").c_str())});
    ASSERT_EQ(out.hr, S_OK) << Narrow(out.error);
    Bitmap bmp = SavedPicture(L"sample-grid.bmp");
    ASSERT_EQ(bmp.width, 597);
    ASSERT_EQ(bmp.height, 148);
    EXPECT_EQ(Hex(bmp.At(1, 1)), Hex(0xD8E4F0)) << "header";
    EXPECT_EQ(Hex(bmp.At(150, 28)), Hex(0xFFF2CC)) << "a subtotal row's colour";
    // The flag in cell (2,8) (x 557, y 36): drawn upright, 2 pixels in from the corner.
    EXPECT_EQ(Hex(bmp.At(560, 39)), Hex(kNavy));
    EXPECT_EQ(Hex(bmp.At(560, 46)), Hex(kGold));
    EXPECT_EQ(Hex(bmp.At(563, 39)), Hex(kWhite));
    // Check boxes in column 7 (x 510): checked in row 2, unchecked in row 3 (y 52..68).
    EXPECT_EQ(Hex(bmp.At(512, 37)), Hex(0x404040)) << "box border";
    EXPECT_EQ(Hex(bmp.At(517, 45)), Hex(0x000000)) << "tick";
    EXPECT_EQ(Hex(bmp.At(517, 53 + 8)), Hex(kWhite)) << "empty box";
    // The Boolean column (x 370) shows boxes too: True in row 2.
    EXPECT_EQ(Hex(bmp.At(372 + 5, 37 + 8)), Hex(0x000000));
}

TEST_F(GridPicture, PictureOfAHugeGridIsCutAt4096Pixels) {
    Invoke(grid_.Get(), L"Fill", DISPATCH_METHOD, {I4(100000), I4(3)});
    Bitmap bmp = SavedPicture();
    EXPECT_EQ(bmp.width, 240);
    EXPECT_EQ(bmp.height, 4096);
}

TEST_F(GridPicture, WindowIsRealAndPaintsThePicture) {
    Load(kGeometry);
    Outcome first = Invoke(grid_.Get(), L"hWnd", DISPATCH_PROPERTYGET, {});
    Outcome second = Invoke(grid_.Get(), L"hWnd", DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(V_VT(&first.result), VT_I4);
    HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(V_I4(&first.result)));
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(V_I4(&second.result), V_I4(&first.result));
    EXPECT_FALSE(IsWindowVisible(window));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, 52);

    Bitmap expected = SavedPicture();
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 240, -52, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    int different = 0;
    ASSERT_EQ(expected.pixels.size(), 240u * 52u);
    for (int i = 0; i < 240 * 52; ++i) different += (static_cast<uint32_t*>(bits)[i] & 0xFFFFFF) != expected.pixels[i];
    EXPECT_EQ(different, 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);

    grid_.Reset();
    EXPECT_FALSE(IsWindow(window)) << "the window goes with the grid";
}

TEST_F(GridPicture, SaveGridWritesAWorkbookWithoutHiddenColumns) {
    Load(L"---\n  | Name | Secret | Price | Ok | Empty\n"
         L"1 | a<b&c | s1 | 12.5 | yes | \n2 | plain | s2 | n/a | no |\n"
         L"@col 2 hidden\n@col 3 type=number\n@col 4 type=boolean\n@col 5 width=0");
    std::wstring path = folder_.File(L"book.xml");
    ASSERT_EQ(Invoke(grid_.Get(), L"SaveGrid", DISPATCH_METHOD, {Str(path.c_str()), I4(6), Bool(true)}).hr, S_OK);
    std::string xml = ReadAll(path);
    EXPECT_NE(xml.find("<Workbook"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">Name</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">a&lt;b&amp;c</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"Number\">12.5</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">n/a</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"Boolean\">1</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">Empty</Data>"), std::string::npos) << "zero width is not hidden";
    EXPECT_EQ(xml.find("Secret"), std::string::npos);
    EXPECT_EQ(xml.find("s1"), std::string::npos);

    ASSERT_EQ(Invoke(grid_.Get(), L"SaveGrid", DISPATCH_METHOD, {Str(path.c_str()), I4(6), Bool(false)}).hr, S_OK);
    std::string body = ReadAll(path);
    EXPECT_EQ(body.find(">Name<"), std::string::npos) << "no header row";
    EXPECT_EQ(body.find(">2<"), std::string::npos) << "no fixed column";
    EXPECT_NE(body.find("plain"), std::string::npos);
}

}  // namespace
}  // namespace testhost::test
