// The gadget's portable core: both windows' element models and every event
// handler, under the handlers' own names. The Win32 layer owns the message
// loop; it creates the windows from the models, forwards window events to the
// On... entry points below, and the core answers through Platform.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex {

// Mouse button flags as the handlers receive them.
enum MouseButton { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

class App {
 public:
  explicit App(Platform& platform);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // ---- the models -------------------------------------------------------
  ui::Form& MainForm();
  // The settings window's model, or nullptr while that window is not loaded.
  ui::Form* CareForm();

  // ---- entry points for the Win32 layer -----------------------------------
  // Start-up: the layer creates the main window from MainForm() (all
  // elements, timers started through Platform::TimerChanged by Start()), then
  // calls Start(), which runs the load step; then it shows the window at
  // MainForm().left/top and delivers the first resize.
  void Start();

  // A form was shown or resized (frame layout of that form).
  void OnResize(FormId form);
  // A timer of a form ticked.
  void OnTimer(FormId form, std::string_view timer);
  // The window was moved by something other than the core itself (the
  // system's move loop): the new position in pixels.
  void OnWindowMoved(FormId form, int leftPx, int topPx);

  // Mouse events. element "" is the bare window body. button is the set of
  // MouseButton flags held (for down/up: the button that changed).
  void OnMouseDown(FormId form, std::string_view element, int button, int shift, float x, float y);
  void OnMouseUp(FormId form, std::string_view element, int button, int shift, float x, float y);
  void OnMouseMove(FormId form, std::string_view element, int button, int shift, float x, float y);
  // A completed click (release over the element that was pressed).
  void OnClick(FormId form, std::string_view element);
  // The user changed a check box; value is its new state.
  void OnCheckChanged(FormId form, std::string_view element, int value);
  // Files dropped on an element. hasFileList is false when the data carried
  // no file list.
  void OnDrop(FormId form, std::string_view element, const std::vector<std::string>& paths,
              bool hasFileList);
  // A click on the tray icon.
  void OnTrayClick();
  // A close request for a form (close button, Alt+F4, WM_CLOSE, session end).
  // For the main window this runs the query-unload and unload steps and then
  // destroys the window through Platform::DestroyForm; the layer ends the
  // message loop when the main window is gone.
  void OnCloseRequest(FormId form);

  // The message hook's routing procedure (basSubclass's SubclassWndProc);
  // the layer's registered window procedure forwards to it.
  LResult SubclassWndProc(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                          std::intptr_t lParam);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex
