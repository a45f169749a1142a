// Messages that a normal Explorer sends to the gadget when the gadget runs
// elevated. User Interface Privilege Isolation drops messages that come from
// a process of lower integrity unless the receiving window lets them in; only
// these are let in, each on the window that needs it.
#pragma once

#include "ui/handles_win32.h"

namespace tarvex::win32 {

// Lets file drops through to a window that accepts them.
void AllowDropsFromShell(HWND window);
// Lets the task bar's "TaskbarCreated" broadcast through to the window.
void AllowShellRestartNotice(HWND window);

}  // namespace tarvex::win32
