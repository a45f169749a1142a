// The narrow set of platform services the portable core uses. The Win32 layer
// implements each with the real Win32 call; the unit tests use a recording
// fake. Texts are UTF-8; positions are in pixels unless a name says twips;
// window handles and procedures are pointer-sized integers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The two windows of the program.
enum class FormId { Main, Care };

enum class MsgIcon { Information, Warning, Question };
enum class MsgButtons { Ok, YesNoCancel };
enum class MsgResult { Ok, Yes, No, Cancel };

enum class Archiver { UnZip, Cab, Unlha };

struct MemoryStatus {
  std::uint64_t totalPhys = 0;  // bytes
  std::uint64_t availPhys = 0;  // bytes
};

// The local date and time of day, as far as the readout shows them.
struct ClockTime {
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
};

using Handle = std::uintptr_t;   // HWND and friends
using Proc = std::uintptr_t;     // a window procedure's address
using LResult = std::intptr_t;

class Platform {
 public:
  virtual ~Platform() = default;

  // --- settings store (per-user; application, section, key; text values) ---
  // Returns `def` when the value is absent or cannot be read.
  virtual std::string GetSetting(std::string_view app, std::string_view section,
                                 std::string_view key, std::string_view def) = 0;
  virtual void SaveSetting(std::string_view app, std::string_view section,
                           std::string_view key, std::string_view value) = 0;

  // --- windows ---
  // Window handle of a form (0 when that window does not exist).
  virtual Handle WindowHandle(FormId form) = 0;
  // Handle of a child element realised as a window (buttons, panels), or 0.
  virtual Handle ElementHandle(FormId form, std::string_view element) = 0;
  // Moves a form's window; the core keeps the exact twips itself.
  virtual void MoveWindowPx(FormId form, int leftPx, int topPx) = 0;
  // SetWindowPos(hwnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE|SWP_NOMOVE|SWP_SHOWWINDOW).
  virtual void SetTopmost(FormId form, int x, int y) = 0;
  // SetWindowRgn(hwnd, nullptr, TRUE).
  virtual void ClearWindowRegion(FormId form) = 0;
  // The element's look or text changed: repaint its area.
  virtual void Invalidate(FormId form, std::string_view element) = 0;
  // A timer's interval or enabled flag changed (also at creation): the layer
  // (re)starts it when enabled with an interval above 0, stops it otherwise.
  virtual void TimerChanged(FormId form, std::string_view timer, int interval, bool enabled) = 0;

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

  // --- tooltips (tooltips_class32) ---
  virtual Handle CreateTooltipWindow(Handle owner, std::uint32_t style) = 0;  // 0 on failure
  virtual void TooltipSetMaxWidth(Handle tip, int width) = 0;
  virtual void TooltipSetBkColor(Handle tip, std::uint32_t colorref) = 0;
  virtual void TooltipSetTextColor(Handle tip, std::uint32_t colorref) = 0;
  virtual void TooltipSetTitle(Handle tip, int icon, std::string_view title) = 0;
  virtual void TooltipAddTool(Handle tip, std::uint32_t flags, Handle owner, Handle toolId,
                              std::string_view text) = 0;
  virtual void DestroyWindowHandle(Handle window) = 0;

  // --- message hook ---
  // Exchanges a window's procedure; returns the previous one.
  virtual Proc SetWindowProc(Handle window, Proc proc) = 0;
  virtual LResult CallWindowProcedure(Proc proc, Handle window, std::uint32_t msg,
                                      std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Address of the layer's window procedure that routes to basSubclass.
  virtual Proc SubclassProcAddress() = 0;

  // --- dragging ---
  virtual void ReleaseMouseCapture() = 0;
  // SendMessage(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, lParam): returns when the
  // system's move loop has ended.
  virtual void SendCaptionDrag(FormId form) = 0;

  // --- dialogs ---
  virtual MsgResult MessageBox(FormId owner, std::string_view text, std::string_view caption,
                               MsgIcon icon, MsgButtons buttons) = 0;
  // SHBrowseForFolder with BIF_RETURNONLYFSDIRS; nullopt when cancelled or
  // when the choice has no file-system path.
  virtual std::optional<std::string> BrowseForFolder(FormId owner, std::string_view title) = 0;

  // --- archivers (in-process replacements; see extract/archiver.h) ---
  // keptOriginals gets the path of every original file the call could not
  // put back after a failure and kept under another name (that name).
  virtual int CallArchiver(Archiver which, std::string_view cmdline, int outputSize,
                           std::vector<std::string>& keptOriginals) = 0;
};

}  // namespace tarvex
