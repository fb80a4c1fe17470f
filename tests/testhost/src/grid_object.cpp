// The grid's members.
#include "grid_object.h"

#include "grid_painter.h"
#include "grid_text.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace testhost {

namespace {
enum Member : DISPID {
    kRows = 1, kCols, kFixedRows, kFixedCols, kRow, kCol,
    kRowHeight, kRowHidden, kColWidth, kColHidden, kColAlignment, kColDataType,
    kCell, kCellTop, kCellLeft, kGetMergedRange,
    kBackColor, kForeColor, kBackColorFixed, kForeColorFixed, kGridColor, kGridColorFixed, kGridLines,
    kFontName, kFontSize, kWidth,
    kOutlineBar, kOutlineCol, kIsSubtotal, kRowOutlineLevel,
    kRedraw, kPicture, kPictureType, kWallPaper, kHwnd, kSaveGrid,
    kLoadFromFile, kLoadFromText, kFill, kLoadPicture, kMakePicture, kMergeCells,
    kCallCount, kTotalCalls, kResetCounters, kWriteLog,
};

const MemberName kMembers[] = {
    {L"Rows", kRows}, {L"Cols", kCols}, {L"FixedRows", kFixedRows}, {L"FixedCols", kFixedCols},
    {L"Row", kRow}, {L"Col", kCol},
    {L"RowHeight", kRowHeight}, {L"RowHidden", kRowHidden}, {L"ColWidth", kColWidth},
    {L"ColHidden", kColHidden}, {L"ColAlignment", kColAlignment}, {L"ColDataType", kColDataType},
    {L"Cell", kCell}, {L"CellTop", kCellTop}, {L"CellLeft", kCellLeft}, {L"GetMergedRange", kGetMergedRange},
    {L"BackColor", kBackColor}, {L"ForeColor", kForeColor}, {L"BackColorFixed", kBackColorFixed},
    {L"ForeColorFixed", kForeColorFixed}, {L"GridColor", kGridColor}, {L"GridColorFixed", kGridColorFixed},
    {L"GridLines", kGridLines}, {L"FontName", kFontName}, {L"FontSize", kFontSize}, {L"Width", kWidth},
    {L"OutlineBar", kOutlineBar}, {L"OutlineCol", kOutlineCol}, {L"IsSubtotal", kIsSubtotal},
    {L"RowOutlineLevel", kRowOutlineLevel},
    {L"Redraw", kRedraw}, {L"Picture", kPicture}, {L"PictureType", kPictureType}, {L"WallPaper", kWallPaper},
    {L"hWnd", kHwnd}, {L"SaveGrid", kSaveGrid},
    {L"LoadFromFile", kLoadFromFile}, {L"LoadFromText", kLoadFromText}, {L"Fill", kFill},
    {L"LoadPicture", kLoadPicture}, {L"MakePicture", kMakePicture}, {L"MergeCells", kMergeCells},
    {L"CallCount", kCallCount, false}, {L"TotalCalls", kTotalCalls, false},
    {L"ResetCounters", kResetCounters, false}, {L"WriteLog", kWriteLog, false},
};

// Cell settings.
enum Setting : long {
    kText = 0, kAlignment = 2, kCellPicture = 3, kCheckbox = 5, kBack = 6, kFore = 7, kFont = 11, kSize = 12,
    kBold = 13, kItalic = 14, kUnderline = 15, kDisplay = 19, kData = 20,
};

constexpr wchar_t kWindowClass[] = L"ExportTestHostGridWindow";
ATOM g_windowClass = 0;

LRESULT CALLBACK GridWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* grid = reinterpret_cast<const GridObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (grid) PaintGrid(dc, grid->Model());
            EndPaint(window, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            if (grid) PaintGrid(reinterpret_cast<HDC>(wParam), grid->Model());
            return 0;
        case WM_ERASEBKGND: return 1;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

std::wstring BoolText(bool b) { return b ? L"True" : L"False"; }

void CheckAlignment(long code) {
    if (code < 0 || code > 12) throw HostError(E_INVALIDARG, L"Alignment codes run from 0 to 12, not " + std::to_wstring(code));
}

// Refuses an object reference (Set) on a member that holds plain values.
void NoPutRef(const Invocation& call) {
    if (call.IsPutRef()) throw CallRefused{DISP_E_MEMBERNOTFOUND};
}

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
    return n && n < MAX_PATH ? std::wstring(folder) : std::wstring();
}
}  // namespace

