// Owners of Win32 handles. Each wrapper releases its handle with the one call
// that belongs to it, is move-only and may be empty; no code of the gadget
// releases a handle itself. Every Win32 file of the gadget includes this
// header first: it brings <windows.h>.
#pragma once

#include <windows.h>
// The core's dialog service has a method named MessageBox; keep <windows.h>'s
// macro of that name from renaming it (the wide call is named explicitly).
#ifdef MessageBox
#undef MessageBox
#endif
#include <ole2.h>
#include <shellapi.h>

#include <utility>

#include "base/unique_handle.h"

namespace tarvex::win32 {

using tarvex::Unique;

namespace detail {
// An owned window goes with its owner; one already gone is not destroyed again.
inline void DestroyIfWindow(HWND window) {
  if (IsWindow(window)) DestroyWindow(window);
}
}  // namespace detail

using Font = Unique<HFONT, &::DeleteObject>;
using Bitmap = Unique<HBITMAP, &::DeleteObject>;
using Brush = Unique<HBRUSH, &::DeleteObject>;
using Pen = Unique<HPEN, &::DeleteObject>;
using Icon = Unique<HICON, &::DestroyIcon>;
using Cursor = Unique<HCURSOR, &::DestroyCursor>;
using MemoryDC = Unique<HDC, &::DeleteDC>;
using RegKey = Unique<HKEY, &::RegCloseKey>;
using WindowsHook = Unique<HHOOK, &::UnhookWindowsHookEx>;
using Library = Unique<HMODULE, &::FreeLibrary>;
using DropData = Unique<HDROP, &::DragFinish>;
using OwnedWindow = Unique<HWND, &detail::DestroyIfWindow>;
template <typename T>
using CoTaskMemory = Unique<T*, &::CoTaskMemFree>;

// A window's device context from GetDC (nullptr: the screen), released with
// ReleaseDC.
class ClientDC {
 public:
  explicit ClientDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ClientDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ClientDC(const ClientDC&) = delete;
  ClientDC& operator=(const ClientDC&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint / EndPaint around a WM_PAINT.
class PaintDC {
 public:
  explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
  ~PaintDC() { EndPaint(window_, &ps_); }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  HDC get() const { return dc_; }
  const RECT& area() const { return ps_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// An object selected into a DC; the one it replaced goes back at the end.
class Selection {
 public:
  Selection() = default;
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selection() { reset(); }
  Selection(Selection&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), old_(std::exchange(other.old_, nullptr)) {}
  Selection& operator=(Selection&& other) noexcept {
    reset();
    dc_ = std::exchange(other.dc_, nullptr);
    old_ = std::exchange(other.old_, nullptr);
    return *this;
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  void reset() {
    if (dc_ && old_) SelectObject(dc_, old_);
    dc_ = nullptr;
    old_ = nullptr;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// OLE (and with it COM) for this thread, for as long as the object lives.
class OleSession {
 public:
  OleSession() : result_(OleInitialize(nullptr)) {}
  ~OleSession() {
    if (SUCCEEDED(result_)) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  HRESULT result_;
};

// A registered window class, unregistered at the end.
class WindowClass {
 public:
  WindowClass() = default;
  explicit WindowClass(const WNDCLASSEXW& wc) : instance_(wc.hInstance), atom_(RegisterClassExW(&wc)) {}
  ~WindowClass() {
    if (atom_) UnregisterClassW(MAKEINTATOM(atom_), instance_);
  }
  WindowClass(WindowClass&& other) noexcept
      : instance_(other.instance_), atom_(std::exchange(other.atom_, ATOM{0})) {}
  WindowClass& operator=(WindowClass&& other) noexcept {
    std::swap(instance_, other.instance_);
    std::swap(atom_, other.atom_);
    return *this;
  }
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;
  explicit operator bool() const { return atom_ != 0; }

 private:
  HINSTANCE instance_ = nullptr;
  ATOM atom_ = 0;
};

}  // namespace tarvex::win32
