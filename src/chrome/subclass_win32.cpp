// The window procedure exchange behind the core's message hook: pointer-sized
// procedures, wide calls, and the one routing procedure that hands every
// message of a hooked window to the core's registry.
#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

LRESULT CALLBACK RoutingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  App* app = TheLayer().app;
  if (!app) return DefWindowProcW(hwnd, msg, wParam, lParam);
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

}  // namespace tarvex::win32
