#include "chrome/subclass_win32.h"

#include "ui/form_window_win32.h"

namespace tarvex::win32 {
namespace {

LRESULT CALLBACK DropPostedNotify(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    MSG* m = reinterpret_cast<MSG*>(lParam);
    if (m->message == WM_NOTIFY) m->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK RoutingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const FormWindow* form = FormWindow::FromHandle(hwnd);
  ui::FormEvents* core = form ? form->events() : nullptr;
  if (!core) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NOTIFY && InSendMessageEx(nullptr) != ISMEX_NOSEND) return 0;
  return static_cast<LRESULT>(core->SubclassWndProc(reinterpret_cast<Handle>(hwnd), msg,
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

NotifyFilter::NotifyFilter()
    : hook_(SetWindowsHookExW(WH_GETMESSAGE, DropPostedNotify, nullptr, GetCurrentThreadId())) {}

}  // namespace tarvex::win32
