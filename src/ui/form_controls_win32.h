// The standard controls of a form: its check boxes and push buttons, realised
// as BUTTON windows in creation order (which is the tab order), in the
// form's colours and the Japanese-capable font. The first push button is
// the default one: Enter in the window presses it. Parked elements are left
// out: they are never seen and must not take the keyboard focus.
#pragma once

#include "ui/handles_win32.h"

#include <map>
#include <string>
#include <string_view>

#include "ui/convert_win32.h"
#include "ui/layer.h"
#include "ui/resources_win32.h"

namespace tarvex::win32 {

class FormControls {
 public:
  void Create(HWND form, const ui::Form& model, const Scale& scale, const Resources& resources);
  // The controls went with their window.
  void Forget();
  bool empty() const { return windows_.empty(); }
  HWND Find(std::string_view element) const;

  // WM_COMMAND of the form: a press or a check box change goes to the core.
  // True when the command was one of the controls' (or Escape: such a form
  // has no cancel).
  bool OnCommand(HWND form, WPARAM wParam, LPARAM lParam, const ui::Form* model, ui::FormEvents* events);
  // WM_CTLCOLORSTATIC / WM_CTLCOLORBTN: the brush for one of the controls,
  // or 0 for any other window.
  LRESULT OnColor(HDC dc, HWND control, const ui::Form* model);
  // The check box shows value (0, 1; 2 is the grey state).
  void SetCheck(std::string_view element, int value);

  // True for an element that lies wholly outside the form's client area.
  static bool IsParked(const ui::Form& model, const ui::Element& e, const Scale& scale);

 private:
  std::map<int, std::string> names_;                     // control id -> element name
  std::map<std::string, HWND, std::less<>> windows_;    // element name -> control
  Brush background_;                                     // behind the check box's text
};

}  // namespace tarvex::win32