void UnregisterGridWindowClass() noexcept {
    if (g_windowClass) UnregisterClassW(kWindowClass, ModuleHandle());
    g_windowClass = 0;
}

HRESULT GridObject::Create(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* grid = new (std::nothrow) GridObject();
    if (!grid) return E_OUTOFMEMORY;
    HRESULT hr = grid->QueryInterface(iid, out);
    grid->Release();
    return hr;
}

GridObject::GridObject() : ScriptObject(kMembers, L"ExportTestHost.Grid") {}

GridObject::~GridObject() {
    if (window_) DestroyWindow(window_);
}

void GridObject::Log(std::wstring line) { writeLog_.push_back(std::move(line)); }

HWND GridObject::Window() {
    if (!g_windowClass) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = GridWindowProc;
        wc.hInstance = ModuleHandle();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kWindowClass;
        g_windowClass = RegisterClassExW(&wc);
        if (!g_windowClass && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw HostError(HRESULT_FROM_WIN32(GetLastError()), L"Cannot register the grid window class");
        if (!g_windowClass) g_windowClass = 1;
    }
    const SIZE size = GridPixelSize(model_);
    if (!window_) {
        // Off screen and never shown: a real window that paints the grid when asked.
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"ExportTestHost grid", WS_POPUP, -32000, -32000,
                                  size.cx, size.cy, nullptr, nullptr, ModuleHandle(), nullptr);
        if (!window_) throw HostError(HRESULT_FROM_WIN32(GetLastError()), L"Cannot create the grid window");
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    } else {
        SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window_;
}

void GridObject::Replace(GridModel&& model) {
    model_ = std::move(model);
    row_ = model_.fixedRows < model_.Rows() ? model_.fixedRows : 0;
    col_ = model_.fixedCols < model_.Cols() ? model_.fixedCols : 0;
    if (window_ && redraw_) InvalidateRect(window_, nullptr, FALSE);
}

// Deterministic content for benchmarks: a header row "Col<c>", cells "R<r>C<c>", and
// column 1 a number column holding r * 1.25.
void GridObject::Fill(long rows, long cols) {
    if (rows < 0 || cols < 0) throw HostError(E_INVALIDARG, L"Fill needs a non-negative size");
    GridModel model;
    model.Resize(0, 0);
    model.Resize(rows, cols);
    model.SetFixedRows(rows > 0 ? 1 : 0);
    model.SetFixedCols(0);
    if (cols > 1) model.EditCol(1).dataType = 5;
    wchar_t buffer[40];
    for (long c = 0; c < cols && rows > 0; ++c) {
        std::swprintf(buffer, 40, L"Col%ld", c);
        model.At(0, c).text = buffer;
    }
    for (long r = 1; r < rows; ++r) {
        for (long c = 0; c < cols; ++c) {
            if (c == 1)
                std::swprintf(buffer, 40, L"%.2f", r * 1.25);
            else
                std::swprintf(buffer, 40, L"R%ldC%ld", r, c);
            model.At(r, c).text = buffer;
        }
    }
    Replace(std::move(model));
}

