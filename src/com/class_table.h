// The creatable classes of the component: what DllGetClassObject hands out and what
// registration writes.
#pragma once

#include "com/class_factory.h"

#include <span>

namespace tarn {

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* name;  // class name; the ProgID is "TarnwickExports7." + name
    CreateFunction create;
};

std::span<const ClassEntry> ComponentClasses() noexcept;
const GUID& ComponentLibraryId() noexcept;

}  // namespace tarn
