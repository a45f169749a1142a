// The settings window's standard controls (the check box `actc` and the OK
// button `Command1`) and its modal display below the gadget.
#include <string>

#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

// Control ids. The OK button takes IDOK so that Enter in the window presses it.
constexpr int kFirstControlId = 100;

std::map<int, std::string>& ControlNames() {
  static std::map<int, std::string> names;
  return names;
}

}  // namespace

void CreateCareControls(HWND care, const ui::Form& form) {
  ControlNames().clear();
  int nextId = kFirstControlId;
  for (const ui::Element& e : form.elements) {  // creation order is the tab order
    if (e.kind != ui::Kind::CheckBox && e.kind != ui::Kind::PushButton) continue;
    if (IsParked(form, e)) continue;  // never seen, never focused
    const bool check = e.kind == ui::Kind::CheckBox;
    const int id = (!check && e.name == "Command1") ? IDOK : nextId++;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (check ? BS_AUTOCHECKBOX : BS_PUSHBUTTON);
    if (!check && id == IDOK) style = (style & ~BS_PUSHBUTTON) | BS_DEFPUSHBUTTON;
    std::wstring text = Widen(e.text);
    const int l = TwipsToPx(e.left), t = TwipsToPx(e.top);
    const int w = TwipsToPx(e.left + e.width) - l, h = TwipsToPx(e.top + e.height) - t;
    HWND h_ = CreateWindowExW(0, L"BUTTON", text.c_str(), style, l, t, w, h, care,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), TheLayer().instance, nullptr);
    if (!h_) continue;
    if (TheLayer().uiFont) SendMessageW(h_, WM_SETFONT, reinterpret_cast<WPARAM>(TheLayer().uiFont), FALSE);
    if (check) SendMessageW(h_, BM_SETCHECK, e.value ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(h_, e.enabled);
    ControlNames()[id] = e.name;
    Window(FormId::Care).children[e.name] = h_;
  }
  if (!TheLayer().careBrush) TheLayer().careBrush = CreateSolidBrush(ToColorRef(form.backColor));
}

bool CareCommand(HWND care, WPARAM wParam, LPARAM lParam) {
  if (care != TheLayer().care.hwnd) return false;
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  auto it = ControlNames().find(id);
  if (it == ControlNames().end()) return id == IDCANCEL;  // Escape: the window has no cancel
  if (code != BN_CLICKED) return false;
  const std::string name = it->second;
  App* app = TheLayer().app;
  if (!app) return true;
  HWND ctl = reinterpret_cast<HWND>(lParam);
  if (!ctl) ctl = GetDlgItem(care, id);  // Enter arrives without a control handle
  const ui::Form* form = Model(FormId::Care);
  const ui::Element* e = form ? form->Find(name) : nullptr;
  if (e && e->kind == ui::Kind::CheckBox) {
    const int value = SendMessageW(ctl, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    app->OnCheckChanged(FormId::Care, name, value);
  } else {
    app->OnClick(FormId::Care, name);
  }
  return true;
}

bool CareColor(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND ctl = reinterpret_cast<HWND>(lParam);
  if (!TheLayer().care.hwnd || GetParent(ctl) != TheLayer().care.hwnd || !TheLayer().careBrush) return false;
  const ui::Form* form = Model(FormId::Care);
  if (!form) return false;
  std::uint32_t back = form->backColor;
  for (const auto& [name, h] : TheLayer().care.children)
    if (h == ctl)
      if (const ui::Element* e = form->Find(name)) back = e->backColor;
  (void)msg;
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetBkColor(dc, ToColorRef(back));
  SetTextColor(dc, RGB(0, 0, 0));
  result = reinterpret_cast<LRESULT>(TheLayer().careBrush);
  return true;
}

void SetCareCheck(std::string_view element, int value) {
  HWND h = ElementWindow(FormId::Care, element);
  if (h) SendMessageW(h, BM_SETCHECK, value == 1 ? BST_CHECKED : (value == 2 ? BST_INDETERMINATE : BST_UNCHECKED), 0);
}

void ShowCareModal() {
  Layer& L = TheLayer();
  HWND care = L.care.hwnd;
  if (!care) care = CreateFormWindow(FormId::Care);
  if (!care || L.modalRunning) return;
  HWND main = L.main.hwnd;
  L.modalRunning = true;
  if (main) EnableWindow(main, FALSE);
  ShowWindow(care, SW_SHOW);
  SetForegroundWindow(care);
  if (HWND first = GetNextDlgTabItem(care, nullptr, FALSE)) SetFocus(first);
  if (L.app) L.app->OnResize(FormId::Care);
  MSG msg;
  while (IsWindow(care) && IsWindowVisible(care)) {
    const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the outer loop
      break;
    }
    if (r == -1) break;
    DispatchOne(msg);
  }
  L.modalRunning = false;
  if (L.main.hwnd && IsWindow(L.main.hwnd)) {
    EnableWindow(L.main.hwnd, TRUE);
    SetForegroundWindow(L.main.hwnd);
  }
}

void HideCare() {
  Layer& L = TheLayer();
  if (!L.care.hwnd) return;
  // Give the main window its input back first, so that activation returns to
  // it and not to some other program's window.
  if (L.modalRunning && L.main.hwnd) EnableWindow(L.main.hwnd, TRUE);
  ShowWindow(L.care.hwnd, SW_HIDE);
}

}  // namespace tarvex::win32