void GridObject::Dispatch(DISPID id, Invocation& call) {
    // Plain properties: (getter value, setter) pairs share this shape.
    auto longProperty = [&](long& field) {
        call.Expect(0);
        if (call.IsPut()) {
            NoPutRef(call);
            field = call.ValueLong();
        } else {
            call.Return(field);
        }
    };
    switch (id) {
        case kRows:
        case kCols: {
            call.Expect(0);
            if (!call.IsPut()) return call.Return(id == kRows ? model_.Rows() : model_.Cols());
            NoPutRef(call);
            long n = call.ValueLong();
            if (id == kRows) model_.Resize(n, model_.Cols());
            else model_.Resize(model_.Rows(), n);
            row_ = std::clamp(row_, 0L, std::max(0L, model_.Rows() - 1));
            col_ = std::clamp(col_, 0L, std::max(0L, model_.Cols() - 1));
            return;
        }
        case kFixedRows:
        case kFixedCols:
            call.Expect(0);
            if (!call.IsPut()) return call.Return(id == kFixedRows ? model_.fixedRows : model_.fixedCols);
            NoPutRef(call);
            if (id == kFixedRows) model_.SetFixedRows(call.ValueLong());
            else model_.SetFixedCols(call.ValueLong());
            return;
        case kRow:
        case kCol: {
            call.Expect(0);
            long& field = id == kRow ? row_ : col_;
            if (!call.IsPut()) return call.Return(field);
            NoPutRef(call);
            long n = call.ValueLong();
            if (id == kRow) model_.CheckRow(n);
            else model_.CheckCol(n);
            field = n;
            Log((id == kRow ? L"Row=" : L"Col=") + std::to_wstring(n));
            return;
        }
        case kRowHeight:
        case kRowHidden:
        case kRowOutlineLevel:
        case kIsSubtotal: {
            call.Expect(1);
            long r = call.Long(0);
            const RowInfo& row = model_.Row(r);
            if (!call.IsPut()) {
                if (id == kRowHeight) return call.Return(row.height);
                if (id == kRowOutlineLevel) return call.Return(row.level);
                return call.ReturnBool(id == kRowHidden ? row.hidden : row.subtotal);
            }
            NoPutRef(call);
            RowInfo& edit = model_.EditRow(r);
            if (id == kRowHeight) edit.height = call.ValueLong();
            else if (id == kRowOutlineLevel) edit.level = call.ValueLong();
            else if (id == kIsSubtotal) edit.subtotal = call.ValueBool();
            else {
                edit.hidden = call.ValueBool();
                Log(L"RowHidden(" + std::to_wstring(r) + L")=" + BoolText(edit.hidden));
            }
            return;
        }
        case kColWidth:
        case kColHidden:
        case kColAlignment:
        case kColDataType: {
            call.Expect(1);
            long c = call.Long(0);
            const ColInfo& col = model_.Col(c);
            if (!call.IsPut()) {
                if (id == kColWidth) return call.Return(col.width);
                if (id == kColAlignment) return call.Return(col.alignment);
                if (id == kColDataType) return call.Return(col.dataType);
                return call.ReturnBool(col.hidden);
            }
            NoPutRef(call);
            if (id == kColAlignment) CheckAlignment(call.ValueLong());
            ColInfo& edit = model_.EditCol(c);
            if (id == kColWidth) edit.width = call.ValueLong();
            else if (id == kColAlignment) edit.alignment = call.ValueLong();
            else if (id == kColDataType) edit.dataType = call.ValueLong();
            else {
                edit.hidden = call.ValueBool();
                Log(L"ColHidden(" + std::to_wstring(c) + L")=" + BoolText(edit.hidden));
            }
            return;
        }
        case kCell: return Cell(call);
        case kCellTop:
        case kCellLeft:
            call.NoPut();
            call.Expect(0);
            return call.Return(id == kCellTop ? model_.TopOf(row_) : model_.LeftOf(col_));
        case kGetMergedRange: {
            call.NoPut();
            call.Expect(6);
            CellRange range = model_.MergedRange(call.Long(0), call.Long(1));
            call.SetOutput(2, range.row1);
            call.SetOutput(3, range.col1);
            call.SetOutput(4, range.row2);
            call.SetOutput(5, range.col2);
            return;
        }
        case kBackColor: return longProperty(model_.backColor);
        case kForeColor: return longProperty(model_.foreColor);
        case kBackColorFixed: return longProperty(model_.backColorFixed);
        case kForeColorFixed: return longProperty(model_.foreColorFixed);
        case kGridColor: return longProperty(model_.gridColor);
        case kGridColorFixed: return longProperty(model_.gridColorFixed);
        case kGridLines: return longProperty(model_.gridLines);
        case kOutlineBar: return longProperty(model_.outlineBar);
        case kOutlineCol: return longProperty(model_.outlineCol);
        case kPictureType: return longProperty(pictureType_);
        case kFontName:
            call.Expect(0);
            if (!call.IsPut()) return call.ReturnText(model_.fontName);
            NoPutRef(call);
            model_.fontName = call.ValueText();
            return;
        case kFontSize:
            call.Expect(0);
            if (!call.IsPut()) return call.ReturnDouble(model_.fontSize);
            NoPutRef(call);
            model_.fontSize = call.ValueDouble();
            return;
        case kWidth:
            call.Expect(0);
            if (!call.IsPut()) return call.Return(model_.width > 0 ? model_.width : model_.VisibleWidth());
            NoPutRef(call);
            if (call.ValueLong() < 0) throw HostError(E_INVALIDARG, L"Width must not be negative");
            model_.width = call.ValueLong();
            return;
        case kRedraw:
            call.Expect(0);
            if (!call.IsPut()) return call.ReturnBool(redraw_);
            NoPutRef(call);
            redraw_ = call.ValueBool();
            Log(L"Redraw=" + BoolText(redraw_));
            if (redraw_ && window_) InvalidateRect(window_, nullptr, FALSE);
            return;
        case kPicture: {
            call.NoPut();
            call.Expect(0);
            ComPtr<IPictureDisp> picture = PictureFromBitmap(GridBitmap(model_));
            return call.ReturnObject(picture.Get());
        }
        case kWallPaper: {
            call.Expect(0);
            if (!call.IsPut()) return call.ReturnObject(wallPaper_.Get());
            wallPaper_ = call.ValueObject();
            ComPtr<IPicture> picture;
            const wchar_t* shown = !wallPaper_ ? L"Nothing"
                                   : SUCCEEDED(wallPaper_.As(&picture)) ? L"<picture>"
                                                                        : L"<object>";
            Log(std::wstring(L"WallPaper=") + shown);
            return;
        }
        case kHwnd:
            call.NoPut();
            call.Expect(0);
            return call.Return(static_cast<long>(reinterpret_cast<INT_PTR>(Window())));
        case kSaveGrid: {
            call.NoPut();
            call.Expect(2, 3);
            std::wstring path = call.Text(0);
            long kind = call.Long(1);
            bool withFixed = call.Missing(2) ? true : call.Bool(2);
            if (kind != 6) throw HostError(E_INVALIDARG, L"SaveGrid writes kind 6 (a workbook) only, not " + std::to_wstring(kind));
            SaveWorkbook(model_, path, withFixed);
            return;
        }
        case kLoadFromFile: {
            call.NoPut();
            call.Expect(1);
            std::wstring path = ResolvePath(CurrentFolder(), call.Text(0));
            size_t slash = path.find_last_of(L"\\/");
            GridSource source{path.substr(slash + 1), path.substr(0, slash)};
            return Replace(ParseGridText(ReadTextFile(path), source, pictures_));
        }
        case kLoadFromText:
            call.NoPut();
            call.Expect(1);
            return Replace(ParseGridText(call.Text(0), GridSource{L"text", CurrentFolder()}, pictures_));
        case kFill:
            call.NoPut();
            call.Expect(2);
            return Fill(call.Long(0), call.Long(1));
        case kLoadPicture: {
            call.NoPut();
            call.Expect(1);
            ComPtr<IPictureDisp> picture = pictures_.Load(ResolvePath(CurrentFolder(), call.Text(0)));
            return call.ReturnObject(picture.Get());
        }
        case kMakePicture: {
            call.NoPut();
            call.Expect(3);
            long w = call.Long(0), h = call.Long(1);
            if (w <= 0 || h <= 0 || w > kMaxPicturePixels || h > kMaxPicturePixels)
                throw HostError(E_INVALIDARG, L"MakePicture takes a size of 1 to 4096 pixels");
            COLORREF color = 0;
            OleTranslateColor(static_cast<OLE_COLOR>(call.Long(2)), nullptr, &color);
            ComPtr<IPictureDisp> picture = SolidPicture(w, h, color);
            return call.ReturnObject(picture.Get());
        }
        case kMergeCells:
            call.NoPut();
            call.Expect(4);
            model_.Merge({call.Long(0), call.Long(1), call.Long(2), call.Long(3)});
            return;
        case kCallCount:
            call.NoPut();
            call.Expect(1);
            return call.Return(static_cast<long>(CountOf(call.Text(0))));
        case kTotalCalls:
            call.NoPut();
            call.Expect(0);
            return call.Return(static_cast<long>(TotalCount()));
        case kResetCounters:
            call.NoPut();
            call.Expect(0);
            ResetCounts();
            writeLog_.clear();
            return;
        case kWriteLog: {
            call.NoPut();
            call.Expect(0);
            std::wstring text;
            for (const std::wstring& line : writeLog_) {
                if (!text.empty()) text += L"\r\n";
                text += line;
            }
            return call.ReturnText(text);
        }
        default: throw CallRefused{DISP_E_MEMBERNOTFOUND};
    }
}

