// The window procedure exchange behind the core's message hook: pointer-sized
// procedures, wide calls, and the one routing procedure that hands every
// message of a hooked form window to the core's registry.
#pragma once

#include "ui/handles_win32.h"

namespace tarvex::win32 {

// Exchanges a window's procedure; returns the previous one (0 for no window).
LONG_PTR ExchangeWindowProc(HWND window, LONG_PTR proc);
LRESULT CallSavedProc(LONG_PTR proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
LONG_PTR RoutingProcAddress();

// The hook's observer may read the header a WM_NOTIFY points to. Real
// notifications come from the program's own controls, always sent on this
// thread; one from another thread or process carries an address that is not
// ours, and reading it could crash the gadget. Such a notification is never
// routed: a sent one is answered 0 by the routing procedure, and a posted
// one is turned into WM_NULL, while this object lives, as any message loop
// of the thread takes it from the queue.
class NotifyFilter {
 public:
  NotifyFilter();

 private:
  WindowsHook hook_;
};

}  // namespace tarvex::win32
