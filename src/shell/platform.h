// The narrow set of platform services the portable core uses. The Win32 layer
// implements each with the real Win32 call; the unit tests use a recording
// fake. The core says what it wants (move this window, make it topmost, a
// balloon tip for this button, a box with these buttons); how the platform
// does it stays in the layer. Texts are UTF-8; window positions are screen
// pixels.
//
// The dialog service (ui/dialogs.h) and two more pieces are declared beside the code that uses them: ui::FormView (the
// element model's changes, ui/layer.h) and chrome::WindowProcedures (the
// procedure exchange of the message hook, chrome/subclass.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "chrome/subclass.h"
#include "chrome/tooltips.h"
#include "readouts/date_time.h"
#include "readouts/memory_meter.h"
#include "ui/dialogs.h"
#include "ui/layer.h"

namespace tarvex {

using readouts::ClockTime;
using readouts::MemoryStatus;

class Platform : public ui::FormView, public chrome::WindowProcedures {
 public:
  // --- settings store (per-user; application, section, key; text values) ---
  // Returns `def` when the value is absent or cannot be read.
  virtual std::string GetSetting(std::string_view app, std::string_view section,
                                 std::string_view key, std::string_view def) = 0;
  virtual void SaveSetting(std::string_view app, std::string_view section,
                           std::string_view key, std::string_view value) = 0;

  // --- windows ---
  // Window handle of a form (0 when that window does not exist), for the
  // message hook.
  virtual Handle WindowHandle(FormId form) = 0;
  // Moves a form's window; the core keeps the exact twips itself.
  virtual void MoveWindowPx(FormId form, int leftPx, int topPx) = 0;
  // Puts the window above all windows that are not topmost, and shows it;
  // its place and size stay.
  virtual void SetTopmost(FormId form) = 0;
  // The window takes its plain rectangle: no window region.
  virtual void ClearWindowRegion(FormId form) = 0;
  // Hands the mouse to the system's move loop for the window (the left
  // button is down); returns when the move has ended.
  virtual void DragWindow(FormId form) = 0;

  // --- the settings window ---
  virtual void CreateForm(FormId form) = 0;   // created hidden, elements in place
  virtual void DestroyForm(FormId form) = 0;  // no unload handler is run by this
  virtual void HideForm(FormId form) = 0;
  // Shows the form modal to the main window; returns when it is hidden or destroyed.
  virtual void ShowModal(FormId form) = 0;
  // The check box control shows this value (0 or 1).
  virtual void SetCheck(FormId form, std::string_view element, int value) = 0;

  // --- memory, date and time ---
  virtual std::optional<MemoryStatus> GetMemoryStatus() = 0;
  // The current local date and time, whatever the user's display formats.
  virtual ClockTime LocalTime() = 0;

  // --- tray icon ---
  virtual void TraySetTip(std::string_view tip) = 0;
  virtual void TrayShow() = 0;
  virtual void TrayRemove() = 0;

  // --- balloon tips of a form's buttons ---
  // A tip that fails to appear is left out; the others work.
  virtual void AddBalloonTip(FormId form, const chrome::BalloonTip& tip) = 0;
  virtual void RemoveBalloonTips(FormId form) = 0;

  // --- boxes ---
  virtual Dialogs& dialogs() = 0;
};

}  // namespace tarvex
