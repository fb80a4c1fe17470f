// The shared helpers of the Windows-side tests (win_support.h).
#include "win_support.h"

#include "com/module.h"
#include "ui/status_form.h"
#include "com/handles.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <optional>
#include <stdexcept>

namespace tarn::test {

const Component& TheComponent() {
    static Component component = [] {
        Component c;
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring folder(exe);
        folder.resize(folder.find_last_of(L'\\') + 1);
        c.path = folder + L"TarnwickExports7.dll";
        c.module = LoadLibraryW(c.path.c_str());
        if (!c.module) throw std::runtime_error("TarnwickExports7.dll not found beside the test program");
        auto get = [&](const char* name) {
            FARPROC f = GetProcAddress(c.module, name);
            if (!f) throw std::runtime_error(std::string("missing export ") + name);
            return reinterpret_cast<void*>(f);
        };
        c.getClassObject = reinterpret_cast<decltype(c.getClassObject)>(get("DllGetClassObject"));
        c.canUnloadNow = reinterpret_cast<decltype(c.canUnloadNow)>(get("DllCanUnloadNow"));
        c.registerServer = reinterpret_cast<decltype(c.registerServer)>(get("DllRegisterServer"));
        c.unregisterServer = reinterpret_cast<decltype(c.unregisterServer)>(get("DllUnregisterServer"));
        return c;
    }();
    return component;
}

void ComTest::TearDown() { CoUninitialize(); }

void CommonUiTest::SetUp() {
    ComTest::SetUp();
    previousModule_ = ModuleHandle();
    SetModuleHandle(componentModule_ ? TheComponent().module : GetModuleHandleW(nullptr));
}

void CommonUiTest::TearDown() {
    StatusForm::Unload();
    SetModuleHandle(previousModule_);
    ComTest::TearDown();
}

std::wstring Text(BSTR b) { return FromBstr(b); }

std::string Narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::wstring LastErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return L"<no error info>";
    unique_bstr text;
    info->GetDescription(text.put());
    return text.str();
}

std::wstring SystemText(DWORD error) {
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512,
                             nullptr);
    std::wstring s(text, n);
    while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ')) s.pop_back();
    return s;
}

