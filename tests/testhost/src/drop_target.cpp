// The test drop handler: reads the dropped data object's CF_HDROP list and logs it.
#include "drop_target.h"

#include "script_object.h"

#include <new>
#include <shellapi.h>
#include <string>

namespace testhost {

namespace {

void AppendToLog(const std::wstring& line) {
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TESTHOST_DROP_LOG", path, MAX_PATH)) return;
    HANDLE file =
        CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::wstring text = line + L"\r\n";
    char bytes[4 * MAX_PATH + 64];
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes, sizeof bytes,
                                           nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

std::wstring FilesOf(IDataObject* data) {
    if (!data) return L" <no data object>";
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return L" <no file list>";
    std::wstring files;
    auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(drop, i, name, MAX_PATH);
        files += L" ";
        files += name;
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return files;
}

class DropTargetObject final : public IDropTarget {
public:
    DropTargetObject() { ModuleAddRef(); }
    ~DropTargetObject() { ModuleRelease(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDropTarget) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        AppendToLog(L"enter");
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        AppendToLog(L"drop" + FilesOf(data));
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }

private:
    LONG refs_ = 1;
};

}  // namespace

HRESULT CreateDropTarget(REFIID iid, void** out) noexcept {
    auto* target = new (std::nothrow) DropTargetObject();
    if (!target) return E_OUTOFMEMORY;
    const HRESULT hr = target->QueryInterface(iid, out);
    target->Release();
    return hr;
}

}  // namespace testhost
