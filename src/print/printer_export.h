// The Print operations of the printer exporter: each composes its content as the preview
// would show it and prints it on the printer DefaultPrinter names (the default printer when
// empty): at once when Quiet, otherwise after the print dialog, whose Cancel prints nothing.
// Like every printer operation they answer True; printing reports nothing, and a printer
// that does not exist prints nothing.
#pragma once

#include "common/export_options.h"

#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace tarn {

bool PrintTable(const ExportOptions& o, IDispatch* table);
bool PrintRtf(const ExportOptions& o, const std::wstring& rtf);
bool PrintText(const ExportOptions& o, const std::wstring& text);
// Image files and metafiles below a header margin of one inch.
bool PrintImageFile(const ExportOptions& o, const std::wstring& path);
bool PrintPicture(const ExportOptions& o, IPictureDisp* picture);
// The chart's metafile (WriteChartMetafile) below a header margin of half an inch, under the
// host's title.
bool PrintChart(const ExportOptions& o, IDispatch* chart);

}  // namespace tarn
