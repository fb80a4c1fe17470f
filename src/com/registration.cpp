// Registry entries of the in-process server.
#include "com/registration.h"

#include "com/class_table.h"
#include "com/errors.h"
#include "com/handles.h"
#include "com/module.h"

#include <string>

namespace tarn {

namespace {
constexpr wchar_t kProgIdPrefix[] = L"TarnwickExports7.";

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

void SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY raw = nullptr;
    LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) ThrowIfFailed(HRESULT_FROM_WIN32(status), L"Creating a registry key");
    unique_hkey key(raw);
    status = RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) ThrowIfFailed(HRESULT_FROM_WIN32(status), L"Writing a registry value");
}

void DeleteTree(HKEY root, const std::wstring& path) {
    LONG status = RegDeleteTreeW(root, path.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ThrowIfFailed(HRESULT_FROM_WIN32(status), L"Deleting a registry key");
    RegDeleteKeyW(root, path.c_str());
}

// Per-machine registration: the classes root of HKEY_LOCAL_MACHINE.
unique_hkey ClassesRoot() {
    HKEY raw = nullptr;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, nullptr, 0,
                                  KEY_READ | KEY_WRITE | DELETE, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) ThrowIfFailed(HRESULT_FROM_WIN32(status), L"Opening the classes root");
    return unique_hkey(raw);
}

SYSKIND LibrarySysKind() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }
}  // namespace

HRESULT RegisterComponent() noexcept {
    return ComBoundary([] {
        unique_hkey root = ClassesRoot();
        std::wstring path = ModulePath();
        std::wstring libId = GuidText(ComponentLibraryId());
        for (const ClassEntry& entry : ComponentClasses()) {
            std::wstring progId = std::wstring(kProgIdPrefix) + entry.name;
            std::wstring clsidKey = L"CLSID\\" + GuidText(*entry.clsid);
            SetValue(root.get(), clsidKey, nullptr, progId);
            SetValue(root.get(), clsidKey + L"\\InprocServer32", nullptr, path);
            SetValue(root.get(), clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
            SetValue(root.get(), clsidKey + L"\\ProgID", nullptr, progId);
            SetValue(root.get(), clsidKey + L"\\TypeLib", nullptr, libId);
            SetValue(root.get(), clsidKey + L"\\VERSION", nullptr, L"1.0");
            SetValue(root.get(), progId, nullptr, progId);
            SetValue(root.get(), progId + L"\\CLSID", nullptr, GuidText(*entry.clsid));
        }
        ThrowIfFailed(RegisterTypeLib(ModuleTypeLib(), path.data(), nullptr), L"RegisterTypeLib");
    });
}

HRESULT UnregisterComponent() noexcept {
    return ComBoundary([] {
        unique_hkey root = ClassesRoot();
        for (const ClassEntry& entry : ComponentClasses()) {
            DeleteTree(root.get(), L"CLSID\\" + GuidText(*entry.clsid));
            DeleteTree(root.get(), std::wstring(kProgIdPrefix) + entry.name);
        }
        // Only a registered library can be unregistered; a second unregistration is not an error.
        ComPtr<ITypeLib> registered;
        if (SUCCEEDED(LoadRegTypeLib(ComponentLibraryId(), 1, 0, 0x409, &registered))) {
            registered.Reset();
            ThrowIfFailed(UnRegisterTypeLib(ComponentLibraryId(), 1, 0, 0x409, LibrarySysKind()),
                          L"UnRegisterTypeLib");
        }
    });
}

}  // namespace tarn
