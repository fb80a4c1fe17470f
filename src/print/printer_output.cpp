// Printing: the printer's device context (by name, or from the print dialog), a page sink
// that draws each finished page on it, and the document around them. A failing page or a
// failing composition aborts the job, so no half document reaches the printer.
#include "print/printer_output.h"

#include "com/errors.h"
#include "com/handles.h"
#include "print/gdi_font_provider.h"
#include "print/gdi_renderer.h"

#include <windows.h>
#include <commdlg.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarn {

namespace {

using unique_hglobal = unique_any<HGLOBAL, &GlobalFree>;
using unique_hprinter = unique_any<HANDLE, &ClosePrinter>;

// The printer's own settings with the orientation changed; empty when there is no such printer.
std::vector<std::byte> DeviceModeOf(const std::wstring& printer, bool landscape) {
    std::wstring name = printer;
    HANDLE opened = nullptr;
    if (name.empty() || !OpenPrinterW(name.data(), &opened, nullptr)) return {};
    const unique_hprinter handle(opened);
    const LONG size = DocumentPropertiesW(nullptr, opened, name.data(), nullptr, nullptr, 0);
    if (size < static_cast<LONG>(sizeof(DEVMODEW))) return {};
    std::vector<std::byte> buffer(static_cast<std::size_t>(size));
    auto* mode = reinterpret_cast<DEVMODEW*>(buffer.data());
    if (DocumentPropertiesW(nullptr, opened, name.data(), mode, nullptr, DM_OUT_BUFFER) != IDOK) return {};
    mode->dmFields |= DM_ORIENTATION;
    mode->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    // The driver merges the change into the rest of its settings.
    if (DocumentPropertiesW(nullptr, opened, name.data(), mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER) != IDOK) return {};
    return buffer;
}

std::wstring DefaultPrinterName() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0) return {};
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size)) return {};
    name.resize(wcsnlen(name.c_str(), name.size()));
    return name;
}

unique_hdc OpenPrinterDc(const std::wstring& printer, bool landscape) {
    std::vector<std::byte> mode = DeviceModeOf(printer, landscape);
    if (mode.empty()) return {};
    return unique_hdc(CreateDCW(nullptr, printer.c_str(), nullptr, reinterpret_cast<DEVMODEW*>(mode.data())));
}

unique_hglobal GlobalCopy(const void* data, std::size_t size) {
    unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!memory) return {};
    if (void* p = GlobalLock(memory.get())) {
        std::memcpy(p, data, size);
        GlobalUnlock(memory.get());
    }
    return memory;
}

// DEVNAMES naming `printer`: the fixed header, then the driver, device and port names, each
// ended by a null; the offsets count characters from the start.
unique_hglobal DeviceNamesOf(const std::wstring& printer) {
    constexpr wchar_t kDriver[] = L"winspool";
    constexpr WORD kHeader = sizeof(DEVNAMES) / sizeof(wchar_t);
    std::vector<wchar_t> block(kHeader);
    block.insert(block.end(), std::begin(kDriver), std::end(kDriver));
    block.insert(block.end(), printer.begin(), printer.end());
    block.push_back(L'\0');
    block.push_back(L'\0');  // no port: the spooler knows it
    DEVNAMES names{};
    names.wDriverOffset = kHeader;
    names.wDeviceOffset = static_cast<WORD>(kHeader + std::size(kDriver));
    names.wOutputOffset = static_cast<WORD>(names.wDeviceOffset + printer.size() + 1);
    std::memcpy(block.data(), &names, sizeof names);
    return GlobalCopy(block.data(), block.size() * sizeof(wchar_t));
}

// The print dialog, starting on `printer` in the orientation asked for when it exists (on
// the default printer otherwise): the DC of the user's choice, or none when cancelled.
unique_hdc AskForPrinter(const std::wstring& printer, bool landscape) {
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetActiveWindow();
    dialog.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIESANDCOLLATE;
    dialog.nCopies = 1;
    unique_hglobal mode, names;
    if (const std::vector<std::byte> settings = DeviceModeOf(printer, landscape); !settings.empty()) {
        mode = GlobalCopy(settings.data(), settings.size());
        names = DeviceNamesOf(printer);
    }
    dialog.hDevMode = mode.release();
    dialog.hDevNames = names.release();
    const BOOL chosen = PrintDlgW(&dialog);
    mode.reset(dialog.hDevMode);
    names.reset(dialog.hDevNames);
    unique_hdc dc(dialog.hDC);
    return chosen ? std::move(dc) : unique_hdc{};
}

// The page setup for the printer's paper, in the orientation the printer was set to (the
// dialog may have changed it).
pages::DocumentSetup SetupFor(HDC printer, pages::DocumentSetup setup) {
    const int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
    const int width = dpiX > 0 ? MulDiv(GetDeviceCaps(printer, PHYSICALWIDTH), pages::kTwipsPerInch, dpiX) : 0;
    const int height = dpiY > 0 ? MulDiv(GetDeviceCaps(printer, PHYSICALHEIGHT), pages::kTwipsPerInch, dpiY) : 0;
    if (width <= 0 || height <= 0) return setup;
    setup.paperWidth = std::min(width, height);
    setup.paperHeight = std::max(width, height);
    setup.orientation = width > height ? pages::Orientation::Landscape : pages::Orientation::Portrait;
    return setup;
}

class PrinterPages final : public pages::PageSink {
public:
    explicit PrinterPages(HDC dc) : dc_(dc), mapping_(pages::PrinterMapping(dc)) {}

    void AddPage(pages::Page page) override {
        ThrowLastErrorIf(StartPage(dc_) <= 0, L"StartPage");
        pages::RenderPage(dc_, page, mapping_);
        ThrowLastErrorIf(EndPage(dc_) <= 0, L"EndPage");
    }

private:
    HDC dc_;
    pages::DeviceMapping mapping_;
};

// The job's name in the printer's queue.
std::wstring DocumentNameOf(const ExportOptions& o) {
    if (!o.title.empty()) return o.title;
    if (!o.programName.empty()) return o.programName;
    return L"Document";
}

}  // namespace

bool PrintDocument(const ExportOptions& o, const PrintContent& content, bool offerDialog) {
    const std::wstring printer = o.defaultPrinter.empty() ? DefaultPrinterName() : o.defaultPrinter;
    const bool landscape = o.orientation == 1;
    const unique_hdc dc = offerDialog ? AskForPrinter(printer, landscape) : OpenPrinterDc(printer, landscape);
    if (!dc) return false;
    const std::wstring name = DocumentNameOf(o);
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = name.c_str();
    if (StartDocW(dc.get(), &document) <= 0) return false;
    const bool composed = TryStep([&] {
        pages::GdiFontProvider fonts;
        pages::TrueTypeFontMetrics metrics(fonts);
        PrinterPages sink(dc.get());
        pages::PageComposer composer(SetupFor(dc.get(), SetupOf(o, content.headerMargin)), DecorationOf(o), metrics,
                                     sink);
        ComposeContent(composer, content, o);
        composer.Finish();
    });
    if (!composed) {
        AbortDoc(dc.get());
        return false;
    }
    return EndDoc(dc.get()) > 0;
}

}  // namespace tarn
