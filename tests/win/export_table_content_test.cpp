// The bytes ExportCSV and ExportTXT write for the test host's grid, and the markup and side
// folder ExportHTML writes for it: quiet exports without the dialog, compared with the
// literal text each file must hold.
#include "com/late_bound.h"
#include "common_ui.h"

#include <olectl.h>

#include <algorithm>
#include <set>

namespace tarn::test {
namespace {

class HostGrid {
public:
    explicit HostGrid(std::wstring_view text) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(L"ExportTestHost.Grid", &clsid), S_OK) << "the test host is not registered";
        ComPtr<IDispatch> grid;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grid)), S_OK);
        grid_ = LateBound(grid.Get());
        unique_bstr source(text);
        grid_.Call(L"LoadFromText", {Bstr(source)});
    }

    IDispatch* get() const { return grid_.object(); }
    void SetText(long row, long col, std::wstring_view text) {
        unique_bstr value(text);
        grid_.Put(L"Cell", Bstr(value), {LongArg(0), LongArg(row), LongArg(col)});
    }
    ComPtr<IDispatch> MakePicture(long width, long height) {
        return VariantToObject(grid_.Call(L"MakePicture", {LongArg(width), LongArg(height), LongArg(0xFF)}));
    }
    void SetPicture(long row, long col, IDispatch* picture) {
        VARIANT value;
        V_VT(&value) = VT_DISPATCH;
        V_DISPATCH(&value) = picture;
        grid_.Put(L"Cell", value, {LongArg(3), LongArg(row), LongArg(col)});
    }
    std::wstring WriteLog() { return VariantToText(grid_.Get(L"WriteLog")); }

private:
    static VARIANT Bstr(const unique_bstr& text) {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = text.get();
        return v;
    }

    LateBound grid_;
};

// A quiet exporter without the dialog, writing `target` with the columns listed.
ComPtr<_ExportMEthod> QuietExporter(REFCLSID clsid, const std::wstring& target, const wchar_t* columns) {
    ComPtr<_ExportMEthod> e = Create<_ExportMEthod>(clsid);
    if (!e) return e;
    EXPECT_EQ(e->put_TargetFilename(unique_bstr(target).get()), S_OK);
    EXPECT_EQ(e->put_ColumnList(unique_bstr(columns).get()), S_OK);
    VARIANT_BOOL yes = VARIANT_TRUE;
    EXPECT_EQ(e->put_Quiet(&yes), S_OK);
    EXPECT_EQ(e->put_SkipFilenameSelection(&yes), S_OK);
    return e;
}

// A quiet export shows no window. One it showed anyway would keep it from returning: the
// watcher then closes it, and the test fails instead of hanging.
HRESULT ExportTable(_ExportMEthod* exporter, IDispatch* grid, bool& exported) {
    ui::Watcher<void> watcher([] {});
    IDispatch* argument = grid;
    VARIANT_BOOL result = VARIANT_TRUE;
    const HRESULT hr = exporter->ExportTable(&argument, &result);
    exported = result == VARIANT_TRUE;
    EXPECT_NO_THROW(watcher.Get()) << "a quiet export showed a window";
    return hr;
}

// The local date and time as the system writes them, short date then time.
std::string DateTimeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[100] = {}, time[100] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 100);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 100);
    return std::string(date) + " " + time;
}

std::string Ansi(std::wstring_view text) {
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

// Writing that file must have started and ended within the same second for the date line
// to be predicted; the rare export that straddles two is run again.
template <class Export>
void ExpectFileWithDateLine(const std::wstring& path, const std::string& beforeDate, const std::string& afterDate,
                            Export&& exportOnce) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::string date = DateTimeNow();
        exportOnce();
        if (DateTimeNow() != date) continue;
        EXPECT_EQ(FileBytes(path), beforeDate + "# " + date + "\r\n" + afterDate);
        return;
    }
    ADD_FAILURE() << "three exports each straddled a second";
}

constexpr wchar_t kFieldGrid[] =
    L"Name | Note | Flag | Pic | Skip\n"
    L"a,b | say \"hi\" | x | | 1\n"
    L"\"q\" | | y | label | 2\n"
    L"tab\\there | two  spaces | | | 3\n"
    L"caf\u00E9 | | | | 4\n"
    L"hidden | | | | 5\n"
    L"flat | | | | 6\n"
    L"@cell 1,2 check=checked\n"
    L"@cell 2,2 check=unchecked\n"
    L"@cell 1,3 data=4711\n"
    L"@row 5 hidden\n"
    L"@row 6 height=0\n";

using TableContentTest = ComTest;

