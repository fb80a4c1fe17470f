// Module-wide state of the DLL: its instance handle and path, the object and lock
// counts behind DllCanUnloadNow, and the embedded type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace tarn {

HMODULE ModuleHandle() noexcept;
void SetModuleHandle(HMODULE module) noexcept;

// Full path of this DLL's file.
std::wstring ModulePath();

// Counts live COM objects and IClassFactory::LockServer locks.
void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
long ModuleCount() noexcept;

// The type library embedded as resource TYPELIB 1, loaded once per process.
ITypeLib* ModuleTypeLib();
// Type information of one interface of the library; throws when absent.
ITypeInfo* ModuleTypeInfo(REFIID iid);

// Drops the cached type library; called when the DLL is about to be unloaded.
void ReleaseModuleCaches() noexcept;

// Keeps the module alive while an object exists: derive from it.
struct ModuleReference {
    ModuleReference() noexcept { ModuleAddRef(); }
    ModuleReference(const ModuleReference&) noexcept { ModuleAddRef(); }
    ModuleReference& operator=(const ModuleReference&) noexcept = default;
    ~ModuleReference() { ModuleRelease(); }
};

}  // namespace tarn
