// What the gadget's windows share for the whole run: the program's instance,
// its icons and hand pointer, the fonts that show the Japanese texts, the
// compiled-in pictures, and the theme switch of uxtheme.dll.
#pragma once

#include "ui/handles_win32.h"

#include "ui/pictures_win32.h"

namespace tarvex::win32 {

class Resources {
 public:
  explicit Resources(HINSTANCE instance);
  Resources(const Resources&) = delete;
  Resources& operator=(const Resources&) = delete;

  HINSTANCE instance() const { return instance_; }
  HICON appIconLarge() const { return appIconLarge_.get(); }
  HICON appIconSmall() const { return appIconSmall_.get(); }
  HCURSOR handCursor() const { return handCursor_.get(); }  // nullptr when the resource is missing
  // A font that shows the Japanese texts on a Windows of any language, for
  // controls and tooltips; the same face without smoothing draws the labels
  // in their exact colours.
  HFONT uiFont() const { return uiFont_.get(); }
  HFONT labelFont() const { return labelFont_.get(); }
  PictureCache& pictures() { return pictures_; }

  // Switches a window's visual theme off (so that the colours it is given
  // show), where uxtheme.dll is present.
  void SwitchThemeOff(HWND window) const;

 private:
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

  HINSTANCE instance_;
  Icon appIconLarge_, appIconSmall_;
  Cursor handCursor_;
  Font uiFont_, labelFont_;
  Library uxtheme_;
  SetWindowThemeFn setWindowTheme_ = nullptr;
  PictureCache pictures_;
};

}  // namespace tarvex::win32
