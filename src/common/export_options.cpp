// Column-list helpers.
#include "common/export_options.h"

namespace tarn {

std::wstring EncloseColumnList(std::wstring_view list) {
    if (list.empty()) return {};
    std::wstring result;
    result.reserve(list.size() + 2);
    result += L',';
    result += list;
    result += L',';
    return result;
}

std::wstring AllColumnsList(long columnCount) {
    std::wstring list;
    for (long i = 0; i < columnCount; ++i) {
        list += L',';
        list += std::to_wstring(i);
    }
    list += L',';
    return list;
}

std::wstring EachColumnEnclosed(long columnCount) {
    std::wstring list;
    for (long i = 0; i < columnCount; ++i) {
        list += L',';
        list += std::to_wstring(i);
        list += L',';
    }
    return list;
}

bool IsColumnSelected(std::wstring_view list, long column) {
    std::wstring needle = L"," + std::to_wstring(column) + L",";
    return list.find(needle) != std::wstring_view::npos;
}

}  // namespace tarn
