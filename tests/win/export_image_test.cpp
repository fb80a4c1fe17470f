// ExportImage as a host program meets it, through its COM class and the test host's chart
// and grid: every operation to every format it writes, read back by WIC; the sizes it
// takes, the chart's desk colour, the grid's current cell, JPEG quality, the temporary
// bitmap, broken inputs; and the save dialog, progress and closing message on screen.
#include "com/late_bound.h"
#include "image_test_support.h"
#include "com/handles.h"
#include "uidriver/ui_driver.h"

#include <algorithm>
#include <array>
#include <functional>
#include <sstream>

namespace tarn::test {
namespace {

using ExportImageTest = ComTest;

const Bgra kRed{0, 0, 255, 255}, kBlue{255, 0, 0, 255}, kWhite{255, 255, 255, 255};

// ---- the exporter and its options

ComPtr<_ExportMEthod> NewExporter(bool quiet = true, bool skipDialog = true) {
    ComPtr<_ExportMEthod> e = Create<_ExportMEthod>(__uuidof(::ExportImage));
    if (!e) return e;
    VARIANT_BOOL q = ToVariantBool(quiet), s = ToVariantBool(skipDialog);
    EXPECT_EQ(e->put_Quiet(&q), S_OK);
    EXPECT_EQ(e->put_SkipFilenameSelection(&s), S_OK);
    return e;
}

void SetSize(_ExportMEthod* e, LONG width, LONG height) {
    EXPECT_EQ(e->put_ImageWidth(width), S_OK);
    EXPECT_EQ(e->put_ImageHeight(height), S_OK);
}

std::pair<LONG, LONG> SizeOf(_ExportMEthod* e) {
    LONG w = -1, h = -1;
    e->get_ImageWidth(&w);
    e->get_ImageHeight(&h);
    return {w, h};
}

std::wstring TargetOf(_ExportMEthod* e) {
    unique_bstr text;
    e->get_TargetFilename(text.put());
    return text.str();
}

std::wstring ImageFormatOf(_ExportMEthod* e) {
    unique_bstr text;
    e->get_ImageFormat(text.put());
    return text.str();
}

// One operation with the target set first; the Boolean it answered.
using Operation = std::function<HRESULT(_ExportMEthod*, VARIANT_BOOL*)>;
bool Export(_ExportMEthod* e, const std::wstring& target, const Operation& operation) {
    EXPECT_EQ(e->put_TargetFilename(unique_bstr(target).get()), S_OK);
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(operation(e, &result), S_OK);
    return result != VARIANT_FALSE;
}
Operation Chart(IDispatch* chart) {
    return [chart](_ExportMEthod* e, VARIANT_BOOL* r) {
        IDispatch* argument = chart;
        return e->ExportChart(&argument, r);
    };
}
Operation Table(IDispatch* grid) {
    return [grid](_ExportMEthod* e, VARIANT_BOOL* r) {
        IDispatch* argument = grid;
        return e->ExportTable(&argument, r);
    };
}
Operation Picture(IPictureDisp* picture) {
    return [picture](_ExportMEthod* e, VARIANT_BOOL* r) {
        IPictureDisp* argument = picture;
        return e->ExportPicture(&argument, r);
    };
}
Operation MetafileFile(const std::wstring& source) {
    return [source](_ExportMEthod* e, VARIANT_BOOL* r) { return e->ExportEMFFile(unique_bstr(source).get(), r); };
}
Operation ImageFile(const std::wstring& source) {
    return [source](_ExportMEthod* e, VARIANT_BOOL* r) { return e->ExportImageFile(unique_bstr(source).get(), r); };
}

// ---- the test host

// A test host object, created from its ProgID the way a host program creates its controls.
LateBound HostObject(const wchar_t* progId) {
    CLSID clsid{};
    ComPtr<IDispatch> object;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << "is ExportTestHost.dll registered?";
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK);
    return LateBound(object.Get());
}

long LongOf(LateBound& host, const wchar_t* member) { return VariantToLong(host.GetValue(member)); }

// A text argument; `text` must outlive the call.
VARIANT TextArg(const unique_bstr& text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    return v;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wistringstream in(text);
    for (std::wstring line; std::getline(in, line);) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::wstring> CallLog(LateBound& chart) { return Lines(VariantToText(chart.GetValue(L"CallLog"))); }

// The source tree's root: tests/data/images/<name> is four levels below it.
std::filesystem::path Root() {
    return std::filesystem::path(TestPicture(L"x")).parent_path().parent_path().parent_path().parent_path();
}

LateBound SampleGrid() {
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    const unique_bstr path((Root() / L"examples" / L"sample-grid.txt").wstring());
    grid.Call(L"LoadFromFile", {TextArg(path)});
    return grid;
}

ComPtr<IPictureDisp> AsPicture(const VARIANT& value) {
    ComPtr<IPictureDisp> picture;
    if (ComPtr<IDispatch> object = VariantToObject(value)) object.As(&picture);
    return picture;
}

// The pixel size of a bitmap picture (its HIMETRIC size at 96 DPI).
std::pair<int, int> PixelSize(IPictureDisp* picture) {
    ComPtr<IPicture> pic;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    if (picture && SUCCEEDED(picture->QueryInterface(IID_PPV_ARGS(&pic)))) {
        pic->get_Width(&w);
        pic->get_Height(&h);
    }
    return {MulDiv(w, 96, 2540), MulDiv(h, 96, 2540)};
}

// ---- reading the files back

void ExpectImage(const std::wstring& path, const GUID& container, int width, int height) {
    SCOPED_TRACE(Narrow(path));
    const ReadBack back = ReadWithWic(path);
    ASSERT_TRUE(back.ok) << "WIC cannot read it";
    EXPECT_TRUE(back.container == container);
    EXPECT_EQ(back.width, width);
    EXPECT_EQ(back.height, height);
}

// The tests/data pictures run from red at the top to blue at the bottom.
void ExpectRedOverBlue(const std::wstring& path, int tolerance) {
    const ReadBack back = ReadWithWic(path);
    ASSERT_TRUE(back.ok) << Narrow(path);
    EXPECT_TRUE(Near(back.at(back.width / 2, 0), kRed, tolerance)) << Narrow(path);
    EXPECT_TRUE(Near(back.at(back.width / 2, back.height - 1), kBlue, tolerance)) << Narrow(path);
}

// A 24-bit TGA's width and height from its header; WIC has no TGA decoder.
std::pair<int, int> TgaSize(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    if (bytes.size() < 18 || bytes[2] != 2 || bytes[16] != 24) return {0, 0};
    auto word = [&](int at) {
        return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    };
    return {word(12), word(14)};
}

// The bounds an enhanced metafile's header gives, or an empty rectangle.
RECTL MetafileBounds(const std::wstring& path) {
    ENHMETAHEADER header{};
    const unique_henhmetafile emf(GetEnhMetaFileW(path.c_str()));
    if (!emf || !GetEnhMetaFileHeader(emf.get(), sizeof(header), &header)) return {};
    return header.rclBounds;
}

// The luminance quantisation table of a JPEG file, in the file's (zigzag) order.
std::vector<int> LuminanceTable(const std::string& jpeg) {
    for (std::size_t i = 2; i + 4 + 65 <= jpeg.size();) {
        if (static_cast<unsigned char>(jpeg[i]) != 0xFF) return {};
        const unsigned marker = static_cast<unsigned char>(jpeg[i + 1]);
        const std::size_t length =
            (static_cast<unsigned char>(jpeg[i + 2]) << 8) | static_cast<unsigned char>(jpeg[i + 3]);
        if (marker == 0xDB && (jpeg[i + 4] & 0x0F) == 0) {
            std::vector<int> table;
            for (int k = 0; k < 64; ++k) table.push_back(static_cast<unsigned char>(jpeg[i + 5 + k]));
            return table;
        }
        if (marker == 0xDA) return {};
        i += 2 + length;
    }
    return {};
}

// The example luminance table of the JPEG standard scaled for `quality` the way the IJG
// library scales it, in zigzag order as a DQT segment carries it.
std::vector<int> StandardLuminanceTable(int quality) {
    constexpr std::array<int, 64> kNatural{16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                           14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                           18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                           49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    constexpr std::array<int, 64> kZigzag{0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                          12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                          35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                          58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::vector<int> table;
    for (int k = 0; k < 64; ++k) table.push_back(std::clamp((kNatural[kZigzag[k]] * scale + 50) / 100, 1, 255));
    return table;
}

// An enhanced metafile `inchesWide` x `inchesHigh`, red in its left half, blue in its right.
void WriteHalvesEmf(const std::wstring& path, int inchesWide, int inchesHigh) {
    const RECT frame{0, 0, inchesWide * 2540, inchesHigh * 2540};
    HDC dc = CreateEnhMetaFileW(nullptr, path.c_str(), &frame, nullptr);
    ASSERT_TRUE(dc);
    const int w = MulDiv(frame.right, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, HORZSIZE) * 100);
    const int h = MulDiv(frame.bottom, GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, VERTSIZE) * 100);
    const RECT left{0, 0, w / 2, h}, right{w / 2, 0, w, h};
    SetBkColor(dc, RGB(255, 0, 0));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &left, L"", 0, nullptr);
    SetBkColor(dc, RGB(0, 0, 255));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &right, L"", 0, nullptr);
    const unique_henhmetafile emf(CloseEnhMetaFile(dc));
    ASSERT_TRUE(emf);
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// ---- charts

TEST_F(ExportImageTest, ChartIsDrawnOnWhiteInEveryFormatAndItsDeskColorComesBack) {
    ImageScratch folder;
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    chart.Put(L"DeskColor", LongArg(0xC0C0C0));
    ComPtr<_ExportMEthod> e = NewExporter();
    ASSERT_TRUE(e);

    struct Case {
        const wchar_t* name;
        bool result;
        const wchar_t* drawnInto;  // the file the chart is asked to draw into
    };
    const Case cases[] = {
        {L"chart.png", true, L"chart.png.bmp"}, {L"chart.gif", true, L"chart.gif.bmp"},
        {L"chart.jpg", true, L"chart.jpg.bmp"}, {L"chart.tga", true, L"chart.tga.bmp"},
        {L"chart.tif", true, L"chart.tif.bmp"}, {L"chart.bmp", true, L"chart.bmp"},
        {L"chart.emf", true, L"chart.emf"},     {L"chart.wmf", false, nullptr},
    };
    std::vector<std::wstring> written;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        const size_t callsBefore = CallLog(chart).size();
        EXPECT_EQ(Export(e.Get(), folder / c.name, Chart(chart.object())), c.result);
        EXPECT_EQ(LongOf(chart, L"DeskColor"), 0xC0C0C0) << "the host's desk colour is put back";
        const std::vector<std::wstring> log = CallLog(chart);
        if (!c.drawnInto) {
            EXPECT_EQ(log.size(), callsBefore) << "a Windows metafile is not asked of the chart";
            EXPECT_FALSE(std::filesystem::exists(folder / c.name));
            continue;
        }
        written.push_back(c.name);
        ASSERT_EQ(log.size(), callsBefore + 1);
        const std::wstring member =
            std::wstring(c.name).ends_with(L".emf") ? L"PEcopymetatofile" : L"PEcopybitmaptofile";
        EXPECT_EQ(log.back(), member + L"(480,320," + (folder / c.drawnInto) + L") DeskColor=&H00FFFFFF")
            << "drawn at the chart's own size on white";
    }

