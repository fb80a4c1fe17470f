// Stand-in for the preview window until the window code lands: the document goes to the
// printer through the print dialog, which is what the preview's Print button leads to.
#include "print/print_preview.h"

#include "print/printer_output.h"

namespace tarn {

void ShowPrintPreview(const ExportOptions& options, PrintContent content) {
    static_cast<void>(PrintDocument(options, content, true));
}

}  // namespace tarn
