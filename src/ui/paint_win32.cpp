// Pictures compiled into the executable and the painting of windowless
// elements (images, labels, lines) onto their container. A picture whose
// resource is missing draws nothing.
#include <algorithm>
#include <cmath>
#include <map>

#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

// A loaded picture, kept selected into memory DCs of its own for its whole
// life: painting is then only BitBlt between DCs. Selecting a bitmap into a
// DC realises the DC's font again, which under Wine reads the X resource
// files each time; the readouts repaint five times a second.
struct Picture {
  bool loaded = false;
  HBITMAP bitmap = nullptr;
  HICON icon = nullptr;
  SIZE size{0, 0};
  HDC colorDC = nullptr;  // the bitmap, or the icon's colour plane (black where transparent)
  HDC maskDC = nullptr;   // icons: the 1-bit mask (1 = transparent)
  HBITMAP iconColor = nullptr, iconMask = nullptr;
};

std::map<int, Picture>& Cache() {
  static std::map<int, Picture> cache;
  return cache;
}

// Natural size of an icon asset; its resource holds an image of exactly this size.
SIZE IconSize(Asset a) {
  const int id = static_cast<int>(a);
  if (id >= static_cast<int>(Asset::Digit0) && id <= static_cast<int>(Asset::Digit9)) return {6, 7};
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

const Picture& Load(Asset a) {
  auto& slot = Cache()[static_cast<int>(a)];
  if (slot.loaded) return slot;
  slot.loaded = true;
  if (a == Asset::None) return slot;
  HINSTANCE inst = TheLayer().instance;
  if (IsIconAsset(a)) {
    const SIZE s = IconSize(a);
    slot.icon = static_cast<HICON>(
        LoadImageW(inst, MAKEINTRESOURCEW(static_cast<int>(a)), IMAGE_ICON, s.cx, s.cy, LR_DEFAULTCOLOR));
    if (slot.icon) slot.size = s;
    ICONINFO ii{};
    if (slot.icon && GetIconInfo(slot.icon, &ii)) {
      slot.iconColor = ii.hbmColor;
      slot.iconMask = ii.hbmMask;
      if (slot.iconColor && slot.iconMask) {
        slot.colorDC = CreateCompatibleDC(nullptr);
        slot.maskDC = CreateCompatibleDC(nullptr);
        SelectObject(slot.colorDC, slot.iconColor);
        SelectObject(slot.maskDC, slot.iconMask);
      }
    }
  } else {
    slot.bitmap = static_cast<HBITMAP>(
        LoadImageW(inst, MAKEINTRESOURCEW(static_cast<int>(a)), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP bm{};
    if (slot.bitmap && GetObjectW(slot.bitmap, sizeof bm, &bm)) slot.size = {bm.bmWidth, std::abs(bm.bmHeight)};
    if (slot.bitmap) {
      slot.colorDC = CreateCompatibleDC(nullptr);
      SelectObject(slot.colorDC, slot.bitmap);
    }
  }
  return slot;
}

HGDIOBJ LabelFont() {
  const Layer& L = TheLayer();
  return L.labelFont ? static_cast<HGDIOBJ>(L.labelFont) : GetStockObject(DEFAULT_GUI_FONT);
}

bool IsWindowless(ui::Kind k) { return k == ui::Kind::Image || k == ui::Kind::Label || k == ui::Kind::Line; }

RECT ModelRect(const ui::Element& e) {
  RECT r;
  r.left = TwipsToPx(e.left);
  r.top = TwipsToPx(e.top);
  r.right = TwipsToPx(e.left + e.width);
  r.bottom = TwipsToPx(e.top + e.height);
  return r;
}

// Area the label's text takes when drawn from the label's top-left corner.
RECT LabelTextRect(const ui::Element& e) {
  RECT r = ModelRect(e);
  if (e.text.empty()) return r;
  std::wstring w = Widen(e.text);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, LabelFont());
  RECT t{r.left, r.top, r.left, r.top};
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &t, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  // A little slack to the right for overhanging glyphs.
  r.right = std::max(r.right, t.right + 2);
  r.bottom = std::max(r.bottom, t.bottom);
  return r;
}

void PaintLine(HDC dc, const ui::Element& e) {
  const int w = std::max(1, e.lineWidth);
  HPEN pen = CreatePen(PS_SOLID, w, ToColorRef(e.foreColor));
  HGDIOBJ old = SelectObject(dc, pen);
  const int x1 = TwipsToPx(e.left), y1 = TwipsToPx(e.top);
  const int x2 = TwipsToPx(e.x2), y2 = TwipsToPx(e.y2);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void PaintLabel(HDC dc, const ui::Element& e) {
  const RECT box = ModelRect(e);
  if (!e.transparent) {
    HBRUSH b = CreateSolidBrush(ToColorRef(e.backColor));
    FillRect(dc, &box, b);
    DeleteObject(b);
  }
  if (e.text.empty()) return;
  std::wstring w = Widen(e.text);
  HGDIOBJ old = SelectObject(dc, LabelFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(e.foreColor));
  RECT r = box;
  r.right = r.left + 4000;  // the label grows with its text
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_NOPREFIX | DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOCLIP);
  SelectObject(dc, old);
}

}  // namespace

bool IsIconAsset(Asset a) {
  const int id = static_cast<int>(a);
  return a == Asset::AppIcon || (id >= static_cast<int>(Asset::Digit0) && id <= static_cast<int>(Asset::Logo));
}

bool PictureSize(Asset a, SIZE& size) {
  const Picture& p = Load(a);
  if (!p.bitmap && !p.icon) return false;
  size = p.size;
  return true;
}

void DrawPicture(HDC dc, Asset a, int x, int y, int w, int h, bool stretch) {
  const Picture& p = Load(a);
  if (!stretch) {
    w = p.size.cx;
    h = p.size.cy;
  }
  if (w <= 0 || h <= 0) return;
  if (p.icon && p.maskDC && w == p.size.cx && h == p.size.cy) {
    // Colour image through the mask: AND the mask (transparent pixels keep
    // the background, opaque ones go black), then OR the colour plane.
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, x, y, w, h, p.maskDC, 0, 0, SRCAND);
    BitBlt(dc, x, y, w, h, p.colorDC, 0, 0, SRCPAINT);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
  } else if (p.icon) {
    DrawIconEx(dc, x, y, p.icon, w, h, 0, nullptr, DI_NORMAL);
  } else if (p.colorDC) {
    if (w == p.size.cx && h == p.size.cy) {
      BitBlt(dc, x, y, w, h, p.colorDC, 0, 0, SRCCOPY);
    } else {
      SetStretchBltMode(dc, COLORONCOLOR);  // nearest pixel: the frame tones stay exact
      StretchBlt(dc, x, y, w, h, p.colorDC, 0, 0, p.size.cx, p.size.cy, SRCCOPY);
    }
  }
}

