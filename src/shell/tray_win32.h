// The notification-area icon of the main window: tip text, add, remove, the
// click that restores the gadget, and adding it again after the shell restarts.
#pragma once

#include "ui/handles_win32.h"

#include <string>
#include <string_view>

#include "ui/layer.h"

namespace tarvex::win32 {

class TrayIcon {
 public:
  // The message the icon sends to its window.
  static constexpr UINT kCallbackMessage = WM_APP + 1;

  explicit TrayIcon(HICON icon);
  // Takes the icon away if it is still shown.
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  void SetTip(HWND window, std::string_view tip);
  // Wanted from now on, also while the shell is not there yet: the icon is
  // added again when the task bar announces itself.
  void Add(HWND window);
  void Remove();
  // Messages of the window that concern the icon; true when handled.
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, ui::FormEvents* events);

 private:
  NOTIFYICONDATAW Data(UINT flags) const;

  HICON icon_;
  const UINT taskbarCreated_;
  HWND window_ = nullptr;  // the window the icon belongs to, while shown
  std::wstring tip_;
};

}  // namespace tarvex::win32
