// What the Windows-side tests share, written once: the component DLL beside the test
// program and its classes, COM set up per test, scratch folders and file bytes, the test
// host's grid and chart, exporters set up the way hosts set them, independent readers of
// written pictures (WIC, JPEG tables, TGA headers), and a grid proxy that can hold an
// export at one call so its windows can be read while it runs.
#pragma once

#include "com/handles.h"
#include "com/late_bound.h"
#include "imaging/image.h"
#include "uidriver/ui_driver.h"

#include "TarnwickExports7.h"

#include <gtest/gtest.h>
#include <wincodec.h>

#include <atomic>
#include <functional>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tarn::test {

// ---- the component

struct Component {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
    std::wstring path;
};

// The component DLL in this program's folder, loaded on first use and kept loaded.
const Component& TheComponent();

// Creates a class of the component through its class factory, without the registry.
template <class Itf>
ComPtr<Itf> Create(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(TheComponent().getClassObject(clsid, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<Itf> object;
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
    }
    return object;
}

// Initialises COM (apartment-threaded, as hosts do) for each test.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override;
};

// For code linked into this program that registers windows or loads resources: points the
// module handle at this program (or at the component DLL, whose resources and type library
// some code needs) for the test, and closes the progress window afterwards.
class CommonUiTest : public ComTest {
protected:
    explicit CommonUiTest(bool componentModule = false) : componentModule_(componentModule) {}
    void SetUp() override;
    void TearDown() override;

private:
    bool componentModule_;
    HMODULE previousModule_ = nullptr;
};

std::wstring Text(BSTR b);
std::string Narrow(const std::wstring& w);
std::wstring Lower(std::wstring text);
// The screen's horizontal resolution in dots per inch.
int ScreenDpi();
// The text split at CR LF or LF.
std::vector<std::wstring> Lines(const std::wstring& text);
// The description of this thread's IErrorInfo, or "<no error info>".
std::wstring LastErrorDescription();
// The system's description of a Win32 error, as FormatMessage gives it (without its line end).
std::wstring SystemText(DWORD error);
// The text in the system's ANSI code page, as export files hold it.
std::string Ansi(std::wstring_view text);

// ---- files

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }
    // Names of the files in the folder, sorted.
    std::vector<std::wstring> Files() const;

private:
    std::wstring path_;
};

// Names of the files and folders in `folder`, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
std::string FileBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, std::string_view bytes);
// The source tree's root (win_tests.exe runs from build/<arch>) and tests/data/images/<name>.
std::filesystem::path SourceRoot();
std::wstring TestPicture(std::wstring_view name);

// The Linux path of a Windows one, through Wine's own kernel32 export; empty elsewhere.
std::string UnixPath(const std::wstring& path);
// Starts a Linux shell command (UTF-8) in the background without waiting for it; false
// when it could not be started. Its output is thrown away.
bool StartLinux(const std::string& command);

// Python's email package reading an MHTML archive (tests/support/mhtml_check.py, run as a
// Linux program from Wine): its lines, "error ..." when it could not read the archive.
// `expectations` are its --expect arguments, with Windows paths.
std::string MhtmlReading(const std::wstring& archive,
                         const std::vector<std::pair<int, std::wstring>>& expectations = {});

// qpdf and poppler reading a PDF file, run as Linux programs from Wine: `qpdf --check`'s
// report, `pdftotext -layout`'s text, the "emb" column and the name of every font `pdffonts`
// lists, and every picture `pdfimages -list` lists as "type WxH" ("image 640x480", "smask
// 44x40"). All empty when they cannot be run.
struct PdfReadBack {
    std::string check;
    std::string text;
    std::vector<std::string> embedded;
    std::vector<std::string> fonts;
    std::vector<std::string> images;

    // The text page by page (pdftotext ends each page with a form feed).
    std::vector<std::string> Pages() const;
};
PdfReadBack PdfReading(const std::wstring& pdf);

