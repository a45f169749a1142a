#include "chrome/subclass.h"

namespace tarvex::chrome {

CSubclass::~CSubclass() {
  // Never leave a window pointing at a hook whose object is gone.
  if (procOrg_ != 0 && procs_) {
    try {
      procs_->SetWindowProc(hwnd_, procOrg_);
    } catch (...) {
    }
    procOrg_ = 0;
  }
}

LResult CSubclass::ProcessMessage(std::uint32_t msg, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
  LResult result = 0;
  // A removed object (ProcOrg 0) has no procedure to call.
  if (callDefaultProc_ && procOrg_ != 0 && procs_)
    result = procs_->CallWindowProcedure(procOrg_, hwnd_, msg, wParam, lParam);
  // An observer that fails cannot take the normal handling's result away.
  try {
    if (WndProc) WndProc(msg, wParam, lParam);
  } catch (...) {
  }
  return result;
}

basSubclass::~basSubclass() {
  // Objects still installed restore their window's procedure as they end.
  SubclassRegistry.clear();
}

void basSubclass::SubclassWindow(const std::shared_ptr<CSubclass>& obj) {
  if (!obj) return;
  for (const auto& e : SubclassRegistry)
    if (e->hwnd() == obj->hwnd()) return;
  SubclassRegistry.push_back(obj);
  obj->procs_ = &procs_;
  obj->procOrg_ = procs_.SetWindowProc(obj->hwnd(), procs_.SubclassProcAddress());
}

void basSubclass::UnsubclassWindow(CSubclass& obj) {
  // An object that holds no previous procedure (never installed, or already
  // removed) must not put a null procedure on the window.
  if (obj.procOrg_ == 0) return;
  for (const auto& e : SubclassRegistry) {
    if (e->hwnd() != obj.hwnd()) continue;
    procs_.SetWindowProc(obj.hwnd(), obj.procOrg_);
    obj.procOrg_ = 0;
    break;
  }
}

LResult basSubclass::SubclassWndProc(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
  LResult result = 0;
  // A snapshot keeps the walk valid whatever a nested call does.
  const auto snapshot = SubclassRegistry;
  for (const auto& e : snapshot) {
    if (e->hwnd() != window) continue;
    try {
      result = e->ProcessMessage(msg, wParam, lParam);
    } catch (...) {
      // Errors in routing are swallowed; the walk goes on.
    }
  }
  return result;
}

}  // namespace tarvex::chrome
