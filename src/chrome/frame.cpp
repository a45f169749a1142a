#include "chrome/frame.h"

#include <array>

#include "ui/element_names.h"

namespace tarvex::chrome {

void LayoutFrame(ui::FormView& view, ui::Form& form) {
  // lt, mt, rt, lm, rm, lb, mb, rb
  const auto& kPieces = ui::names::kFramePieces;
  std::array<ui::Element*, 8> e{};
  std::array<ui::Element, 8> before;
  for (std::size_t i = 0; i < kPieces.size(); ++i) {
    e[i] = form.Find(kPieces[i]);
    if (!e[i]) return;
    before[i] = *e[i];
  }
  ui::Element& lt = *e[0];
  ui::Element& mt = *e[1];
  ui::Element& rt = *e[2];
  ui::Element& lm = *e[3];
  ui::Element& rm = *e[4];
  ui::Element& lb = *e[5];
  ui::Element& mb = *e[6];
  ui::Element& rb = *e[7];
  const float W = form.clientWidth;
  const float H = form.clientHeight;

  lt.top = 0;
  lt.left = 0;
  lm.left = 0;
  mt.left = lt.width + lt.left;
  mt.width = W - rt.width - lt.width;
  rt.left = mt.width + mt.left;
  rt.top = 0;
  lm.top = lt.height;
  lm.height = H - lt.height - lb.height;
  lb.top = lm.height + lm.top;
  lb.left = 0;
  mb.top = lb.top;
  mb.left = lb.width + lb.left;
  mb.width = W - lb.width - rb.width;
  rb.top = lb.top;
  rb.left = mb.width + mb.left;
  rm.left = rt.left;
  rm.top = rt.height + rt.top;
  rm.height = H - rt.height - rb.height;

  // A window smaller than its corners would give negative edge lengths; an
  // edge then simply has no length.
  for (ui::Element* piece : {&mt, &mb}) piece->width = piece->width < 0 ? 0 : piece->width;
  for (ui::Element* piece : {&lm, &rm}) piece->height = piece->height < 0 ? 0 : piece->height;

  for (std::size_t i = 0; i < kPieces.size(); ++i) {
    const ui::Element& a = before[i];
    const ui::Element& b = *e[i];
    if (a.left != b.left || a.top != b.top || a.width != b.width || a.height != b.height)
      view.Invalidate(form.id, kPieces[i]);
  }
}

}  // namespace tarvex::chrome
