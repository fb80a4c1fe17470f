// ExportTestHost.DropTarget: a shell drop handler for the send-to tests. Every DragEnter
// and Drop appends a line to the file named by the environment variable TESTHOST_DROP_LOG:
// "enter" or "drop", then each file of the data object's file list ("drop C:\x\a.csv").
#pragma once

#include <windows.h>

namespace testhost {

HRESULT CreateDropTarget(REFIID iid, void** out) noexcept;

}  // namespace testhost
