// The windows of the two forms, realised from their element models: the
// borderless form window, one flat child window per picture box, the
// controls of the settings window. Window events go to the core's App entry
// points; windowless elements are hit-tested here so that each mouse event
// reaches the element under the pointer.
#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>
#undef SubclassWindow  // a windowsx.h macro; basSubclass has a method of that name

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "shell/layer_win32.h"

namespace tarvex::win32 {
namespace {

constexpr wchar_t kFormClass[] = L"TarvexForm";
constexpr wchar_t kPictureClass[] = L"TarvexPictureBox";

// Which element a window stands for.
struct Binding {
  FormId form;
  std::string element;  // "" for the form window itself
};

std::map<HWND, Binding>& Bindings() {
  static std::map<HWND, Binding> b;
  return b;
}

const Binding* BindingOf(HWND hwnd) {
  auto it = Bindings().find(hwnd);
  return it == Bindings().end() ? nullptr : &it->second;
}

// Timers: one id per timer name and form; the wished state is kept so that a
// timer set before its window exists starts with the window.
struct TimerState {
  UINT_PTR id = 0;
  int interval = 0;
  bool enabled = false;
};
std::map<std::string, TimerState, std::less<>>& Timers(FormId form) {
  static std::map<std::string, TimerState, std::less<>> mainTimers, careTimers;
  return form == FormId::Main ? mainTimers : careTimers;
}

void ApplyTimer(HWND hwnd, const TimerState& t) {
  if (!hwnd) return;
  if (t.enabled && t.interval > 0)
    SetTimer(hwnd, t.id, static_cast<UINT>(t.interval), nullptr);
  else
    KillTimer(hwnd, t.id);
}

std::string TimerName(FormId form, UINT_PTR id) {
  for (const auto& [name, t] : Timers(form))
    if (t.id == id) return name;
  return {};
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

// Element under a point of a window: a windowless element of the container,
// else the window's own element ("" for the form's bare body).
std::string Target(const Binding& b, POINT pt) {
  const ui::Form* form = Model(b.form);
  if (!form) return b.element;
  std::string hit = HitTestElement(*form, b.element, pt);
  return hit.empty() ? b.element : hit;
}

void MouseEvent(HWND hwnd, const Binding& bind, UINT msg, WPARAM wParam, LPARAM lParam) {
  App* app = TheLayer().app;
  if (!app) return;
  const FormId form = bind.form;
  FormWindow& fw = Window(form);
  if (fw.inMoveLoop) return;
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const float x = static_cast<float>(pt.x * ui::kTwipsPerPixel);
  const float y = static_cast<float>(pt.y * ui::kTwipsPerPixel);
  const int shift = ShiftState();

  if (msg == WM_MOUSEMOVE) {
    const std::string target = fw.captured ? fw.captureElement : Target(bind, pt);
    app->OnMouseMove(form, target, HeldButtons(wParam), shift, x, y);
    return;
  }
  const int button = ButtonOf(msg);
  const bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
  if (down) {
    std::string target;
    if (!fw.captured) {
      target = Target(bind, pt);
      fw.captured = true;
      fw.captureWindow = hwnd;
      fw.captureElement = target;
      fw.pressedButtons = button;
      SetCapture(hwnd);
    } else {
      target = fw.captureElement;
      fw.pressedButtons |= button;
    }
    if (button == kLeftButton) {
      fw.leftPressed = true;
      fw.leftPressAt = pt;
      ClientToScreen(hwnd, &fw.leftPressAt);
    }
    app->OnMouseDown(form, target, button, shift, x, y);
    return;
  }
  if (button == kLeftButton) fw.leftPressed = false;
  // A release: the first one after a press ends the capture.
  if (fw.captured && (fw.pressedButtons & button)) {
    const std::string target = fw.captureElement;
    RECT client;
    GetClientRect(hwnd, &client);
    const bool over = PtInRect(&client, pt) && Target(bind, pt) == target;
    const bool leftClick = button == kLeftButton;
    fw.captured = false;
    fw.captureWindow = nullptr;
    fw.captureElement.clear();
    fw.pressedButtons = 0;
    ReleaseCapture();
    app->OnMouseUp(form, target, button, shift, x, y);
    // The window may be gone after the up (no further use of hwnd/fw here).
    if (leftClick && over) app->OnClick(form, target);
    return;
  }
  app->OnMouseUp(form, Target(bind, pt), button, shift, x, y);
}

bool IsMouseMessage(UINT msg) {
  switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return true;
    default: return false;
  }
}

// Double-buffered paint of a form or picture box and its windowless elements.
// One off-screen picture per window, kept from paint to paint (a new memory
// DC per paint costs a font realisation each time).
struct Offscreen {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  SIZE size{0, 0};
};
std::map<HWND, Offscreen>& Offscreens() {
  static std::map<HWND, Offscreen> o;
  return o;
}

void ReleaseOffscreen(HWND hwnd) {
  auto it = Offscreens().find(hwnd);
  if (it == Offscreens().end()) return;
  SelectObject(it->second.dc, it->second.oldBitmap);
  DeleteObject(it->second.bitmap);
  DeleteDC(it->second.dc);
  Offscreens().erase(it);
}

// Composes the container's whole picture off screen and copies the part
// `area` to dc, so nothing flickers.
void Compose(HWND hwnd, const Binding& bind, HDC dc, const RECT& area) {
  RECT client;
  GetClientRect(hwnd, &client);
  const ui::Form* form = Model(bind.form);
  if (!form || client.right <= 0 || client.bottom <= 0) return;
  Offscreen& off = Offscreens()[hwnd];
  if (!off.dc || off.size.cx != client.right || off.size.cy != client.bottom) {
    if (off.dc) ReleaseOffscreen(hwnd);
    Offscreen& fresh = Offscreens()[hwnd];
    fresh.dc = CreateCompatibleDC(dc);
    fresh.bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    fresh.oldBitmap = SelectObject(fresh.dc, fresh.bitmap);
    fresh.size = {client.right, client.bottom};
  }
  HDC mem = Offscreens()[hwnd].dc;
  PaintContainer(mem, *form, bind.element, client, Window(bind.form));
  BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, mem, area.left, area.top,
         SRCCOPY);
}

void Paint(HWND hwnd, const Binding& bind) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  Compose(hwnd, bind, dc, ps.rcPaint);
  EndPaint(hwnd, &ps);
}

