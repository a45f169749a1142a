// The gadget's portable core: both windows' element models and every event
// handler, under the handlers' own names. The Win32 layer owns the message
// loop; it creates the windows from the models, forwards window events to
// the ui::FormEvents entry points, and the core answers through Platform.
#pragma once

#include <memory>

#include "drop/archivers.h"
#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex {

class App final : public ui::FormEvents {
 public:
  // The archivers are the extraction library's own unless a test gives others.
  explicit App(Platform& platform, drop::Archivers& archivers = drop::InProcessArchivers());
  ~App() override;
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // ---- the models -------------------------------------------------------
  ui::Form& MainForm();
  // The settings window's model, or nullptr while that window is not loaded.
  ui::Form* CareForm();

  // Start-up: the layer creates the main window from MainForm(), then calls
  // Start(), which announces the timers (FormView::TimerChanged) and runs the
  // load step; then it shows the window at MainForm().left/top and delivers
  // the first resize.
  void Start();

  // ---- ui::FormEvents -------------------------------------------------------
  ui::Form* Model(FormId form) override;
  void OnResize(FormId form) override;
  void OnTimer(FormId form, std::string_view timer) override;
  void OnWindowMoved(FormId form, int leftPx, int topPx) override;
  // Picture buttons show their looks on any button; the body and the grip
  // start a drag on the left button.
  void OnMouseDown(FormId form, std::string_view element, int button, int shift, float x,
                   float y) override;
  void OnMouseUp(FormId form, std::string_view element, int button, int shift, float x,
                 float y) override;
  void OnMouseMove(FormId form, std::string_view element, int button, int shift, float x,
                   float y) override;
  void OnClick(FormId form, std::string_view element) override;
  void OnCheckChanged(FormId form, std::string_view element, int value) override;
  void OnDrop(FormId form, std::string_view element, const std::vector<std::string>& paths,
              bool hasFileList) override;
  void OnTrayClick() override;
  // For the main window this runs the query-unload and unload steps and then
  // destroys the window through Platform::DestroyForm; the layer ends the
  // message loop when the main window is gone.
  void OnCloseRequest(FormId form) override;
  // basSubclass's SubclassWndProc; the layer's routing procedure forwards to it.
  LResult SubclassWndProc(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                          std::intptr_t lParam) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex
