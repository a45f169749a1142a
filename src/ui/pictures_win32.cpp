#include "ui/pictures_win32.h"

#include <cstdlib>

namespace tarvex::win32 {
namespace {

bool IsDigit(Asset a) { return a >= Asset::Digit0 && a <= Asset::Digit9; }

bool IsIconAsset(Asset a) { return a == Asset::AppIcon || (a >= Asset::Digit0 && a <= Asset::Logo); }

// Natural size of an icon asset; its resource holds an image of exactly this size.
SIZE IconSize(Asset a) {
  if (IsDigit(a)) return {6, 7};
  switch (a) {
    case Asset::Dot:
    case Asset::Slash:
    case Asset::Colon: return {3, 7};
    case Asset::LevelTotal:
    case Asset::LevelFree: return {20, 7};
    case Asset::Logo: return {16, 88};
    case Asset::AppIcon: return {32, 32};
    default: return {0, 0};
  }
}

}  // namespace

const PictureCache::Picture& PictureCache::Load(Asset a) {
  auto [it, fresh] = pictures_.try_emplace(a);
  Picture& p = it->second;
  if (!fresh || a == Asset::None) return p;
  const auto id = MAKEINTRESOURCEW(static_cast<int>(a));
  if (IsIconAsset(a)) {
    const SIZE s = IconSize(a);
    p.icon.reset(static_cast<HICON>(LoadImageW(instance_, id, IMAGE_ICON, s.cx, s.cy, LR_DEFAULTCOLOR)));
    if (!p.icon) return p;
    p.size = s;
    ICONINFO ii{};
    if (!GetIconInfo(p.icon.get(), &ii)) return p;
    p.iconColor.reset(ii.hbmColor);
    p.iconMask.reset(ii.hbmMask);
    if (p.iconColor && p.iconMask) {
      p.colorDC.reset(CreateCompatibleDC(nullptr));
      p.maskDC.reset(CreateCompatibleDC(nullptr));
      SelectObject(p.colorDC.get(), p.iconColor.get());
      SelectObject(p.maskDC.get(), p.iconMask.get());
    }
  } else {
    p.bitmap.reset(static_cast<HBITMAP>(LoadImageW(instance_, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!p.bitmap) return p;
    BITMAP bm{};
    if (GetObjectW(p.bitmap.get(), sizeof bm, &bm)) p.size = {bm.bmWidth, std::abs(bm.bmHeight)};
    p.colorDC.reset(CreateCompatibleDC(nullptr));
    SelectObject(p.colorDC.get(), p.bitmap.get());
  }
  return p;
}

bool PictureCache::Size(Asset a, SIZE& size) {
  const Picture& p = Load(a);
  if (!p.bitmap && !p.icon) return false;
  size = p.size;
  return true;
}

void PictureCache::Draw(HDC dc, Asset a, int x, int y, int w, int h, bool stretch) {
  const Picture& p = Load(a);
  if (!stretch) {
    w = p.size.cx;
    h = p.size.cy;
  }
  if (w <= 0 || h <= 0) return;
  const bool natural = w == p.size.cx && h == p.size.cy;
  if (p.icon && p.maskDC && natural) {
    // Colour image through the mask: AND the mask (transparent pixels keep
    // the background, opaque ones go black), then OR the colour plane.
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, x, y, w, h, p.maskDC.get(), 0, 0, SRCAND);
    BitBlt(dc, x, y, w, h, p.colorDC.get(), 0, 0, SRCPAINT);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
  } else if (p.icon) {
    DrawIconEx(dc, x, y, p.icon.get(), w, h, 0, nullptr, DI_NORMAL);
  } else if (p.colorDC) {
    if (natural) {
      BitBlt(dc, x, y, w, h, p.colorDC.get(), 0, 0, SRCCOPY);
    } else {
      SetStretchBltMode(dc, COLORONCOLOR);
      StretchBlt(dc, x, y, w, h, p.colorDC.get(), 0, 0, p.size.cx, p.size.cy, SRCCOPY);
    }
  }
}

}  // namespace tarvex::win32