TEST_F(TableContentTest, CommaAndTabFilesCarryTheHeaderLinesAndTheFieldRulesByteForByte) {
    ScratchFolder folder;
    HostGrid grid(kFieldGrid);
    grid.SetText(2, 1, L"x\r\ny");
    const ComPtr<IDispatch> picture = grid.MakePicture(4, 4);
    grid.SetPicture(1, 3, picture.Get());
    grid.SetPicture(2, 3, picture.Get());
    const std::string header = "# Generated by Stock\r\n# Version 2.1\r\n";
    const std::string titles = "#\r\n# Depots\r\n# North, South\r\n";
    struct Case {
        const CLSID* clsid;
        const wchar_t* name;
        std::string rows;
    };
    const Case cases[] = {
        {&__uuidof(::ExportCSV), L"fields.csv",
         "Name,Note,Flag,Pic\r\n"
         "\"a,b\",\"say hi\",Yes,\"4711\"\r\n"
         "q,x y,No,\"label\"\r\n"
         "tab\there,\"two  spaces\",,\r\n" +
             Ansi(L"caf\u00E9") + ",,,\r\n"},
        {&__uuidof(::ExportTXT), L"fields.txt",
         "Name\tNote\tFlag\tPic\r\n"
         "\"a,b\"\t\"say hi\"\tYes\t\"4711\"\r\n"
         "q\tx y\tNo\t\"label\"\r\n"
         "tab\there\t\"two  spaces\"\t\t\r\n" +
             Ansi(L"caf\u00E9") + "\t\t\t\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        auto exporter = QuietExporter(*c.clsid, folder / c.name, L",0,1,2,3,");
        exporter->put_ProgramName(unique_bstr(L"Stock").get());
        exporter->put_ProgramVersion(unique_bstr(L"2.1").get());
        exporter->put_Title(unique_bstr(L"Depots").get());
        exporter->put_SubTitle(unique_bstr(L"North, South").get());
        ExpectFileWithDateLine(folder / c.name, header, titles + c.rows, [&] {
            bool exported = false;
            EXPECT_EQ(ExportTable(exporter.Get(), grid.get(), exported), S_OK);
            EXPECT_TRUE(exported);
        });
    }
    // Without program, version or titles only the date line and "#" open the file.
    auto bare = QuietExporter(__uuidof(::ExportCSV), folder / L"bare.csv", L",4,");
    ExpectFileWithDateLine(folder / L"bare.csv", "", "#\r\nSkip\r\n1\r\n2\r\n3\r\n4\r\n", [&] {
        bool exported = false;
        EXPECT_EQ(ExportTable(bare.Get(), grid.get(), exported), S_OK);
    });
}

TEST_F(TableContentTest, AFailureWhileRowsAreWrittenKeepsThoseRowsAndTurnsRedrawBackOn) {
    ScratchFolder folder;
    // U+2192 has no byte in the ANSI code page the file is written in.
    HostGrid grid(L"a | b\nc | \u2192\n");
    ASSERT_EQ(grid.WriteLog(), L"");
    auto exporter = QuietExporter(__uuidof(::ExportCSV), folder / L"partial.csv", L",0,1,");
    bool exported = true;
    EXPECT_EQ(ExportTable(exporter.Get(), grid.get(), exported), static_cast<HRESULT>(0x800A0005));
    EXPECT_FALSE(exported);
    const std::string bytes = FileBytes(folder / L"partial.csv");
    EXPECT_EQ(bytes.substr(bytes.find("\r\n#\r\n")), "\r\n#\r\na,b\r\n");
    EXPECT_EQ(grid.WriteLog(), L"Redraw=False\r\nRedraw=True") << "the host's grid must not be left frozen";
}

// The lines joined by CR LF, the last without one.
std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

// The table of the page: from the grid's font to the footer.
std::string TableOf(const std::string& page) {
    const size_t start = page.find("<FONT FACE=\"Tahoma\" SIZE=1>");
    const size_t end = page.find("<br>\r\n<table border=\"0\"", start);
    if (start == std::string::npos || end == std::string::npos) return page;
    return page.substr(start, end - start);
}

TEST_F(TableContentTest, HtmlTableCarriesSpansWidthsAlignmentEscapesAndFontsAndLeavesOutHiddenParts) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96) << "the widths below are for 96 DPI";
    ScratchFolder folder;
    HostGrid grid(
        L"fixedcols = 0\nwidth = 12000\nbackcolor = #FFFFFF\ngridcolor = #C8C8C8\n"
        L"backcolorfixed = #D8E4F0\nforecolorfixed = #1F2A44\ngridcolorfixed = #8090A0\n---\n"
        L"Name   | Amount | Paid | Due        | Gone | Flat | Out\n"
        L"a      | m      |      | 2024-03-01 | g    | f    | o\n"
        L"b      |        |      | 2024       | g    | f    | o\n"
        L"a<b>&c | 1234.5 | 2    |            | g    | f    | o\n"
        L"hidden | 1      | 1    |            | g    | f    | o\n"
        L"flat   | 1      | 1    |            | g    | f    | o\n"
        L"z      | 12     | 0    |            | g    | f    | o\n"
        L"@col 1 type=number\n@col 2 type=boolean\n@col 3 type=date\n"
        L"@col 4 hidden\n@col 5 width=0\n@row 4 hidden\n@row 5 height=0\n"
        L"@merge 1,1:2,2\n@cell 6,0 font=Courier fore=#102030\n");
    auto exporter = QuietExporter(__uuidof(::ExportHTML), folder / L"report", L",0,1,2,3,4,5,");
    bool exported = false;
    EXPECT_EQ(ExportTable(exporter.Get(), grid.get(), exported), S_OK);
    EXPECT_TRUE(exported);

    // Width 12000 twips is 1040 page pixels; a 1200-twip column 104 of them: 10 %.
    const std::string data = " style=\" font-size: 8pt; border-bottom:1px solid #C0C0C0;\">";
    const std::string head = "<td width=\"10%\" BGCOLOR=#D8E4F0";
    const std::string headEnd = " BORDERCOLOR=#8090A0 style=\" font-size: 8pt;\"><font COLOR=#1F2A44>";
    EXPECT_EQ(TableOf(FileBytes(folder / L"report.htm")),
              Lines({
                  "<FONT FACE=\"Tahoma\" SIZE=1>",
                  "<table border=0 cellspacing=0 cellpadding=1 valign=center bgcolor=#FFFFFF width=\"100%\" "
                  "bordercolor=#C8C8C8 width=1040>",
                  "",
                  "<tr  height=\"16\">",
                  head + headEnd + "Name</font></td>",
                  head + headEnd + "Amount</font></td>",
                  head + " ALIGN=CENTER" + headEnd + "Paid</font></td>",
                  head + headEnd + "Due</font></td>",
                  "</tr>",
                  "<tr >",
                  "<td width=\"10%\"" + data + "a</td>",
                  "<td width=\"20%\" COLSPAN=2 ROWSPAN=2" + data + "m</td>",
                  "<td width=\"10%\"" + data + "2024-03-01</td>",
                  "</tr>",
                  "<tr >",
                  "<td width=\"10%\"" + data + "b</td>",
                  "<td width=\"10%\"" + data + "2024</td>",
                  "</tr>",
                  "<tr >",
                  "<td width=\"10%\"" + data + "a&lt;b&gt;&amp;c</td>",
                  "<td width=\"10%\" ALIGN=RIGHT" + data + "1,234.50</td>",
                  "<td width=\"10%\" ALIGN=CENTER" + data + "Y</td>",
                  "<td width=\"10%\"" + data + "&nbsp;</td>",
                  "</tr>",
                  "<tr >",
                  "<td width=\"10%\"" + data + "<font FACE=\"Courier\" COLOR=#102030>z</font></td>",
                  "<td width=\"10%\" ALIGN=RIGHT" + data + "12.00</td>",
                  "<td width=\"10%\" ALIGN=CENTER" + data + "&nbsp;</td>",
                  "<td width=\"10%\"" + data + "&nbsp;</td>",
                  "</tr>",
                  "</table>",
                  "",
                  "</FONT>",
                  "",
                  "",
              }));
}

