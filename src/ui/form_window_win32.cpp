#include "ui/form_window_win32.h"

#include <vector>

#include "ui/message_filter_win32.h"
#include "ui/message_loop_win32.h"

namespace tarvex::win32 {
namespace {

constexpr wchar_t kFormClass[] = L"TarvexForm";
constexpr wchar_t kPictureClass[] = L"TarvexPictureBox";

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

// The object behind a window of ours: set from the creation parameters at
// WM_NCCREATE, cleared at WM_NCDESTROY.
template <typename T>
T* ObjectOf(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* object = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

FormWindow::FormWindow(ui::FormEvents& events, Resources& resources, FormId id)
    : events_(&events),
      resources_(resources),
      id_(id),
      painter_(resources.pictures(), resources.labelFont(), scale_),
      body_(*this, ""),
      mouse_(*this) {}

FormWindow::~FormWindow() { Destroy(); }

WindowClasses FormWindow::RegisterClasses(const Resources& resources) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FormProc;
  wc.hInstance = resources.instance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kFormClass;
  wc.hIcon = resources.appIconLarge();
  wc.hIconSm = resources.appIconSmall();
  WNDCLASSEXW pc{};
  pc.cbSize = sizeof pc;
  pc.lpfnWndProc = PictureBoxProc;
  pc.hInstance = resources.instance();
  pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  pc.lpszClassName = kPictureClass;
  return WindowClasses{WindowClass(wc), WindowClass(pc)};
}

FormWindow* FormWindow::FromHandle(HWND window) {
  // The class's procedure tells a form window from any other, also while the
  // window's own procedure is exchanged by the message hook.
  if (!window || GetClassLongPtrW(window, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&FormProc)) return nullptr;
  return reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND FormWindow::Create(HWND owner) {
  if (body_.hwnd) return body_.hwnd;
  const ui::Form* form = Model();
  if (!form) return nullptr;
  boxes_.clear();
  const DWORD ex = form->showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
  const std::wstring caption = Widen(form->caption);
  if (!CreateWindowExW(ex, kFormClass, caption.c_str(), WS_POPUP | WS_CLIPCHILDREN, ui::TwipsToPx(form->left),
                       ui::TwipsToPx(form->top), scale_.Px(form->clientWidth), scale_.Px(form->clientHeight),
                       owner, nullptr, resources_.instance(), this))
    return nullptr;
  RECT wr;
  GetWindowRect(body_.hwnd, &wr);
  knownPos_ = {wr.left, wr.top};
  if (form->icon == Asset::AppIcon && resources_.appIconLarge()) {
    SendMessageW(body_.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(resources_.appIconLarge()));
    SendMessageW(body_.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(resources_.appIconSmall()));
  }
  // Picture boxes, containers before their contents (creation order).
  for (const ui::Element& e : form->elements) {
    if (e.kind != ui::Kind::PictureBox) continue;
    HWND parent = e.container.empty() ? body_.hwnd : Child(e.container);
    if (parent) CreatePictureBox(parent, e);
  }
  controls_.Create(body_.hwnd, *form, scale_, resources_);
  OnCreated();
  for (const auto& [name, t] : timers_) ApplyTimer(t);
  return body_.hwnd;
}

void FormWindow::CreatePictureBox(HWND parent, const ui::Element& e) {
  const RECT r = painter_.PictureBoxRect(e);
  DWORD ex = 0;
  if (e.border) ex |= WS_EX_CLIENTEDGE;
  if (e.acceptsDrops) ex |= WS_EX_ACCEPTFILES;
  auto box = std::make_unique<Surface>(*this, e.name);
  if (!CreateWindowExW(ex, kPictureClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, r.left,
                       r.top, r.right - r.left, r.bottom - r.top, parent, nullptr, resources_.instance(), box.get()))
    return;
  if (e.acceptsDrops) AllowDropsFromShell(box->hwnd);
  boxes_.emplace(e.name, std::move(box));
}

void FormWindow::Destroy() {
  if (!body_.hwnd) return;
  if (modal_) Hide();
  DestroyWindow(body_.hwnd);
}

HWND FormWindow::Child(std::string_view element) const {
  if (auto it = boxes_.find(element); it != boxes_.end()) return it->second->hwnd;
  return controls_.Find(element);
}

void FormWindow::ShowModal(HWND owner) {
  HWND self = body_.hwnd ? body_.hwnd : Create(owner);
  if (!self || modal_) return;
  modal_ = true;
  modalOwner_ = owner;
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(self, SW_SHOW);
  SetForegroundWindow(self);
  if (HWND first = GetNextDlgTabItem(self, nullptr, FALSE)) SetFocus(first);
  if (events_) events_->OnResize(id_);
  RunMessageLoop([self] { return IsWindow(self) && IsWindowVisible(self); });
  modal_ = false;
  modalOwner_ = nullptr;
  if (owner && IsWindow(owner)) {
    EnableWindow(owner, TRUE);
    SetForegroundWindow(owner);
  }
}

void FormWindow::Hide() {
  if (!body_.hwnd) return;
  if (modal_ && modalOwner_) EnableWindow(modalOwner_, TRUE);
  ShowWindow(body_.hwnd, SW_HIDE);
}

Surface* FormWindow::SurfaceOf(HWND window) {
  if (window == body_.hwnd) return &body_;
  for (auto& [name, box] : boxes_)
    if (box->hwnd == window) return box.get();
  return nullptr;
}

std::string FormWindow::TargetAt(const Surface& surface, POINT pt) {
  const ui::Form* form = Model();
  const ui::Element* hit = form ? painter_.HitTest(*form, surface.container, pt) : nullptr;
  return hit ? hit->name : surface.container;
}

// ---- changes from the core ------------------------------------------------

void FormWindow::Invalidate(std::string_view element) {
  const ui::Form* form = Model();
  if (!body_.hwnd || !form) return;
  if (element.empty()) {
    InvalidateRect(body_.hwnd, nullptr, FALSE);
    return;
  }
  const ui::Element* e = form->Find(element);
  if (!e) return;
  if (HWND child = Child(element)) {
    if (e->kind == ui::Kind::PictureBox) {
      const RECT want = painter_.PictureBoxRect(*e);
      RECT now;
      GetWindowRect(child, &now);
      MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&now), 2);
      if (!EqualRect(&want, &now))
        SetWindowPos(child, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(child, nullptr, FALSE);
    } else {
      const std::wstring text = Widen(e->text);
      wchar_t current[256];
      GetWindowTextW(child, current, 256);
      if (text != current) SetWindowTextW(child, text.c_str());
      EnableWindow(child, e->enabled);
    }
    return;
  }
  HWND container = e->container.empty() ? body_.hwnd : Child(e->container);
  if (!container) return;
  const RECT now = painter_.Area(*e);
  tick_.Changed(container, now);
  auto old = drawn_.find(element);
  if (old != drawn_.end() && !EqualRect(&old->second, &now)) tick_.Changed(container, old->second);
}

void FormWindow::ChangeTimer(std::string_view timer, int interval, bool enabled) {
  auto it = timers_.find(timer);
  if (it == timers_.end()) it = timers_.emplace(std::string(timer), TimerState{timers_.size() + 1}).first;
  it->second.interval = interval;
  it->second.enabled = enabled;
  ApplyTimer(it->second);
}

void FormWindow::ApplyTimer(const TimerState& t) {
  if (!body_.hwnd) return;
  if (t.enabled && t.interval > 0)
    SetTimer(body_.hwnd, t.id, static_cast<UINT>(t.interval), nullptr);
  else
    KillTimer(body_.hwnd, t.id);
}

void FormWindow::MoveTo(int leftPx, int topPx) {
  if (!body_.hwnd) return;
  const bool was = coreMove_;
  coreMove_ = true;
  SetWindowPos(body_.hwnd, nullptr, leftPx, topPx, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  coreMove_ = was;
  RECT r;
  GetWindowRect(body_.hwnd, &r);
  knownPos_ = {r.left, r.top};
}

// ---- messages ------------------------------------------------------------------

LRESULT CALLBACK FormWindow::FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  FormWindow* self = ObjectOf<FormWindow>(hwnd, msg, lParam);
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCCREATE) self->body_.hwnd = hwnd;
  return self->HandleMessage(msg, wParam, lParam);
}

LRESULT CALLBACK FormWindow::PictureBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Surface* box = ObjectOf<Surface>(hwnd, msg, lParam);
  if (!box) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCCREATE) box->hwnd = hwnd;
  LRESULT result = 0;
  if (box->owner.SurfaceMessage(*box, msg, wParam, lParam, result)) return result;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    box->owner.tick_.Forget(hwnd);
    box->buffer.Release();
    box->hwnd = nullptr;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool FormWindow::SurfaceMessage(Surface& s, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (IsMouseMessage(msg)) {
    mouse_.OnMouse(s, msg, wParam, lParam);
    result = 0;
    return true;
  }
  switch (msg) {
    case WM_ERASEBKGND: result = 1; return true;
    case WM_PAINT: {
      const PaintDC dc(s.hwnd);
      Compose(s, dc.get(), dc.area());
      result = 0;
      return true;
    }
    case WM_SETCURSOR:
      // Only for the pointer over this window itself, not over a child.
      if (reinterpret_cast<HWND>(wParam) != s.hwnd || !SetHandCursor(s, lParam)) return false;
      result = TRUE;
      return true;
    case WM_CAPTURECHANGED:
      mouse_.OnCaptureChanged(s, reinterpret_cast<HWND>(lParam));
      result = 0;
      return true;
    case WM_DROPFILES:
      DeliverDrop(s, reinterpret_cast<HDROP>(wParam));
      result = 0;
      return true;
    default: return false;
  }
}