// Changes made by a timer tick are drawn straight away at the end of the
// tick, through the window's own DC, instead of being queued as invalid
// areas for WM_PAINT: the readouts change five times a second, and the paint
// message round trip costs several times the drawing itself (under Wine it
// was most of the gadget's CPU). Areas exposed by other windows still come
// through WM_PAINT as usual.
struct TickPaint {
  bool active = false;
  std::map<HWND, RECT> pending;  // container window -> union of changed areas
};
TickPaint& TickPainting() {
  static TickPaint t;
  return t;
}

void DeferOrInvalidate(HWND container, const RECT& r) {
  TickPaint& t = TickPainting();
  if (!t.active) {
    InvalidateRect(container, &r, FALSE);
    return;
  }
  auto [it, fresh] = t.pending.try_emplace(container, r);
  if (!fresh) UnionRect(&it->second, &it->second, &r);
}

void FlushTickPaint() {
  TickPaint& t = TickPainting();
  t.active = false;
  std::map<HWND, RECT> pending;
  pending.swap(t.pending);
  for (const auto& [hwnd, area] : pending) {
    const Binding* bind = BindingOf(hwnd);
    if (!bind || !IsWindowVisible(hwnd)) continue;
    HDC dc = GetDC(hwnd);
    if (!dc) {
      InvalidateRect(hwnd, &area, FALSE);
      continue;
    }
    Compose(hwnd, *bind, dc, area);
    ReleaseDC(hwnd, dc);
  }
}

// Position and size of a picture box's child window: its bitmap's size for
// the flat visible ones, the design size for bordered (parked) ones.
RECT PictureBoxRect(const ui::Element& e) {
  RECT r{TwipsToPx(e.left), TwipsToPx(e.top), TwipsToPx(e.left + e.width), TwipsToPx(e.top + e.height)};
  SIZE s;
  if (!e.border && PictureSize(e.picture, s)) {
    r.right = r.left + s.cx;
    r.bottom = r.top + s.cy;
  }
  return r;
}

bool OutsideClient(const ui::Form& form, const ui::Element& e) {
  const int w = TwipsToPx(form.clientWidth), h = TwipsToPx(form.clientHeight);
  const int l = TwipsToPx(e.left), t = TwipsToPx(e.top);
  const int r = TwipsToPx(e.left + e.width), b = TwipsToPx(e.top + e.height);
  return r <= 0 || b <= 0 || l >= w || t >= h;
}