// The members of a dual interface's vtable in slot order after IDispatch's seven, as
// "name get|put|func in|inout ...", read from the component's embedded type library.
std::vector<std::string> VtableMembers(REFIID iid);
// The local date and time as the system writes them, short date then time, as export
// files carry them on their date line.
std::string DateTimeNow();
// The text file without its first line (the date line, which starts with "# ").
std::string AfterDateLine(const std::wstring& path);

// ---- pictures, read without the component's code

struct ReadBack {
    bool ok = false;
    GUID container{};
    int width = 0;
    int height = 0;
    std::vector<Bgra> pixels;  // 32bppBGRA, top-down

    Bgra at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
ReadBack ReadWithWic(const std::wstring& path);
// poppler's pdftoppm drawing a PDF's first page at `dpi`, read back with WIC (not ok when
// it cannot be run).
ReadBack PopplerFirstPage(const std::wstring& pdf, int dpi);
bool Near(Bgra a, Bgra b, int tolerance);
std::string Describe(Bgra p);
// The luminance quantisation table of a JPEG file in the file's (zigzag) order, or empty.
std::vector<int> JpegLuminanceTable(const std::string& jpeg);
// A 24-bit uncompressed TGA's width and height from its header, or 0 x 0.
std::pair<int, int> TgaSize(const std::wstring& path);
// ImageMagick's `identify` on `path` with a format such as "%m %w %h": the Linux program,
// started through Wine, writes its answer beside the file (removed again). Empty when it
// cannot be run.
std::string Identify(const std::wstring& path, const char* format);
// An enhanced metafile `inchesWide` x `inchesHigh`, red in its left half, blue in its right.
void WriteHalvesEmf(const std::wstring& path, int inchesWide, int inchesHigh);

// ---- the test host (tests/testhost/README.md)

// A text argument for LateBound calls; `text` must outlive the call.
VARIANT TextArg(const unique_bstr& text);
// An object of the registered test host, created from its ProgID as a host creates its controls.
LateBound HostObject(const wchar_t* progId);
// A test host grid loaded from its text form.
ComPtr<IDispatch> HostGrid(std::wstring_view text);
// The grid of examples/sample-grid.txt.
LateBound SampleGrid();
std::wstring WriteLog(IDispatch* grid);
// A picture object from a host value (IPictureDisp), or null.
ComPtr<IPictureDisp> AsPicture(const VARIANT& value);

// ---- exporters

struct ExporterSetup {
    std::wstring target{};
    std::wstring initDir{};
    std::wstring columns{};
    std::wstring fileFormat{};
    bool quiet = true;
    bool skipDialog = true;
};
ComPtr<_ExportMEthod> NewExporter(REFCLSID clsid, const ExporterSetup& setup = {});
std::wstring TargetOf(_ExportMEthod* exporter);
// ExportTable of `grid`; its Boolean result (the HRESULT is expected to be S_OK).
bool ExportTable(_ExportMEthod* exporter, IDispatch* grid);

// One ExportImage operation, and the export of it to `target` (set first): the Boolean it answered.
using Operation = std::function<HRESULT(_ExportMEthod*, VARIANT_BOOL*)>;
inline bool Export(_ExportMEthod* e, const std::wstring& target, const Operation& operation) {
    EXPECT_EQ(e->put_TargetFilename(unique_bstr(target).get()), S_OK);
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(operation(e, &result), S_OK);
    return result != VARIANT_FALSE;
}
inline Operation Chart(IDispatch* chart) {
    return [chart](_ExportMEthod* e, VARIANT_BOOL* r) {
        IDispatch* argument = chart;
        return e->ExportChart(&argument, r);
    };
}
inline Operation Table(IDispatch* grid) {
    return [grid](_ExportMEthod* e, VARIANT_BOOL* r) {
        IDispatch* argument = grid;
        return e->ExportTable(&argument, r);
    };
}
inline Operation Picture(IPictureDisp* picture) {
    return [picture](_ExportMEthod* e, VARIANT_BOOL* r) {
        IPictureDisp* argument = picture;
        return e->ExportPicture(&argument, r);
    };
}
inline Operation MetafileFile(const std::wstring& source) {
    return [source](_ExportMEthod* e, VARIANT_BOOL* r) { return e->ExportEMFFile(unique_bstr(source).get(), r); };
}
inline Operation ImageFile(const std::wstring& source) {
    return [source](_ExportMEthod* e, VARIANT_BOOL* r) { return e->ExportImageFile(unique_bstr(source).get(), r); };
}

// ---- windows

ui::WindowQuery Captioned(const wchar_t* caption);
bool ProgressWindowExists();
// Runs `steps` on a driver thread while this thread runs its windows' messages (a modeless
// window of the component lives on it); rethrows what the steps threw.
void DriveModeless(const std::function<void()>& steps);
// Runs `show` (which opens a message box on this thread); the box the driver read and closed with OK.
template <class Show>
ui::MessageBoxView AnswerMessageBox(Show&& show) {
    ui::Watcher<ui::MessageBoxView> watcher([] {
        ui::MessageBoxView box = ui::WaitForMessageBox();
        box.window.PressButton(L"OK");
        return box;
    });
    show();
    return watcher.Get();
}

// The test host's grid behind a proxy. Hidden members are unknown to callers, as they are
// to an older host's grid. A hold stops the caller at its first call of one member with
// one first argument (RowHeight(15)) until the test resumes it or the deadline passes.
class GridProxy final : public IDispatch {
public:
    explicit GridProxy(IDispatch* inner, std::vector<std::wstring> hidden = {});
    GridProxy(const GridProxy&) = delete;
    GridProxy& operator=(const GridProxy&) = delete;
    ~GridProxy();

