// Messages that a normal Explorer sends to the gadget when the gadget runs
// elevated. User Interface Privilege Isolation drops messages that come from a
// process of lower integrity unless the receiving window lets them in; only
// these are let in, each on the window that needs it.
#include "shell/layer_win32.h"

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
