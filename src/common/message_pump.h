// Lets the user interface breathe during long work on the caller's thread: repaints,
// the progress window, the host's own windows.
#pragma once

namespace tarn {

// Dispatches every message already waiting for this thread's windows, then returns; it
// never waits for new ones. A quit request found on the way is put back for the host's
// own message loop.
void ProcessPendingMessages() noexcept;

}  // namespace tarn
