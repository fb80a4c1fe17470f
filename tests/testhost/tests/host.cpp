// Loading the test host and the shared helpers.
#include "host.h"

#include <olectl.h>

#include <cstdio>
#include <stdexcept>

namespace testhost::test {

const CLSID kGridClsid = {0x8d4a8ec2, 0x0329, 0x4870, {0xb7, 0xe2, 0x81, 0xeb, 0xc8, 0x97, 0x3e, 0x98}};
const CLSID kChartClsid = {0xd4bbda03, 0xd0b8, 0x469e, {0xaa, 0x56, 0x64, 0x4e, 0x1c, 0x25, 0x4e, 0xb9}};

const HostDll& TheHost() {
    static HostDll host = [] {
        HostDll h;
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        h.folder = exe;
        h.folder.resize(h.folder.find_last_of(L'\\') + 1);
        h.module = LoadLibraryW((h.folder + L"ExportTestHost.dll").c_str());
        if (!h.module) throw std::runtime_error("ExportTestHost.dll not found beside the test program");
        auto get = [&](const char* name) {
            FARPROC f = GetProcAddress(h.module, name);
            if (!f) throw std::runtime_error(std::string("missing export ") + name);
            return reinterpret_cast<void*>(f);
        };
        h.getClassObject = reinterpret_cast<decltype(h.getClassObject)>(get("DllGetClassObject"));
        h.canUnloadNow = reinterpret_cast<decltype(h.canUnloadNow)>(get("DllCanUnloadNow"));
        h.registerServer = reinterpret_cast<decltype(h.registerServer)>(get("DllRegisterServer"));
        h.unregisterServer = reinterpret_cast<decltype(h.unregisterServer)>(get("DllUnregisterServer"));
        return h;
    }();
    return host;
}

ComPtr<IDispatch> NewObject(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(TheHost().getClassObject(clsid, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IDispatch> object;
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
    }
    return object;
}

std::wstring ExamplesFolder() {
    wchar_t full[MAX_PATH];
    GetFullPathNameW((TheHost().folder + L"..\\..\\examples\\").c_str(), MAX_PATH, full, nullptr);
    return full;
}

Outcome Invoke(IDispatch* object, const wchar_t* member, WORD flags, std::vector<VARIANT> args, const VARIANT* value) {
    Outcome out;
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(member);
    out.hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(out.hr)) return out;
    std::vector<VARIANT> reversed;
    if (value) reversed.push_back(*value);
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), value ? &putId : nullptr, static_cast<UINT>(reversed.size()), value ? 1u : 0u};
    EXCEPINFO excep{};
    UINT argErr = 0;
    out.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &out.result, &excep, &argErr);
    if (out.hr == DISP_E_EXCEPTION) {
        out.error = tarn::FromBstr(excep.bstrDescription);
        out.scode = excep.scode;
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrHelpFile);
    }
    return out;
}

VARIANT Str(const wchar_t* text) {
    static std::vector<unique_bstr> kept;
    kept.emplace_back(text);
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = kept.back().get();
    return v;
}

VARIANT I2(short n) {
    VARIANT v;
    V_VT(&v) = VT_I2;
    V_I2(&v) = n;
    return v;
}

VARIANT I4(long n) { return tarn::LongArg(n); }
VARIANT Bool(bool b) { return tarn::BoolArg(b); }

VARIANT Obj(IDispatch* object) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}

VARIANT VarRef(VARIANT* target) {
    VARIANT v;
    V_VT(&v) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&v) = target;
    return v;
}

std::string Narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    path_ = std::wstring(temp) + L"testhost-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((path_ + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

void KeepCopy(const std::wstring& file, const wchar_t* name) {
    wchar_t keep[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"TESTHOST_KEEP", keep, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring target = keep;
    if (target.back() != L'\\') target += L'\\';
    CreateDirectoryW(target.c_str(), nullptr);
    CopyFileW(file.c_str(), (target + name).c_str(), FALSE);
}

Bitmap ReadBmp(const std::wstring& path) {
    Bitmap bmp;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bmp;
    std::vector<unsigned char> bytes(GetFileSize(file, nullptr));
    DWORD n = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(file);
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || bytes[0] != 'B' || bytes[1] != 'M')
        return bmp;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    memcpy(&fh, bytes.data(), sizeof(fh));
    memcpy(&ih, bytes.data() + sizeof(fh), sizeof(ih));
    if (ih.biCompression != BI_RGB && ih.biCompression != BI_BITFIELDS) return bmp;
    if (ih.biBitCount != 24 && ih.biBitCount != 32) return bmp;
    const bool bottomUp = ih.biHeight > 0;
    const int width = ih.biWidth, height = bottomUp ? ih.biHeight : -ih.biHeight;
    const size_t stride = ((static_cast<size_t>(width) * ih.biBitCount + 31) / 32) * 4;
    if (fh.bfOffBits + stride * height > bytes.size()) return bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitsPerPixel = ih.biBitCount;
    bmp.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bytes.data() + fh.bfOffBits + stride * (bottomUp ? height - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row + static_cast<size_t>(x) * (ih.biBitCount / 8);
            bmp.pixels[static_cast<size_t>(y) * width + x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
    }
    return bmp;
}

uint32_t Rgb(long ole) {
    COLORREF c = 0;
    OleTranslateColor(static_cast<OLE_COLOR>(ole), nullptr, &c);
    return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

std::string Hex(uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof(text), "#%06X", static_cast<unsigned>(rgb));
    return text;
}

}  // namespace testhost::test
