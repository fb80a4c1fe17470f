// Documents handed over as one string, written as a text or RTF file.
#pragma once

#include "common/export_options.h"

#include <string>
#include <string_view>

namespace tarn {

// Asks for the file unless skipped and writes `rtf` as it is to a file named ".rtf", or its
// plain text to any other. False when the user cancelled or the file could not be opened.
bool ExportRtfDocument(ExportOptions& options, const std::wstring& rtf);

// The visible text of an RTF document, as a rich-text control shows it, with the
// document's code pages decoded by the system.
std::wstring RtfPlainText(std::wstring_view rtf);

// Asks for the file unless skipped and writes `text` as it is.
bool ExportTextDocument(ExportOptions& options, const std::wstring& text);

}  // namespace tarn
