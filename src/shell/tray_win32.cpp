#include "shell/tray_win32.h"

#include <cwchar>

#include "ui/convert_win32.h"

namespace tarvex::win32 {
namespace {
constexpr UINT kTrayId = 1;
}

TrayIcon::TrayIcon(HICON icon) : icon_(icon), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}

TrayIcon::~TrayIcon() { Remove(); }

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const {
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof d;
  d.hWnd = window_;
  d.uID = kTrayId;
  d.uFlags = flags;
  d.uCallbackMessage = kCallbackMessage;
  d.hIcon = icon_;
  wcsncpy_s(d.szTip, tip_.c_str(), _TRUNCATE);
  return d;
}

void TrayIcon::SetTip(HWND window, std::string_view tip) {
  tip_ = Widen(tip);
  if (window_ && window_ == window) {
    NOTIFYICONDATAW d = Data(NIF_TIP);
    Shell_NotifyIconW(NIM_MODIFY, &d);
  }
}

void TrayIcon::Add(HWND window) {
  if (!window) return;
  if (window_ == window) {
    NOTIFYICONDATAW d = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    Shell_NotifyIconW(NIM_MODIFY, &d);
    return;
  }
  window_ = window;
  NOTIFYICONDATAW d = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  Shell_NotifyIconW(NIM_ADD, &d);
}

void TrayIcon::Remove() {
  if (!window_) return;
  NOTIFYICONDATAW d = Data(0);
  window_ = nullptr;
  Shell_NotifyIconW(NIM_DELETE, &d);
}

bool TrayIcon::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, ui::FormEvents* events) {
  if (msg == kCallbackMessage && wParam == kTrayId) {
    if (LOWORD(lParam) == WM_LBUTTONUP && events) events->OnTrayClick();
    return true;
  }
  if (taskbarCreated_ && msg == taskbarCreated_) {
    if (window_) {  // the shell restarted: our icon is gone, add it again
      NOTIFYICONDATAW d = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
      Shell_NotifyIconW(NIM_ADD, &d);
    }
    return true;
  }
  return false;
}

}  // namespace tarvex::win32