    for (const auto& [name, container] :
         {std::pair{L"chart.png", GUID_ContainerFormatPng}, std::pair{L"chart.gif", GUID_ContainerFormatGif},
          std::pair{L"chart.jpg", GUID_ContainerFormatJpeg}, std::pair{L"chart.tif", GUID_ContainerFormatTiff},
          std::pair{L"chart.bmp", GUID_ContainerFormatBmp}}) {
        ExpectImage(folder / name, container, 480, 320);
        const ReadBack back = ReadWithWic(folder / name);
        if (back.ok) {
            EXPECT_TRUE(Near(back.at(2, 2), kWhite, 4)) << Narrow(name) << " " << Describe(back.at(2, 2));
        }
    }
    EXPECT_EQ(TgaSize(folder / L"chart.tga"), std::make_pair(480, 320));
    const RECTL bounds = MetafileBounds(folder / L"chart.emf");
    EXPECT_EQ(bounds.right - bounds.left, 479);
    EXPECT_EQ(bounds.bottom - bounds.top, 319);
    EXPECT_EQ(Sorted(folder.Files()), Sorted(written)) << "no temporary bitmap is left";
}

TEST_F(ExportImageTest, ChartSizeComesFromTheChartInPixelsAndStaysOnTheExporter) {
    ImageScratch folder;
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    // 9008 twips are 600.53 pixels and 5992 are 399.47: rounded, not cut or raised.
    chart.Put(L"Width", LongArg(9008));
    chart.Put(L"Height", LongArg(5992));
    ComPtr<_ExportMEthod> e = NewExporter();
    ASSERT_TRUE(e);
    ASSERT_TRUE(Export(e.Get(), folder / L"a.png", Chart(chart.object())));
    EXPECT_EQ(SizeOf(e.Get()), std::make_pair(601L, 399L));
    ExpectImage(folder / L"a.png", GUID_ContainerFormatPng, 601, 399);

    // Once set, the sizes are the exporter's: a resized chart is drawn at them again.
    chart.Put(L"Width", LongArg(4500));
    chart.Put(L"Height", LongArg(3000));
    ASSERT_TRUE(Export(e.Get(), folder / L"b.png", Chart(chart.object())));
    ExpectImage(folder / L"b.png", GUID_ContainerFormatPng, 601, 399);

    // Each side on its own: a side that is set is kept, the other follows the chart.
    ComPtr<_ExportMEthod> f = NewExporter();
    SetSize(f.Get(), 320, 0);
    ASSERT_TRUE(Export(f.Get(), folder / L"c.bmp", Chart(chart.object())));
    EXPECT_EQ(SizeOf(f.Get()), std::make_pair(320L, 200L));
    ExpectImage(folder / L"c.bmp", GUID_ContainerFormatBmp, 320, 200);
    EXPECT_EQ(ImageFormatOf(f.Get()), L"gif") << "an empty ImageFormat becomes gif";
}

