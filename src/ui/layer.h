// The boundary between the portable core and the window layer that realises
// its element models: the two forms, what the core tells the layer
// (FormView) and what the layer tells the core (FormEvents). The core's App
// implements FormEvents; the Win32 layer implements FormView as part of the
// platform services. Window handles and procedures cross it as pointer-sized
// integers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The two windows of the program.
enum class FormId { Main, Care };

using Handle = std::uintptr_t;  // HWND and friends
using Proc = std::uintptr_t;    // a window procedure's address
using LResult = std::intptr_t;

// Mouse button flags as the handlers receive them.
enum MouseButton { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

namespace ui {

struct Form;

// Changes of the element model that the layer must show.
class FormView {
 public:
  virtual ~FormView() = default;
  // The element's look, text or geometry changed: repaint its area.
  virtual void Invalidate(FormId form, std::string_view element) = 0;
  // A timer's interval or enabled flag changed (also at creation): the layer
  // (re)starts it when enabled with an interval above 0, stops it otherwise.
  virtual void TimerChanged(FormId form, std::string_view timer, int interval, bool enabled) = 0;
};

// Window events, delivered by the layer on the user-interface thread.
// Element "" is the bare window body; coordinates are twips.
class FormEvents {
 public:
  virtual ~FormEvents() = default;

  // The model of a form, or nullptr while that window is not loaded.
  virtual Form* Model(FormId form) = 0;

  // A form was shown or resized.
  virtual void OnResize(FormId form) = 0;
  // A timer of a form ticked.
  virtual void OnTimer(FormId form, std::string_view timer) = 0;
  // The window was moved by something other than the core itself (the
  // system's move loop): the new position in screen pixels.
  virtual void OnWindowMoved(FormId form, int leftPx, int topPx) = 0;
  // Mouse events. button is the set of MouseButton flags held (for down and
  // up: the button that changed); shift the Shift (1), Ctrl (2), Alt (4) keys.
  virtual void OnMouseDown(FormId form, std::string_view element, int button, int shift, float x,
                           float y) = 0;
  virtual void OnMouseUp(FormId form, std::string_view element, int button, int shift, float x,
                         float y) = 0;
  virtual void OnMouseMove(FormId form, std::string_view element, int button, int shift, float x,
                           float y) = 0;
  // A completed click (left release over the element that was pressed), or
  // a standard button pressed.
  virtual void OnClick(FormId form, std::string_view element) = 0;
  // The user changed a check box; value is its new state.
  virtual void OnCheckChanged(FormId form, std::string_view element, int value) = 0;
  // Files dropped on an element. hasFileList is false when the data carried
  // no file list.
  virtual void OnDrop(FormId form, std::string_view element, const std::vector<std::string>& paths,
                      bool hasFileList) = 0;
  // A click on the tray icon.
  virtual void OnTrayClick() = 0;
  // A close request for a form (close button, Alt+F4, WM_CLOSE, session end).
  virtual void OnCloseRequest(FormId form) = 0;
  // The message hook's routing procedure: every message of a hooked window.
  virtual LResult SubclassWndProc(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                  std::intptr_t lParam) = 0;
};

}  // namespace ui
}  // namespace tarvex
