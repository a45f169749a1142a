// The gadget window: a form window that also carries the tray icon and the
// buttons' balloon tips, answers the session's end like a close, and ends
// the message loop when it is destroyed.
#pragma once

#include "ui/handles_win32.h"

#include "chrome/tooltips_win32.h"
#include "shell/tray_win32.h"
#include "ui/form_window_win32.h"

namespace tarvex::win32 {

class MainWindow final : public FormWindow {
 public:
  MainWindow(ui::FormEvents& events, Resources& resources);

  TrayIcon& tray() { return tray_; }
  // A balloon over one of the window's buttons.
  void AddBalloonTip(const chrome::BalloonTip& tip);
  void RemoveBalloonTips() { tips_.Clear(); }

 protected:
  void OnCreated() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  TrayIcon tray_;
  BalloonTips tips_;
};

}  // namespace tarvex::win32