// ---- metafiles and image files

TEST_F(ExportImageTest, MetafileIsRenderedAtTheAskedSizeOrCopiedByteForByte) {
    ImageScratch folder;
    const std::wstring source = folder / L"halves.emf";
    WriteHalvesEmf(source, 2, 1);
    const std::string sourceBytes = ReadFileBytes(source);
    ASSERT_FALSE(sourceBytes.empty());

    struct Case {
        LONG width, height;
        const wchar_t* target;
        int wantWidth, wantHeight;
    };
    const Case cases[] = {
        {0, 0, L"own.png", 192, 96},                                         // 2 x 1 inches at 96 DPI
        {300, 150, L"asked.png", 300, 150}, {40, 80, L"asked.bmp", 40, 80},  // the proportions are the caller's
        {300, 0, L"one-side.tif", 192, 96}, {0, 150, L"other-side.jpg", 192, 96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.target));
        ComPtr<_ExportMEthod> e = NewExporter();
        SetSize(e.Get(), c.width, c.height);
        ASSERT_TRUE(Export(e.Get(), folder / c.target, MetafileFile(source)));
        const ReadBack back = ReadWithWic(folder / c.target);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.width, c.wantWidth);
        EXPECT_EQ(back.height, c.wantHeight);
        EXPECT_TRUE(Near(back.at(back.width / 4, back.height / 2), kRed, 12)) << Describe(back.at(back.width / 4, 1));
        EXPECT_TRUE(Near(back.at(3 * back.width / 4, back.height / 2), kBlue, 12));
        EXPECT_EQ(SizeOf(e.Get()), std::make_pair(c.width, c.height)) << "the sizes are left as they were";
    }

    // Metafile targets get the source's bytes, a Windows metafile name too.
    ComPtr<_ExportMEthod> e = NewExporter();
    SetSize(e.Get(), 300, 150);
    ASSERT_TRUE(Export(e.Get(), folder / L"copy.emf", MetafileFile(source)));
    ASSERT_TRUE(Export(e.Get(), folder / L"copy.wmf", MetafileFile(source)));
    EXPECT_TRUE(ReadFileBytes(folder / L"copy.emf") == sourceBytes);
    EXPECT_TRUE(ReadFileBytes(folder / L"copy.wmf") == sourceBytes);

    // No extension: a GIF, named so.
    ComPtr<_ExportMEthod> g = NewExporter();
    ASSERT_TRUE(Export(g.Get(), folder / L"report", MetafileFile(source)));
    EXPECT_EQ(TargetOf(g.Get()), folder / L"report.gif");
    EXPECT_EQ(ImageFormatOf(g.Get()), L"gif");
    ExpectImage(folder / L"report.gif", GUID_ContainerFormatGif, 192, 96);
    EXPECT_FALSE(std::filesystem::exists(folder / L"report"));
}

