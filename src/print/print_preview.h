// The Preview operations of the printer exporter: each composes its content into the print
// preview window and returns while the window stays open. Like every printer operation they
// answer True; a window that cannot be opened is reported in a message box.
#pragma once

#include "common/export_options.h"

#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <string_view>

namespace tarn {

bool PreviewTable(const ExportOptions& o, IDispatch* table);
bool PreviewRtf(const ExportOptions& o, const std::wstring& rtf);
bool PreviewText(const ExportOptions& o, const std::wstring& text);
// Image files and metafiles below a header margin of one inch.
bool PreviewImageFile(const ExportOptions& o, const std::wstring& path);
bool PreviewPicture(const ExportOptions& o, IPictureDisp* picture);
// The chart's metafile (WriteChartMetafile) below a header margin of half an inch.
bool PreviewChart(const ExportOptions& o, IDispatch* chart);

// The chart drawn at 640 x 480 into "TempChart.emf" in the component's own folder, written
// anew each time; its path. The chart's DeskColor is as before afterwards.
std::wstring WriteChartMetafile(IDispatch* chart, const ExportOptions& o);

}  // namespace tarn
