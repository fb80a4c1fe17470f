// One pass through the thread's pending messages.
#include "common/message_pump.h"

#include <windows.h>

namespace tarn {

void ProcessPendingMessages() noexcept {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The host's loop must still see it, or the host would never end.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace tarn
