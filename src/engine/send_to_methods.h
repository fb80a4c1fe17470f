// The places a finished file can be sent to: the entries of the user's Send To folder and
// the programs that open spreadsheets and documents, read afresh at every call.
#pragma once

#include "com/handles.h"

#include <oaidl.h>

#include <string>

namespace tarn {

// The user's Send To folder as the shell reports it (CSIDL_SENDTO); empty when the shell
// has none.
[[nodiscard]] std::wstring SendToFolder();

// Engine.SendToMethods as a new Scripting.Dictionary: full path (or "MailContent") to
// menu caption. Throws ComError when the folder cannot be found or read, and when two
// entries have the same key (one program opening both spreadsheets and documents).
[[nodiscard]] ComPtr<IDispatch> NewSendToMethods();

}  // namespace tarn