RECT ElementRect(const ui::Element& e) {
  RECT r{0, 0, 0, 0};
  switch (e.kind) {
    case ui::Kind::Image: {
      r = ModelRect(e);
      SIZE s;
      if (!e.stretch && PictureSize(e.picture, s)) {
        r.right = r.left + s.cx;
        r.bottom = r.top + s.cy;
      }
      return r;
    }
    case ui::Kind::Label: return LabelTextRect(e);
    case ui::Kind::Line: {
      const int w = std::max(1, e.lineWidth);
      const int x1 = TwipsToPx(e.left), y1 = TwipsToPx(e.top);
      const int x2 = TwipsToPx(e.x2), y2 = TwipsToPx(e.y2);
      r.left = std::min(x1, x2) - w;
      r.top = std::min(y1, y2) - w;
      r.right = std::max(x1, x2) + w + 1;
      r.bottom = std::max(y1, y2) + w + 1;
      return r;
    }
    default: return r;
  }
}

void PaintContainer(HDC dc, const ui::Form& form, std::string_view container, const RECT& client,
                    FormWindow& fw) {
  if (container.empty()) {
    HBRUSH b = CreateSolidBrush(ToColorRef(form.backColor));
    FillRect(dc, &client, b);
    DeleteObject(b);
  } else if (const ui::Element* box = form.Find(container)) {
    HBRUSH b = CreateSolidBrush(ToColorRef(box->backColor));
    FillRect(dc, &client, b);
    DeleteObject(b);
    DrawPicture(dc, box->picture, 0, 0, 0, 0, false);
  }
  // Images and lines in creation order, labels above them.
  for (int pass = 0; pass < 2; ++pass) {
    for (const ui::Element& e : form.elements) {
      if (e.container != container || !IsWindowless(e.kind)) continue;
      if ((e.kind == ui::Kind::Label) != (pass == 1)) continue;
      const RECT r = ElementRect(e);
      fw.drawn[e.name] = r;
      RECT dummy;
      if (!IntersectRect(&dummy, &r, &client)) continue;
      if (e.kind == ui::Kind::Image) {
        DrawPicture(dc, e.picture, r.left, r.top, r.right - r.left, r.bottom - r.top, e.stretch);
      } else if (e.kind == ui::Kind::Line) {
        PaintLine(dc, e);
      } else {
        PaintLabel(dc, e);
      }
    }
  }
}

// The topmost windowless element under a point of a container that takes
// mouse events (labels above images; lines take none); "" when there is none.
std::string HitTestElement(const ui::Form& form, std::string_view container, POINT pt) {
  for (int pass = 1; pass >= 0; --pass) {
    for (auto it = form.elements.rbegin(); it != form.elements.rend(); ++it) {
      const ui::Element& e = *it;
      if (e.container != container) continue;
      const bool label = e.kind == ui::Kind::Label;
      if (!(label || e.kind == ui::Kind::Image) || label != (pass == 1)) continue;
      const RECT r = label ? ModelRect(e) : ElementRect(e);
      if (PtInRect(&r, pt)) return e.name;
    }
  }
  return {};
}

void ReleasePictures() {
  for (auto& [id, p] : Cache()) {
    if (p.colorDC) DeleteDC(p.colorDC);
    if (p.maskDC) DeleteDC(p.maskDC);
    if (p.iconColor) DeleteObject(p.iconColor);
    if (p.iconMask) DeleteObject(p.iconMask);
    if (p.icon) DestroyIcon(p.icon);
    if (p.bitmap) DeleteObject(p.bitmap);
  }
  Cache().clear();
}

}  // namespace tarvex::win32
