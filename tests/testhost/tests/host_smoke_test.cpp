// A smoke test of ExportTestHost.dll: its grid and chart answer the members the component's
// tests rely on the way a host program's controls do, read through the engine's own
// late-bound facade. The objects come from the DLL beside this program, without the registry.
#include "com/errors.h"
#include "com/late_bound.h"
#include "tables/grid_table.h"

#include <gtest/gtest.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace testhost::test {
namespace {

using namespace tarn;

const CLSID kGridClsid = {0x8d4a8ec2, 0x0329, 0x4870, {0xb7, 0xe2, 0x81, 0xeb, 0xc8, 0x97, 0x3e, 0x98}};
const CLSID kChartClsid = {0xd4bbda03, 0xd0b8, 0x469e, {0xaa, 0x56, 0x64, 0x4e, 0x1c, 0x25, 0x4e, 0xb9}};

std::wstring Folder() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return std::filesystem::path(exe).parent_path().wstring() + L"\\";
}

ComPtr<IDispatch> NewObject(REFCLSID clsid) {
    static HMODULE dll = LoadLibraryW((Folder() + L"ExportTestHost.dll").c_str());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ComPtr<IDispatch> object;
    EXPECT_TRUE(get && SUCCEEDED(get(clsid, IID_PPV_ARGS(&factory))));
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
    }
    return object;
}

VARIANT Text(const unique_bstr& text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    return v;
}

class HostSmokeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(HostSmokeTest, GridAnswersTheMembersTheExportersRead) {
    ComPtr<IDispatch> object = NewObject(kGridClsid);
    ASSERT_TRUE(object);
    LateBound host(object.Get());
    const unique_bstr text(
        L"cols = 4\n---\nName | Qty | Paid | Hidden\na\\|b | 1234.5 | yes | x\nc | 2 | no | y\n"
        L"@col 1 type=number width=600\n@col 2 type=boolean\n@col 3 hidden\n@row 2 height=0\n"
        L"@merge 1,0:2,0\n@cell 1,1 bold data=42\n");
    host.Call(L"LoadFromText", {Text(text)});
    GridTable grid(object.Get());
    EXPECT_EQ(grid.Rows(), 3);
    EXPECT_EQ(grid.Cols(), 4);
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(grid.ColWidth(1), 600);
    EXPECT_TRUE(grid.ColHidden(3));
    EXPECT_EQ(grid.RowHeight(2), 0);
    EXPECT_EQ(grid.CellText(1, 0), L"a|b");
    EXPECT_EQ(VariantToText(grid.Cell(CellSetting::DisplayText, 1, 1)), L"1,234.50");
    EXPECT_EQ(VariantToText(grid.Cell(CellSetting::DisplayText, 1, 2)), L"True");
    EXPECT_TRUE(grid.CellBool(CellSetting::FontBold, 1, 1));
    EXPECT_EQ(VariantToLong(grid.Cell(CellSetting::Data, 1, 1)), 42);
    const CellRange merged = grid.MergedRange(2, 0);
    EXPECT_EQ(merged.row1, 1);
    EXPECT_EQ(merged.row2, 2);

    // Writes the component makes are logged; reads are counted.
    host.Call(L"ResetCounters");
    grid.SetRedraw(false);
    grid.SetRedraw(true);
    EXPECT_EQ(VariantToText(host.Get(L"WriteLog")), L"Redraw=False\r\nRedraw=True");
    const unique_bstr member(L"redraw");
    EXPECT_EQ(VariantToLong(host.Call(L"CallCount", {Text(member)})), 2);

    // The grid's picture is a bitmap picture of its visible part.
    ComPtr<IPicture> picture;
    ASSERT_TRUE(VariantToObject(host.Get(L"Picture")));
    ASSERT_EQ(VariantToObject(host.Get(L"Picture")).As(&picture), S_OK);
    SHORT type = PICTYPE_UNINITIALIZED;
    picture->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_BITMAP);

    // Failures come back with the host's own text.
    const unique_bstr bad(L"a | b\n@cell 0,0 blod\n");
    try {
        host.Call(L"LoadFromText", {Text(bad)});
        ADD_FAILURE() << "a bad attribute was accepted";
    } catch (const ComError& e) {
        EXPECT_NE(e.description().find(L"line 2: unknown cell attribute 'blod'"), std::wstring::npos)
            << e.description();
    }
    EXPECT_EQ(grid.CellText(1, 0), L"a|b") << "a failed load leaves the grid as it was";
}

TEST_F(HostSmokeTest, ChartDrawsACopyAtTheAskedSizeAndLogsIt) {
    ComPtr<IDispatch> object = NewObject(kChartClsid);
    ASSERT_TRUE(object);
    LateBound chart(object.Get());
    EXPECT_EQ(VariantToLong(chart.Get(L"Width")), 7200);
    chart.Put(L"DeskColor", LongArg(0x123456));
    const std::wstring path = Folder() + L"host-smoke-chart.bmp";
    const unique_bstr target(path);
    EXPECT_TRUE(VariantToBool(chart.Call(L"PEcopybitmaptofile", {LongArg(64), LongArg(48), Text(target)})));
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        EXPECT_EQ(fread(&file, sizeof file, 1, f), 1u);
        EXPECT_EQ(fread(&info, sizeof info, 1, f), 1u);
        fclose(f);
    }
    DeleteFileW(path.c_str());
    EXPECT_EQ(file.bfType, 0x4D42);
    EXPECT_EQ(info.biWidth, 64);
    EXPECT_EQ(std::abs(info.biHeight), 48);
    EXPECT_EQ(VariantToText(chart.Get(L"CallLog")), L"PEcopybitmaptofile(64,48," + path + L") DeskColor=&H00123456");
}

}  // namespace
}  // namespace testhost::test
