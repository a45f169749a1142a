// The program's one message loop: the main loop runs it until the program
// quits, a modal window runs it while it is shown. Message boxes and the
// folder picker run the system's own loop.
#pragma once

#include "ui/handles_win32.h"

#include <functional>

namespace tarvex::win32 {

// Runs until the program quits and returns its exit code; with keepRunning,
// only while that holds (checked before each message), and a quit seen then
// is left in the queue for the loop outside.
int RunMessageLoop(const std::function<bool()>& keepRunning = nullptr);

// Hands one message on: dialog keys (Tab, Enter, Escape) to a form window
// that takes them, everything else to its window procedure.
void DispatchOne(MSG& msg);

}  // namespace tarvex::win32