void GridObject::Cell(Invocation& call) {
    call.Expect(3);
    const long setting = call.Long(0), row = call.Long(1), col = call.Long(2);
    model_.CheckRow(row);
    model_.CheckCol(col);
    if (call.IsPut())
        PutCell(call, setting, row, col);
    else
        GetCell(call, setting, row, col);
}

void GridObject::GetCell(Invocation& call, long setting, long row, long col) {
    const CellStyle* s = model_.StyleIf(row, col);
    switch (setting) {
        case kText: return call.ReturnText(model_.At(row, col).text);
        case kAlignment: return call.Return(model_.Alignment(row, col));
        case kCellPicture: return call.ReturnObject(s ? s->picture.Get() : nullptr);
        case kCheckbox: return call.Return(s ? s->check : kCheckNone);
        case kBack: return call.Return(s ? s->backColor : 0);
        case kFore: return call.Return(s ? s->foreColor : 0);
        case kFont: return call.ReturnText(model_.FontName(row, col));
        case kSize: return call.ReturnDouble(model_.FontSize(row, col));
        case kBold: return call.ReturnBool(s && s->bold);
        case kItalic: return call.ReturnBool(s && s->italic);
        case kUnderline: return call.ReturnBool(s && s->underline);
        case kDisplay: return call.ReturnText(model_.DisplayText(row, col));
        case kData:
            if (s) call.ReturnCopy(s->data);
            return;
        default: throw HostError(E_INVALIDARG, L"Cell setting " + std::to_wstring(setting) + L" is not supported");
    }
}