TEST_F(ExportImageTest, ImageFileIsResampledOnlyWhenBothSizesAreSet) {
    ImageScratch folder;
    const std::wstring source = TestPicture(L"sample-40x30.png");
    struct Case {
        LONG width, height;
        const wchar_t* target;
        const wchar_t* written;
        GUID container;
        int wantWidth, wantHeight;
    };
    const Case cases[] = {
        {0, 0, L"same.jpg", L"same.jpg", GUID_ContainerFormatJpeg, 40, 30},
        {20, 15, L"small.png", L"small.png", GUID_ContainerFormatPng, 20, 15},
        {80, 0, L"wide.bmp", L"wide.bmp", GUID_ContainerFormatBmp, 40, 30},
        {0, 60, L"tall.gif", L"tall.gif", GUID_ContainerFormatGif, 40, 30},
        {0, 0, L"report.TIFF", L"report.TIFF", GUID_ContainerFormatTiff, 40, 30},
        {0, 0, L"report", L"report.gif", GUID_ContainerFormatGif, 40, 30},
        // Image files are not written as metafiles: the name is not one this operation takes.
        {0, 0, L"photo.emf", L"photo.emf.gif", GUID_ContainerFormatGif, 40, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.target));
        ComPtr<_ExportMEthod> e = NewExporter();
        SetSize(e.Get(), c.width, c.height);
        ASSERT_TRUE(Export(e.Get(), folder / c.target, ImageFile(source)));
        EXPECT_EQ(TargetOf(e.Get()), folder / c.written);
        ExpectImage(folder / c.written, c.container, c.wantWidth, c.wantHeight);
        ExpectRedOverBlue(folder / c.written, 24);
    }
    ComPtr<_ExportMEthod> e = NewExporter();
    ASSERT_TRUE(Export(e.Get(), folder / L"pixels.tga", ImageFile(source)));
    EXPECT_EQ(TgaSize(folder / L"pixels.tga"), std::make_pair(40, 30));
    EXPECT_EQ(folder.Files().size(), std::size(cases) + 1) << "nothing but the targets";
}

