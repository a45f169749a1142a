#include "ui/mouse_capture_win32.h"

#include "ui/form_window_win32.h"

namespace tarvex::win32 {
namespace {

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

int ShiftState() {
  int s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= 1;
  if (GetKeyState(VK_CONTROL) < 0) s |= 2;
  if (GetKeyState(VK_MENU) < 0) s |= 4;
  return s;
}

int HeldButtons(WPARAM wParam) {
  int b = 0;
  if (wParam & MK_LBUTTON) b |= kLeftButton;
  if (wParam & MK_RBUTTON) b |= kRightButton;
  if (wParam & MK_MBUTTON) b |= kMiddleButton;
  return b;
}

int ButtonOf(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return kLeftButton;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return kRightButton;
    default: return kMiddleButton;
  }
}

}  // namespace

void MouseCapture::OnMouse(Surface& s, UINT msg, WPARAM wParam, LPARAM lParam) {
  ui::FormEvents* events = window_.events();
  if (!events || inMoveLoop_) return;
  const FormId form = window_.id();
  const Scale& scale = window_.scale();
  const POINT pt = PointOf(lParam);

  if (msg == WM_MOUSEMOVE) {
    const std::string target = captured_ ? captureElement_ : window_.TargetAt(s, pt);
    events->OnMouseMove(form, target, HeldButtons(wParam), ShiftState(), scale.Twips(pt.x), scale.Twips(pt.y));
    return;
  }
  const int button = ButtonOf(msg);
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
    if (!captured_) {
      captured_ = true;
      captureWindow_ = s.hwnd;
      captureElement_ = window_.TargetAt(s, pt);
      pressedButtons_ = button;
      SetCapture(s.hwnd);
    } else {
      pressedButtons_ |= button;
    }
    if (button == kLeftButton) {
      leftPressed_ = true;
      leftPressAt_ = pt;
      ClientToScreen(s.hwnd, &leftPressAt_);
    }
    const std::string target = captureElement_;
    events->OnMouseDown(form, target, button, ShiftState(), scale.Twips(pt.x), scale.Twips(pt.y));
    return;
  }
  if (button == kLeftButton) leftPressed_ = false;
  if (captured_ && (pressedButtons_ & button)) {
    // The first release after a press ends the capture; a left release over
    // the pressed element is a click.
    RECT client;
    GetClientRect(s.hwnd, &client);
    const std::string target = captureElement_;
    const bool click = button == kLeftButton && PtInRect(&client, pt) && window_.TargetAt(s, pt) == target;
    EndPress(button, pt, true);
    // The window may be gone after the element's handlers: only the copies here are used.
    if (click) events->OnClick(form, target);
    return;
  }
  events->OnMouseUp(form, window_.TargetAt(s, pt), button, ShiftState(), scale.Twips(pt.x), scale.Twips(pt.y));
}

// Another window took the mouse capture (Alt+Tab, the lock screen, a dialog,
// the drag's move loop): the press that set it will never see its release
// here, so it ends now as a release off the element would end it, with the
// element's mouse-up and no click.
void MouseCapture::OnCaptureChanged(Surface& s, HWND newOwner) {
  if (!captured_ || captureWindow_ != s.hwnd || newOwner == s.hwnd) return;
  const int button = pressedButtons_ & kLeftButton    ? kLeftButton
                     : pressedButtons_ & kRightButton ? kRightButton
                                                      : kMiddleButton;
  POINT pt{0, 0};
  GetCursorPos(&pt);
  ScreenToClient(s.hwnd, &pt);
  EndPress(button, pt, false);
}

void MouseCapture::EndPress(int button, POINT pt, bool releaseCapture) {
  const std::string target = captureElement_;
  Reset();
  if (releaseCapture) ReleaseCapture();
  if (ui::FormEvents* events = window_.events()) {
    const Scale& scale = window_.scale();
    events->OnMouseUp(window_.id(), target, button, ShiftState(), scale.Twips(pt.x), scale.Twips(pt.y));
  }
}

void MouseCapture::Drag(HWND window) {
  ReleaseCapture();
  if (!window) return;
  // The drag starts at the first mouse move after the press, when the pointer
  // has already left the press point; the move loop then follows the pointer
  // from where it is now. Shift the window by that distance first, so that
  // it stays under the point that was grabbed.
  POINT now;
  if (leftPressed_ && (GetKeyState(VK_LBUTTON) < 0) && GetCursorPos(&now)) {
    const int dx = now.x - leftPressAt_.x, dy = now.y - leftPressAt_.y;
    if (dx != 0 || dy != 0) {
      RECT r;
      GetWindowRect(window, &r);
      SetWindowPos(window, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  leftPressed_ = false;
  if (!IsWindow(window) || inMoveLoop_) return;
  inMoveLoop_ = true;
  SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  inMoveLoop_ = false;
}

void MouseCapture::Reset() {
  captured_ = false;
  captureWindow_ = nullptr;
  captureElement_.clear();
  pressedButtons_ = 0;
}

}  // namespace tarvex::win32
