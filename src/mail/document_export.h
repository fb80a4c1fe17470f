// Documents handed over as one string, written as a text or RTF file.
#pragma once

#include "common/export_options.h"

#include <string>

namespace tarn {

// Asks for the file unless skipped and writes `rtf` as it is to a file named ".rtf", or its
// plain text to any other. False when the user cancelled or the file could not be opened.
bool ExportRtfDocument(ExportOptions& options, const std::wstring& rtf);

// Asks for the file unless skipped and writes `text` as it is.
bool ExportTextDocument(ExportOptions& options, const std::wstring& text);

}  // namespace tarn
