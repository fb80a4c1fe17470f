// Opening an export's output file: ANSI text through AnsiTextStream, in the system's
// code page, with the component's message when the file cannot be opened.
#pragma once

#include "common/ansi_text_stream.h"

#include <memory>
#include <string_view>

namespace tarn {

// The system's ANSI code page, without best-fit substitutes. A character the code page
// cannot hold throws ComError CTL_E_ILLEGALFUNCTIONCALL ("Invalid procedure call or
// argument", error 5 to script hosts), as the scripting runtime's ANSI text streams do.
class AnsiCodePageEncoder final : public AnsiEncoder {
public:
    void Append(std::wstring_view text, std::string& out) const override;
};

// Opens `path` for writing, creating the file or emptying an existing one. When it cannot
// be opened, shows "Cannot open <path>" and the system's reason (caption "Quillon",
// exclamation icon; Quiet does not apply) and returns null. Write failures later throw
// ComError with the system's description.
[[nodiscard]] std::unique_ptr<AnsiTextStream> OpenExportFile(std::wstring_view path);

// A byte sink writing `path`, created or emptied, for writers of binary files. Throws
// ComError with the system's description when the file cannot be opened or written.
[[nodiscard]] std::unique_ptr<ByteSink> CreateFileSink(std::wstring_view path);

// The same for exports that pass over what fails: no message, a ComError with the system's
// reason instead.
[[nodiscard]] std::unique_ptr<AnsiTextStream> CreateExportFile(std::wstring_view path);

}  // namespace tarn
