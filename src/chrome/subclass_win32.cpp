// The window procedure exchange behind the core's message hook: pointer-sized
// procedures, wide calls, and the one routing procedure that hands every
// message of a hooked window to the core's registry.
//
// The hook's observer copies the header a WM_NOTIFY points to. Real
// notifications come from the program's own controls, always sent on this
// thread; one from another thread or process carries an address that is not
// ours, and reading it would crash the gadget. Such a notification is never
// routed: a sent one is answered 0 here, a posted one is turned into WM_NULL
// as any message loop of this thread takes it from the queue.
#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

HHOOK g_queueFilter = nullptr;

LRESULT CALLBACK DropPostedNotify(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    MSG* m = reinterpret_cast<MSG*>(lParam);
    if (m->message == WM_NOTIFY) m->message = WM_NULL;
  }
  return CallNextHookEx(g_queueFilter, code, wParam, lParam);
}

LRESULT CALLBACK RoutingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  App* app = TheLayer().app;
  if (!app) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NOTIFY && InSendMessageEx(nullptr) != ISMEX_NOSEND) return 0;
  return static_cast<LRESULT>(app->SubclassWndProc(reinterpret_cast<Handle>(hwnd), msg,
                                                   static_cast<std::uintptr_t>(wParam),
                                                   static_cast<std::intptr_t>(lParam)));
}

}  // namespace

LONG_PTR ExchangeWindowProc(HWND window, LONG_PTR proc) {
  if (!window || !IsWindow(window)) return 0;
  return SetWindowLongPtrW(window, GWLP_WNDPROC, proc);
}

LRESULT CallSavedProc(LONG_PTR proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return 0;
  return CallWindowProcW(reinterpret_cast<WNDPROC>(proc), window, msg, wParam, lParam);
}

LONG_PTR RoutingProcAddress() { return reinterpret_cast<LONG_PTR>(&RoutingProc); }

void InstallNotifyFilter() {
  if (!g_queueFilter)
    g_queueFilter = SetWindowsHookExW(WH_GETMESSAGE, DropPostedNotify, nullptr, GetCurrentThreadId());
}

void RemoveNotifyFilter() {
  if (g_queueFilter) UnhookWindowsHookEx(g_queueFilter);
  g_queueFilter = nullptr;
}

}  // namespace tarvex::win32
