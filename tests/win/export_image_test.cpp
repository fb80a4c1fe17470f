// ExportImage as a host program meets it, through its COM class and the test host's chart
// and grid: a chart in every format it writes, read back by WIC; metafiles copied; the
// grid's picture taken from its first cell; JPEG quality; and the save dialog, progress and
// closing message on screen.
#include "win_support.h"

namespace tarn::test {
namespace {

using ExportImageTest = ComTest;

const Bgra kRed{0, 0, 255, 255}, kBlue{255, 0, 0, 255}, kWhite{255, 255, 255, 255};

ComPtr<_ExportMEthod> ImageExporter(bool quiet = true, bool skipDialog = true, LONG width = 0, LONG height = 0) {
    ComPtr<_ExportMEthod> e = NewExporter(__uuidof(::ExportImage), {.quiet = quiet, .skipDialog = skipDialog});
    EXPECT_EQ(e->put_ImageWidth(width), S_OK);
    EXPECT_EQ(e->put_ImageHeight(height), S_OK);
    return e;
}

long LongOf(LateBound& host, const wchar_t* member) { return VariantToLong(host.GetValue(member)); }
std::vector<std::wstring> CallLog(LateBound& chart) { return Lines(VariantToText(chart.GetValue(L"CallLog"))); }

void ExpectImage(const std::wstring& path, const GUID& container, int width, int height) {
    SCOPED_TRACE(Narrow(path));
    const ReadBack back = ReadWithWic(path);
    ASSERT_TRUE(back.ok) << "WIC cannot read it";
    EXPECT_TRUE(back.container == container);
    EXPECT_EQ(back.width, width);
    EXPECT_EQ(back.height, height);
}

TEST_F(ExportImageTest, ChartIsDrawnOnWhiteInEveryFormatAndItsDeskColorComesBack) {
    ScratchFolder folder;
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    chart.Put(L"DeskColor", LongArg(0xC0C0C0));
    ComPtr<_ExportMEthod> e = ImageExporter();
    const std::tuple<const wchar_t*, GUID, const wchar_t*> cases[] = {
        {L"chart.png", GUID_ContainerFormatPng, L"chart.png.bmp"},
        {L"chart.gif", GUID_ContainerFormatGif, L"chart.gif.bmp"},
        {L"chart.jpg", GUID_ContainerFormatJpeg, L"chart.jpg.bmp"},
        {L"chart.tif", GUID_ContainerFormatTiff, L"chart.tif.bmp"},
        {L"chart.bmp", GUID_ContainerFormatBmp, L"chart.bmp"},
        {L"chart.tga", GUID_NULL, L"chart.tga.bmp"},
        {L"chart.emf", GUID_NULL, L"chart.emf"},
    };
    for (const auto& [name, container, drawnInto] : cases) {
        SCOPED_TRACE(Narrow(name));
        EXPECT_TRUE(Export(e.Get(), folder / name, Chart(chart.object())));
        EXPECT_EQ(LongOf(chart, L"DeskColor"), 0xC0C0C0) << "the host's desk colour is put back";
        const std::wstring member = std::wstring(name).ends_with(L".emf") ? L"PEcopymetatofile" : L"PEcopybitmaptofile";
        EXPECT_EQ(CallLog(chart).back(), member + L"(480,320," + (folder / drawnInto) + L") DeskColor=&H00FFFFFF")
            << "drawn at the chart's own size on white";
        if (container == GUID_NULL) continue;
        ExpectImage(folder / name, container, 480, 320);
        const ReadBack back = ReadWithWic(folder / name);
        EXPECT_TRUE(back.ok && Near(back.at(2, 2), kWhite, 4));
    }
    EXPECT_EQ(TgaSize(folder / L"chart.tga"), std::make_pair(480, 320));
    const size_t calls = CallLog(chart).size();
    EXPECT_FALSE(Export(e.Get(), folder / L"chart.wmf", Chart(chart.object())));
    EXPECT_EQ(CallLog(chart).size(), calls) << "a Windows metafile is not asked of the chart";
    EXPECT_EQ(folder.Files().size(), std::size(cases)) << "no temporary bitmap is left";
    // A size the chart refuses (beyond 8192) writes nothing, yet its desk colour is put back.
    EXPECT_TRUE(Export(ImageExporter(true, true, 9000, 100).Get(), folder / L"big.png", Chart(chart.object())));
    EXPECT_EQ(LongOf(chart, L"DeskColor"), 0xC0C0C0);
    EXPECT_EQ(folder.Files().size(), std::size(cases));
}

TEST_F(ExportImageTest, TableIsTheGridsPictureTakenFromItsFirstCell) {
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    ComPtr<IPicture> picture;
    ASSERT_EQ(AsPicture(grid.Get(L"Picture")).As(&picture), S_OK);
    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    picture->get_Width(&himetricWidth);
    picture->get_Height(&himetricHeight);
    const int width = MulDiv(himetricWidth, 96, 2540), height = MulDiv(himetricHeight, 96, 2540);
    ASSERT_EQ(width, 597);
    // Sizes apply to charts, metafiles, image files and pictures, not to grids.
    ComPtr<_ExportMEthod> e = ImageExporter(true, true, 50, 50);
    grid.Put(L"Row", LongArg(7));
    grid.Put(L"Col", LongArg(4));
    grid.Call(L"ResetCounters");
    ASSERT_TRUE(Export(e.Get(), folder / L"grid.png", Table(grid.object())));
    std::vector<std::wstring> moves;
    for (const std::wstring& line : Lines(WriteLog(grid.object())))
        if (line.starts_with(L"Row=") || line.starts_with(L"Col=")) moves.push_back(line);
    EXPECT_EQ(moves, (std::vector<std::wstring>{L"Row=1", L"Col=1", L"Row=0", L"Col=0"}))
        << "to the first scrollable cell, then home";
    ExpectImage(folder / L"grid.png", GUID_ContainerFormatPng, width, height);
    ASSERT_TRUE(Export(e.Get(), folder / L"grid.bmp", Table(grid.object())));
    EXPECT_TRUE(ReadWithWic(folder / L"grid.png").pixels == ReadWithWic(folder / L"grid.bmp").pixels);
    EXPECT_FALSE(Export(e.Get(), folder / L"grid.emf", Table(grid.object())));
    EXPECT_EQ(folder.Files(), (std::vector<std::wstring>{L"grid.bmp", L"grid.png"})) << "no temporary bitmap is left";
}

TEST_F(ExportImageTest, JpegQualityIs90ForTablesAnd100ForEverythingElse) {
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    ComPtr<IPictureDisp> picture = AsPicture(grid.Call(L"MakePicture", {LongArg(32), LongArg(16), LongArg(0x3060C0)}));
    const std::tuple<const wchar_t*, Operation, int> operations[] = {
        {L"table.jpg", Table(grid.object()), 3},  // the standard table scaled for quality 90 starts with 3
        {L"file.jpg", ImageFile(TestPicture(L"sample-40x30.png")), 1},  // quality 100 is all ones
        {L"picture.jpg", Picture(picture.Get()), 1},
    };
    for (const auto& [name, operation, first] : operations) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(Export(ImageExporter().Get(), folder / name, operation));
        const std::vector<int> table = JpegLuminanceTable(FileBytes(folder / name));
        ASSERT_EQ(table.size(), 64u);
        EXPECT_EQ(table[0], first);
        EXPECT_EQ(table[63], first == 1 ? 1 : 20);
    }
}

TEST_F(ExportImageTest, ANameChosenInTheDialogIsExportedWithProgressAndTheUserIsTold) {
    ScratchFolder folder;
    LateBound chart = HostObject(L"ExportTestHost.Chart");
    GridProxy proxy(chart.object());
    proxy.HoldAt(L"PEcopybitmaptofile", 480);
    ComPtr<_ExportMEthod> e =
        NewExporter(__uuidof(::ExportImage), {.initDir = folder.path(), .quiet = false, .skipDialog = false});
    struct Seen {
        ui::SaveDialogView dialog;
        ui::ProgressView progress;
        ui::MessageBoxView message;
        bool progressLeftOpen = true;
    };
    ui::Watcher<Seen> watcher([&] {
        ResumeOnExit release{proxy};
        Seen seen;
        seen.dialog = ui::WaitForSaveDialog();
        ui::SaveAs(seen.dialog.window, L"quarterly");
        proxy.WaitUntilHeld();
        seen.progress = ui::WaitForProgress();
        proxy.Resume();
        seen.message = ui::WaitForMessageBox();
        seen.progressLeftOpen = ProgressWindowExists();
        seen.message.window.PressButton(L"OK");
        return seen;
    });
    EXPECT_TRUE(Export(e.Get(), L"", Chart(&proxy)));
    const Seen seen = watcher.Get();
    EXPECT_EQ(seen.dialog.caption, L"Export To ...");
    EXPECT_EQ(seen.dialog.filters,
              (std::vector<std::wstring>{L"All Image Files", L"Bitmap Files (*.bmp)", L"Enhanced Meta Files (*.emf)",
                                         L"GIF Files (*.gif)", L"JPEG Files (*.jpg,*.jpeg)", L"Targa Files (*.tga)",
                                         L"PNG Files (*.png)", L"All Files (*.*)"}));
    EXPECT_EQ(seen.dialog.selectedFilter, L"GIF Files (*.gif)") << "an empty ImageFormat is GIF";
    EXPECT_EQ(TargetOf(e.Get()), folder / L"quarterly.gif");
    ExpectImage(folder / L"quarterly.gif", GUID_ContainerFormatGif, 480, 320);
    EXPECT_EQ(seen.progress.text, L"Saving Image ...");
    EXPECT_EQ(seen.message.caption, L"Export Image");
    EXPECT_EQ(seen.message.text, L"Exported to quarterly.gif");
    EXPECT_EQ(seen.message.icon, ui::Icon::Information);
    EXPECT_FALSE(seen.progressLeftOpen) << "the progress window closes before the message";

    // Cancel exports nothing and asks nothing of the chart.
    chart.Call(L"ClearLog");
    ComPtr<_ExportMEthod> f =
        NewExporter(__uuidof(::ExportImage), {.initDir = folder.path(), .quiet = false, .skipDialog = false});
    ui::Watcher<void> cancel([] { ui::WaitForSaveDialog().window.PressButton(IDCANCEL); });
    EXPECT_FALSE(Export(f.Get(), folder / L"proposed.png", Chart(chart.object())));
    EXPECT_NO_THROW(cancel.Get());
    EXPECT_TRUE(CallLog(chart).empty());
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"quarterly.gif"});

    // Metafiles are copied to metafile targets byte for byte, and a name without an
    // extension gets a GIF, named so.
    WriteHalvesEmf(folder / L"halves.emf", 2, 1);
    ASSERT_TRUE(Export(ImageExporter().Get(), folder / L"copy.wmf", MetafileFile(folder / L"halves.emf")));
    EXPECT_TRUE(FileBytes(folder / L"copy.wmf") == FileBytes(folder / L"halves.emf"));
    ComPtr<_ExportMEthod> g = ImageExporter();
    ASSERT_TRUE(Export(g.Get(), folder / L"report", MetafileFile(folder / L"halves.emf")));
    EXPECT_EQ(TargetOf(g.Get()), folder / L"report.gif");
    ExpectImage(folder / L"report.gif", GUID_ContainerFormatGif, 192, 96);
}

}  // namespace
}  // namespace tarn::test
