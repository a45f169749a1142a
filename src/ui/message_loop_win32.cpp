#include "ui/message_loop_win32.h"

#include "ui/form_window_win32.h"

namespace tarvex::win32 {

int RunMessageLoop(const std::function<bool()>& keepRunning) {
  MSG msg;
  while (!keepRunning || keepRunning()) {
    const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r == -1) return 1;
    if (r == 0) {
      if (keepRunning) PostQuitMessage(static_cast<int>(msg.wParam));
      return static_cast<int>(msg.wParam);
    }
    DispatchOne(msg);
  }
  return 0;
}

void DispatchOne(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  const FormWindow* form = FormWindow::FromHandle(root);
  if (form && form->WantsDialogKeys() && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace tarvex::win32
