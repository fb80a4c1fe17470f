// The field and method selection dialog: the resource template gives the controls, their
// kinds, texts and tab order; the code places them at their sizes in twips for the
// screen's resolution and runs OK and Cancel.
#include "ui/select_fields_form.h"

#include "com/errors.h"
#include "com/handles.h"
#include "com/module.h"
#include "common/file_names.h"
#include "common/message_pump.h"
#include "common/screen_metrics.h"
#include "ui/dialog_layout.h"
#include "ui/message_box.h"
#include "ui/select_fields_form_ids.h"

#include <utility>

namespace tarn {

namespace {

struct TwipsRect {
    int id;
    int left, top, width, height;
};

// Design positions in twips.
constexpr TwipsRect kLayout[] = {
    {IDC_FieldList, 120, 120, 4155, 2310},      {IDC_cmdOK, 4440, 120, 1095, 435},
    {IDC_cmdCancel, 4440, 660, 1095, 435},      {IDC_ExportFilenameLabel, 180, 2580, 1125, 195},
    {IDC_TargetFilename, 120, 2820, 5310, 315}, {IDC_ExportMethodLabel, 180, 3240, 975, 195},
    {IDC_ExportMethod, 120, 3480, 5310, 315},
};
constexpr int kInnerWidth = 5655;
constexpr int kInnerHeight = 3960;
// Without the method part the inner area ends this far above the file name's label.
constexpr int kGapAboveMethodPart = 20;
// The drop-down list shows this many entries before it scrolls.
constexpr int kVisibleMethods = 8;

// A message with no title of its own carries the component's.
constexpr wchar_t kComponentTitle[] = L"TarnwickExports7";

constexpr int kMethodPartIds[] = {IDC_ExportFilenameLabel, IDC_TargetFilename, IDC_ExportMethodLabel, IDC_ExportMethod};

const TwipsRect& LayoutOf(int id) noexcept {
    for (const TwipsRect& r : kLayout)
        if (r.id == id) return r;
    return kLayout[0];
}

int PixelsX(int twips) noexcept { return MulDiv(twips, 1, TwipsPerPixelX()); }
int PixelsY(int twips) noexcept { return MulDiv(twips, 1, TwipsPerPixelY()); }

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

SelectFieldsForm::SelectFieldsForm(std::vector<FieldChoice> fields, std::wstring method)
    : fields_(std::move(fields)), method_(std::move(method)) {}

void SelectFieldsForm::OfferMethods(std::vector<MethodChoice> methods, std::optional<size_t> current,
                                    std::wstring fileName) {
    showMethods_ = true;
    methods_ = std::move(methods);
    currentMethod_ = current;
    proposedFileName_ = std::move(fileName);
}

void SelectFieldsForm::ShowModal(HWND owner) {
    closedByOK_ = false;
    const INT_PTR shown = DialogBoxParamW(ModuleHandle(), MAKEINTRESOURCEW(IDD_SelectFieldsForm), owner,
                                          &SelectFieldsForm::DialogProc, reinterpret_cast<LPARAM>(this));
    ThrowLastErrorIf(shown == -1, L"Showing the field selection dialog");
    // The host repaints where the window was before the export keeps the thread busy.
    if (closedByOK_) ProcessPendingMessages();
}

INT_PTR SelectFieldsForm::HandleMessage(UINT message, WPARAM wParam, LPARAM) noexcept {
    if (message == WM_INITDIALOG) {
        OnInitDialog();
        return TRUE;  // the focus goes to the first control, the field list
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_cmdOK: OnOK(); return TRUE;
        // Also Escape and the title bar's close button.
        case IDC_cmdCancel: OnCancel(); return TRUE;
        default: return FALSE;
    }
}

void SelectFieldsForm::OnInitDialog() noexcept {
    PlaceControls();
    FillControls();
    CentreWindow(hwnd(), GetWindow(hwnd(), GW_OWNER));
}

void SelectFieldsForm::PlaceControls() noexcept {
    for (const TwipsRect& r : kLayout)
        MoveWindow(Item(r.id), PixelsX(r.left), PixelsY(r.top), PixelsX(r.width), PixelsY(r.height), FALSE);
    // A label is as wide as its text where the dialog's font needs more than the design
    // width (made for a narrower font); the space to its right is free.
    for (const TwipsRect& r : kLayout)
        if (r.id == IDC_ExportFilenameLabel || r.id == IDC_ExportMethodLabel)
            FitLabel(Item(r.id), PixelsX(r.left), PixelsY(r.top), PixelsX(r.width), PixelsY(r.height));

    // A drop-down list's window height includes its list; its closed height follows its
    // selection field, which is sized until the closed box has its height. (Systems differ
    // in whether that field's height as read and as set counts its padding, so measure.)
    HWND methods = Item(IDC_ExportMethod);
    const TwipsRect& box = LayoutOf(IDC_ExportMethod);
    const auto itemHeight = static_cast<int>(SendMessageW(methods, CB_GETITEMHEIGHT, 0, 0));
    MoveWindow(methods, PixelsX(box.left), PixelsY(box.top), PixelsX(box.width),
               PixelsY(box.height) + kVisibleMethods * itemHeight, FALSE);
    auto field = static_cast<int>(SendMessageW(methods, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT closed{};
        GetWindowRect(methods, &closed);
        const int missing = PixelsY(box.height) - (closed.bottom - closed.top);
        if (missing == 0) break;
        field += missing;
        SendMessageW(methods, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }

    const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_EXSTYLE));
    RECT outer{0, 0, PixelsX(kInnerWidth), PixelsY(kInnerHeight)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    int height = outer.bottom - outer.top;
    if (!showMethods_) {
        // The window ends above the method part; its controls leave the tab order too.
        height = height - PixelsY(kInnerHeight) + PixelsY(LayoutOf(IDC_ExportFilenameLabel).top - kGapAboveMethodPart);
        for (int id : kMethodPartIds) ShowWindow(Item(id), SW_HIDE);
    }
    SetWindowPos(hwnd(), nullptr, 0, 0, outer.right - outer.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SelectFieldsForm::FillControls() noexcept {
    HWND list = Item(IDC_FieldList);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const FieldChoice& field : fields_) {
        const auto index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(field.text.c_str()));
        if (index < 0) continue;
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(field.column));
        if (field.selected) SendMessageW(list, LB_SETSEL, TRUE, index);
    }
    // The first entry is the current one, whichever are selected.
    SendMessageW(list, LB_SETCARETINDEX, 0, FALSE);
    SendMessageW(list, LB_SETTOPINDEX, 0, 0);

    if (!showMethods_) return;
    HWND methods = Item(IDC_ExportMethod);
    for (size_t i = 0; i < methods_.size(); ++i) {
        const auto index = SendMessageW(methods, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(methods_[i].text.c_str()));
        // Entries are numbered from 1 in the order they were added.
        if (index >= 0) SendMessageW(methods, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(i + 1));
    }
    SendMessageW(methods, CB_SETCURSEL, currentMethod_ ? static_cast<WPARAM>(*currentMethod_) : static_cast<WPARAM>(-1),
                 0);
    SetDlgItemTextW(hwnd(), IDC_TargetFilename, proposedFileName_.c_str());
}

// Every check runs, so a second press only has to mend what the first one reported.
void SelectFieldsForm::OnOK() noexcept {
    try {
        bool complete = true;

        HWND list = Item(IDC_FieldList);
        std::wstring chosen;
        const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) <= 0) continue;
            if (!chosen.empty()) chosen += L',';
            chosen += std::to_wstring(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
        }
        if (!chosen.empty()) {
            columnList_ = L"," + chosen + L",";
        } else {
            complete = false;
            ShowMessageBox(L"Please select at least one field from the list.", WindowText(hwnd()),
                           MessageIcon::Exclamation);
        }

        HWND methods = Item(IDC_ExportMethod);
        if (SendMessageW(methods, CB_GETCOUNT, 0, 0) > 0) {
            const auto current = SendMessageW(methods, CB_GETCURSEL, 0, 0);
            const auto number =
                current < 0 ? 0 : SendMessageW(methods, CB_GETITEMDATA, static_cast<WPARAM>(current), 0);
            if (number >= 1 && static_cast<size_t>(number) <= methods_.size()) {
                method_ = methods_[static_cast<size_t>(number) - 1].key;
            } else {
                complete = false;
                ShowMessageBox(L"Please select an Export Method.", kComponentTitle, MessageIcon::Exclamation);
            }
        }

        const std::wstring typed = WindowText(Item(IDC_TargetFilename));
        if (!typed.empty()) typedFileName_ = SafeFileName(typed, L"");

        if (complete) {
            closedByOK_ = true;
            EndDialog(hwnd(), IDOK);
        }
    } catch (...) {
        // Out of memory for a text: the window stays open and the user can try again.
    }
}

void SelectFieldsForm::OnCancel() noexcept {
    columnList_.clear();
    EndDialog(hwnd(), IDCANCEL);
}

}  // namespace tarn
