// Documents printed through the Windows print API: the printer a host names, the system's
// default, or the one the user picks in the print dialog; the pages composed for that
// printer's paper and drawn by the GDI renderer one by one, as the composer finishes them.
#pragma once

#include "common/export_options.h"
#include "print/print_document.h"

namespace tarn {

// Prints `content` on the printer DefaultPrinter names (the default printer when empty), in
// the orientation Orientation gives. With `offerDialog` the print dialog comes first, on that
// printer; Cancel prints nothing. Answers whether the whole document went to the spooler: a
// printer that does not exist, a cancelled dialog or a job the spooler refuses answer false,
// and nothing is shown. A table's grid is left as it was found.
bool PrintDocument(const ExportOptions& o, const PrintContent& content, bool offerDialog);

}  // namespace tarn
