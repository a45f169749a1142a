#include "ui/form_paint_win32.h"

namespace tarvex::win32 {

void OffscreenBuffer::Compose(HDC dc, const RECT& client, const RECT& area, const PaintFn& paint) {
  if (!dc_ || size_.cx != client.right || size_.cy != client.bottom) {
    Release();
    dc_.reset(CreateCompatibleDC(dc));
    bitmap_.reset(CreateCompatibleBitmap(dc, client.right, client.bottom));
    selected_ = Selection(dc_.get(), bitmap_.get());
    size_ = {client.right, client.bottom};
  }
  paint(dc_.get());
  BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, dc_.get(), area.left, area.top,
         SRCCOPY);
}

void OffscreenBuffer::Release() {
  selected_.reset();
  bitmap_.reset();
  dc_.reset();
  size_ = {0, 0};
}

void TickPainter::Changed(HWND window, const RECT& area) {
  if (!active_) {
    InvalidateRect(window, &area, FALSE);
    return;
  }
  auto [it, fresh] = pending_.try_emplace(window, area);
  if (!fresh) UnionRect(&it->second, &it->second, &area);
}

void TickPainter::End(const DrawFn& draw) {
  active_ = false;
  std::map<HWND, RECT> pending;
  pending.swap(pending_);
  for (const auto& [window, area] : pending) {
    if (!IsWindowVisible(window)) continue;
    const ClientDC dc(window);
    if (!dc) {
      InvalidateRect(window, &area, FALSE);
      continue;
    }
    draw(window, dc.get(), area);
  }
}

}  // namespace tarvex::win32
