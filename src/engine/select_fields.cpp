// Column selection. Until the selection window exists, every column is chosen without
// asking and the method is kept, as the window does for grids it has nothing to offer for.
#include "engine/select_fields.h"

#include "engine/export_options.h"
#include "tables/grid_table.h"

namespace tarn {

std::wstring SelectFields(IDispatch* grid, std::wstring& /*method*/, Engine& /*engine*/) {
    return EachColumnEnclosed(GridTable(grid).Cols());
}

}  // namespace tarn
