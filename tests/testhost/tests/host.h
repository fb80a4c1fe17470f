// The test host DLL beside this program, its objects, and the few helpers the tests share:
// raw Invoke in the shapes script engines use, temporary files, and reading BMP files.
#pragma once

#include "com/handles.h"
#include "com/late_bound.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testhost::test {

using tarn::ComPtr;
using tarn::unique_bstr;
using tarn::unique_variant;
using tarn::VariantToDouble;
using tarn::VariantToLong;
using tarn::VariantToObject;
using tarn::VariantToText;

struct HostDll {
    HMODULE module = nullptr;
    std::wstring folder;  // of this program and the DLL, with a trailing backslash
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
};
const HostDll& TheHost();

extern const CLSID kGridClsid;
extern const CLSID kChartClsid;

ComPtr<IDispatch> NewObject(REFCLSID clsid);
inline ComPtr<IDispatch> NewGrid() { return NewObject(kGridClsid); }
inline ComPtr<IDispatch> NewChart() { return NewObject(kChartClsid); }

// The examples folder of the source tree: build/<arch>/../../examples.
std::wstring ExamplesFolder();

// One Invoke as a script engine makes it. `args` are in natural order; for puts `value`
// goes last-first with the named DISPID_PROPERTYPUT.
struct Outcome {
    HRESULT hr = S_OK;
    unique_variant result;
    std::wstring error;  // EXCEPINFO description when hr is DISP_E_EXCEPTION
    HRESULT scode = S_OK;
};
Outcome Invoke(IDispatch* object, const wchar_t* member, WORD flags, std::vector<VARIANT> args,
               const VARIANT* value = nullptr);

VARIANT Str(const wchar_t* text);  // the BSTR is kept alive until the test program exits
VARIANT I2(short n);
VARIANT I4(long n);
VARIANT Bool(bool b);
VARIANT Obj(IDispatch* object);
VARIANT VarRef(VARIANT* target);  // VT_VARIANT|VT_BYREF, as VBScript passes variables

std::string Narrow(const std::wstring& text);

// A fresh empty folder under %TEMP% for one test, removed with its files at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    std::wstring File(const wchar_t* name) const { return path_ + name; }

private:
    std::wstring path_;
};

// Copies a produced file to %TESTHOST_KEEP% when that is set (screenshots for docs/).
void KeepCopy(const std::wstring& file, const wchar_t* name);

// A decoded 24- or 32-bit BMP file.
struct Bitmap {
    int width = 0, height = 0;
    int bitsPerPixel = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Bitmap ReadBmp(const std::wstring& path);
// 0x00RRGGBB of an OLE colour 0x00BBGGRR.
uint32_t Rgb(long oleColor);
std::string Hex(uint32_t rgb);

// Registry-free creation through the DLL; COM is initialised per test.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

}  // namespace testhost::test
