// The gadget's life: start-up (load step, first memory tick, settle step),
// the readout timers, hiding to the tray, dragging with position memory, the
// picture buttons, the message hook and shutdown.
#include "shell/app.h"

#include "chrome/frame.h"
#include "chrome/picture_buttons.h"
#include "chrome/tooltips.h"
#include "readouts/date_time.h"
#include "shell/app_impl.h"
#include "ui/model_ops.h"

namespace tarvex {

namespace names = ui::names;
using ui::TwipsToPx;

App::Impl::Impl(Platform& platform, drop::Archivers& archivers)
    : p(platform), main(ui::MakeMainForm()), store(platform), registry(platform), thaw(*this, archivers) {}

// ---- helpers ---------------------------------------------------------------

ui::Form* App::Impl::FormOf(FormId id) {
  if (id == FormId::Main) return &main;
  return care.get();
}

void App::Impl::MoveReal(ui::Form& f) { p.MoveWindowPx(f.id, TwipsToPx(f.left), TwipsToPx(f.top)); }

void App::Impl::SetLeft(ui::Form& f, float twips) {
  f.left = twips;
  MoveReal(f);
}

void App::Impl::SetTop(ui::Form& f, float twips) {
  f.top = twips;
  MoveReal(f);
}

// A handler that resumes after a nested message loop (a message box, the
// folder picker, the modal settings window) may find the main window gone
// when a close request (session end) arrived meanwhile; it then changes
// nothing more.
void App::Impl::SetInfo(std::string_view text) {
  if (closed) return;
  ui::SetText(p, main, names::kInfo, text);
}

void App::Impl::PauseReadouts() {
  if (closed) return;
  ui::SetTimerEnabled(p, main, names::kDateCheck, false);
  ui::SetTimerEnabled(p, main, names::kTimer1, false);
}

void App::Impl::ResumeReadouts() {
  if (closed) return;
  ui::SetTimerEnabled(p, main, names::kDateCheck, true);
  ui::SetTimerEnabled(p, main, names::kTimer1, true);
}

void App::Impl::SetArchivePath(std::string_view path) { ui::SetText(p, main, names::kText1, path); }

std::string App::Impl::ArchivePath() { return std::string(ui::TextOf(main, names::kText1)); }

void App::Impl::SavePosition() {
  const int act = ReadActc();
  store.Write(kKeyTop, SingleText(main.top));
  store.Write(kKeyLeft, SingleText(main.left));
  store.Write(kKeyAct, std::to_string(act));
}

// ---- start-up ----------------------------------------------------------------

void App::Impl::Form_Load() {
  std::int32_t top = store.ReadWhole(kKeyTop, kDefaultTop);
  std::int32_t left = store.ReadWhole(kKeyLeft, kDefaultLeft);
  // Kept for the writes that may come before the settle step sets `actc`.
  startupAct = store.ReadWhole(kKeyAct, kDefaultAct);
  if (top == 0) {
    top = 3700;
    left = 3000;
  }
  SetLeft(main, static_cast<float>(left));
  SetTop(main, static_cast<float>(top));

  p.TraySetTip(kCaption);
  p.TrayShow();

  p.ClearWindowRegion(FormId::Main);

  for (const chrome::BalloonTip& tip : chrome::ButtonTips()) p.AddBalloonTip(FormId::Main, tip);

  clsSubclass = std::make_shared<chrome::CSubclass>();
  clsSubclass->set_hwnd(p.WindowHandle(FormId::Main));
  clsSubclass->WndProc = [this](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) {
    clsSubClass_WndProc(msg, w, l);
  };
  registry.SubclassWindow(clsSubclass);
}

void App::Impl::Form_Resize(FormId form) {
  if (ui::Form* f = FormOf(form)) chrome::LayoutFrame(p, *f);
}

void App::Impl::Timer2_Timer() {
  try {
    SetInfo(kInfoReadingMemory);
    meter.DrawTotal(p, main, p.GetMemoryStatus());
  } catch (...) {
    // A failed first reading skips the drawing; the settle step runs anyway.
  }
  Settle();
}

void App::Impl::Settle() {
  ui::SetTimerInterval(p, main, names::kTimer2, 0);
  ui::SetTimerInterval(p, main, names::kTimer1, 200);
  SetInfo("");
  std::int32_t top = store.ReadWhole(kKeyTop, kDefaultTop);
  std::int32_t left = store.ReadWhole(kKeyLeft, kDefaultLeft);
  const std::int32_t act = store.ReadWhole(kKeyAct, kDefaultAct);
  if (top == 0) {
    top = 0;
    left = 0;
  }
  SetLeft(main, static_cast<float>(left));
  SetTop(main, static_cast<float>(top));
  if (act == 1) p.SetTopmost(FormId::Main);
  SetActc(act);
  actcSettled = true;
}

void App::Impl::Timer1_Timer() {
  try {
    meter.DrawFree(p, main, p.GetMemoryStatus());
  } catch (...) {
    // The next tick redraws the whole strip.
  }
}

void App::Impl::DateCheck_Timer() { readouts::ShowDateTime(p, main, p.LocalTime()); }

// ---- shutdown ----------------------------------------------------------------

void App::Impl::Form_QueryUnload() {
  SavePosition();
  SetInfo(kInfoUnhooking);
  if (clsSubclass) {
    registry.UnsubclassWindow(*clsSubclass);
    clsSubclass.reset();
  }
  SetInfo(kInfoDestroying);
  p.RemoveBalloonTips(FormId::Main);
  UnloadCare();
}

void App::Impl::Form_Unload() {
  SetInfo(kInfoDestroying);
  p.TrayRemove();
}

void App::Impl::b_close_Click() {
  if (closing || closed) return;
  closing = true;
  Form_QueryUnload();
  Form_Unload();
  p.DestroyForm(FormId::Main);
  closed = true;
}

// ---- picture buttons ----------------------------------------------------------

void App::Impl::b_close_MouseDown() { chrome::ShowPressed(p, main, names::kBClose); }
void App::Impl::b_close_MouseUp() { chrome::ShowNormal(p, main, names::kBClose); }
void App::Impl::b_hide_MouseDown() { chrome::ShowPressed(p, main, names::kBHide); }
void App::Impl::b_hide_MouseUp() { chrome::ShowNormal(p, main, names::kBHide); }
void App::Impl::b_rach_MouseDown() { chrome::ShowPressed(p, main, names::kBRach); }
void App::Impl::b_rach_MouseUp() { chrome::ShowNormal(p, main, names::kBRach); }
void App::Impl::b_thaw_MouseDown() { chrome::ShowPressed(p, main, names::kBThaw); }
void App::Impl::b_thaw_MouseUp() { chrome::ShowNormal(p, main, names::kBThaw); }

// ---- hide and restore ----------------------------------------------------------

void App::Impl::b_hide_Click() {
  ui::SetText(p, main, names::kMtop, SingleText(main.top));
  ui::SetText(p, main, names::kMleft, SingleText(main.left));
  SetLeft(main, kHiddenLeft);
}

void App::Impl::syst_Click() {
  SetTop(main, TextToSingle(ui::TextOf(main, names::kMtop)));
  SetLeft(main, TextToSingle(ui::TextOf(main, names::kMleft)));
}

// ---- dragging and position memory ---------------------------------------------

void App::Impl::StartDrag(int button) {
  if (button != kLeftButton) return;
  p.DragWindow(FormId::Main);  // returns when the move has ended
}

void App::Impl::Form_MouseMove(int button) {
  StartDrag(button);
  if (closed) return;  // the window went away during the move loop
  SavePosition();
}

void App::Impl::Image6_MouseMove(int button) { StartDrag(button); }

// ---- message hook ----------------------------------------------------------------

// The main window's messages, tooltip notifications among them, are observed
// after the window's own handling; no action follows from any of them.
void App::Impl::clsSubClass_WndProc(std::uint32_t, std::uintptr_t, std::intptr_t) {}

// ---- App -------------------------------------------------------------------------

App::App(Platform& platform, drop::Archivers& archivers) : impl_(std::make_unique<Impl>(platform, archivers)) {}
App::~App() = default;

ui::Form& App::MainForm() { return impl_->main; }
ui::Form* App::CareForm() { return impl_->care.get(); }
ui::Form* App::Model(FormId form) { return impl_->FormOf(form); }

void App::Start() {
  Impl& s = *impl_;
  if (s.started) return;
  s.started = true;
  for (const auto& e : s.main.elements)
    if (e.kind == ui::Kind::Timer) s.p.TimerChanged(FormId::Main, e.name, e.interval, e.enabled);
  s.Form_Load();
}

void App::OnResize(FormId form) {
  if (impl_->closed) return;
  impl_->Form_Resize(form);
}

void App::OnTimer(FormId form, std::string_view timer) {
  Impl& s = *impl_;
  if (s.closed || s.closing || form != FormId::Main) return;
  if (!ui::TimerRunning(s.main, timer)) return;
  if (timer == names::kDateCheck)
    s.DateCheck_Timer();
  else if (timer == names::kTimer1)
    s.Timer1_Timer();
  else if (timer == names::kTimer2)
    s.Timer2_Timer();
}

void App::OnWindowMoved(FormId form, int leftPx, int topPx) {
  ui::Form* f = impl_->FormOf(form);
  if (!f) return;
  // Keep the exact twips when the window stands where they already put it.
  if (TwipsToPx(f->left) != leftPx) f->left = static_cast<float>(leftPx) * ui::kTwipsPerPixel;
  if (TwipsToPx(f->top) != topPx) f->top = static_cast<float>(topPx) * ui::kTwipsPerPixel;
}

void App::OnMouseDown(FormId form, std::string_view element, int, int, float, float) {
  Impl& s = *impl_;
  if (s.closed || form != FormId::Main) return;
  if (element == names::kBClose)
    s.b_close_MouseDown();
  else if (element == names::kBHide)
    s.b_hide_MouseDown();
  else if (element == names::kBRach)
    s.b_rach_MouseDown();
  else if (element == names::kBThaw)
    s.b_thaw_MouseDown();
}

void App::OnMouseUp(FormId form, std::string_view element, int, int, float, float) {
  Impl& s = *impl_;
  if (s.closed || form != FormId::Main) return;
  if (element == names::kBClose)
    s.b_close_MouseUp();
  else if (element == names::kBHide)
    s.b_hide_MouseUp();
  else if (element == names::kBRach)
    s.b_rach_MouseUp();
  else if (element == names::kBThaw)
    s.b_thaw_MouseUp();
}

void App::OnMouseMove(FormId form, std::string_view element, int button, int, float, float) {
  Impl& s = *impl_;
  if (s.closed || s.closing || form != FormId::Main) return;
  if (element.empty())
    s.Form_MouseMove(button);
  else if (element == names::kImage6)
    s.Image6_MouseMove(button);
}

void App::OnClick(FormId form, std::string_view element) {
  Impl& s = *impl_;
  if (s.closed || s.closing) return;
  if (form == FormId::Main) {
    if (element == names::kBClose)
      s.b_close_Click();
    else if (element == names::kBHide)
      s.b_hide_Click();
    else if (element == names::kBRach)
      s.b_rach_Click();
    else if (element == names::kBThaw)
      s.thaw.b_thaw_Click();
  } else if (element == names::kCommand1 && s.care) {
    s.Command1_Click();
  }
}

void App::OnCheckChanged(FormId form, std::string_view element, int value) {
  Impl& s = *impl_;
  if (form != FormId::Care || element != names::kActc || !s.care) return;
  if (ui::Element* e = s.care->Find(names::kActc)) e->value = value;
  // The box now holds the user's choice, not its initial value.
  s.actcSettled = true;
}

void App::OnDrop(FormId form, std::string_view element, const std::vector<std::string>& paths,
                 bool hasFileList) {
  Impl& s = *impl_;
  if (s.closed || s.closing || form != FormId::Main || element != names::kBThaw) return;
  s.thaw.b_thaw_OLEDragDrop(paths, hasFileList);
}

void App::OnTrayClick() {
  if (impl_->closed || impl_->closing) return;
  impl_->syst_Click();
}

void App::OnCloseRequest(FormId form) {
  Impl& s = *impl_;
  if (s.closed) return;
  if (form == FormId::Main) {
    s.b_close_Click();
  } else if (!s.closing) {
    s.UnloadCare();
  }
}

LResult App::SubclassWndProc(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                             std::intptr_t lParam) {
  return impl_->registry.SubclassWndProc(window, msg, wParam, lParam);
}

}  // namespace tarvex
