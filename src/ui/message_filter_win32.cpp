#include "ui/message_filter_win32.h"

namespace tarvex::win32 {

void AllowDropsFromShell(HWND window) {
  constexpr UINT kCopyGlobalData = 0x0049;  // carries the dropped file list; the SDK has no name for it
  for (UINT msg : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, kCopyGlobalData})
    ChangeWindowMessageFilterEx(window, msg, MSGFLT_ALLOW, nullptr);
}

void AllowShellRestartNotice(HWND window) {
  ChangeWindowMessageFilterEx(window, RegisterWindowMessageW(L"TaskbarCreated"), MSGFLT_ALLOW, nullptr);
}

}  // namespace tarvex::win32
