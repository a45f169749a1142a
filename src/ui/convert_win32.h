// Conversions between the element model's values and the Win32 ones: UTF-8
// text and UTF-16, 0x00RRGGBB colours and COLORREF, twips and the pixels of
// a window's client area.
#pragma once

#include "ui/handles_win32.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "base/text_win32.h"
#include "ui/elements.h"

namespace tarvex::win32 {

// Colour of the model (0x00RRGGBB) as a GDI COLORREF (0x00BBGGRR).
COLORREF ToColorRef(std::uint32_t rgb);

// The skin's geometry in a window's client area: twips to pixels at 15 twips
// per pixel times an integer scale factor (1 at 96 dpi). The one place where
// the skin's twips become pixels; window positions on the screen stay at 15
// twips per pixel (ui::TwipsToPx).
struct Scale {
  int factor = 1;

  int Px(float twips) const { return ui::TwipsToPx(twips) * factor; }
  float Twips(int px) const { return static_cast<float>(px) * ui::kTwipsPerPixel / factor; }
  // The element's own rectangle, relative to its container.
  RECT Rect(const ui::Element& e) const {
    return RECT{Px(e.left), Px(e.top), Px(e.left + e.width), Px(e.top + e.height)};
  }
};

}  // namespace tarvex::win32
