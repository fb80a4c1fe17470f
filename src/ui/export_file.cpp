// Output files: a file sink over CreateFile/WriteFile, the code-page encoder, and the
// "Cannot open" message.
#include "ui/export_file.h"

#include "com/errors.h"
#include "com/handles.h"
#include "ui/message_box.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace tarn {

namespace {

// The visual-basic-compatible "Invalid procedure call or argument" (error 5).
constexpr HRESULT kInvalidProcedureCall = static_cast<HRESULT>(0x800A0005);

std::wstring SystemDescription(DWORD error) {
    std::wstring text = SystemMessage(error);
    return text.empty() ? L"Error " + std::to_wstring(error) : text;
}

[[noreturn]] void ThrowFileError(const wchar_t* what, const std::wstring& path) {
    const DWORD error = GetLastError();
    throw ComError(HRESULT_FROM_WIN32(error), what + path + L": " + SystemDescription(error));
}

class FileSink final : public ByteSink {
public:
    FileSink(unique_hfile file, std::wstring path) : file_(std::move(file)), path_(std::move(path)) {}

protected:
    void Put(std::string_view bytes) override {
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr))
                ThrowFileError(L"Cannot write ", path_);
            bytes.remove_prefix(written);
        }
    }

    void Finish() override {
        // Closed here rather than by the owner: a failed close can lose the last bytes.
        HANDLE file = file_.release();
        if (!CloseHandle(file)) ThrowFileError(L"Cannot close ", path_);
    }

private:
    unique_hfile file_;
    std::wstring path_;
};

}  // namespace

void AnsiCodePageEncoder::Append(std::wstring_view text, std::string& out) const {
    if (text.empty()) return;
    const UINT codePage = GetACP();
    // A UTF-8 system code page holds every character; the no-best-fit check is refused there.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int chars = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    // One conversion into room for the longest result (a UTF-16 unit gives at most three
    // bytes, in UTF-8), instead of asking for the size first.
    const size_t start = out.size();
    out.resize(start + text.size() * 3);
    const int bytes = WideCharToMultiByte(CP_ACP, flags, text.data(), chars, out.data() + start,
                                          static_cast<int>(text.size() * 3), nullptr, utf8 ? nullptr : &usedDefault);
    out.resize(start + static_cast<size_t>(std::max(bytes, 0)));
    if (bytes <= 0 || usedDefault) {
        out.resize(start);
        // Name the first character that has no byte, for a message the user can act on.
        size_t at = 0;
        for (; at < text.size(); ++at) {
            BOOL lost = FALSE;
            char probe[8];
            if (WideCharToMultiByte(CP_ACP, flags, &text[at], 1, probe, sizeof probe, nullptr,
                                    utf8 ? nullptr : &lost) <= 0 ||
                lost)
                break;
        }
        wchar_t code[16] = L"?";
        if (at < text.size()) wsprintfW(code, L"U+%04X", static_cast<unsigned>(text[at]));
        throw ComError(kInvalidProcedureCall, L"Invalid procedure call or argument: the character " +
                                                  std::wstring(code) + L" cannot be written in the ANSI code page " +
                                                  std::to_wstring(codePage));
    }
}

std::unique_ptr<ByteSink> CreateFileSink(std::wstring_view path) {
    const std::wstring target(path);
    unique_hfile file(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) ThrowFileError(L"Cannot open ", target);
    return std::make_unique<FileSink>(std::move(file), target);
}

namespace {
// Opened (or made) and then emptied, rather than re-created, so an existing file keeps its
// attributes and a hidden one can still be written. Null and the system's error on failure.
std::unique_ptr<AnsiTextStream> TryOpen(const std::wstring& target, DWORD& error) {
    unique_hfile file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE || !SetEndOfFile(file.get())) {
        error = GetLastError();
        return nullptr;
    }
    return std::make_unique<AnsiTextStream>(std::make_unique<FileSink>(std::move(file), target),
                                            std::make_unique<AnsiCodePageEncoder>());
}
}  // namespace

std::unique_ptr<AnsiTextStream> OpenExportFile(std::wstring_view path) {
    const std::wstring target(path);
    DWORD error = 0;
    std::unique_ptr<AnsiTextStream> out = TryOpen(target, error);
    if (!out) ShowErrorMessage(L"Cannot open " + target + L"\r\n\r\n" + SystemDescription(error));
    return out;
}

std::unique_ptr<AnsiTextStream> CreateExportFile(std::wstring_view path) {
    const std::wstring target(path);
    DWORD error = 0;
    std::unique_ptr<AnsiTextStream> out = TryOpen(target, error);
    if (!out) throw ComError(HRESULT_FROM_WIN32(error), L"Cannot open " + target + L": " + SystemDescription(error));
    return out;
}

}  // namespace tarn
