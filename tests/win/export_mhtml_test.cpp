// ExportMHTML: the dialog, the temporary page beside the target while the HTML exporter
// writes it, the one file left afterwards, read back by Python's email package. Archives of
// charts and texts are checked from a script (tests/hosts/mhtml.vbs).
#include "win_support.h"

#include "common/file_names.h"
#include "html/temporary_page.h"

#include <regex>

namespace tarn::test {
namespace {

using MhtmlTest = ComTest;

const std::wstring kAllColumns = L",0,1,2,3,4,5,6,7,8,9,";

std::wstring WebResource(const wchar_t* name) {
    return (std::filesystem::path(TheComponent().path).parent_path() / L"WebResources" / name).wstring();
}

// The folder's names while the page export is held at its first row height.
std::vector<std::wstring> NamesDuringPageExport(GridProxy& proxy, const ScratchFolder& folder) {
    ResumeOnExit release{proxy};
    proxy.WaitUntilHeld();
    return folder.Files();
}

// The generator state whose temporary page `name` is, counting from the seed.
int StepOf(const std::wstring& name) {
    std::uint32_t state = kClassicRandomSeed;
    for (int step = 1; step < 10000; ++step) {
        state = NextClassicRandom(state);
        if (FileNameOf(TemporaryPagePath(L"C:\\x.mhtml", state, '.'), false) == name) return step;
    }
    return -1;
}

TEST_F(MhtmlTest, ATableArchiveIsTheOnlyFileLeftAndEveryPictureOfItsPageIsAPartPythonFinds) {
    ScratchFolder folder;
    LateBound grid = SampleGrid();
    GridProxy proxy(grid.object());
    proxy.HoldAt(L"RowHeight", 2);
    auto e = NewExporter(__uuidof(::ExportMHTML),
                         {.initDir = folder.path(), .columns = kAllColumns, .quiet = false, .skipDialog = false});
    struct Seen {
        ui::SaveDialogView dialog;
        std::vector<std::wstring> during;
        ui::MessageBoxView message;
    };
    ui::Watcher<Seen> watcher([&] {
        Seen seen;
        seen.dialog = ui::WaitForSaveDialog();
        ui::SaveAs(seen.dialog.window, L"stock");
        seen.during = NamesDuringPageExport(proxy, folder);
        seen.message = ui::WaitForMessageBox();
        seen.message.window.PressButton(L"OK");
        return seen;
    });
    EXPECT_TRUE(ExportTable(e.Get(), &proxy));
    const Seen seen = watcher.Get();
    EXPECT_EQ(seen.dialog.filters, (std::vector<std::wstring>{L"MHTML Files (*.mhtml)", L"All (*.*)"}));
    EXPECT_EQ(seen.dialog.selectedFilter, L"MHTML Files (*.mhtml)");
    ASSERT_EQ(seen.during.size(), 2u) << "the page and its side folder beside the target";
    EXPECT_EQ(seen.during[1], seen.during[0].substr(0, seen.during[0].size() - 4) + L"_files");
    EXPECT_EQ(seen.message.caption, L"Export");
    EXPECT_EQ(seen.message.text, L"Exported to stock.mhtml");
    EXPECT_EQ(seen.message.icon, ui::Icon::Information);
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"stock.mhtml"});

    // The banner pictures, and the flag both cells show as one GIF.
    const std::string reading =
        MhtmlReading(folder / L"stock.mhtml", {{0, WebResource(L"Header.jpg")}, {1, WebResource(L"Spacer.jpg")}});
    const std::regex expected(
        "type multipart/related; root text/html; charset windows-1252; parts 3\n"
        "subject \n"
        "img 0 cid:1\\.Header\\.jpg@TOKEN -> image/jpeg, \\d+ bytes, same as Header\\.jpg\n"
        "img 1 cid:2\\.Spacer\\.jpg@TOKEN -> image/jpeg, \\d+ bytes, same as Spacer\\.jpg\n"
        "img 2 (cid:3\\.-?\\d+\\.gif@TOKEN) -> image/gif, \\d+ bytes\n"
        "img 3 \\1 -> image/gif, \\d+ bytes\n"
        "unreferenced parts: none\n"
        "defects: none\n");
    EXPECT_TRUE(std::regex_match(reading, expected)) << reading;

    // A second export quietly, to a name without extension: the next temporary name.
    GridProxy second(grid.object());
    second.HoldAt(L"RowHeight", 2);
    auto quiet = NewExporter(__uuidof(::ExportMHTML), {.target = folder / L"again", .columns = kAllColumns});
    ui::Watcher<std::vector<std::wstring>> held([&] { return NamesDuringPageExport(second, folder); });
    EXPECT_TRUE(ExportTable(quiet.Get(), &second));
    const std::vector<std::wstring> during = held.Get();
    EXPECT_EQ(TargetOf(quiet.Get()), folder / L"again.mhtml");
    ASSERT_EQ(during.size(), 3u);
    EXPECT_EQ(StepOf(during[0]), StepOf(seen.during[0]) + 1)
        << Narrow(during[0]) << " after " << Narrow(seen.during[0]);
    EXPECT_EQ(folder.Files(), (std::vector<std::wstring>{L"again.mhtml", L"stock.mhtml"}));
}

TEST_F(MhtmlTest, APackingThatFailsLeavesNoArchiveAndNoTemporaryFilesAndMapsAreNotExported) {
    ScratchFolder folder;
    CreateDirectoryW((folder / L"busy.mhtml").c_str(), nullptr);  // the archive cannot take its place
    LateBound grid = SampleGrid();
    auto e = NewExporter(__uuidof(::ExportMHTML), {.target = folder / L"busy.mhtml", .columns = kAllColumns});
    EXPECT_TRUE(ExportTable(e.Get(), grid.object())) << "the page was written";
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"busy.mhtml"});

    IDispatch* map = grid.object();
    VARIANT_BOOL result = VARIANT_TRUE;
    e->put_TargetFilename(unique_bstr(folder / L"map").get());
    EXPECT_EQ(e->ExportMap(&map, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(folder.Files(), std::vector<std::wstring>{L"busy.mhtml"});
}

}  // namespace
}  // namespace tarn::test
