// The window message hook: CSubclass (one object per hooked window) and
// basSubclass (the registry of hooked windows and the one shared window
// procedure that routes each message to its object). A routed message gets
// the window's normal handling first; the object's WndProc observers are
// told afterwards and cannot change the result.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "shell/platform.h"

namespace tarvex::chrome {

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
  Platform* platform_ = nullptr;  // set on installation
};

// basSubclass: the module that keeps SubclassRegistry, the ordered list of
// hooked objects (each held by a counted reference; entries are never taken
// out).
class basSubclass {
 public:
  explicit basSubclass(Platform& p) : platform_(p) {}
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
  Platform& platform_;
  std::vector<std::shared_ptr<CSubclass>> SubclassRegistry;
};

inline constexpr std::uint32_t kWmNotify = 0x004E;

// The notification header a WM_NOTIFY message points to (pointer-sized
// sender handle and id, 32-bit code), laid out as the platform's NMHDR.
struct NotifyHeader {
  std::uintptr_t hwndFrom = 0;
  std::uintptr_t idFrom = 0;
  std::uint32_t code = 0;
};

// Copies the header from the address in lParam; nullopt for a null address.
std::optional<NotifyHeader> ReadNotifyHeader(std::intptr_t lParam);

}  // namespace tarvex::chrome