std::string Ansi(std::wstring_view text) {
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

// ---- files

ScratchFolder::ScratchFolder() {
    static int count = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ =
        std::wstring(base) + L"tarn-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::wstring> ScratchFolder::Files() const { return FilesIn(path_); }

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix) return {};
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool StartLinux(const std::string& command) {
    const std::string shell = "/bin/sh -c \"" + command + " </dev/null >/dev/null 2>&1 &\"";
    std::wstring line(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, shell.c_str(), -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, shell.c_str(), -1, line.data(), static_cast<int>(line.size()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

namespace {

// Runs a Linux shell command and returns what it printed (standard output and errors), or
// nothing when it could not start or did not finish within `timeout`. Wine cannot wait for a
// Linux process: the output is written under another name and renamed when complete, and
// the wait is for that name. `answer` names the file, which is removed afterwards.
std::optional<std::string> RunLinux(const std::string& command, const std::wstring& answer, ui::Milliseconds timeout) {
    const std::string target = UnixPath(answer);
    if (target.empty()) return std::nullopt;
    const std::string shell =
        "/bin/sh -c \"{ " + command + "; } > '" + target + ".part' 2>&1; mv '" + target + ".part' '" + target + "'\"";
    // The command is UTF-8 (Linux paths); Wine hands it on as such.
    std::wstring line(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, shell.c_str(), -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, shell.c_str(), -1, line.data(), static_cast<int>(line.size()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return std::nullopt;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!ui::WaitUntil([&] { return std::filesystem::exists(answer); }, timeout)) return std::nullopt;
    std::string text = FileBytes(answer);
    DeleteFileW(answer.c_str());
    return text;
}
}  // namespace

std::string Identify(const std::wstring& path, const char* format) {
    const std::string source = UnixPath(path);
    if (source.empty()) return {};
    return RunLinux("/usr/bin/identify -format '" + std::string(format) + "' '" + source + "'", path + L".identify.txt",
                    ui::Milliseconds(30000))
        .value_or("");
}

ReadBack PopplerFirstPage(const std::wstring& pdf, int dpi) {
    const std::string source = UnixPath(pdf);
    if (source.empty()) return {};
    const std::optional<std::string> answer =
        RunLinux("/usr/bin/pdftoppm -png -singlefile -f 1 -l 1 -r " + std::to_string(dpi) + " '" + source + "' '" +
                     source + ".poppler'",
                 pdf + L".poppler.txt", ui::Milliseconds(30000));
    if (!answer) return {};
    ReadBack page = ReadWithWic(pdf + L".poppler.png");
    DeleteFileW((pdf + L".poppler.png").c_str());
    return page;
}

std::filesystem::path SourceRoot() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return std::filesystem::path(exe).parent_path().parent_path().parent_path();
}

std::wstring TestPicture(std::wstring_view name) {
    return (SourceRoot() / L"tests" / L"data" / L"images" / std::wstring(name)).wstring();
}

std::string MhtmlReading(const std::wstring& archive, const std::vector<std::pair<int, std::wstring>>& expectations) {
    ScratchFolder out;
    std::string command = "/usr/bin/python3 '" + UnixPath((SourceRoot() / L"tests/support/mhtml_check.py").wstring()) +
                          "' '" + UnixPath(archive) + "'";
    for (const auto& [index, file] : expectations)
        command += " --expect '" + std::to_string(index) + "=" + UnixPath(file) + "'";
    return RunLinux(command, out / L"reading.txt", ui::Milliseconds(60000)).value_or("error: no reading within 60 s");
}

PdfReadBack PdfReading(const std::wstring& pdf) {
    const std::string source = UnixPath(pdf);
    if (source.empty()) return {};
    const std::optional<std::string> answer = RunLinux(
        "/usr/bin/qpdf --check '" + source + "'; echo ==; /usr/bin/pdftotext -layout '" + source +
            "' -; echo ==; /usr/bin/pdffonts '" + source + "'; echo ==; /usr/bin/pdfimages -list '" + source + "'",
        pdf + L".reading.txt", ui::Milliseconds(30000));
    if (!answer) return {};
    const std::string& reading = *answer;
    // Four parts, each ended by a line "==" but the last.
    std::vector<std::string> parts;
    for (std::size_t begin = 0;;) {
        const std::size_t end = reading.find("==\n", begin);
        parts.push_back(reading.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) break;
        begin = end + 3;
    }
    PdfReadBack result;
    if (parts.size() != 4) {
        result.check = reading;
        return result;
    }
    result.check = parts[0];
    result.text = parts[1];
    // The rows of pdffonts' and pdfimages' tables, below their "---" rule, as words.
    const auto rows = [](const std::string& table) {
        std::vector<std::vector<std::string>> found;
        std::istringstream lines(table);
        bool below = false;
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("---")) below = true;
            if (!below || line.starts_with("---")) continue;
            std::istringstream words(line);
            found.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
        }
        return found;
    };
    for (const std::vector<std::string>& w : rows(parts[2])) {
        // name type... encoding emb sub uni object-number generation
        if (w.size() < 6) continue;
        result.embedded.push_back(w[w.size() - 5]);
        result.fonts.push_back(w[0]);
    }
    // page num type width height color comp bpc enc interp object ID ...
    for (const std::vector<std::string>& w : rows(parts[3]))
        if (w.size() >= 5) result.images.push_back(w[2] + " " + w[3] + "x" + w[4]);
    return result;
}

std::vector<std::string> PdfReadBack::Pages() const {
    std::vector<std::string> pages;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = text.find('\f', begin);
        const std::string page = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (end == std::string::npos) {
            // What follows the last page's form feed is no page.
            if (page.find_first_not_of(" \r\n") != std::string::npos) pages.push_back(page);
            break;
        }
        pages.push_back(page);
        begin = end + 1;
    }
    return pages;
}

std::vector<std::string> VtableMembers(REFIID iid) {
    ComPtr<ITypeLib> lib;
    ComPtr<ITypeInfo> info, vtable;
    HREFTYPE ref = 0;
    TYPEATTR* attr = nullptr;
    if (FAILED(LoadTypeLibEx(TheComponent().path.c_str(), REGKIND_NONE, &lib)) ||
        FAILED(lib->GetTypeInfoOfGuid(iid, &info)) || FAILED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
        FAILED(info->GetRefTypeInfo(ref, &vtable)) || FAILED(vtable->GetTypeAttr(&attr)))
        return {};
    std::vector<std::string> members(attr->cFuncs);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        vtable->GetFuncDesc(i, &f);
        unique_bstr name;
        vtable->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr);
        std::string text = Narrow(name.str());
        text += f->invkind == INVOKE_FUNC ? " func" : f->invkind == INVOKE_PROPERTYGET ? " get" : " put";
        for (SHORT p = 0; p < f->cParams; ++p) {
            const USHORT flags = f->lprgelemdescParam[p].paramdesc.wParamFlags;
            if (!(flags & PARAMFLAG_FRETVAL)) text += flags & PARAMFLAG_FOUT ? " inout" : " in";
        }
        const size_t slot = f->oVft / sizeof(void*) - 7;
        if (slot < members.size()) members[slot] = text;
        vtable->ReleaseFuncDesc(f);
    }
    vtable->ReleaseTypeAttr(attr);
    return members;
}

