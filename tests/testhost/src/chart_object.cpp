// The chart and its two copy methods.
#include "chart_object.h"

#include "pictures.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace testhost {

namespace {
enum Member : DISPID { kWidth = 1, kHeight, kDeskColor, kCopyBitmap, kCopyMeta, kCallLog, kClearLog };

const MemberName kMembers[] = {
    {L"Width", kWidth},
    {L"Height", kHeight},
    {L"DeskColor", kDeskColor},
    {L"PEcopybitmaptofile", kCopyBitmap},
    {L"PEcopymetatofile", kCopyMeta},
    {L"CallLog", kCallLog, false},
    {L"ClearLog", kClearLog, false},
};

constexpr int kBarValues[] = {40, 75, 55, 90};
constexpr COLORREF kBarColors[] = {RGB(200, 40, 40), RGB(40, 160, 60), RGB(40, 80, 200), RGB(230, 150, 20)};

void CheckSize(long width, long height) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        throw HostError(E_INVALIDARG, L"The copy size must be 1 to 8192 pixels each way");
}
}  // namespace

void PaintChart(HDC dc, int width, int height, long deskColor) {
    COLORREF desk = 0;
    OleTranslateColor(static_cast<OLE_COLOR>(deskColor), nullptr, &desk);
    RECT all{0, 0, width, height};
    HBRUSH deskBrush = CreateSolidBrush(desk);
    FillRect(dc, &all, deskBrush);
    DeleteObject(deskBrush);

    // Title across the top tenth.
    const int titleHeight = std::max(8, height / 10);
    LOGFONTW lf{};
    lf.lfHeight = -std::max(6, titleHeight * 2 / 3);
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    RECT title{0, 0, width, titleHeight + height / 40};
    DrawTextW(dc, L"Quarterly totals", -1, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    DeleteObject(font);

    // Plot area with axes on the left and bottom.
    const int left = width / 8, right = width - width / 16;
    const int top = titleHeight + height / 20, bottom = height - height / 8;
    if (right <= left || bottom <= top) return;
    HPEN axis = CreatePen(PS_SOLID, std::max(1, width / 300), RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, axis);
    MoveToEx(dc, left, top, nullptr);
    LineTo(dc, left, bottom);
    LineTo(dc, right, bottom);
    SelectObject(dc, oldPen);
    DeleteObject(axis);

    const int slots = static_cast<int>(std::size(kBarValues));
    const int slot = (right - left) / slots;
    for (int i = 0; i < slots; ++i) {
        RECT bar{left + i * slot + slot / 5, bottom - (bottom - top) * kBarValues[i] / 100, left + (i + 1) * slot - slot / 5,
                 bottom};
        HBRUSH brush = CreateSolidBrush(kBarColors[i]);
        FillRect(dc, &bar, brush);
        DeleteObject(brush);
    }
}

HRESULT ChartObject::Create(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* chart = new (std::nothrow) ChartObject();
    if (!chart) return E_OUTOFMEMORY;
    HRESULT hr = chart->QueryInterface(iid, out);
    chart->Release();
    return hr;
}

ChartObject::ChartObject() : ScriptObject(kMembers, L"ExportTestHost.Chart") {}

void ChartObject::LogCall(const wchar_t* member, long width, long height, const std::wstring& path) {
    wchar_t color[16];
    std::swprintf(color, 16, L"&H%08lX", static_cast<unsigned long>(deskColor_));
    log_.push_back(std::wstring(member) + L"(" + std::to_wstring(width) + L"," + std::to_wstring(height) + L"," + path +
                   L") DeskColor=" + color);
}

void ChartObject::Dispatch(DISPID id, Invocation& call) {
    switch (id) {
        case kWidth:
        case kHeight:
        case kDeskColor: {
            call.Expect(0);
            long& field = id == kWidth ? width_ : id == kHeight ? height_ : deskColor_;
            if (!call.IsPut()) return call.Return(field);
            if (call.IsPutRef()) throw CallRefused{DISP_E_MEMBERNOTFOUND};
            long value = call.ValueLong();
            if (id != kDeskColor && value < 0) throw HostError(E_INVALIDARG, L"Width and Height must not be negative");
            field = value;
            return;
        }
        case kCopyBitmap:
        case kCopyMeta: {
            call.NoPut();
            call.Expect(3);
            const long width = call.Long(0), height = call.Long(1);
            const std::wstring path = call.Text(2);
            LogCall(id == kCopyBitmap ? L"PEcopybitmaptofile" : L"PEcopymetatofile", width, height, path);
            CheckSize(width, height);
            if (id == kCopyBitmap) {
                struct Owner {
                    HBITMAP b;
                    ~Owner() { DeleteObject(b); }
                } bitmap{CreateDib24(width, height)};
                HDC dc = CreateCompatibleDC(nullptr);
                HGDIOBJ old = SelectObject(dc, bitmap.b);
                PaintChart(dc, width, height, deskColor_);
                SelectObject(dc, old);
                DeleteDC(dc);
                WriteBmpFile(path, bitmap.b);
            } else {
                // The frame (in 0.01 mm) makes one logical unit one pixel of the screen.
                HDC screen = GetDC(nullptr);
                RECT frame{0, 0, MulDiv(width, GetDeviceCaps(screen, HORZSIZE) * 100, GetDeviceCaps(screen, HORZRES)),
                           MulDiv(height, GetDeviceCaps(screen, VERTSIZE) * 100, GetDeviceCaps(screen, VERTRES))};
                HDC meta = CreateEnhMetaFileW(screen, path.c_str(), &frame, L"ExportTestHost\0Chart\0");
                ReleaseDC(nullptr, screen);
                if (!meta) throw HostError(HRESULT_FROM_WIN32(GetLastError()), L"Cannot create the metafile " + path);
                PaintChart(meta, width, height, deskColor_);
                HENHMETAFILE done = CloseEnhMetaFile(meta);
                if (!done) throw HostError(E_FAIL, L"Cannot write the metafile " + path);
                DeleteEnhMetaFile(done);
            }
            return call.ReturnBool(true);
        }
        case kCallLog: {
            call.NoPut();
            call.Expect(0);
            std::wstring text;
            for (const std::wstring& line : log_) {
                if (!text.empty()) text += L"\r\n";
                text += line;
            }
            return call.ReturnText(text);
        }
        case kClearLog:
            call.NoPut();
            call.Expect(0);
            log_.clear();
            return;
        default: throw CallRefused{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace testhost
