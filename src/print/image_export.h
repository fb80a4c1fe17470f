// Image files made from what a host hands over: a chart, a metafile or image file, a
// picture object, a grid. Each asks for the target unless skipped, converts to the format
// the target's extension names, and answers whether a conversion for that format ran.
#pragma once

#include "common/export_options.h"

#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace tarn {

// Draws the chart through its own copy members at ImageWidth x ImageHeight (the chart's
// size when not set).
bool ExportChartImage(ExportOptions& options, IDispatch* chart);
// Converts an EMF or WMF file; a metafile target gets a copy.
bool ExportMetafileImage(ExportOptions& options, const std::wstring& path);
// Converts a bitmap file, resampled when both image sizes are set.
bool ConvertImageFile(ExportOptions& options, const std::wstring& path);
bool ExportPictureImage(ExportOptions& options, IPictureDisp* picture);
// The grid's own picture of itself, scrolled to its first cell.
bool ExportTableImage(ExportOptions& options, IDispatch* table);

}  // namespace tarn
