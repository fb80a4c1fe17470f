// Module-wide state: instance, counts, and the type library cache.
#include "com/module.h"

#include "com/errors.h"
#include "com/handles.h"

#include <map>
#include <mutex>

namespace tarn {

namespace {
HMODULE g_module = nullptr;
LONG g_count = 0;

struct TypeLibCache {
    std::mutex lock;
    ComPtr<ITypeLib> lib;
    std::map<GUID, ComPtr<ITypeInfo>, bool (*)(const GUID&, const GUID&)> infos{
        [](const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; }};
};
// Deliberately never destroyed: releasing OLE objects from DllMain at process exit is
// unsafe. ReleaseModuleCaches empties it when the DLL may be unloaded.
TypeLibCache& Cache() {
    static auto* cache = new TypeLibCache;
    return *cache;
}
}  // namespace

HMODULE ModuleHandle() noexcept { return g_module; }
void SetModuleHandle(HMODULE module) noexcept { g_module = module; }

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        ThrowLastErrorIf(n == 0, L"GetModuleFileName");
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void ModuleAddRef() noexcept { InterlockedIncrement(&g_count); }
void ModuleRelease() noexcept { InterlockedDecrement(&g_count); }
long ModuleCount() noexcept { return g_count; }

ITypeLib* ModuleTypeLib() {
    auto& cache = Cache();
    std::lock_guard guard(cache.lock);
    if (!cache.lib) ThrowIfFailed(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &cache.lib), L"LoadTypeLibEx");
    return cache.lib.Get();
}

ITypeInfo* ModuleTypeInfo(REFIID iid) {
    ITypeLib* lib = ModuleTypeLib();
    auto& cache = Cache();
    std::lock_guard guard(cache.lock);
    auto& slot = cache.infos[iid];
    if (!slot) {
        ComPtr<ITypeInfo> info;
        ThrowIfFailed(lib->GetTypeInfoOfGuid(iid, &info), L"GetTypeInfoOfGuid");
        // For a dual interface, use the vtable view: its functions carry vtable offsets and
        // the full parameter lists, retval included.
        HREFTYPE vtableRef = 0;
        ComPtr<ITypeInfo> vtableView;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef)) &&
            SUCCEEDED(info->GetRefTypeInfo(vtableRef, &vtableView)))
            info = vtableView;
        slot = info;
    }
    return slot.Get();
}

void ReleaseModuleCaches() noexcept {
    auto& cache = Cache();
    std::lock_guard guard(cache.lock);
    cache.infos.clear();
    cache.lib.Reset();
}

}  // namespace tarn
