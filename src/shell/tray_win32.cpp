// The notification-area icon of the main window: tip text, add, remove, the
// click that restores the gadget, and re-adding after the shell restarts.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

constexpr UINT kTrayId = 1;
constexpr UINT kCallback = WM_APP + 1;

struct TrayState {
  std::wstring tip;
  bool shown = false;
  UINT taskbarCreated = 0;
};

TrayState& Tray() {
  static TrayState t;
  return t;
}

NOTIFYICONDATAW Data(UINT flags) {
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof d;
  d.hWnd = TheLayer().main.hwnd;
  d.uID = kTrayId;
  d.uFlags = flags;
  d.uCallbackMessage = kCallback;
  d.hIcon = TheLayer().appIconSmall;
  wcsncpy_s(d.szTip, Tray().tip.c_str(), _TRUNCATE);
  return d;
}

}  // namespace

UINT TrayCallbackMessage() { return kCallback; }

void TraySetTipText(std::string_view tip) {
  Tray().tip = Widen(tip);
  if (Tray().shown && TheLayer().main.hwnd) {
    NOTIFYICONDATAW d = Data(NIF_TIP);
    Shell_NotifyIconW(NIM_MODIFY, &d);
  }
}

void TrayAdd() {
  if (!TheLayer().main.hwnd) return;
  if (!Tray().taskbarCreated) Tray().taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  NOTIFYICONDATAW d = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  if (Tray().shown) {
    Shell_NotifyIconW(NIM_MODIFY, &d);
    return;
  }
  Shell_NotifyIconW(NIM_ADD, &d);
  // Wanted from now on, also when the shell is not there yet: the icon is
  // added again when the task bar announces itself.
  Tray().shown = true;
}

void TrayDelete() {
  if (!Tray().shown) return;
  Tray().shown = false;
  if (!TheLayer().main.hwnd) return;
  NOTIFYICONDATAW d = Data(0);
  Shell_NotifyIconW(NIM_DELETE, &d);
}

bool TrayMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)hwnd;
  if (msg == kCallback && wParam == kTrayId) {
    if (LOWORD(lParam) == WM_LBUTTONUP)
      if (App* app = TheLayer().app) app->OnTrayClick();
    return true;
  }
  if (Tray().taskbarCreated && msg == Tray().taskbarCreated) {
    if (Tray().shown) {  // the shell restarted: our icon is gone, add it again
      NOTIFYICONDATAW d = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
      Shell_NotifyIconW(NIM_ADD, &d);
    }
    return true;
  }
  return false;
}

}  // namespace tarvex::win32