// ---- pictures and grids

TEST_F(ExportImageTest, PictureGoesThroughABitmapAndNeverIntoAMetafile) {
    ImageScratch folder;
    LateBound host = HostObject(L"ExportTestHost.Grid");
    const unique_bstr path(TestPicture(L"sample-40x30.bmp"));
    ComPtr<IPictureDisp> picture = AsPicture(host.Call(L"LoadPicture", {TextArg(path)}));
    ASSERT_TRUE(picture);
    ComPtr<_ExportMEthod> e = NewExporter();

    const std::pair<const wchar_t*, GUID> formats[] = {
        {L"pic.png", GUID_ContainerFormatPng},  {L"pic.gif", GUID_ContainerFormatGif},
        {L"pic.jpg", GUID_ContainerFormatJpeg}, {L"pic.tif", GUID_ContainerFormatTiff},
        {L"pic.bmp", GUID_ContainerFormatBmp},
    };
    for (const auto& [name, container] : formats) {
        EXPECT_TRUE(Export(e.Get(), folder / name, Picture(picture.Get()))) << Narrow(name);
        ExpectImage(folder / name, container, 40, 30);
        ExpectRedOverBlue(folder / name, 24);
    }
    EXPECT_TRUE(Export(e.Get(), folder / L"pic.tga", Picture(picture.Get())));
    EXPECT_EQ(TgaSize(folder / L"pic.tga"), std::make_pair(40, 30));
    SetSize(e.Get(), 20, 45);
    EXPECT_TRUE(Export(e.Get(), folder / L"resampled.png", Picture(picture.Get())));
    ExpectImage(folder / L"resampled.png", GUID_ContainerFormatPng, 20, 45);
    ExpectRedOverBlue(folder / L"resampled.png", 24);

    for (const wchar_t* name : {L"picture.emf", L"picture.wmf"}) {
        EXPECT_FALSE(Export(e.Get(), folder / name, Picture(picture.Get()))) << Narrow(name);
        EXPECT_FALSE(std::filesystem::exists(folder / name)) << Narrow(name);
    }
    EXPECT_EQ(folder.Files().size(), std::size(formats) + 2) << "no temporary bitmap is left";
}

TEST_F(ExportImageTest, TableIsTheGridsPictureTakenFromItsFirstCell) {
    ImageScratch folder;
    LateBound grid = SampleGrid();
    const auto [width, height] = PixelSize(AsPicture(grid.Get(L"Picture")).Get());
    ASSERT_EQ(width, 597);
    ASSERT_GT(height, 100);
    ComPtr<_ExportMEthod> e = NewExporter();
    // Sizes apply to charts, metafiles, image files and pictures, not to grids.
    SetSize(e.Get(), 50, 50);

    grid.Put(L"Row", LongArg(7));
    grid.Put(L"Col", LongArg(4));
    grid.Call(L"ResetCounters");
    ASSERT_TRUE(Export(e.Get(), folder / L"grid.png", Table(grid.object())));
    std::vector<std::wstring> moves;
    for (const std::wstring& line : Lines(VariantToText(grid.GetValue(L"WriteLog"))))
        if (line.starts_with(L"Row=") || line.starts_with(L"Col=")) moves.push_back(line);
    EXPECT_EQ(moves, (std::vector<std::wstring>{L"Row=1", L"Col=1", L"Row=0", L"Col=0"}))
        << "to the first scrollable cell, then home";
    EXPECT_EQ(LongOf(grid, L"Row"), 0);
    EXPECT_EQ(LongOf(grid, L"Col"), 0);
    for (const wchar_t* member : {L"CellTop", L"CellLeft"}) {
        const unique_bstr name(member);
        EXPECT_EQ(VariantToLong(grid.Call(L"CallCount", {TextArg(name)})), 1) << Narrow(member) << " is read";
    }

    for (const auto& [name, container] :
         {std::pair{L"grid.bmp", GUID_ContainerFormatBmp}, std::pair{L"grid.tif", GUID_ContainerFormatTiff},
          std::pair{L"grid.gif", GUID_ContainerFormatGif}, std::pair{L"grid.jpg", GUID_ContainerFormatJpeg}}) {
        ASSERT_TRUE(Export(e.Get(), folder / name, Table(grid.object()))) << Narrow(name);
        ExpectImage(folder / name, container, width, height);
    }
    ExpectImage(folder / L"grid.png", GUID_ContainerFormatPng, width, height);
    ASSERT_TRUE(Export(e.Get(), folder / L"grid.tga", Table(grid.object())));
    EXPECT_EQ(TgaSize(folder / L"grid.tga"), std::make_pair(width, height));
    // The lossless formats carry the same pixels.
    const ReadBack png = ReadWithWic(folder / L"grid.png");
    EXPECT_TRUE(png.pixels == ReadWithWic(folder / L"grid.bmp").pixels);
    EXPECT_TRUE(png.pixels == ReadWithWic(folder / L"grid.tif").pixels);

    for (const wchar_t* name : {L"grid.emf", L"grid.wmf"}) {
        EXPECT_FALSE(Export(e.Get(), folder / name, Table(grid.object()))) << Narrow(name);
        EXPECT_FALSE(std::filesystem::exists(folder / name));
    }
    EXPECT_EQ(folder.Files().size(), 6u) << "no temporary bitmap is left";
}

