// The field and method selection dialog (SelectFieldsForm): a modal window from the
// component's resources that lets the user pick grid columns and, when asked for, the
// export method and the file name. It holds the form's state for one showing; filling it
// from the grid and the engine is SelectFields' part (select_fields.h).
#pragma once

#include "ui/base_window.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tarn {

struct FieldChoice {
    std::wstring text;  // the column's header as listed
    long column = 0;    // the grid column it stands for
    bool selected = false;
};

struct MethodChoice {
    std::wstring text;  // the entry as listed
    std::wstring key;   // the method name it stands for
};

class SelectFieldsForm : public BaseDialog<SelectFieldsForm> {
public:
    // `method` is the working method name until the user picks another.
    SelectFieldsForm(std::vector<FieldChoice> fields, std::wstring method);
    SelectFieldsForm(const SelectFieldsForm&) = delete;
    SelectFieldsForm& operator=(const SelectFieldsForm&) = delete;

    // Shows the method part: its entries in order, the one made current (none when
    // empty), and the file name proposed. Without this call the window is shown without
    // that part.
    void OfferMethods(std::vector<MethodChoice> methods, std::optional<size_t> current, std::wstring fileName);

    // Shows the window modally, owned by `owner`, until OK with complete input or Cancel
    // (Escape and the close box count as Cancel) closes it. Throws ComError when the
    // window cannot be shown.
    void ShowModal(HWND owner);

    // The chosen columns (",0,3,"), empty after Cancel.
    [[nodiscard]] const std::wstring& columnList() const noexcept { return columnList_; }
    // The method name: the one passed in unless OK took one from the method list.
    [[nodiscard]] const std::wstring& method() const noexcept { return method_; }
    // The typed file name made safe, empty unless OK stored one.
    [[nodiscard]] const std::wstring& typedFileName() const noexcept { return typedFileName_; }

private:
    friend class BaseDialog<SelectFieldsForm>;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnInitDialog() noexcept;
    void OnOK() noexcept;
    void OnCancel() noexcept;
    void PlaceControls() noexcept;
    void FillControls() noexcept;
    HWND Item(int id) const noexcept { return GetDlgItem(hwnd(), id); }

    std::vector<FieldChoice> fields_;
    bool showMethods_ = false;
    std::vector<MethodChoice> methods_;
    std::optional<size_t> currentMethod_;
    std::wstring proposedFileName_;

    bool closedByOK_ = false;
    std::wstring columnList_;
    std::wstring method_;
    std::wstring typedFileName_;
};

}  // namespace tarn
