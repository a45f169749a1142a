// Balloon tooltip windows of the picture buttons: the tooltip class with the
// wide messages, theme switched off so the chosen colours show, and a font
// that renders the Japanese texts on a Windows of any language.
#include <windows.h>
#include <commctrl.h>

#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

// SetWindowTheme lives in uxtheme.dll; it is looked up at run time so that
// the program also starts where that library is missing. The library comes
// from System32 only: a file of the same name beside the program (a download
// folder holds anything) must never be the one that runs.
void SwitchThemeOff(HWND window) {
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  static SetWindowThemeFn fn = [] {
    HMODULE lib = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return lib ? reinterpret_cast<SetWindowThemeFn>(reinterpret_cast<void*>(GetProcAddress(lib, "SetWindowTheme")))
               : nullptr;
  }();
  if (fn) fn(window, L"", L"");
}

}  // namespace

HWND CreateTooltip(HWND owner, DWORD style) {
  HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, style, 0, 0, 0, 0, owner, nullptr,
                             TheLayer().instance, nullptr);
  if (!tip) return nullptr;
  SwitchThemeOff(tip);
  if (TheLayer().uiFont) SendMessageW(tip, WM_SETFONT, reinterpret_cast<WPARAM>(TheLayer().uiFont), FALSE);
  return tip;
}

void TooltipMaxWidth(HWND tip, int width) { SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, width); }

void TooltipColors(HWND tip, bool background, COLORREF color) {
  SendMessageW(tip, background ? TTM_SETTIPBKCOLOR : TTM_SETTIPTEXTCOLOR, color, 0);
}

void TooltipTitle(HWND tip, int icon, std::string_view title) {
  std::wstring w = Widen(title);
  SendMessageW(tip, TTM_SETTITLEW, static_cast<WPARAM>(icon), reinterpret_cast<LPARAM>(w.c_str()));
}

void TooltipAddTool(HWND tip, UINT flags, HWND owner, UINT_PTR id, std::string_view text) {
  std::wstring w = Widen(text);  // the tooltip keeps its own copy
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = flags;
  ti.hwnd = owner;
  ti.uId = id;
  ti.hinst = nullptr;
  ti.lpszText = w.data();
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

}  // namespace tarvex::win32
