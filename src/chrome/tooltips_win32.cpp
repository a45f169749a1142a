#include "chrome/tooltips_win32.h"

#include <commctrl.h>

#include "ui/convert_win32.h"

namespace tarvex::win32 {
namespace {

// Wide enough for every line, so that the body breaks only at its CR LF pairs.
constexpr int kMaxTipWidth = 1000;

int IconOf(chrome::TipIcon icon) {
  switch (icon) {
    case chrome::TipIcon::Info: return TTI_INFO;
  }
  return TTI_NONE;
}

}  // namespace

void BalloonTips::Add(HWND owner, HWND tool, const chrome::BalloonTip& tip) {
  OwnedWindow window(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP | TTS_BALLOON, 0, 0, 0, 0, owner,
                                     nullptr, resources_.instance(), nullptr));
  if (!window) return;
  HWND w = window.get();
  resources_.SwitchThemeOff(w);
  if (resources_.uiFont()) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(resources_.uiFont()), FALSE);
  SendMessageW(w, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
  SendMessageW(w, TTM_SETTIPBKCOLOR, ToColorRef(tip.backColor), 0);
  SendMessageW(w, TTM_SETTIPTEXTCOLOR, ToColorRef(tip.textColor), 0);
  const std::wstring title = Widen(tip.title);
  SendMessageW(w, TTM_SETTITLEW, static_cast<WPARAM>(IconOf(tip.icon)), reinterpret_cast<LPARAM>(title.c_str()));
  std::wstring body = Widen(tip.body);  // the tooltip keeps its own copy
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;  // the tool is the button's window, followed by the tooltip
  ti.hwnd = owner;
  ti.uId = reinterpret_cast<UINT_PTR>(tool);
  ti.lpszText = body.data();
  SendMessageW(w, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  windows_.push_back(std::move(window));
}

}  // namespace tarvex::win32