std::string DateTimeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[100] = {}, time[100] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 100);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 100);
    return std::string(date) + " " + time;
}

std::string AfterDateLine(const std::wstring& path) {
    const std::string bytes = FileBytes(path);
    EXPECT_EQ(bytes.rfind("# ", 0), 0u) << bytes;
    return bytes.substr(bytes.find("\r\n") + 2);
}

// ---- pictures

ReadBack ReadWithWic(const std::wstring& path) {
    ReadBack back;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgra;
    UINT w = 0, h = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                  &decoder)) ||
        FAILED(decoder->GetContainerFormat(&back.container)) || FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(frame->GetSize(&w, &h)) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra))) {
        return back;
    }
    back.width = static_cast<int>(w);
    back.height = static_cast<int>(h);
    back.pixels.resize(static_cast<std::size_t>(w) * h);
    back.ok = SUCCEEDED(bgra->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(back.pixels.data())));
    return back;
}

bool Near(Bgra a, Bgra b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance &&
           std::abs(a.a - b.a) <= tolerance;
}

std::string Describe(Bgra p) {
    return "rgba(" + std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b) + "," +
           std::to_string(p.a) + ")";
}

std::vector<int> JpegLuminanceTable(const std::string& jpeg) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(jpeg[at]); };
    for (std::size_t i = 2; i + 4 + 65 <= jpeg.size();) {
        if (byte(i) != 0xFF) return {};
        const unsigned marker = byte(i + 1);
        if (marker == 0xDB && (byte(i + 4) & 0x0F) == 0 && (byte(i + 4) >> 4) == 0) {
            std::vector<int> table;
            for (int k = 0; k < 64; ++k) table.push_back(byte(i + 5 + k));
            return table;
        }
        if (marker == 0xDA) return {};
        i += 2 + ((byte(i + 2) << 8) | byte(i + 3));
    }
    return {};
}

std::pair<int, int> TgaSize(const std::wstring& path) {
    const std::string bytes = FileBytes(path);
    if (bytes.size() < 18 || bytes[2] != 2 || bytes[16] != 24) return {0, 0};
    auto word = [&](int at) {
        return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    };
    return {word(12), word(14)};
}

void WriteHalvesEmf(const std::wstring& path, int inchesWide, int inchesHigh) {
    const RECT frame{0, 0, inchesWide * 2540, inchesHigh * 2540};
    HDC dc = CreateEnhMetaFileW(nullptr, path.c_str(), &frame, nullptr);
    ASSERT_TRUE(dc);
    // The frame in the reference device's pixels, which the drawing is recorded in.
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

// ---- the test host

VARIANT TextArg(const unique_bstr& text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    return v;
}

LateBound HostObject(const wchar_t* progId) {
    CLSID clsid{};
    ComPtr<IDispatch> object;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << "is ExportTestHost.dll registered?";
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK);
    return LateBound(object.Get());
}

ComPtr<IDispatch> HostGrid(std::wstring_view text) {
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    const unique_bstr source(text);
    if (grid.object()) grid.Call(L"LoadFromText", {TextArg(source)});
    return ComPtr<IDispatch>(grid.object());
}

LateBound SampleGrid() {
    LateBound grid = HostObject(L"ExportTestHost.Grid");
    const unique_bstr path((SourceRoot() / L"examples" / L"sample-grid.txt").wstring());
    grid.Call(L"LoadFromFile", {TextArg(path)});
    return grid;
}

std::wstring WriteLog(IDispatch* grid) { return VariantToText(LateBound(grid).Get(L"WriteLog")); }

ComPtr<IPictureDisp> AsPicture(const VARIANT& value) {
    ComPtr<IPictureDisp> picture;
    if (ComPtr<IDispatch> object = VariantToObject(value)) object.As(&picture);
    return picture;
}