bool FormWindow::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT FormWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = body_.hwnd;
  LRESULT result = 0;
  if (SurfaceMessage(body_, msg, wParam, lParam, result)) return result;
  if (OnMessage(msg, wParam, lParam, result)) return result;
  switch (msg) {
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_COMMAND:
      if (controls_.OnCommand(hwnd, wParam, lParam, Model(), events_)) return 0;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (LRESULT brush = controls_.OnColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), Model()))
        return brush;
      break;
    case WM_WINDOWPOSCHANGED:
      if (!(reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_NOMOVE)) ReportMove();
      break;  // DefWindowProc sends WM_MOVE / WM_SIZE
    case WM_CLOSE:
      // Alt+F4, a close request from another program: the core decides.
      if (events_) events_->OnCloseRequest(id_);
      return 0;
    case WM_DESTROY:
      for (const auto& [name, t] : timers_) KillTimer(hwnd, t.id);
      break;
    case WM_NCDESTROY:
      OnDestroyed();
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void FormWindow::OnTimer(UINT_PTR id) {
  for (const auto& [name, t] : timers_) {
    if (t.id != id) continue;
    if (!events_) return;
    const std::string timer = name;  // the handler may change the timers
    tick_.Begin();
    events_->OnTimer(id_, timer);
    tick_.End([this](HWND window, HDC dc, const RECT& area) {
      if (Surface* s = SurfaceOf(window)) Compose(*s, dc, area);
    });
    return;
  }
}

