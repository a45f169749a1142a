#include "ui/form_controls_win32.h"

#include "ui/elements.h"

namespace tarvex::win32 {
namespace {
constexpr int kFirstControlId = 100;
}

bool FormControls::IsParked(const ui::Form& model, const ui::Element& e, const Scale& scale) {
  const int w = scale.Px(model.clientWidth), h = scale.Px(model.clientHeight);
  const RECT r = scale.Rect(e);
  return r.right <= 0 || r.bottom <= 0 || r.left >= w || r.top >= h;
}

void FormControls::Create(HWND form, const ui::Form& model, const Scale& scale, const Resources& resources) {
  Forget();
  int nextId = kFirstControlId;
  bool defaultGiven = false;
  for (const ui::Element& e : model.elements) {
    if (e.kind != ui::Kind::CheckBox && e.kind != ui::Kind::PushButton) continue;
    if (IsParked(model, e, scale)) continue;
    const bool check = e.kind == ui::Kind::CheckBox;
    const bool isDefault = !check && !defaultGiven;
    const int id = isDefault ? IDOK : nextId++;
    defaultGiven = defaultGiven || isDefault;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                        (check ? BS_AUTOCHECKBOX : isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    const std::wstring text = Widen(e.text);
    const RECT r = scale.Rect(e);
    HWND control = CreateWindowExW(0, L"BUTTON", text.c_str(), style, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   resources.instance(), nullptr);
    if (!control) continue;
    if (resources.uiFont()) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(resources.uiFont()), FALSE);
    if (check) SendMessageW(control, BM_SETCHECK, e.value ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(control, e.enabled);
    names_[id] = e.name;
    windows_[e.name] = control;
  }
  if (!background_ && !windows_.empty()) background_.reset(CreateSolidBrush(ToColorRef(model.backColor)));
}

void FormControls::Forget() {
  names_.clear();
  windows_.clear();
}

HWND FormControls::Find(std::string_view element) const {
  auto it = windows_.find(element);
  return it == windows_.end() ? nullptr : it->second;
}

bool FormControls::OnCommand(HWND form, WPARAM wParam, LPARAM lParam, const ui::Form* model,
                             ui::FormEvents* events) {
  const int id = LOWORD(wParam);
  auto it = names_.find(id);
  if (it == names_.end()) return id == IDCANCEL && !windows_.empty();
  if (HIWORD(wParam) != BN_CLICKED) return false;
  const std::string name = it->second;
  if (!events || !model) return true;
  HWND control = reinterpret_cast<HWND>(lParam);
  if (!control) control = GetDlgItem(form, id);  // Enter arrives without a control handle
  const ui::Element* e = model->Find(name);
  if (e && e->kind == ui::Kind::CheckBox)
    events->OnCheckChanged(model->id, name, SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
  else
    events->OnClick(model->id, name);
  return true;
}

LRESULT FormControls::OnColor(HDC dc, HWND control, const ui::Form* model) {
  if (!background_ || !model) return 0;
  const ui::Element* e = nullptr;
  for (const auto& [name, window] : windows_)
    if (window == control) e = model->Find(name);
  if (!e) return 0;
  SetBkColor(dc, ToColorRef(e->backColor));
  SetTextColor(dc, RGB(0, 0, 0));
  return reinterpret_cast<LRESULT>(background_.get());
}

void FormControls::SetCheck(std::string_view element, int value) {
  if (HWND h = Find(element))
    SendMessageW(h, BM_SETCHECK, value == 1 ? BST_CHECKED : (value == 2 ? BST_INDETERMINATE : BST_UNCHECKED), 0);
}

}  // namespace tarvex::win32