// ---- exporters

ComPtr<_ExportMEthod> NewExporter(REFCLSID clsid, const ExporterSetup& setup) {
    ComPtr<_ExportMEthod> e = Create<_ExportMEthod>(clsid);
    if (!e) return e;
    EXPECT_EQ(e->put_TargetFilename(unique_bstr(setup.target).get()), S_OK);
    EXPECT_EQ(e->put_InitDir(unique_bstr(setup.initDir).get()), S_OK);
    EXPECT_EQ(e->put_ColumnList(unique_bstr(setup.columns).get()), S_OK);
    unique_bstr format(setup.fileFormat);
    BSTR formatArgument = format.get();
    EXPECT_EQ(e->put_FileFormat(&formatArgument), S_OK);
    VARIANT_BOOL quiet = ToVariantBool(setup.quiet), skip = ToVariantBool(setup.skipDialog);
    EXPECT_EQ(e->put_Quiet(&quiet), S_OK);
    EXPECT_EQ(e->put_SkipFilenameSelection(&skip), S_OK);
    return e;
}

std::wstring TargetOf(_ExportMEthod* exporter) {
    unique_bstr target;
    exporter->get_TargetFilename(target.put());
    return target.str();
}

bool ExportTable(_ExportMEthod* exporter, IDispatch* grid) {
    IDispatch* argument = grid;
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(exporter->ExportTable(&argument, &result), S_OK);
    return result == VARIANT_TRUE;
}

// ---- windows

ui::WindowQuery Captioned(const wchar_t* caption) {
    ui::WindowQuery query;
    query.caption = caption;
    return query;
}

void DriveModeless(const std::function<void()>& steps) {
    std::atomic<bool> done{false};
    ui::Watcher<void> watcher([&] {
        const ScopeExit finished([&] { done = true; });
        steps();
    });
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    watcher.Get();
}

bool ProgressWindowExists() {
    ui::WindowQuery query;
    query.className = ui::kProgressClass;
    query.visibleOnly = false;
    return !ui::FindWindows(query).empty();
}

GridProxy::GridProxy(IDispatch* inner, std::vector<std::wstring> hidden)
    : inner_(inner),
      hidden_(std::move(hidden)),
      reached_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      resumed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

GridProxy::~GridProxy() {
    EXPECT_EQ(references_.load(), 0u) << "the exporter kept the grid";
    CloseHandle(reached_);
    CloseHandle(resumed_);
}

void GridProxy::HoldAt(const wchar_t* member, long firstArgument) {
    auto* name = const_cast<LPOLESTR>(member);
    ASSERT_EQ(inner_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &holdId_), S_OK);
    holdArgument_ = firstArgument;
}

void GridProxy::FailAt(const wchar_t* member, long firstArgument) {
    auto* name = const_cast<LPOLESTR>(member);
    ASSERT_EQ(inner_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &failId_), S_OK);
    failArgument_ = firstArgument;
}

void GridProxy::WaitUntilHeld() const {
    if (WaitForSingleObject(reached_, static_cast<DWORD>(ui::kDefaultWait.count())) != WAIT_OBJECT_0)
        throw ui::DriverError(L"the export never reached the held call");
}

HRESULT GridProxy::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT GridProxy::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    for (const std::wstring& member : hidden_)
        if (count > 0 && _wcsicmp(names[0], member.c_str()) == 0) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
    return inner_->GetIDsOfNames(iid, names, count, lcid, ids);
}

HRESULT GridProxy::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* excep, UINT* argErr) {
    if (id == holdId_ && params && params->cArgs > 0 && !held_) {
        const VARIANT& first = params->rgvarg[params->cArgs - 1];
        if (V_VT(&first) == VT_I4 && V_I4(&first) == holdArgument_) {
            held_ = true;
            SetEvent(reached_);
            WaitForSingleObject(resumed_, 2 * static_cast<DWORD>(ui::kDefaultWait.count()));
        }
    }
    if (id == failId_ && params && params->cArgs > 0) {
        const VARIANT& first = params->rgvarg[params->cArgs - 1];
        if (V_VT(&first) == VT_I4 && V_I4(&first) == failArgument_ && excep) {
            *excep = EXCEPINFO{};
            excep->bstrSource = SysAllocString(L"ExportTestHost");
            excep->bstrDescription =
                SysAllocString((L"Row " + std::to_wstring(failArgument_) + L" cannot be read").c_str());
            excep->scode = E_FAIL;
            return DISP_E_EXCEPTION;
        }
    }
    return inner_->Invoke(id, iid, lcid, flags, params, result, excep, argErr);
}