void FormWindow::Compose(Surface& s, HDC dc, const RECT& area) {
  RECT client;
  GetClientRect(s.hwnd, &client);
  const ui::Form* form = Model();
  if (!form || client.right <= 0 || client.bottom <= 0) return;
  s.buffer.Compose(dc, client, area,
                   [&](HDC offscreen) { painter_.PaintContainer(offscreen, *form, s.container, client, drawn_); });
}

bool FormWindow::SetHandCursor(Surface& s, LPARAM lParam) {
  const ui::Form* form = Model();
  if (LOWORD(lParam) != HTCLIENT || !form || !resources_.handCursor()) return false;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(s.hwnd, &pt);
  const std::string target = TargetAt(s, pt);
  const ui::Element* e = target.empty() ? nullptr : form->Find(target);
  if (!e || !e->handPointer) return false;
  SetCursor(resources_.handCursor());
  return true;
}

void FormWindow::DeliverDrop(Surface& s, HDROP drop) {
  std::vector<std::string> paths;
  UINT n;
  {
    const DropData data(drop);  // given back before the core's long flow starts
    n = DragQueryFileW(data.get(), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
      const UINT len = DragQueryFileW(data.get(), i, nullptr, 0);
      std::wstring w(len + 1, L'\0');
      DragQueryFileW(data.get(), i, w.data(), len + 1);
      w.resize(len);
      paths.push_back(Narrow(w));
    }
  }
  if (events_) events_->OnDrop(id_, s.container, paths, n > 0);
}

void FormWindow::ReportMove() {
  RECT r;
  GetWindowRect(body_.hwnd, &r);
  const POINT now{r.left, r.top};
  if (now.x == knownPos_.x && now.y == knownPos_.y) return;
  knownPos_ = now;
  if (coreMove_ || !events_) return;
  events_->OnWindowMoved(id_, now.x, now.y);
}

void FormWindow::OnDestroyed() {
  SetWindowLongPtrW(body_.hwnd, GWLP_USERDATA, 0);
  tick_.Forget(body_.hwnd);
  body_.buffer.Release();
  body_.hwnd = nullptr;
  controls_.Forget();
  drawn_.clear();
  mouse_.Reset();
  knownPos_ = {INT32_MIN, INT32_MIN};
}

}  // namespace tarvex::win32
