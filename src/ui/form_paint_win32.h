// How a form's windows get their pixels: each window composes its whole
// picture off screen and copies the needed part, so nothing flickers; and the
// changes a timer tick makes are drawn at the end of the tick.
#pragma once

#include "ui/handles_win32.h"

#include <functional>
#include <map>

namespace tarvex::win32 {

// The off-screen picture of one window, kept from paint to paint (a new
// memory DC per paint costs a font realisation each time).
class OffscreenBuffer {
 public:
  using PaintFn = std::function<void(HDC offscreen)>;
  // Sizes the buffer to the client area, lets paint draw the whole of it,
  // then copies `area` of it to dc.
  void Compose(HDC dc, const RECT& client, const RECT& area, const PaintFn& paint);
  void Release();

 private:
  // Released in reverse order: the selection, then the bitmap, then the DC.
  MemoryDC dc_;
  Bitmap bitmap_;
  Selection selected_;
  SIZE size_{0, 0};
};

// Changes made by a timer tick are drawn straight away at the end of the
// tick, through the window's own DC, instead of being queued as invalid
// areas for WM_PAINT: the readouts change five times a second, and the paint
// message round trip costs several times the drawing itself (under Wine it
// was most of the gadget's CPU). Areas exposed by other windows still come
// through WM_PAINT as usual.
class TickPainter {
 public:
  using DrawFn = std::function<void(HWND window, HDC dc, const RECT& area)>;

  void Begin() { active_ = true; }
  // An area of a window changed: kept for End() during a tick, otherwise
  // invalidated for WM_PAINT.
  void Changed(HWND window, const RECT& area);
  // Draws each window's changed area (the union of its changes) with draw;
  // a window that cannot give a DC gets its area invalidated instead.
  void End(const DrawFn& draw);
  // The window is going away: nothing of it is drawn any more.
  void Forget(HWND window) { pending_.erase(window); }

 private:
  bool active_ = false;
  std::map<HWND, RECT> pending_;
};

}  // namespace tarvex::win32
