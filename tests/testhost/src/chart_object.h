// ExportTestHost.Chart: a host program's chart control that copies itself to a bitmap
// file or an enhanced metafile, and logs each copy with its arguments and DeskColor.
#pragma once

#include "script_object.h"

#include <string>
#include <vector>

namespace testhost {

class ChartObject final : public ScriptObject {
public:
    static HRESULT Create(REFIID iid, void** out) noexcept;

protected:
    void Dispatch(DISPID id, Invocation& call) override;

private:
    ChartObject();

    void LogCall(const wchar_t* member, long width, long height, const std::wstring& path);

    long width_ = 7200;   // twips
    long height_ = 4800;  // twips
    long deskColor_ = 0x00FFFFFF;
    std::vector<std::wstring> log_;
};

// Draws the chart (title, axes, four bars) on `deskColor` into a width x height area.
void PaintChart(HDC dc, int width, int height, long deskColor);

}  // namespace testhost
