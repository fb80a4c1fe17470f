// The ten creatable classes and the type library's identity.
// The library identity is defined here, once, from the generated header.
#include <initguid.h>

#include "TarnwickExports7.h"
#include "com/class_table.h"

#include "engine/engine.h"
#include "engine/exporter_classes.h"

#include <array>

namespace tarn {

namespace {
const std::array<ClassEntry, 10> kClasses{{
    {&__uuidof(::Engine), L"Engine", &Engine::CreateInstance},
    {&__uuidof(::ExportMEthod), L"ExportMethod", &ExportMethodObject::CreateInstance},
    {&__uuidof(::ExportCSV), L"ExportCSV", &ExportCSVObject::CreateInstance},
    {&__uuidof(::ExportTXT), L"ExportTXT", &ExportTXTObject::CreateInstance},
    {&__uuidof(::ExportHTML), L"ExportHTML", &ExportHTMLObject::CreateInstance},
    {&__uuidof(::ExportMHTML), L"ExportMHTML", &ExportMHTMLObject::CreateInstance},
    {&__uuidof(::ExportXLS), L"ExportXLS", &ExportXLSObject::CreateInstance},
    {&__uuidof(::ExportImage), L"ExportImage", &ExportImageObject::CreateInstance},
    {&__uuidof(::ExportPrinter), L"ExportPrinter", &ExportPrinterObject::CreateInstance},
    {&__uuidof(::ExportPDF), L"ExportPDF", &ExportPDFObject::CreateInstance},
}};
}  // namespace

std::span<const ClassEntry> ComponentClasses() noexcept { return kClasses; }

const GUID& ComponentLibraryId() noexcept { return LIBID_TarnwickExports7; }

}  // namespace tarn
