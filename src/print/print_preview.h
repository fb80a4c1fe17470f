// The print preview window (its own folder of window code fills this in).
#pragma once

#include "common/export_options.h"
#include "print/print_document.h"

namespace tarn {

// Composes `content` as `options` set it up and shows it in a modeless preview window owned
// by nothing that blocks the host; returns at once. The window keeps what it needs.
void ShowPrintPreview(const ExportOptions& options, PrintContent content);

}  // namespace tarn