void SetHandCursorIfWanted(HWND hwnd, const Binding& bind, LPARAM lParam, bool& handled) {
  handled = false;
  if (LOWORD(lParam) != HTCLIENT) return;
  const ui::Form* form = Model(bind.form);
  if (!form) return;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(hwnd, &pt);
  const ui::Element* e = form->Find(Target(bind, pt));
  if (e && e->handPointer && TheLayer().handCursor) {
    SetCursor(TheLayer().handCursor);
    handled = true;
  }
}

void DeliverDrop(HWND hwnd, const Binding& bind, HDROP drop) {
  std::vector<std::string> paths;
  const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    const UINT len = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring w(len + 1, L'\0');
    DragQueryFileW(drop, i, w.data(), len + 1);
    w.resize(len);
    paths.push_back(Narrow(w));
  }
  DragFinish(drop);
  (void)hwnd;
  if (App* app = TheLayer().app) app->OnDrop(bind.form, bind.element, paths, n > 0);
}

// Another window took the mouse capture (Alt+Tab, the lock screen, a
// dialog, the drag's move loop): the press that set it will never see its
// release here, so it ends now as a release off the element would end it,
// with the element's mouse-up and no click.
void EndLostPress(HWND hwnd, const Binding& bind, HWND newOwner) {
  FormWindow& fw = Window(bind.form);
  if (!fw.captured || fw.captureWindow != hwnd || newOwner == hwnd) return;
  const std::string target = fw.captureElement;
  const int pressed = fw.pressedButtons;
  fw.captured = false;
  fw.captureWindow = nullptr;
  fw.captureElement.clear();
  fw.pressedButtons = 0;
  POINT pt{0, 0};
  GetCursorPos(&pt);
  ScreenToClient(hwnd, &pt);
  const int button = pressed & kLeftButton ? kLeftButton : pressed & kRightButton ? kRightButton : kMiddleButton;
  if (App* app = TheLayer().app)
    app->OnMouseUp(bind.form, target, button, ShiftState(), static_cast<float>(pt.x * ui::kTwipsPerPixel),
                   static_cast<float>(pt.y * ui::kTwipsPerPixel));
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const Binding* found = BindingOf(hwnd);
  if (!found) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const Binding bind = *found;  // copy: handlers may destroy the window
  if (IsMouseMessage(msg)) {
    MouseEvent(hwnd, bind, msg, wParam, lParam);
    return 0;
  }
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(hwnd, bind); return 0;
    case WM_SETCURSOR: {
      bool handled;
      SetHandCursorIfWanted(hwnd, bind, lParam, handled);
      if (handled) return TRUE;
      break;
    }
    case WM_CAPTURECHANGED: EndLostPress(hwnd, bind, reinterpret_cast<HWND>(lParam)); return 0;
    case WM_DROPFILES: DeliverDrop(hwnd, bind, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_NCDESTROY:
      ReleaseOffscreen(hwnd);
      Bindings().erase(hwnd);
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void ReportMove(HWND hwnd, FormId form) {
  FormWindow& fw = Window(form);
  RECT r;
  GetWindowRect(hwnd, &r);
  const POINT now{r.left, r.top};
  if (now.x == fw.knownPos.x && now.y == fw.knownPos.y) return;
  fw.knownPos = now;
  if (fw.coreMove) return;
  if (App* app = TheLayer().app) app->OnWindowMoved(form, now.x, now.y);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const Binding* found = BindingOf(hwnd);
  if (!found) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const Binding bind = *found;
  App* app = TheLayer().app;
  if (IsMouseMessage(msg)) {
    MouseEvent(hwnd, bind, msg, wParam, lParam);
    return 0;
  }
  if (bind.form == FormId::Main && TrayMessage(hwnd, msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(hwnd, bind); return 0;
    case WM_TIMER: {
      const std::string name = TimerName(bind.form, wParam);
      if (!name.empty() && app) {
        TickPainting().active = true;
        app->OnTimer(bind.form, name);
        FlushTickPaint();
      }
      return 0;
    }
    case WM_SETCURSOR: {
      if (reinterpret_cast<HWND>(wParam) == hwnd) {
        bool handled;
        SetHandCursorIfWanted(hwnd, bind, lParam, handled);
        if (handled) return TRUE;
      }
      break;
    }
    case WM_CAPTURECHANGED: EndLostPress(hwnd, bind, reinterpret_cast<HWND>(lParam)); return 0;
    case WM_WINDOWPOSCHANGED: {
      const auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (!(wp->flags & SWP_NOMOVE)) ReportMove(hwnd, bind.form);
      break;  // DefWindowProc sends WM_MOVE / WM_SIZE
    }
    case WM_COMMAND:
      if (CareCommand(hwnd, wParam, lParam)) return 0;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      LRESULT r;
      if (CareColor(msg, wParam, lParam, r)) return r;
      break;
    }
    case WM_CLOSE:
      // Alt+F4, a close request from another program: the core decides.
      if (app) app->OnCloseRequest(bind.form);
      return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      // The session really ends: run the same shutdown (and its save) as a close.
      if (wParam && bind.form == FormId::Main && app) app->OnCloseRequest(FormId::Main);
      return 0;
    case WM_DESTROY:
      for (const auto& [name, t] : Timers(bind.form)) KillTimer(hwnd, t.id);
      if (bind.form == FormId::Main) {
        TrayDelete();
        PostQuitMessage(0);
      }
      break;
    case WM_NCDESTROY: {
      ReleaseOffscreen(hwnd);
      Bindings().erase(hwnd);
      FormWindow& fw = Window(bind.form);
      if (fw.hwnd == hwnd) {
        fw.hwnd = nullptr;
        fw.children.clear();
        fw.drawn.clear();
        fw.captured = false;
        fw.knownPos = {INT32_MIN, INT32_MIN};
      }
      break;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreatePictureBox(HWND parent, FormId form, const ui::Element& e) {
  const RECT r = PictureBoxRect(e);
  DWORD ex = 0;
  if (e.border) ex |= WS_EX_CLIENTEDGE;
  if (e.acceptsDrops) ex |= WS_EX_ACCEPTFILES;
  HWND h = CreateWindowExW(ex, kPictureClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                           r.left, r.top, r.right - r.left, r.bottom - r.top, parent, nullptr,
                           TheLayer().instance, nullptr);
  if (h) Bindings()[h] = Binding{form, e.name};
  if (h && e.acceptsDrops) AllowDropsFromShell(h);
  return h;
}

}  // namespace

bool RegisterWindowClasses(HINSTANCE instance) {
  Layer& L = TheLayer();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FormProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kFormClass;
  wc.hIcon = L.appIconLarge;
  wc.hIconSm = L.appIconSmall;
  if (!RegisterClassExW(&wc)) return false;
  WNDCLASSEXW pc{};
  pc.cbSize = sizeof pc;
  pc.lpfnWndProc = PictureProc;
  pc.hInstance = instance;
  pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  pc.lpszClassName = kPictureClass;
  return RegisterClassExW(&pc) != 0;
}

HWND CreateFormWindow(FormId formId) {
  FormWindow& fw = Window(formId);
  if (fw.hwnd) return fw.hwnd;
  const ui::Form* form = Model(formId);
  if (!form) return nullptr;
  DWORD ex = form->showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
  const int w = TwipsToPx(form->clientWidth), h = TwipsToPx(form->clientHeight);
  HWND owner = formId == FormId::Care ? TheLayer().main.hwnd : nullptr;
  std::wstring caption = Widen(form->caption);
  HWND hwnd = CreateWindowExW(ex, kFormClass, caption.c_str(), WS_POPUP | WS_CLIPCHILDREN,
                              TwipsToPx(form->left), TwipsToPx(form->top), w, h, owner, nullptr,
                              TheLayer().instance, nullptr);
  if (!hwnd) return nullptr;
  Bindings()[hwnd] = Binding{formId, ""};
  fw.hwnd = hwnd;
  if (formId == FormId::Main) AllowShellRestartNotice(hwnd);
  RECT wr;
  GetWindowRect(hwnd, &wr);
  fw.knownPos = {wr.left, wr.top};
  if (form->icon == Asset::AppIcon && TheLayer().appIconLarge) {
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(TheLayer().appIconLarge));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(TheLayer().appIconSmall));
  }
  // Picture boxes, containers before their contents (creation order).
  for (const ui::Element& e : form->elements) {
    if (e.kind != ui::Kind::PictureBox) continue;
    HWND parent = hwnd;
    if (!e.container.empty()) {
      auto it = fw.children.find(e.container);
      if (it == fw.children.end()) continue;
      parent = it->second;
    }
    if (HWND child = CreatePictureBox(parent, formId, e)) fw.children[e.name] = child;
  }
  // Standard controls; parked ones are left out (they are never seen and
  // must not take the keyboard focus).
  if (formId == FormId::Care) CreateCareControls(hwnd, *form);
  for (auto& [name, t] : Timers(formId)) ApplyTimer(hwnd, t);
  return hwnd;
}

bool IsParked(const ui::Form& form, const ui::Element& e) { return OutsideClient(form, e); }

void DestroyFormWindow(FormId form) {
  FormWindow& fw = Window(form);
  if (fw.hwnd) DestroyWindow(fw.hwnd);
}

void InvalidateElement(FormId formId, std::string_view element) {
  FormWindow& fw = Window(formId);
  const ui::Form* form = Model(formId);
  if (!fw.hwnd || !form) return;
  if (element.empty()) {
    InvalidateRect(fw.hwnd, nullptr, FALSE);
    return;
  }
  const ui::Element* e = form->Find(element);
  if (!e) return;
  auto child = fw.children.find(element);
  if (child != fw.children.end()) {
    HWND h = child->second;
    if (e->kind == ui::Kind::PictureBox) {
      const RECT want = PictureBoxRect(*e);
      RECT now;
      GetWindowRect(h, &now);
      MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&now), 2);
      if (!EqualRect(&want, &now))
        SetWindowPos(h, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(h, nullptr, FALSE);
    } else {
      std::wstring text = Widen(e->text);
      wchar_t cur[256];
      GetWindowTextW(h, cur, 256);
      if (text != cur) SetWindowTextW(h, text.c_str());
      EnableWindow(h, e->enabled);
    }
    return;
  }
  HWND container = fw.hwnd;
  if (!e->container.empty()) {
    auto it = fw.children.find(e->container);
    if (it == fw.children.end()) return;
    container = it->second;
  }
  const RECT now = ElementRect(*e);
  DeferOrInvalidate(container, now);
  auto old = fw.drawn.find(element);
  if (old != fw.drawn.end() && !EqualRect(&old->second, &now)) DeferOrInvalidate(container, old->second);
}

HWND ElementWindow(FormId form, std::string_view element) {
  FormWindow& fw = Window(form);
  auto it = fw.children.find(element);
  return it == fw.children.end() ? nullptr : it->second;
}

void SetFormTimer(FormId form, std::string_view timer, int interval, bool enabled) {
  auto& timers = Timers(form);
  auto it = timers.find(timer);
  if (it == timers.end()) {
    TimerState t;
    t.id = timers.size() + 1;
    it = timers.emplace(std::string(timer), t).first;
  }
  it->second.interval = interval;
  it->second.enabled = enabled;
  ApplyTimer(Window(form).hwnd, it->second);
}

void MoveFormWindow(FormId form, int leftPx, int topPx) {
  FormWindow& fw = Window(form);
  if (!fw.hwnd) return;
  const bool was = fw.coreMove;
  fw.coreMove = true;
  SetWindowPos(fw.hwnd, nullptr, leftPx, topPx, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  fw.coreMove = was;
  RECT r;
  GetWindowRect(fw.hwnd, &r);
  fw.knownPos = {r.left, r.top};
}

void StartCaptionDrag(FormId form) {
  FormWindow& fw = Window(form);
  HWND hwnd = fw.hwnd;
  if (!hwnd) return;
  // The drag starts at the first mouse move after the press, when the pointer
  // has already left the press point; the move loop then follows the pointer
  // from where it is now. Shift the window by that distance first, so that
  // it stays under the point that was grabbed.
  POINT now;
  if (fw.leftPressed && (GetKeyState(VK_LBUTTON) < 0) && GetCursorPos(&now)) {
    const int dx = now.x - fw.leftPressAt.x, dy = now.y - fw.leftPressAt.y;
    if (dx != 0 || dy != 0) {
      RECT r;
      GetWindowRect(hwnd, &r);
      SetWindowPos(hwnd, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  fw.leftPressed = false;
  if (!IsWindow(hwnd) || fw.inMoveLoop) return;
  fw.inMoveLoop = true;
  SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  Window(form).inMoveLoop = false;
}

void DispatchOne(MSG& msg) {
  HWND care = TheLayer().care.hwnd;
  if (care && IsWindowVisible(care) && IsDialogMessageW(care, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int RunMessageLoop() {
  MSG msg;
  BOOL r;
  while ((r = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (r == -1) return 1;
    DispatchOne(msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace tarvex::win32
