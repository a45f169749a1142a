// The mouse of one form window: a press takes the capture for the element
// under the pointer, the first release ends it (a click when it is over the
// same element), and a capture taken away ends the press as a release off
// the element would. The press point is kept so that a drag the core starts
// later keeps the window where the press grabbed it.
#pragma once

#include "ui/handles_win32.h"

#include <string>

namespace tarvex::win32 {

class FormWindow;
struct Surface;

class MouseCapture {
 public:
  explicit MouseCapture(FormWindow& window) : window_(window) {}

  // WM_MOUSEMOVE and the button messages of a surface of the window.
  void OnMouse(Surface& s, UINT msg, WPARAM wParam, LPARAM lParam);
  // WM_CAPTURECHANGED of a surface: newOwner took the capture.
  void OnCaptureChanged(Surface& s, HWND newOwner);
  // Releases the capture and runs the system's move loop for the window;
  // returns when the move has ended.
  void Drag(HWND window);
  // The window is gone.
  void Reset();

 private:
  // Ends a press: the capture state goes (and the capture, when still held),
  // then the element gets its mouse-up.
  void EndPress(int button, POINT pt, bool releaseCapture);

  FormWindow& window_;
  bool captured_ = false;
  HWND captureWindow_ = nullptr;
  std::string captureElement_;
  int pressedButtons_ = 0;  // MouseButton flags pressed since the capture began
  // Screen point of the last left press, kept until its release.
  bool leftPressed_ = false;
  POINT leftPressAt_{0, 0};
  // Inside the system's move loop. Mouse input that reaches the window then
  // (Wine delivers queued moves during its loop) is not passed on: the move
  // loop owns the mouse until the button is released.
  bool inMoveLoop_ = false;
};

}  // namespace tarvex::win32
