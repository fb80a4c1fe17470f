// Writing a document handed over as one string: RTF kept as markup or turned into its
// plain text, or plain text as it is.
#include "mail/document_export.h"

#include "common/file_names.h"
#include "common/save_dialog.h"
#include "mail/rtf_reader.h"
#include "ui/export_file.h"
#include "ui/message_box.h"

#include <windows.h>

namespace tarn {

namespace {
constexpr std::wstring_view kRtfFilter = L"Rich Text Files (*.rtf)|*.rtf|Text Files (*.txt)|*.txt|All (*.*)|*.*";
constexpr std::wstring_view kTextFilter = L"Text Files (*.txt)|*.txt|All (*.*)|*.*";

// Code-page bytes through the system's converter; an unknown code page reads as windows-1252.
std::wstring DecodeWithSystem(unsigned codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    for (unsigned cp : {codePage, 1252u}) {
        int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (n <= 0) continue;
        std::wstring text(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
        return text;
    }
    return DecodeWindows1252(codePage, bytes);
}

// The text after the last "." of the file name, "" when it has none.
std::wstring ExtensionOf(const std::wstring& path) {
    std::wstring name = FileNameOf(path, false);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

bool IsRtfExtension(const std::wstring& extension) {
    return extension.size() == 3 && (extension[0] | 0x20) == L'r' && (extension[1] | 0x20) == L't' &&
           (extension[2] | 0x20) == L'f';
}

// The common road: dialog, extension, file, one write, closing message.
template <class Content>
bool ExportDocument(ExportOptions& o, std::wstring_view filter, std::wstring_view extensions, Content&& content) {
    std::wstring fileTitle;
    if (!ChooseExportFile(o, {o.fileFormat, filter, o.initDir, L"Export to ..."}, extensions, fileTitle)) return false;
    std::unique_ptr<AnsiTextStream> out = OpenExportFile(o.targetFilename);
    if (!out) return false;
    out->WriteLine(content(ExtensionOf(o.targetFilename)));
    out->Close();
    ExportMessages messages(o.quiet);
    messages.ShowCompleted(L"Exported to " + FileNameOf(o.targetFilename, false));
    return true;
}
}  // namespace

std::wstring RtfPlainText(std::wstring_view rtf) { return RtfToPlainText(rtf, DecodeWithSystem); }

bool ExportRtfDocument(ExportOptions& options, const std::wstring& rtf) {
    return ExportDocument(options, kRtfFilter, L"txt;rtf;text", [&](const std::wstring& extension) {
        return IsRtfExtension(extension) ? rtf : RtfPlainText(rtf);
    });
}

bool ExportTextDocument(ExportOptions& options, const std::wstring& text) {
    return ExportDocument(options, kTextFilter, L"txt;text", [&](const std::wstring&) { return text; });
}

}  // namespace tarn