// ---- file types

namespace {
constexpr wchar_t kBackupKey[] = L"Software\\TarnwickExports7 tests\\classes backup";
}

FileTypeAssociation::FileTypeAssociation(std::wstring extension)
    : key_(L"." + extension), progId_(L"TarnTest." + extension) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, KEY_READ, &raw) == ERROR_SUCCESS) {
        unique_hkey existing(raw);
        HKEY backup = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, Backup().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr);
        unique_hkey owned(backup);
        saved_ = RegCopyTreeW(existing.get(), nullptr, backup) == ERROR_SUCCESS;
    }
    Clear();
}

FileTypeAssociation::~FileTypeAssociation() {
    Clear();
    if (!saved_) return;
    HKEY backup = nullptr, restored = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, Backup().c_str(), 0, KEY_READ, &backup);
    unique_hkey from(backup);
    RegCreateKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
    unique_hkey to(restored);
    if (from && to) RegCopyTreeW(from.get(), nullptr, to.get());
    RegDeleteTreeW(HKEY_CURRENT_USER, Backup().c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, Backup().c_str());
    // The folders of the backup go with the last one (a key with subkeys stays).
    RegDeleteKeyW(HKEY_CURRENT_USER, kBackupKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TarnwickExports7 tests");
}

void FileTypeAssociation::OpenWith(const std::wstring& program) {
    const std::wstring command = L"\"" + program + L"\" \"%1\"";
    RegSetKeyValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr, REG_SZ, progId_.c_str(),
                    static_cast<DWORD>((progId_.size() + 1) * sizeof(wchar_t)));
    RegSetKeyValueW(HKEY_CLASSES_ROOT, (progId_ + L"\\shell\\open\\command").c_str(), nullptr, REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

void FileTypeAssociation::Clear() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key_.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key_.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, progId_.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, progId_.c_str());
}

std::wstring FileTypeAssociation::Backup() const { return std::wstring(kBackupKey) + L"\\" + key_; }

// The SendTo value of both shell folder keys, saved first and put back after.
namespace {
constexpr const wchar_t* kShellFolderKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
constexpr DWORD kShellFolderTypes[] = {REG_EXPAND_SZ, REG_SZ};
}  // namespace

struct RedirectedSendTo::Saved {
    DWORD type = REG_SZ;
    std::optional<std::wstring> value;
};

RedirectedSendTo::RedirectedSendTo(const std::wstring& folder) {
    for (const wchar_t* key : kShellFolderKeys) {
        auto* saved = new Saved;
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key, L"SendTo", RRF_RT_ANY | RRF_NOEXPAND, &saved->type, nullptr, &size) ==
            ERROR_SUCCESS) {
            saved->value.emplace(size / sizeof(wchar_t) + 1, L'\0');
            RegGetValueW(HKEY_CURRENT_USER, key, L"SendTo", RRF_RT_ANY | RRF_NOEXPAND, &saved->type,
                         saved->value->data(), &size);
            saved->value->resize(size / sizeof(wchar_t));
        }
        saved_.push_back(saved);
    }
    MoveTo(folder);
}

RedirectedSendTo::~RedirectedSendTo() {
    for (size_t i = 0; i < saved_.size(); ++i) {
        const Saved* saved = saved_[i];
        if (saved->value)
            RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"SendTo", saved->type, saved->value->data(),
                            static_cast<DWORD>(saved->value->size() * sizeof(wchar_t)));
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"SendTo");
        delete saved;
    }
}

void RedirectedSendTo::MoveTo(const std::wstring& folder) {
    for (size_t i = 0; i < std::size(kShellFolderKeys); ++i)
        RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"SendTo", kShellFolderTypes[i], folder.c_str(),
                        static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

void MakeShortcut(const std::wstring& link, const std::wstring& target) {
    ComPtr<IShellLinkW> shortcut;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shortcut)), S_OK);
    ASSERT_EQ(shortcut->SetPath(target.c_str()), S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(shortcut.As(&file), S_OK);
    ASSERT_EQ(file->Save(link.c_str(), TRUE), S_OK);
}

std::wstring SystemProgram(const wchar_t* name) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
}

}  // namespace tarn::test
