#include "shell/main_window_win32.h"

#include "ui/message_filter_win32.h"

namespace tarvex::win32 {

MainWindow::MainWindow(ui::FormEvents& events, Resources& resources)
    : FormWindow(events, resources, FormId::Main), tray_(resources.appIconSmall()), tips_(resources) {}

void MainWindow::AddBalloonTip(const chrome::BalloonTip& tip) {
  if (hwnd()) tips_.Add(hwnd(), Child(tip.button), tip);
}

void MainWindow::OnCreated() { AllowShellRestartNotice(hwnd()); }

bool MainWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  if (tray_.OnMessage(msg, wParam, lParam, events())) return true;
  switch (msg) {
    case WM_QUERYENDSESSION: result = TRUE; return true;
    case WM_ENDSESSION:
      // The session really ends: run the same shutdown (and its save) as a close.
      if (wParam && events()) events()->OnCloseRequest(FormId::Main);
      return true;
    case WM_DESTROY:
      tray_.Remove();
      PostQuitMessage(0);
      return false;  // the form's own clean-up follows
    case WM_NCDESTROY:
      tips_.Clear();  // gone with their owner already
      return false;
    default: return false;
  }
}

}  // namespace tarvex::win32
