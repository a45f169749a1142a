// Shared state and entry points of the Win32 layer: the windows realised from
// the element models, the picture cache, the fonts, the tray icon. Everything
// here runs on the user-interface thread.
#pragma once

#include <windows.h>
// The core's Platform has a method named MessageBox; keep <windows.h>'s macro
// of that name from renaming it here (the wide call is named explicitly).
#ifdef MessageBox
#undef MessageBox
#endif

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "shell/app.h"
#include "shell/platform.h"
#include "ui/elements.h"

namespace tarvex::win32 {

// UTF-8 <-> UTF-16. Invalid input is replaced, never dropped silently.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Twips to pixels at 15 twips per pixel, rounded to the nearest pixel.
int TwipsToPx(float twips);

// Colour of the model (0x00RRGGBB) as a GDI COLORREF (0x00BBGGRR).
COLORREF ToColorRef(std::uint32_t rgb);

// One realised window of a form and the mouse state that belongs to it.
struct FormWindow {
  FormId id = FormId::Main;
  HWND hwnd = nullptr;
  std::map<std::string, HWND, std::less<>> children;  // element name -> child window
  // Rectangles last drawn for windowless elements (container coordinates),
  // so that a moved element's old area is repainted too.
  std::map<std::string, RECT, std::less<>> drawn;
  bool coreMove = false;                    // a move requested by the core is running
  POINT knownPos{INT32_MIN, INT32_MIN};     // last position the core knows of
  // Mouse capture between a press and its first release.
  bool captured = false;
  HWND captureWindow = nullptr;
  std::string captureElement;
  int pressedButtons = 0;                   // MouseButton flags pressed since the capture began
  // Screen point of the last left press, kept until its release, so that a
  // drag started later by the core keeps the window where the press grabbed it.
  bool leftPressed = false;
  POINT leftPressAt{0, 0};
  // Inside the system's move loop. Mouse input that reaches the window then
  // (Wine delivers queued moves during its loop) is not passed on: the move
  // loop owns the mouse until the button is released.
  bool inMoveLoop = false;
};

struct Layer {
  HINSTANCE instance = nullptr;
  App* app = nullptr;
  FormWindow main;
  FormWindow care;
  HFONT uiFont = nullptr;        // Japanese-capable font for controls and tooltips
  HFONT labelFont = nullptr;     // the same face without smoothing: exact label colours
  HBRUSH careBrush = nullptr;    // background of the settings window's check box
  HCURSOR handCursor = nullptr;  // nullptr when the resource is missing
  HICON appIconLarge = nullptr;
  HICON appIconSmall = nullptr;
  bool modalRunning = false;
};

Layer& TheLayer();

// ---- start and end (startup_win32.cpp) ----
// Loads the icons, the hand pointer and the fonts of the layer.
void InitLayer(HINSTANCE instance);
void ShutdownLayer();
// Creates the main window from the core's model, runs the core's start-up,
// shows the window at the model's position and delivers the first resize.
// Returns the window, or nullptr when it could not be created.
HWND OpenMainWindow(App& app);
// Destroys what is left of both windows and forgets the App.
void CloseLayerWindows();
FormWindow& Window(FormId form);
// The model of a form, or nullptr while it is not loaded.
ui::Form* Model(FormId form);

// ---- pictures (paint_win32.cpp) ----
bool IsIconAsset(Asset a);
// Natural size of a picture in pixels; false when the resource is missing.
bool PictureSize(Asset a, SIZE& size);
// Draws a picture at (x, y), scaled to (w, h) when stretch is set.
void DrawPicture(HDC dc, Asset a, int x, int y, int w, int h, bool stretch);
// Rectangle (container pixels) an element covers when drawn; empty for
// elements that are not drawn windowless.
RECT ElementRect(const ui::Element& e);
// Paints the container (the form when container is "", else a picture box)
// into dc: background, then its windowless elements.
void PaintContainer(HDC dc, const ui::Form& form, std::string_view container, const RECT& client,
                    FormWindow& fw);
// The topmost windowless element under a point of a container that takes
// mouse events (labels, images); "" when there is none.
std::string HitTestElement(const ui::Form& form, std::string_view container, POINT pt);
void ReleasePictures();

// ---- windows (form_window_win32.cpp) ----
bool RegisterWindowClasses(HINSTANCE instance);
// Creates the form's window and the child windows of its elements, hidden.
HWND CreateFormWindow(FormId form);
void DestroyFormWindow(FormId form);
// True for an element that lies wholly outside its form's client area.
bool IsParked(const ui::Form& form, const ui::Element& e);
void InvalidateElement(FormId form, std::string_view element);
HWND ElementWindow(FormId form, std::string_view element);
void SetFormTimer(FormId form, std::string_view timer, int interval, bool enabled);
void MoveFormWindow(FormId form, int leftPx, int topPx);
// The system's move loop for a form (WM_NCLBUTTONDOWN, HTCAPTION); returns
// when it has ended.
void StartCaptionDrag(FormId form);
// The message loop of the program (returns the exit code).
int RunMessageLoop();
// Routes one message of a nested loop (dialog keys of the settings window).
void DispatchOne(MSG& msg);

// ---- settings window (care_window_win32.cpp) ----
void CreateCareControls(HWND care, const ui::Form& form);
// WM_COMMAND / WM_CTLCOLORSTATIC of the settings window; true when handled.
bool CareCommand(HWND care, WPARAM wParam, LPARAM lParam);
bool CareColor(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
void SetCareCheck(std::string_view element, int value);
void ShowCareModal();
void HideCare();

// ---- tray (tray_win32.cpp) ----
UINT TrayCallbackMessage();
void TraySetTipText(std::string_view tip);
void TrayAdd();
void TrayDelete();
// Messages of the main window that concern the tray; true when handled.
bool TrayMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- messages from a lower-integrity Explorer (message_filter_win32.cpp) ----
// Lets file drops through to a window that accepts them.
void AllowDropsFromShell(HWND window);
// Lets the task bar's "TaskbarCreated" broadcast through to the main window.
void AllowShellRestartNotice(HWND window);

// ---- tooltips (tooltips_win32.cpp) ----
HWND CreateTooltip(HWND owner, DWORD style);
void TooltipMaxWidth(HWND tip, int width);
void TooltipColors(HWND tip, bool background, COLORREF color);
void TooltipTitle(HWND tip, int icon, std::string_view title);
void TooltipAddTool(HWND tip, UINT flags, HWND owner, UINT_PTR id, std::string_view text);

// ---- message hook (subclass_win32.cpp) ----
LONG_PTR ExchangeWindowProc(HWND window, LONG_PTR proc);
LRESULT CallSavedProc(LONG_PTR proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
LONG_PTR RoutingProcAddress();
// Posted WM_NOTIFY messages (never the program's own) are dropped from this
// thread's queue while the filter is installed (InitLayer to ShutdownLayer).
void InstallNotifyFilter();
void RemoveNotifyFilter();

}  // namespace tarvex::win32
