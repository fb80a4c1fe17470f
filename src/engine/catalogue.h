// The export methods a host can offer for each kind of object, with the menu captions it
// shows for them, handed out as the scripting runtime's Dictionary that hosts iterate.
#pragma once

#include "com/handles.h"

#include <oaidl.h>

#include <string>
#include <string_view>
#include <utility>

namespace tarn {

// A new Scripting.Dictionary (binary key comparison, entries kept in insertion order).
class ScriptingDictionary {
public:
    ScriptingDictionary();

    // Adds an entry; a key that is already there is the dictionary's error, thrown on.
    void Add(std::wstring_view key, std::wstring_view item);
    // Hands the dictionary to the caller, who then owns it.
    [[nodiscard]] ComPtr<IDispatch> Detach() noexcept { return std::move(dictionary_); }

private:
    ComPtr<IDispatch> dictionary_;
    DISPID add_ = DISPID_UNKNOWN;
};

// Engine.ExportMethods: the methods offered for an ObjectType value, in menu order, as a
// new dictionary of method name to menu caption; empty for a kind the engine does not know.
[[nodiscard]] ComPtr<IDispatch> NewExportMethods(long objectType);

}  // namespace tarn