    void HoldAt(const wchar_t* member, long firstArgument);
    // Makes every call of `member` with this first argument fail as a host's failing
    // property does (DISP_E_EXCEPTION, "Row <n> cannot be read").
    void FailAt(const wchar_t* member, long firstArgument);
    // Waits until the caller is held; throws when it never comes.
    void WaitUntilHeld() const;
    void Resume() const noexcept { SetEvent(resumed_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override;

private:
    ComPtr<IDispatch> inner_;
    std::vector<std::wstring> hidden_;
    HANDLE reached_;
    HANDLE resumed_;
    DISPID holdId_ = DISPID_UNKNOWN;
    long holdArgument_ = 0;
    bool held_ = false;
    DISPID failId_ = DISPID_UNKNOWN;
    long failArgument_ = 0;
    std::atomic<ULONG> references_{0};
};

// Resumes a held export however the watcher's steps end.
struct ResumeOnExit {
    const GridProxy& proxy;
    ~ResumeOnExit() { proxy.Resume(); }
};

// A file type of HKEY_CLASSES_ROOT taken out of the way for the test (kept under HKCU
// meanwhile) and put back after, with whatever program the test made open it.
class FileTypeAssociation {
public:
    explicit FileTypeAssociation(std::wstring extension);
    ~FileTypeAssociation();
    FileTypeAssociation(const FileTypeAssociation&) = delete;
    FileTypeAssociation& operator=(const FileTypeAssociation&) = delete;

    void OpenWith(const std::wstring& program);
    void Clear();

private:
    std::wstring Backup() const;

    std::wstring key_;
    std::wstring progId_;
    bool saved_ = false;
};

// Points the user's Send To folder somewhere else while it lives (as folder redirection
// does), so a test never touches the prefix's own folder.
class RedirectedSendTo {
public:
    explicit RedirectedSendTo(const std::wstring& folder);
    ~RedirectedSendTo();
    RedirectedSendTo(const RedirectedSendTo&) = delete;
    RedirectedSendTo& operator=(const RedirectedSendTo&) = delete;
    void MoveTo(const std::wstring& folder);

private:
    struct Saved;
    std::vector<Saved*> saved_;
};

// A shell link at `link` to `target`, made through the shell's own IShellLink.
void MakeShortcut(const std::wstring& link, const std::wstring& target);

// <system folder>\<name>, e.g. notepad.exe.
std::wstring SystemProgram(const wchar_t* name);

}  // namespace tarn::test