TEST_F(ExportImageTest, JpegQualityIs90ForTablesAnd100ForEverythingElse) {
    ImageScratch folder;
    LateBound grid = SampleGrid();
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    const std::wstring emf = folder / L"source.emf";
    WriteHalvesEmf(emf, 1, 1);
    ComPtr<IPictureDisp> picture = AsPicture(grid.Call(L"MakePicture", {LongArg(32), LongArg(16), LongArg(0x3060C0)}));
    ASSERT_TRUE(picture);

    const std::pair<const wchar_t*, Operation> operations[] = {
        {L"table.jpg", Table(grid.object())},     {L"chart.jpg", Chart(chart.object())},
        {L"metafile.jpeg", MetafileFile(emf)},    {L"file.jpg", ImageFile(TestPicture(L"sample-40x30.png"))},
        {L"picture.jpg", Picture(picture.Get())},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(Narrow(name));
        ComPtr<_ExportMEthod> e = NewExporter();
        ASSERT_TRUE(Export(e.Get(), folder / name, operation));
        const bool table = std::wstring(name) == L"table.jpg";
        EXPECT_EQ(LuminanceTable(ReadFileBytes(folder / name)), StandardLuminanceTable(table ? 90 : 100));
    }
}

// ---- broken inputs

TEST_F(ExportImageTest, BrokenInputsWriteNoPictureAndLeaveNothingBehind) {
    ImageScratch folder;
    const std::wstring emf = folder / L"good.emf";
    WriteHalvesEmf(emf, 1, 1);
    const std::string emfBytes = ReadFileBytes(emf);
    const std::string png = ReadFileBytes(TestPicture(L"sample-40x30.png"));
    const std::string jpg = ReadFileBytes(TestPicture(L"sample-40x30.jpg"));
    std::string scrambled = emfBytes;
    for (std::size_t i = 100; i < scrambled.size(); ++i) scrambled[i] = static_cast<char>(0x5A ^ i);
    const std::pair<const wchar_t*, std::string> inputs[] = {
        {L"cut.emf", emfBytes.substr(0, 60)},
        {L"half.emf", emfBytes.substr(0, emfBytes.size() / 2)},
        {L"scrambled.emf", scrambled},
        {L"half.png", png.substr(0, png.size() / 2)},
        {L"header.jpg", jpg.substr(0, 20)},
        {L"text.gif", "GIF89a, or so it says"},
        {L"empty.bmp", ""},
    };
    for (const auto& [name, bytes] : inputs) WriteFileBytes(folder / name, bytes);
    std::vector<std::wstring> expected = folder.Files();

    LateBound chart = HostObject(L"ExportTestHost.Chart");
    chart.Put(L"DeskColor", LongArg(0x123456));
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    std::vector<std::pair<std::wstring, Operation>> cases;
    for (const auto& [name, bytes] : inputs) {
        cases.emplace_back(std::wstring(L"from-") + name + L".png", MetafileFile(folder / name));
        cases.emplace_back(std::wstring(L"file-") + name + L".jpg", ImageFile(folder / name));
    }
    cases.emplace_back(L"missing.png", ImageFile(folder / L"no-such-file.png"));
    cases.emplace_back(L"null-picture.png", Picture(nullptr));
    cases.emplace_back(L"null-table.png", Table(nullptr));
    // The grid has no PEcopybitmaptofile, and the chart refuses a size beyond 8192.
    cases.emplace_back(L"grid-as-chart.png", Chart(grid.object()));
    cases.emplace_back(L"oversized.png", Chart(chart.object()));
    for (const auto& [name, operation] : cases) {
        SCOPED_TRACE(Narrow(name));
        ComPtr<_ExportMEthod> e = NewExporter();
        if (name == L"oversized.png") SetSize(e.Get(), 9000, 100);
        // A picture format was asked for, so the answer is True; nothing could be written.
        EXPECT_TRUE(Export(e.Get(), folder / name, operation));
        EXPECT_FALSE(std::filesystem::exists(folder / name));
    }
    EXPECT_EQ(Sorted(folder.Files()), Sorted(expected)) << "no output and no temporary file";
    EXPECT_EQ(LongOf(chart, L"DeskColor"), 0x123456) << "put back after a drawing the chart refused";
}

