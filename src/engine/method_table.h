// The table that turns a method name ("CSV", "png", "Preview" ...) into the exporter that
// serves it and the settings made on creation. Portable.
#pragma once

#include <optional>
#include <string_view>

namespace tarn {

enum class ExporterKind { Csv, Txt, Html, Mhtml, Xls, Pdf, Printer, Image };

struct MethodEntry {
    ExporterKind kind;
    // Set on the new exporter: ShowInExcel for Xls, Preview for Printer.
    bool flag = false;
    // The method names an image format: the engine stores the name as its ImageFormat.
    bool namesImageFormat = false;
};

// Looks a method name up without regard to case; nullopt when no exporter serves it.
std::optional<MethodEntry> LookUpMethod(std::wstring_view method);

}  // namespace tarn
