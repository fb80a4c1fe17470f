// Access to the built component from the Windows-side tests: the DLL beside this program,
// loaded once, its entry points, and creation of its classes without the registry.
#pragma once

#include "com/handles.h"

#include "TarnwickExports7.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn::test {

struct Component {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
    std::wstring path;
};

// The component DLL in this program's folder, loaded on first use and kept loaded.
const Component& TheComponent();

// Creates a class of the component through its class factory.
template <class Itf>
ComPtr<Itf> Create(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(TheComponent().getClassObject(clsid, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<Itf> object;
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
    }
    return object;
}

// Initialises COM (apartment-threaded, as hosts do) for each test.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

std::wstring Text(BSTR b);
std::string Narrow(const std::wstring& w);

}  // namespace tarn::test