TEST_F(ExportImageTest, MapsRtfAndTextAreNotExportedAndNothingIsAsked) {
    ImageScratch folder;
    ComPtr<_ExportMEthod> e = NewExporter(false, false);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->put_TargetFilename(unique_bstr(folder / L"x.gif").get()), S_OK);
    // Nothing to answer: a window would stay open until the watcher closes it and fails.
    ui::Watcher<void> watcher([] {});
    VARIANT_BOOL map = VARIANT_TRUE, rtf = VARIANT_TRUE, text = VARIANT_TRUE;
    IDispatch* none = nullptr;
    EXPECT_EQ(e->ExportMap(&none, &map), S_OK);
    EXPECT_EQ(e->ExportRTF(unique_bstr(L"{\\rtf1 x}").get(), &rtf), S_OK);
    EXPECT_EQ(e->ExportText(unique_bstr(L"x").get(), &text), S_OK);
    EXPECT_NO_THROW(watcher.Get());
    EXPECT_EQ(map, VARIANT_FALSE);
    EXPECT_EQ(rtf, VARIANT_FALSE);
    EXPECT_EQ(text, VARIANT_FALSE);
    EXPECT_TRUE(folder.Files().empty());
}

// ---- on screen

// Passes every call on to a host object; before each call of one member it runs `before`
// on the exporting thread, while the export is under way.
class CallSpy final : public IDispatch {
public:
    CallSpy(IDispatch* inner, const wchar_t* member, std::function<void()> before)
        : inner_(inner), before_(std::move(before)) {
        LPOLESTR name = const_cast<LPOLESTR>(member);
        EXPECT_EQ(inner_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &watched_), S_OK);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
        return inner_->GetTypeInfo(i, l, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* ids) override {
        return inner_->GetIDsOfNames(r, n, c, l, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* x,
                                     UINT* a) override {
        if (id == watched_) before_();
        return inner_->Invoke(id, r, l, f, p, v, x, a);
    }

private:
    ComPtr<IDispatch> inner_;
    DISPID watched_ = DISPID_UNKNOWN;
    std::function<void()> before_;
};

// What the progress window shows at the moment of the call, or why there is none.
std::wstring ProgressNow() {
    ui::WindowQuery query;
    query.className = ui::kProgressClass;
    const std::vector<ui::Window> found = ui::FindWindows(query);
    return found.empty() ? L"(no progress window)" : ui::ReadProgress(found.front()).text;
}

const std::vector<std::wstring> kChartTypes{
    L"All Image Files",           L"Bitmap Files (*.bmp)", L"Enhanced Meta Files (*.emf)", L"GIF Files (*.gif)",
    L"JPEG Files (*.jpg,*.jpeg)", L"Targa Files (*.tga)",  L"PNG Files (*.png)",           L"All Files (*.*)"};

TEST_F(ExportImageTest, SaveDialogOffersEachOperationsTypesAndCancelExportsNothing) {
    ImageScratch folder;
    LateBound grid = SampleGrid();
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    const std::wstring emf = folder / L"source.emf";
    WriteHalvesEmf(emf, 1, 1);
    ComPtr<IPictureDisp> picture = AsPicture(grid.Call(L"MakePicture", {LongArg(8), LongArg(8), LongArg(0)}));
    chart.Call(L"ClearLog");

    struct Case {
        const char* operation;
        Operation run;
        const wchar_t* imageFormat;
        const wchar_t* shown;  // the type the dialog starts with
        std::vector<std::wstring> types;
    };
    const Case cases[] = {
        {"chart", Chart(chart.object()), L"", L"GIF Files (*.gif)", kChartTypes},
        {"metafile",
         MetafileFile(emf),
         L"png",
         L"PNG Files (*.png)",
         {L"All Image Files", L"Bitmap Files (*.bmp)", L"GIF Files (*.gif)", L"Enhanced Meta Files (*.emf)",
          L"JPEG Files (*.jpg,*.jpeg)", L"PNG Files (*.png)", L"Targa Files (*.tga)", L"All Files (*.*)"}},
        {"image file",
         ImageFile(TestPicture(L"sample-40x30.png")),
         L"jpg",
         L"JPEG Files (*.jpg,*.jpeg)",
         {L"All Image Files", L"Bitmap Files (*.bmp)", L"GIF Files (*.gif)", L"JPEG Files (*.jpg,*.jpeg)",
          L"PNG Files (*.png)", L"Targa Files (*.tga)", L"All Files (*.*)"}},
        // Pictures and tables start with GIF whatever ImageFormat says.
        {"picture",
         Picture(picture.Get()),
         L"png",
         L"GIF Files (*.gif)",
         {L"All Image Files", L"Bitmap Files (*.bmp)", L"GIF Files (*.gif)", L"JPEG Files (*.jpg,*.jpeg)",
          L"PNG Files (*.png)", L"Targa Files (*.tga)", L"TIFF Files (*.tif;*.tiff)", L"All Files (*.*)"}},
        {"table",
         Table(grid.object()),
         L"png",
         L"GIF Files (*.gif)",
         {L"All Image Files", L"Bitmap Files (*.bmp)", L"GIF Files (*.gif)", L"JPEG Files (*.jpg,*.jpeg)",
          L"Targa Files (*.tga)", L"TIFF Files (*.tif;*.tiff)", L"PNG Files (*.png)", L"All Files (*.*)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        ComPtr<_ExportMEthod> e = NewExporter(false, false);
        EXPECT_EQ(e->put_ImageFormat(unique_bstr(c.imageFormat).get()), S_OK);
        EXPECT_EQ(e->put_InitDir(unique_bstr(folder.path()).get()), S_OK);
        // A message box after Cancel would keep the export from returning: the watcher
        // then closes it and Get() fails.
        ui::Watcher<ui::SaveDialogView> watcher([] {
            ui::SaveDialogView dialog = ui::WaitForSaveDialog();
            dialog.window.PressButton(IDCANCEL);
            return dialog;
        });
        EXPECT_FALSE(Export(e.Get(), folder / L"proposed.gif", c.run));
        ui::SaveDialogView seen;
        ASSERT_NO_THROW(seen = watcher.Get());
        EXPECT_EQ(seen.caption, L"Export To ...");
        EXPECT_EQ(seen.filters, c.types);
        EXPECT_EQ(seen.selectedFilter, c.shown);
        EXPECT_EQ(seen.fileName, L"proposed.gif");
        EXPECT_EQ(TargetOf(e.Get()), folder / L"proposed.gif");
    }
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"source.emf"});
    EXPECT_TRUE(CallLog(chart).empty()) << "the chart was not asked to draw";
}

TEST_F(ExportImageTest, ANameChosenInTheDialogIsExportedAndTheUserIsToldWhateverTheResult) {
    ImageScratch folder;
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    std::vector<std::wstring> progress;
    CallSpy spy(chart.object(), L"PEcopybitmaptofile", [&] { progress.push_back(ProgressNow()); });

    ComPtr<_ExportMEthod> e = NewExporter(false, false);
    EXPECT_EQ(e->put_InitDir(unique_bstr(folder.path()).get()), S_OK);
    struct Seen {
        ui::SaveDialogView dialog;
        ui::MessageBoxView message;
    };
    ui::Watcher<Seen> watcher([] {
        Seen seen;
        seen.dialog = ui::WaitForSaveDialog();
        ui::SaveAs(seen.dialog.window, L"quarterly");
        seen.message = ui::WaitForMessageBox();
        seen.message.window.PressButton(L"OK");
        return seen;
    });
    EXPECT_TRUE(Export(e.Get(), L"", Chart(&spy)));
    const Seen seen = watcher.Get();
    EXPECT_EQ(seen.dialog.caption, L"Export To ...");
    EXPECT_EQ(seen.dialog.filters, kChartTypes);
    EXPECT_EQ(TargetOf(e.Get()), folder / L"quarterly.gif");
    ExpectImage(folder / L"quarterly.gif", GUID_ContainerFormatGif, 480, 320);
    EXPECT_EQ(progress, std::vector<std::wstring>{L"Saving Image ..."});
    EXPECT_EQ(seen.message.caption, L"Export Image");
    EXPECT_EQ(seen.message.text, L"Exported to quarterly.gif");
    EXPECT_EQ(seen.message.icon, ui::Icon::Information);
    EXPECT_EQ(seen.message.buttons, std::vector<std::wstring>{L"OK"});
    ui::WindowQuery progressWindow;
    progressWindow.className = ui::kProgressClass;
    EXPECT_TRUE(ui::FindWindows(progressWindow).empty()) << "the progress window is gone";

    // Without the dialog, and a result of False: the message is the same.
    ComPtr<_ExportMEthod> f = NewExporter(false, true);
    ui::Watcher<ui::MessageBoxView> told([] {
        ui::MessageBoxView box = ui::WaitForMessageBox();
        box.window.PressButton(L"OK");
        return box;
    });
    EXPECT_FALSE(Export(f.Get(), folder / L"chart.wmf", Chart(chart.object())));
    const ui::MessageBoxView box = told.Get();
    EXPECT_EQ(box.caption, L"Export Image");
    EXPECT_EQ(box.text, L"Exported to chart.wmf");
    EXPECT_EQ(box.icon, ui::Icon::Information);
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"quarterly.gif"});
}

}  // namespace
}  // namespace tarn::test
