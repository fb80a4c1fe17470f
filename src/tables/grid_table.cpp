// Grid facade members that need more than one line.
#include "tables/grid_table.h"

#include "com/errors.h"

#include <olectl.h>

namespace tarn {

CellRange GridTable::MergedRange(long row, long col) {
    CellRange range{row, col, row, col};
    grid_.Call(L"GetMergedRange", {LongArg(row), LongArg(col), ByRefLong(&range.row1), ByRefLong(&range.col1),
                                   ByRefLong(&range.row2), ByRefLong(&range.col2)});
    return range;
}

void GridTable::SaveGrid(const std::wstring& path, long kind, bool withFixedCells) {
    unique_bstr name(path);
    VARIANT file;
    V_VT(&file) = VT_BSTR;
    V_BSTR(&file) = name.get();
    grid_.Call(L"SaveGrid", {file, LongArg(kind), BoolArg(withFixedCells)});
}

ComPtr<IDispatch> EmptyPicture() {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_NONE;
    ComPtr<IDispatch> picture;
    ThrowIfFailed(
        OleCreatePictureIndirect(&desc, IID_IDispatch, TRUE, reinterpret_cast<void**>(picture.GetAddressOf())),
        L"Creating an empty picture");
    return picture;
}

}  // namespace tarn
