// The pictures compiled into the executable, loaded on first use and kept,
// each selected into memory DCs of its own for its whole life: painting is
// then only BitBlt between DCs. (Selecting a bitmap into a DC realises the
// DC's font again, which under Wine reads the X resource files each time; the
// readouts repaint five times a second.) A picture whose resource is missing
// draws nothing.
#pragma once

#include "ui/handles_win32.h"

#include <map>

#include "assets/asset_ids.h"

namespace tarvex::win32 {

class PictureCache {
 public:
  explicit PictureCache(HINSTANCE instance) : instance_(instance) {}
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;

  // Natural size of a picture in pixels; false when the resource is missing.
  bool Size(Asset a, SIZE& size);
  // Draws a picture at (x, y), scaled to (w, h) when stretch is set (nearest
  // pixel, so that the frame's tones stay exact).
  void Draw(HDC dc, Asset a, int x, int y, int w, int h, bool stretch);

 private:
  struct Picture {
    // Released in reverse order: the DCs before the bitmaps selected into them.
    Icon icon;
    Bitmap bitmap;
    Bitmap iconColor, iconMask;  // the icon's planes
    MemoryDC colorDC;            // the bitmap, or the icon's colour plane (black where transparent)
    MemoryDC maskDC;             // icons: the 1-bit mask (1 = transparent)
    SIZE size{0, 0};
  };
  const Picture& Load(Asset a);

  HINSTANCE instance_;
  std::map<Asset, Picture> pictures_;
};

}  // namespace tarvex::win32
