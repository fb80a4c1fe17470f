// BaseWindow hands a window's messages to its object from creation on and lets go of the
// object when the window is destroyed, also when its owner takes it along.
#include "com/module.h"
#include "ui/base_window.h"

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

constexpr wchar_t kProbeClass[] = L"TarnwickExports7.TestProbe";

class Probe : public BaseWindow<Probe> {
public:
    int created = 0;
    int detached = 0;

private:
    friend class BaseWindow<Probe>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        if (message == WM_CREATE) ++created;
        if (message == WM_APP) return 42;
        return DefaultHandling(message, wParam, lParam);
    }
    void OnDetach() noexcept { ++detached; }
};

TEST(BaseWindowTest, MessagesReachTheObjectUntilTheWindowGoesWithItsOwner) {
    RegisterModuleWindowClass(kProbeClass, &Probe::WindowProc, nullptr);
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    Probe probe;
    HWND window = CreateWindowExW(0, kProbeClass, L"", WS_POPUP, 0, 0, 10, 10, owner, nullptr, ModuleHandle(), &probe);
    ASSERT_TRUE(window);
    EXPECT_EQ(probe.hwnd(), window);
    EXPECT_EQ(probe.created, 1);
    EXPECT_EQ(SendMessageW(window, WM_APP, 0, 0), 42);

    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(probe.hwnd(), nullptr);
    EXPECT_EQ(probe.detached, 1);
    UnregisterClassW(kProbeClass, ModuleHandle());
}

}  // namespace
}  // namespace tarn::test
