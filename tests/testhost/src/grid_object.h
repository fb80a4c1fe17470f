// ExportTestHost.Grid: a host program's grid, answering the grid contract late-bound,
// plus the test helpers (loader, Fill, pictures, call counting and the write log).
#pragma once

#include "grid_model.h"
#include "pictures.h"
#include "script_object.h"

#include <string>
#include <vector>

namespace testhost {

class GridObject final : public ScriptObject {
public:
    static HRESULT Create(REFIID iid, void** out) noexcept;

    // Drawing for the grid's window.
    const GridModel& Model() const noexcept { return model_; }

protected:
    void Dispatch(DISPID id, Invocation& call) override;

private:
    GridObject();
    ~GridObject() override;

    void Cell(Invocation& call);
    void GetCell(Invocation& call, long setting, long row, long col);
    void PutCell(Invocation& call, long setting, long row, long col);
    void Replace(GridModel&& model);
    void Fill(long rows, long cols);
    void Log(std::wstring line);
    HWND Window();

    GridModel model_;
    PictureCache pictures_;
    long row_ = 1, col_ = 1;
    bool redraw_ = true;
    long pictureType_ = 0;
    ComPtr<IDispatch> wallPaper_;
    HWND window_ = nullptr;
    std::vector<std::wstring> writeLog_;
};

// Removes the grid windows' class; called when the DLL is unloaded.
void UnregisterGridWindowClass() noexcept;

}  // namespace testhost
