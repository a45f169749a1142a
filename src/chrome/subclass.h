// The window message hook: CSubclass (one object per hooked window) and
// basSubclass (the registry of hooked windows and the one shared window
// procedure that routes each message to its object). A routed message gets
// the window's normal handling first; the object's WndProc observers are
// told afterwards and cannot change the result.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/layer.h"

namespace tarvex::chrome {

// The window procedure exchange the hook is built on; part of the platform
// services (shell/platform.h).
class WindowProcedures {
 public:
  virtual ~WindowProcedures() = default;
  // Exchanges a window's procedure; returns the previous one.
  virtual Proc SetWindowProc(Handle window, Proc proc) = 0;
  virtual LResult CallWindowProcedure(Proc proc, Handle window, std::uint32_t msg,
                                      std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Address of the layer's window procedure that routes to basSubclass.
  virtual Proc SubclassProcAddress() = 0;
};

class CSubclass {
 public:
  using WndProcEvent = std::function<void(std::uint32_t msg, std::uintptr_t wParam,
                                          std::intptr_t lParam)>;

  CSubclass() = default;
  ~CSubclass();
  CSubclass(const CSubclass&) = delete;
  CSubclass& operator=(const CSubclass&) = delete;

  void set_hwnd(Handle h) { hwnd_ = h; }
  Handle hwnd() const { return hwnd_; }
  void set_ProcOrg(Proc p) { procOrg_ = p; }
  Proc ProcOrg() const { return procOrg_; }
  void set_CallDefaultProc(bool v) { callDefaultProc_ = v; }

  // The event raised once per routed message, after the normal handling.
  WndProcEvent WndProc;

 private:
  friend class basSubclass;
  LResult ProcessMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

  Handle hwnd_ = 0;
  Proc procOrg_ = 0;
  bool callDefaultProc_ = true;
  WindowProcedures* procs_ = nullptr;  // set on installation
};

// basSubclass: the module that keeps SubclassRegistry, the ordered list of
// hooked objects (each held by a counted reference; entries are never taken
// out).
class basSubclass {
 public:
  explicit basSubclass(WindowProcedures& procs) : procs_(procs) {}
  ~basSubclass();
  basSubclass(const basSubclass&) = delete;
  basSubclass& operator=(const basSubclass&) = delete;

  // Installs the hook on obj->hwnd(). A window already in the registry is
  // left alone (the new object then stays uninstalled).
  void SubclassWindow(const std::shared_ptr<CSubclass>& obj);
  // Puts the previous procedure back; the entry stays with ProcOrg 0. An
  // object that was never installed changes nothing.
  void UnsubclassWindow(CSubclass& obj);
  // The shared window procedure: every object of the window, in insertion
  // order, processes the message; the last result is returned (0 when the
  // window has no object). Errors in the walk are swallowed; nested calls
  // walk independently.
  LResult SubclassWndProc(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                          std::intptr_t lParam);

  std::size_t size() const { return SubclassRegistry.size(); }

 private:
  WindowProcedures& procs_;
  std::vector<std::shared_ptr<CSubclass>> SubclassRegistry;
};

}  // namespace tarvex::chrome
