#include "ui/paint_win32.h"

#include <algorithm>

namespace tarvex::win32 {
namespace {

bool IsWindowless(ui::Kind k) { return k == ui::Kind::Image || k == ui::Kind::Label || k == ui::Kind::Line; }

void FillBackground(HDC dc, const RECT& area, std::uint32_t rgb) {
  const Brush brush(CreateSolidBrush(ToColorRef(rgb)));
  FillRect(dc, &area, brush.get());
}

}  // namespace

ElementPainter::ElementPainter(PictureCache& pictures, HFONT labelFont, const Scale& scale)
    : pictures_(pictures),
      labelFont_(labelFont ? static_cast<HGDIOBJ>(labelFont) : GetStockObject(DEFAULT_GUI_FONT)),
      scale_(scale) {}

// Area the label's text takes when drawn from the label's top-left corner.
RECT ElementPainter::LabelTextRect(const ui::Element& e) {
  RECT r = scale_.Rect(e);
  if (e.text.empty()) return r;
  const std::wstring w = Widen(e.text);
  RECT t{r.left, r.top, r.left, r.top};
  {
    const ClientDC screen(nullptr);
    const Selection font(screen.get(), labelFont_);
    DrawTextW(screen.get(), w.c_str(), static_cast<int>(w.size()), &t, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
  }
  // A little slack to the right for overhanging glyphs.
  r.right = std::max(r.right, t.right + 2);
  r.bottom = std::max(r.bottom, t.bottom);
  return r;
}

void ElementPainter::PaintLine(HDC dc, const ui::Element& e) {
  const Pen pen(CreatePen(PS_SOLID, std::max(1, e.lineWidth), ToColorRef(e.foreColor)));
  const Selection selected(dc, pen.get());
  MoveToEx(dc, scale_.Px(e.left), scale_.Px(e.top), nullptr);
  LineTo(dc, scale_.Px(e.x2), scale_.Px(e.y2));
}

void ElementPainter::PaintLabel(HDC dc, const ui::Element& e) {
  const RECT box = scale_.Rect(e);
  if (!e.transparent) FillBackground(dc, box, e.backColor);
  if (e.text.empty()) return;
  const std::wstring w = Widen(e.text);
  const Selection font(dc, labelFont_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(e.foreColor));
  RECT r = box;
  r.right = r.left + 4000;  // the label grows with its text
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_NOPREFIX | DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOCLIP);
}

RECT ElementPainter::Area(const ui::Element& e) {
  switch (e.kind) {
    case ui::Kind::Image: {
      RECT r = scale_.Rect(e);
      SIZE s;
      if (!e.stretch && pictures_.Size(e.picture, s)) {
        r.right = r.left + s.cx;
        r.bottom = r.top + s.cy;
      }
      return r;
    }
    case ui::Kind::Label: return LabelTextRect(e);
    case ui::Kind::Line: {
      const int w = std::max(1, e.lineWidth);
      const int x1 = scale_.Px(e.left), y1 = scale_.Px(e.top);
      const int x2 = scale_.Px(e.x2), y2 = scale_.Px(e.y2);
      return RECT{std::min(x1, x2) - w, std::min(y1, y2) - w, std::max(x1, x2) + w + 1, std::max(y1, y2) + w + 1};
    }
    default: return RECT{0, 0, 0, 0};
  }
}

RECT ElementPainter::PictureBoxRect(const ui::Element& e) {
  RECT r = scale_.Rect(e);
  SIZE s;
  if (!e.border && pictures_.Size(e.picture, s)) {
    r.right = r.left + s.cx;
    r.bottom = r.top + s.cy;
  }
  return r;
}

void ElementPainter::PaintContainer(HDC dc, const ui::Form& form, std::string_view container, const RECT& client,
                                    DrawnAreas& drawn) {
  if (container.empty()) {
    FillBackground(dc, client, form.backColor);
  } else if (const ui::Element* box = form.Find(container)) {
    FillBackground(dc, client, box->backColor);
    pictures_.Draw(dc, box->picture, 0, 0, 0, 0, false);
  }
  // Images and lines in creation order, labels above them.
  for (int pass = 0; pass < 2; ++pass) {
    for (const ui::Element& e : form.elements) {
      if (e.container != container || !IsWindowless(e.kind)) continue;
      if ((e.kind == ui::Kind::Label) != (pass == 1)) continue;
      const RECT r = Area(e);
      drawn[e.name] = r;
      RECT visible;
      if (!IntersectRect(&visible, &r, &client)) continue;
      if (e.kind == ui::Kind::Image)
        pictures_.Draw(dc, e.picture, r.left, r.top, r.right - r.left, r.bottom - r.top, e.stretch);
      else if (e.kind == ui::Kind::Line)
        PaintLine(dc, e);
      else
        PaintLabel(dc, e);
    }
  }
}

const ui::Element* ElementPainter::HitTest(const ui::Form& form, std::string_view container, POINT pt) {
  for (int pass = 1; pass >= 0; --pass) {
    for (auto it = form.elements.rbegin(); it != form.elements.rend(); ++it) {
      const ui::Element& e = *it;
      if (e.container != container) continue;
      const bool label = e.kind == ui::Kind::Label;
      if (!(label || e.kind == ui::Kind::Image) || label != (pass == 1)) continue;
      const RECT r = label ? scale_.Rect(e) : Area(e);
      if (PtInRect(&r, pt)) return &e;
    }
  }
  return nullptr;
}

}  // namespace tarvex::win32
