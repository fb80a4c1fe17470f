// Hands an exported file to a destination of the send-to list: a shortcut (to a folder, a
// program or a document), a program, the component's e-mail composer ("MailContent"), or
// the shell drop handler registered for the destination's extension. Nothing here fails
// aloud: an undeliverable file is simply not delivered.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Delivers `file` to `destination`; `subject` is the composer's subject.
void SendFileTo(std::wstring_view file, std::wstring_view destination, std::wstring_view subject) noexcept;

// Drops `file` on the shell drop handler that HKEY_CLASSES_ROOT\.<extension> names
// ("CLSID\{...}"), as a drag from Explorer would, and gives it a second to take the data.
void DropFileOnTarget(std::wstring_view file, std::wstring_view extension) noexcept;

}  // namespace tarn