void GridObject::PutCell(Invocation& call, long setting, long row, long col) {
    if (call.IsPutRef() && setting != kCellPicture && setting != kData) throw CallRefused{DISP_E_MEMBERNOTFOUND};
    switch (setting) {
        case kText:
        case kDisplay:  // writing the shown text writes the text
            model_.At(row, col).text = call.ValueText();
            return;
        case kAlignment: {
            long code = call.ValueLong();
            CheckAlignment(code);
            model_.Style(row, col).alignment = code;
            return;
        }
        case kCellPicture: {
            ComPtr<IDispatch> object = call.ValueObject();
            ComPtr<IPictureDisp> picture;
            if (object && FAILED(object.As(&picture)))
                throw HostError(DISP_E_TYPEMISMATCH, L"Cell pictures must be picture objects");
            model_.Style(row, col).picture = picture;
            return;
        }
        case kCheckbox: model_.Style(row, col).check = call.ValueLong(); return;
        case kBack: model_.Style(row, col).backColor = call.ValueLong(); return;
        case kFore: model_.Style(row, col).foreColor = call.ValueLong(); return;
        case kFont: model_.Style(row, col).fontName = call.ValueText(); return;
        case kSize: model_.Style(row, col).fontSize = call.ValueDouble(); return;
        case kBold: model_.Style(row, col).bold = call.ValueBool(); return;
        case kItalic: model_.Style(row, col).italic = call.ValueBool(); return;
        case kUnderline: model_.Style(row, col).underline = call.ValueBool(); return;
        case kData: {
            unique_variant& data = model_.Style(row, col).data;
            HRESULT hr = VariantCopyInd(&data, const_cast<VARIANT*>(&call.Value()));
            if (FAILED(hr)) throw HostError(hr, L"Cannot keep that value");
            return;
        }
        default: throw HostError(E_INVALIDARG, L"Cell setting " + std::to_wstring(setting) + L" is not supported");
    }
}

}  // namespace testhost