TEST_F(TableContentTest, HtmlCellPicturesShareOneGifBesideTheBannerImages) {
    ScratchFolder folder;
    HostGrid grid(L"fixedcols = 0\n---\nFlag | Name\n | one\n | two\nx | three\n");
    const ComPtr<IDispatch> picture = grid.MakePicture(12, 7);
    grid.SetPicture(1, 0, picture.Get());
    grid.SetPicture(2, 0, picture.Get());
    OLE_HANDLE handle = 0;
    ComPtr<IPicture> pictureHandle;
    ASSERT_EQ(picture.As(&pictureHandle), S_OK);
    ASSERT_EQ(pictureHandle->get_Handle(&handle), S_OK);
    const std::string gif = std::to_string(static_cast<long>(handle)) + ".gif";

    auto exporter = QuietExporter(__uuidof(::ExportHTML), folder / L"pictures", L",0,1,");
    bool exported = false;
    EXPECT_EQ(ExportTable(exporter.Get(), grid.get(), exported), S_OK);
    EXPECT_TRUE(exported);

    const std::string page = FileBytes(folder / L"pictures.htm");
    const std::string cell = "<img src=\"pictures_files/" + gif + "\">&nbsp;</td>";
    size_t references = 0;
    for (size_t at = page.find(cell); at != std::string::npos; at = page.find(cell, at + 1)) ++references;
    EXPECT_EQ(references, 2u) << TableOf(page);
    EXPECT_NE(page.find("src=\"pictures_files/Header.jpg\""), std::string::npos);
    EXPECT_NE(page.find("src=\"pictures_files/Spacer.jpg\""), std::string::npos);

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder / L"pictures_files"))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{gif, "Header.jpg", "Spacer.jpg"}));
    const std::string bytes = FileBytes(folder / (L"pictures_files\\" + std::wstring(gif.begin(), gif.end())));
    ASSERT_GE(bytes.size(), 10u);
    EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
    EXPECT_EQ(static_cast<unsigned char>(bytes[6]) | static_cast<unsigned char>(bytes[7]) << 8, 12);
    EXPECT_EQ(static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8, 7);
    const std::wstring components = TheComponent().path.substr(0, TheComponent().path.rfind(L'\\') + 1);
    EXPECT_EQ(FileBytes(folder / L"pictures_files\\Header.jpg"), FileBytes(components + L"WebResources\\Header.jpg"));
    EXPECT_FALSE(
        std::filesystem::exists(components + L"ExportImage" + std::wstring(gif.begin(), gif.end() - 4) + L".bmp"))
        << "the scratch picture is removed";
}

