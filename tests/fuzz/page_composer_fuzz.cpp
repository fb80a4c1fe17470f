// libFuzzer target for documents printed as PDF: any text or RTF, flowed over pages by the
// composer in the Liberation faces (with DejaVu for what they lack) and written by the PDF
// writer, gives a whole PDF file or a PdfError, never a crash or a file cut short.
#include "common/byte_sink.h"
#include "print/font_provider.h"
#include "print/page_composer.h"
#include "print/pdf_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

tarn::pages::FontFolderProvider& Fonts() {
    static tarn::pages::FontFolderProvider fonts(
        {"/usr/share/fonts/truetype/liberation2", "/usr/share/fonts/truetype/dejavu"});
    return fonts;
}

}  // namespace

// The first byte chooses RTF or plain text and the page's orientation; the rest is the text,
// as UTF-16 (every two bytes a character) or one character per byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarn::pages;
    if (size < 1) return 0;
    const std::uint8_t mode = data[0];
    std::wstring text;
    if (mode & 4) {
        for (std::size_t i = 1; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    } else {
        for (std::size_t i = 1; i < size; ++i) text += static_cast<wchar_t>(data[i]);
    }
    if (mode & 1) text.insert(0, L"{\\rtf1 ");

    DocumentSetup setup;
    setup.orientation = (mode & 2) ? Orientation::Landscape : Orientation::Portrait;
    PageDecoration decoration;
    decoration.title = L"Fuzz %d";
    decoration.programName = L"composer";
    TrueTypeFontMetrics metrics(Fonts());
    tarn::MemorySink sink;
    try {
        PdfWriter writer(sink, Fonts(), {});
        PageComposer composer(setup, decoration, metrics, writer);
        composer.FlowRtf(text);
        composer.Finish();
        writer.Finish();
    } catch (const PdfError&) {
        return 0;
    }
    const std::string& pdf = sink.bytes();
    if (!pdf.starts_with("%PDF-1.7") || !pdf.ends_with("%%EOF\n")) std::abort();
    return 0;
}
