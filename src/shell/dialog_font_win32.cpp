// Japanese-capable font for the system's own dialogs (message boxes, the
// folder picker). Their default font shows Japanese only where the system's
// fallback fonts provide it; a short-lived hook gives each dialog that this
// thread opens the same Japanese character set font as the gadget, at the
// dialog's own size, and widens a message box's text where it needs room.
#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "shell/dialog_font_win32.h"

namespace tarvex::win32 {
namespace {

struct HookState {
  HHOOK hook = nullptr;
  HFONT font = nullptr;
  int depth = 0;
};

HookState& State() {
  static HookState s;
  return s;
}

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

// A font of the same height as the dialog's, asking for the Japanese set.
HFONT FontLike(HWND dialog) {
  LOGFONTW lf{};
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!current || !GetObjectW(current, sizeof lf, &lf)) lf.lfHeight = -12;
  LOGFONTW jf{};
  jf.lfHeight = lf.lfHeight;
  jf.lfWeight = FW_NORMAL;
  jf.lfCharSet = SHIFTJIS_CHARSET;
  jf.lfQuality = DEFAULT_QUALITY;
  wcscpy_s(jf.lfFaceName, L"MS UI Gothic");
  return CreateFontIndirectW(&jf);
}

bool IsDialogClass(HWND hwnd) {
  wchar_t cls[16];
  return GetClassNameW(hwnd, cls, 16) && std::wstring(cls) == L"#32770";
}

// The message text of a message box is the static control with id 0xFFFF.
// When the new font needs more room than the box gave the text, the text,
// the buttons below it and the box grow by the difference.
void FitMessageText(HWND box, HFONT font) {
  HWND text = GetDlgItem(box, 0xFFFF);
  if (!text) return;
  const int len = GetWindowTextLengthW(text);
  if (len <= 0) return;
  std::wstring s(static_cast<std::size_t>(len) + 1, L'\0');
  GetWindowTextW(text, s.data(), len + 1);
  s.resize(static_cast<std::size_t>(len));
  RECT tr;
  GetWindowRect(text, &tr);
  HDC dc = GetDC(text);
  HGDIOBJ old = SelectObject(dc, font);
  RECT need{0, 0, 0, 0};
  DrawTextW(dc, s.c_str(), len, &need, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(text, dc);
  const int dx = std::max(0L, need.right - (tr.right - tr.left));
  const int dy = std::max(0L, need.bottom - (tr.bottom - tr.top));
  if (dx == 0 && dy == 0) return;
  SetWindowPos(text, nullptr, 0, 0, tr.right - tr.left + dx, tr.bottom - tr.top + dy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The buttons move down by the added height and right by half the added
  // width, so that they stay centred; then the box grows around them.
  std::vector<std::pair<HWND, POINT>> buttons;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[16];
    if (c == text || !GetClassNameW(c, cls, 16) || _wcsicmp(cls, L"Button") != 0) continue;
    RECT cr;
    GetWindowRect(c, &cr);
    POINT p{cr.left, cr.top};
    ScreenToClient(box, &p);
    buttons.emplace_back(c, p);
  }
  for (const auto& [c, p] : buttons)
    SetWindowPos(c, nullptr, p.x + dx / 2, p.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT br;
  GetWindowRect(box, &br);
  SetWindowPos(box, nullptr, br.left - dx / 2, br.top - dy / 2, br.right - br.left + dx, br.bottom - br.top + dy,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

constexpr UINT_PTR kFitTimer = 0x7A57;

void CALLBACK FitLater(HWND dialog, UINT, UINT_PTR id, DWORD) {
  KillTimer(dialog, id);
  if (State().font) FitMessageText(dialog, State().font);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  HookState& st = State();
  if (code == HCBT_ACTIVATE) {
    HWND dialog = reinterpret_cast<HWND>(wParam);
    if (IsDialogClass(dialog) && !GetPropW(dialog, L"TarvexJapaneseFont")) {
      SetPropW(dialog, L"TarvexJapaneseFont", reinterpret_cast<HANDLE>(1));
      if (!st.font) st.font = FontLike(dialog);
      if (st.font) {
        EnumChildWindows(dialog, SetFontOnChild, reinterpret_cast<LPARAM>(st.font));
        // The dialog may still be laying itself out; fit the text once its
        // own set-up is over, from its first timer message.
        SetTimer(dialog, kFitTimer, 1, FitLater);
      }
    }
  }
  return CallNextHookEx(st.hook, code, wParam, lParam);
}

}  // namespace

JapaneseDialogFont::JapaneseDialogFont() {
  HookState& st = State();
  if (st.depth++ == 0) st.hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

JapaneseDialogFont::~JapaneseDialogFont() {
  HookState& st = State();
  if (--st.depth > 0) return;
  if (st.hook) UnhookWindowsHookEx(st.hook);
  st.hook = nullptr;
  if (st.font) DeleteObject(st.font);  // the dialogs that used it are closed
  st.font = nullptr;
}

}  // namespace tarvex::win32