std::set<std::wstring> FolderEntries(const std::wstring& folder) {
    std::set<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().wstring());
    return names;
}

// A component installed in a folder that cannot take its scratch files still writes its
// cell pictures, through a scratch file in the temporary folder, and leaves no scratch file
// anywhere. The folder is made unwritable for the one name the export uses: a directory of
// that exact name is put there first, so creating the file fails with "access denied" in
// the same CreateFile call that fails in a read-only folder. Permissions cannot show it
// here: Wine ignores the read-only attribute on folders, and a run as root is not stopped
// by Unix permission bits.
TEST_F(TableContentTest, HtmlCellPicturesOfAComponentInAReadOnlyFolderGoThroughTheTemporaryFolder) {
    ScratchFolder folder;
    const std::wstring program = folder / L"program";
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr));
    const std::wstring dll = program + L"\\TarnwickExports7.dll";
    ASSERT_TRUE(CopyFileW(TheComponent().path.c_str(), dll.c_str(), FALSE));

    HostGrid grid(L"fixedcols = 0\n---\nFlag | Name\n | one\n");
    const ComPtr<IDispatch> picture = grid.MakePicture(12, 7);
    grid.SetPicture(1, 0, picture.Get());
    ComPtr<IPicture> pictureHandle;
    ASSERT_EQ(picture.As(&pictureHandle), S_OK);
    OLE_HANDLE handle = 0;
    ASSERT_EQ(pictureHandle->get_Handle(&handle), S_OK);
    const std::wstring number = std::to_wstring(static_cast<long>(handle));
    const std::wstring blocker = program + L"\\ExportImage" + number + L".bmp";
    ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
    HANDLE probe =
        CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_EQ(probe, INVALID_HANDLE_VALUE) << "the component's folder must refuse the scratch file";

    wchar_t tempPath[MAX_PATH];
    GetTempPathW(MAX_PATH, tempPath);
    const std::set<std::wstring> tempBefore = FolderEntries(tempPath);
    HMODULE module = LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr);
    ASSERT_NE(module, TheComponent().module) << "the installed copy is a module of its own";
    {
        auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(__uuidof(::ExportHTML), IID_PPV_ARGS(&factory)), S_OK);
        ComPtr<_ExportMEthod> exporter;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&exporter)), S_OK);
        exporter->put_TargetFilename(unique_bstr(folder / L"readonly").get());
        exporter->put_ColumnList(unique_bstr(L",0,1,").get());
        VARIANT_BOOL yes = VARIANT_TRUE;
        exporter->put_Quiet(&yes);
        exporter->put_SkipFilenameSelection(&yes);
        bool exported = false;
        EXPECT_EQ(ExportTable(exporter.Get(), grid.get(), exported), S_OK);
        EXPECT_TRUE(exported);
    }
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    EXPECT_EQ(canUnloadNow(), S_OK);
    FreeLibrary(module);

    const std::string gif = FileBytes(folder / (L"readonly_files\\" + number + L".gif"));
    ASSERT_GE(gif.size(), 10u) << "the picture was lost";
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    EXPECT_EQ(static_cast<unsigned char>(gif[6]) | static_cast<unsigned char>(gif[7]) << 8, 12);
    EXPECT_NE(FileBytes(folder / L"readonly.htm").find("<img src=\"readonly_files/" + Narrow(number) + ".gif\">"),
              std::string::npos);
    EXPECT_EQ(FolderEntries(program),
              (std::set<std::wstring>{L"TarnwickExports7.dll", L"ExportImage" + number + L".bmp"}));
    EXPECT_EQ(FolderEntries(tempPath), tempBefore) << "a scratch file was left in the temporary folder";
}

}  // namespace
}  // namespace tarn::test
