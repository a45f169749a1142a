// The Win32 implementation of the core's platform services, and the owner of
// the gadget's windows: it opens the main window around the core's start-up,
// creates and destroys the settings window when the core asks, and hands
// every other request to the window object or system call that serves it.
#pragma once

#include "ui/handles_win32.h"

#include <memory>

#include "chrome/subclass_win32.h"
#include "shell/app.h"
#include "shell/dialogs_win32.h"
#include "shell/main_window_win32.h"
#include "shell/platform.h"
#include "ui/resources_win32.h"

namespace tarvex::win32 {

class Win32Platform final : public Platform {
 public:
  explicit Win32Platform(Resources& resources);
  // Closes what is left of the windows.
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // Creates the main window from the core's model, runs the core's start-up,
  // shows the window at the model's position and delivers the first resize.
  // False when the window could not be created or is gone after the start-up.
  bool Open(App& app);
  // Destroys what is left of both windows; the core hears of nothing more.
  void Close();

  MainWindow* mainWindow() { return main_.get(); }
  FormWindow* settingsWindow() { return settings_.get(); }

  // ---- Platform ----
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view def) override;
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override;
  Handle WindowHandle(FormId form) override;
  void MoveWindowPx(FormId form, int leftPx, int topPx) override;
  void SetTopmost(FormId form) override;
  void ClearWindowRegion(FormId form) override;
  void DragWindow(FormId form) override;
  void Invalidate(FormId form, std::string_view element) override;
  void TimerChanged(FormId form, std::string_view timer, int interval, bool enabled) override;
  void CreateForm(FormId form) override;
  void DestroyForm(FormId form) override;
  void HideForm(FormId form) override;
  void ShowModal(FormId form) override;
  void SetCheck(FormId form, std::string_view element, int value) override;
  std::optional<MemoryStatus> GetMemoryStatus() override;
  ClockTime LocalTime() override;
  void TraySetTip(std::string_view tip) override;
  void TrayShow() override;
  void TrayRemove() override;
  void AddBalloonTip(FormId form, const chrome::BalloonTip& tip) override;
  void RemoveBalloonTips(FormId form) override;
  Proc SetWindowProc(Handle window, Proc proc) override;
  LResult CallWindowProcedure(Proc proc, Handle window, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
  Proc SubclassProcAddress() override;
  Dialogs& dialogs() override { return dialogs_; }

 private:
  FormWindow* Window(FormId form) const;
  HWND WindowOf(FormId form) const;

  Resources& resources_;
  NotifyFilter notifyFilter_;
  Win32Dialogs dialogs_;
  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<FormWindow> settings_;
};

}  // namespace tarvex::win32
