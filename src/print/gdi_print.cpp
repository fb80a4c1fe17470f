// Printing through the Windows print API: StartDoc, a StartPage and EndPage around each
// rendered page, EndDoc; the print dialog's device mode preset from the document.
#include "print/gdi_print.h"

#include "com/handles.h"
#include "print/gdi_renderer.h"

#include <commdlg.h>
#include <winspool.h>

#include <algorithm>
#include <cwchar>

namespace tarn {

namespace {

using unique_hglobal = unique_any<HGLOBAL, &GlobalFree>;

// A device mode for `printerName` (the default printer when empty) set to `orientation`,
// as the print dialog takes it; null when the printer is unknown.
unique_hglobal DeviceModeFor(const std::wstring& printerName, pages::Orientation orientation) {
    std::wstring name = printerName;
    if (name.empty()) {
        DWORD size = 0;
        GetDefaultPrinterW(nullptr, &size);
        if (size == 0) return nullptr;
        name.resize(size);
        if (!GetDefaultPrinterW(name.data(), &size)) return nullptr;
        name.resize(wcslen(name.c_str()));
    }
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) return nullptr;
    const ScopeExit close([&] { ClosePrinter(printer); });
    const LONG size = DocumentPropertiesW(nullptr, printer, name.data(), nullptr, nullptr, 0);
    if (size <= 0) return nullptr;
    unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size)));
    if (!memory) return nullptr;
    auto* mode = static_cast<DEVMODEW*>(GlobalLock(memory.get()));
    bool ok = DocumentPropertiesW(nullptr, printer, name.data(), mode, nullptr, DM_OUT_BUFFER) == IDOK;
    if (ok) {
        mode->dmFields |= DM_ORIENTATION;
        mode->dmOrientation = orientation == pages::Orientation::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        ok = DocumentPropertiesW(nullptr, printer, name.data(), mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER) == IDOK;
    }
    GlobalUnlock(memory.get());
    return ok ? std::move(memory) : nullptr;
}

}  // namespace

bool PrintPages(HDC printer, const std::vector<pages::Page>& pages, std::wstring_view documentName, int first,
                int last) {
    first = std::max(first, 1);
    last = std::min(last, static_cast<int>(pages.size()));
    if (!printer || first > last) return false;
    const std::wstring name(documentName);
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = name.c_str();
    if (StartDocW(printer, &info) <= 0) return false;
    const pages::DeviceMapping mapping = pages::PrinterMapping(printer);
    for (int number = first; number <= last; ++number) {
        if (StartPage(printer) <= 0) {
            AbortDoc(printer);
            return false;
        }
        pages::RenderPage(printer, pages[static_cast<std::size_t>(number - 1)], mapping);
        if (EndPage(printer) <= 0) {
            AbortDoc(printer);
            return false;
        }
    }
    return EndDoc(printer) > 0;
}

unique_hdc OpenPrinterDc(const std::wstring& printerName, pages::Orientation orientation) {
    const unique_hglobal mode = DeviceModeFor(printerName, orientation);
    if (!mode) return nullptr;
    auto* deviceMode = static_cast<DEVMODEW*>(GlobalLock(mode.get()));
    unique_hdc printer(CreateDCW(nullptr, deviceMode->dmDeviceName, nullptr, deviceMode));
    GlobalUnlock(mode.get());
    return printer;
}

bool PrintWithDialog(HWND owner, const std::vector<pages::Page>& pages, std::wstring_view documentName,
                     const std::wstring& printerName, pages::Orientation orientation) {
    PRINTDLGW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.hDevMode = DeviceModeFor(printerName, orientation).release();
    dialog.Flags = PD_RETURNDC | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
    dialog.nFromPage = 1;
    dialog.nToPage = static_cast<WORD>(std::min<std::size_t>(pages.size(), 0xFFFF));
    dialog.nMinPage = 1;
    dialog.nMaxPage = dialog.nToPage;
    const BOOL chosen = PrintDlgW(&dialog);
    const unique_hglobal devMode(dialog.hDevMode), devNames(dialog.hDevNames);
    const unique_hdc dc(dialog.hDC);
    if (!chosen || !dc) return false;
    const bool range = (dialog.Flags & PD_PAGENUMS) != 0;
    return PrintPages(dc.get(), pages, documentName, range ? dialog.nFromPage : 1,
                      range ? dialog.nToPage : static_cast<int>(pages.size()));
}

std::optional<pages::Orientation> ShowPageSetupDialog(HWND owner, const std::wstring& printerName,
                                                      pages::Orientation orientation) {
    PAGESETUPDLGW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.hDevMode = DeviceModeFor(printerName, orientation).release();
    dialog.Flags = PSD_DISABLEMARGINS | PSD_INTHOUSANDTHSOFINCHES;
    const BOOL chosen = PageSetupDlgW(&dialog);
    const unique_hglobal devMode(dialog.hDevMode), devNames(dialog.hDevNames);
    if (!chosen) return std::nullopt;
    if (!devMode)
        return dialog.ptPaperSize.x > dialog.ptPaperSize.y ? pages::Orientation::Landscape
                                                           : pages::Orientation::Portrait;
    const auto* mode = static_cast<const DEVMODEW*>(GlobalLock(devMode.get()));
    const bool landscape = mode && (mode->dmFields & DM_ORIENTATION) && mode->dmOrientation == DMORIENT_LANDSCAPE;
    GlobalUnlock(devMode.get());
    return landscape ? pages::Orientation::Landscape : pages::Orientation::Portrait;
}

}  // namespace tarn
